#pragma once

// The COM stand-in of the mail server's administration object
// (tests/automation/comstandin) registered as the class of
// "hMailServer.Application" while this object lives, and removed again.
// Windows only (ComStandinWindows.cpp): elsewhere there is no COM, available()
// is false and the object does nothing (ComStandinPosix.cpp).
class ComStandin {
public:
    static bool available();

    ComStandin();
    ~ComStandin();
    ComStandin(const ComStandin&) = delete;
    ComStandin& operator=(const ComStandin&) = delete;
};
