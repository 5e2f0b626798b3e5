#pragma once

#include <QString>

// Requests from outside to end the program: SIGTERM from a service manager,
// a time limit or a shutdown, SIGINT, SIGHUP from a dropped session. While a
// StopSignals object lives, they do not end the process at once but are
// noted, so that a run stops after the change in hand and leaves its record
// as a stop with Escape does. Windows ends a task without asking: nothing is
// noted there.
class StopSignals {
public:
    StopSignals();
    // The signals end the process again; once one was received they stay
    // noted, so that a second one cannot cut the stop short.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The name of the signal received ("SIGTERM"), empty when none was.
    static QString received();
    // The same name, but only the first time it is asked after the signal
    // came: the log says once that the program was asked to end.
    static QString toTell();
    // Ends the process by the (first) signal received, as its sender
    // expects, once the run has recorded its stop or its error has been told;
    // returns when none was received.
    static void endIfReceived();
};
