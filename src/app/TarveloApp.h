#pragma once

struct RunWaits;

// The program: the application, its title, the window `fmain` and the
// message loop, on the platform that has a screen or, without one, as an
// unattended run. Returns the exit status.
int runTarvelo(int argc, char* argv[], const RunWaits& waits);
