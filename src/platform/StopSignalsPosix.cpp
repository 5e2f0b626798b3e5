#include "platform/StopSignals.h"

#include <csignal>
#include <iterator>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t g_received = 0;
bool g_told = false;
// What each signal did before: restored afterwards.
struct sigaction g_before[std::size(kSignals)];

// The first request counts; another one (Ctrl+C pressed twice, SIGHUP
// after SIGTERM) changes nothing.
extern "C" void note(int signal) {
    if (g_received == 0) {
        g_received = signal;
    }
}

} // namespace

StopSignals::StopSignals() {
    struct sigaction action = {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a database call under way goes on
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], nullptr, &g_before[i]);
        // A signal ignored by whoever started the program (nohup) stays so.
        if (g_before[i].sa_handler != SIG_IGN) {
            sigaction(kSignals[i], &action, nullptr);
        }
    }
}

StopSignals::~StopSignals() {
    if (g_received != 0) {
        // A stop is under way: further signals are only noted until its
        // record and log lines are written and endIfReceived ends the process.
        return;
    }
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &g_before[i], nullptr);
    }
}

QString StopSignals::received() {
    switch (g_received) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString();
    }
}

QString StopSignals::toTell() {
    const QString signal = received();
    if (signal.isEmpty() || g_told) {
        return QString();
    }
    g_told = true;
    return signal;
}

void StopSignals::endIfReceived() {
    const int signal = g_received;
    if (signal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}
