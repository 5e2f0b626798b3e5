#include "app/TarveloApp.h"

#include "core/MainSession.h"

int main(int argc, char* argv[]) {
    return runTarvelo(argc, argv, RunWaits{});
}
