#include "HmailRoutes.h"

#include "HmailApplication.h"
#include "RefreshScript.h"
#include "RemoteRun.h"

namespace {

// The server normally answers within seconds; a command that has not ended
// after this long waits for something that will not come.
constexpr int kTimeoutMs = 60000;

// E_FAIL: the error is in the description.
constexpr quint32 kErrorCode = 0x80004005;

int timeoutMs() {
    // Only the tests shorten the wait.
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TARVELO_TEST_REFRESH_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : kTimeoutMs;
}

} // namespace

HmailRoutes::HmailRoutes(HmailApplication* application, QObject* parent)
    : QObject(parent), m_application(application) {}

void HmailRoutes::refresh() {
    const RefreshScript script(m_application->user(), m_application->password());
    const RemoteRun::Outcome outcome =
        RemoteRun::run(m_application->command(), script.text(), timeoutMs(), m_whileWaiting);
    if (!outcome.succeeded) {
        m_hasError = true;
        m_errorDescription = script.hidePassword(outcome.errorDescription);
    }
}

bool HmailRoutes::takeError(QString* description, quint32* code) {
    if (!m_hasError) {
        return false;
    }
    *description = m_errorDescription;
    *code = kErrorCode;
    m_hasError = false;
    return true;
}
