#include "HmailServerPlugin.h"

#include "HmailApplication.h"
#include "PluginLocation.h"
#include "RemoteCommand.h"

namespace {

// REGDB_E_CLASSNOTREG: the class is there but cannot be made.
constexpr quint32 kNotSetUpCode = 0x80040154;

} // namespace

QObject* HmailServerPlugin::create(const QString& progId) {
    m_hasError = false;
    if (progId != QLatin1String("hMailServer.Application")) {
        return nullptr;
    }
    // Read afresh for every object, so that a changed file counts at once.
    RemoteCommand command;
    QString error;
    if (!RemoteCommand::load(PluginLocation::configFile(), &command, &error)) {
        m_hasError = true;
        m_errorDescription = error;
        return nullptr;
    }
    return new HmailApplication(std::move(command));
}

bool HmailServerPlugin::takeError(QString* description, quint32* code) {
    if (!m_hasError) {
        return false;
    }
    *description = m_errorDescription;
    *code = kNotSetUpCode;
    m_hasError = false;
    return true;
}
