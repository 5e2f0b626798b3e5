#include "HmailRoutes.h"

#include "HmailApplication.h"
#include "RefreshScript.h"
#include "RemoteRun.h"

namespace {

// E_FAIL: the error is in the description.
constexpr quint32 kErrorCode = 0x80004005;

} // namespace

HmailRoutes::HmailRoutes(HmailApplication* application, QObject* parent)
    : QObject(parent), m_application(application) {}

void HmailRoutes::refresh() {
    const RefreshScript script(m_application->user(), m_application->password());
    const RemoteRun::Outcome outcome =
        RemoteRun::run(m_application->command(), script.text(),
                       QByteArray(RefreshScript::kConfirmation), m_whileWaiting);
    if (!outcome.succeeded) {
        m_hasError = true;
        // Hidden first: a cut could leave part of the password unrecognised.
        m_errorDescription = RemoteRun::shortened(script.hidePassword(outcome.errorDescription));
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
