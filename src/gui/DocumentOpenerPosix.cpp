#include "gui/Dialogs.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool DesktopDialogs::openDocument(const QString& fileName,
                                  const std::function<void(const QString& reason)>& failed) {
    // Qt hands the file to xdg-open and forgets it, so an xdg-open that
    // finds no program for text files would go unnoticed: its answer is
    // awaited here, without holding the window.
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
    }
    // No parent: an editor that xdg-open waits for stays open when the
    // program ends.
    auto* launch = new QProcess;
    launch->setProgram(launcher);
    launch->setArguments({fileName});
    launch->setProcessChannelMode(QProcess::ForwardedChannels);
    launch->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(launch, &QProcess::finished, launch,
                     [launch, failed](int exitCode, QProcess::ExitStatus exitStatus) {
                         launch->deleteLater();
                         if (exitStatus != QProcess::NormalExit) {
                             failed(QStringLiteral("xdg-open brach ab"));
                         } else if (exitCode == 3 || exitCode == 4) {
                             // 3: no program for the type, 4: the one found failed.
                             failed(QStringLiteral("kein Programm zum Öffnen von Textdateien "
                                                   "eingerichtet (xdg-open: Status %1)")
                                        .arg(exitCode));
                         } else if (exitCode != 0) {
                             failed(QStringLiteral("xdg-open endete mit Status %1").arg(exitCode));
                         }
                     });
    QObject::connect(
        launch, &QProcess::errorOccurred, launch, [launch, failed](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                launch->deleteLater();
                failed(QStringLiteral("xdg-open startet nicht (%1)").arg(launch->errorString()));
            }
        });
    launch->start();
    return true;
}
