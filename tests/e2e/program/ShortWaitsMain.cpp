// The program as the end-to-end tests build it beside the shipped one: the
// same program, with the waits for another run's lock and for a stalled run
// shortened through the tests' own variables, which the shipped program
// never reads.

#include "TestKnob.h"
#include "app/TarveloApp.h"
#include "core/MainSession.h"

int main(int argc, char* argv[]) {
    RunWaits waits;
    waits.lock = TestKnob::milliseconds("TARVELO_TEST_LOCK_WAIT_MS", waits.lock);
    waits.stall = TestKnob::milliseconds("TARVELO_TEST_WATCHDOG_MS", waits.stall);
    return runTarvelo(argc, argv, waits);
}
