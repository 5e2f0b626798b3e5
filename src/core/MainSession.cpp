#include "core/MainSession.h"

#include "core/Mtools.h"
#include "core/WindowState.h"
#include "platform/DosDateTime.h"
#include "platform/ProfileFile.h"

MainSession::MainSession(AppPaths paths, const Clock& clock, WindowState& window)
    : routes(database), RA2(database), Address(database), m_paths(std::move(paths)), m_clock(clock),
      m_window(window), m_log(m_paths.logFile, clock, window) {}

MainSession::~MainSession() = default;

void MainSession::FormCreate() {
    LogMessage(QString());
    LogMessage(QStringLiteral("Start des Programms"));
    const QString& ini = m_paths.iniFile;
    AdminPassword = Mtools::ScrambleText(ProfileFile::readString(ini, "Hmail", "admin"));
    database.setConnectionString(ProfileFile::readString(ini, "SQL", "Provider"));
    m_window.setEmailliste(ProfileFile::readString(ini, "ad", "emails"));
    ProtokollDir = ProfileFile::readString(ini, "Options", "Protokoll");
    database.close();
    database.open();
    routes.open();
    LogMessage(QStringLiteral("Datenbank geöffnet"));
}

void MainSession::FormClose() {
    const QString& ini = m_paths.iniFile;
    const QString list = m_window.emailliste();
    ProfileFile::writeString(ini, "ad", "emails", list);
    ProfileFile::writeString(ini, "ad", "timestamp", QString::number(DosDateTime::ofFile(list)));
    LogMessage(QStringLiteral("Programm wird geschlossen"));
}

void MainSession::storeAdminPassword(const QString& password) {
    ProfileFile::writeString(m_paths.iniFile, "Hmail", "admin", Mtools::ScrambleText(password));
}
