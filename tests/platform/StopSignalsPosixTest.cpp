#include "platform/StopSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

// A stop under way is not cut short: a second signal, also one that comes
// after the run has left its changes, is only noted, and the process ends by
// the first once the stop is written down.
TEST(StopSignalsDeathTest, ASecondSignalWaitsForTheStopAndTheFirstCounts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            {
                const StopSignals duringTheChanges;
                std::raise(SIGTERM);
                std::raise(SIGINT);
            }
            std::raise(SIGHUP); // while the stop's record is written
            std::fprintf(stderr, "stop written after %s\n",
                         StopSignals::received().toLatin1().constData());
            StopSignals::endIfReceived();
            std::fprintf(stderr, "still alive\n");
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "stop written after SIGTERM");
}

// Without a signal the handlers go with the object: a signal then ends the
// program as it would without it.
TEST(StopSignalsDeathTest, WithoutARequestTheSignalsEndTheProgramAgain) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // As a service starts it; nohup would have it ignored already.
            std::signal(SIGHUP, SIG_DFL);
            { const StopSignals duringTheChanges; }
            StopSignals::endIfReceived(); // none received: returns
            std::raise(SIGHUP);
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGHUP), "");
}
