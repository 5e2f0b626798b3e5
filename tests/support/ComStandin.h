#pragma once

// The COM stand-in of the mail server's administration object
// (tests/automation/comstandin) registered as the class of
// "hMailServer.Application" while this object lives, and removed again.
// Windows only (ComStandinWindows.cpp): elsewhere there is no COM, available()
// is false and the objects do nothing (ComStandinPosix.cpp).
//
// The registration is the whole machine's, and ctest runs test programs side
// by side: a test that registers the stand-in holds a lock that no test
// program shares while it lives, and a test that relies on the ProgID's being
// unregistered (or on a plugin serving it) holds an Absent, which any number
// may hold at once. A program never holds both kinds at a time.
class ComStandin {
public:
    static bool available();

    ComStandin();
    ~ComStandin();
    ComStandin(const ComStandin&) = delete;
    ComStandin& operator=(const ComStandin&) = delete;

    // While it lives, no test program registers the stand-in.
    class Absent {
    public:
        Absent();
        ~Absent();
        Absent(const Absent&) = delete;
        Absent& operator=(const Absent&) = delete;

    private:
        void* m_lock = nullptr;
    };

private:
    void* m_lock = nullptr;
};
