#include "TestEnvironment.h"

#include <QCoreApplication>

void ensureCoreApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "tarvelo-tests";
    static char* argv[] = {name, nullptr};
    // Lives until the test program ends.
    new QCoreApplication(argc, argv);
}
