#include "core/CommandLine.h"
#include "core/MainSession.h"
#include "core/WindowState.h"
#include "platform/RegularFile.h"

void MainSession::FormShow(const QStringList& parameters) {
    bool sync = false;
    bool refresh = false;
    LogMessage(QStringLiteral("%1 Parameter sind zu verarbeiten").arg(parameters.size()));
    for (const QString& parameter : parameters) {
        const CommandLineSwitch sw = CommandLine::parse(parameter);
        switch (sw.kind) {
        case CommandLineSwitch::DbSync:
            sync = true;
            break;
        case CommandLineSwitch::Refresh:
            refresh = true;
            break;
        case CommandLineSwitch::Domain:
            m_window.setDomain(sw.value);
            LogMessage(QStringLiteral("Verarbeite nur %1").arg(sw.value));
            break;
        case CommandLineSwitch::File: {
            if (!RegularFile::exists(sw.value)) {
                LogMessage(QStringLiteral("Datei \"%1\" nicht gefunden").arg(sw.value));
                LogMessage(QStringLiteral("Programm beendet"));
                m_listFileMissing = true;
                m_runRequested = true;
                m_window.requestTermination();
                return;
            }
            m_window.setEmailliste(sw.value);
            sync = true;
            break;
        }
        case CommandLineSwitch::MaxDelete:
            m_maxDelete = DeleteLimit::parse(sw.value); // a wrong value stops before any run
            break;
        case CommandLineSwitch::DryRun:
            m_dryRun = true;
            break;
        case CommandLineSwitch::Batch:
            m_batch = CommandLine::batchSize(sw.value); // a wrong value stops before any run
            break;
        case CommandLineSwitch::Ignored:
            break;
        }
    }
    if (m_window.domain().isEmpty()) {
        m_window.setDomain(QStringLiteral("*"));
    }
    m_runRequested = sync || refresh;
    if (sync) {
        LogMessage(QStringLiteral("Datenbank-Synchronisation"));
        btsyncClick();
        // The run ends silently when its list is missing (the one the
        // configuration names, for "/dbsync"); the scheduler must still
        // learn that nothing was synchronised.
        if (m_runFoundNoList) {
            m_listFileMissing = true;
        }
    }
    if (refresh && m_dryRun) {
        // A dry run leaves the mail server alone; the log says why it was not asked.
        LogMessage(QStringLiteral("Testlauf: keine Hmailserver-Aktualisierung"));
    } else if (refresh) {
        LogMessage(QStringLiteral("Hmailserver-Aktualisierung"));
        HmailRefresh1Click();
    }
    if (sync || refresh) {
        LogMessage(QStringLiteral("Schliesse Programm"));
        m_window.requestTermination();
    }
    RoutenCellClick();
}
