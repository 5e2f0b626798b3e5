#include "BenchWindow.h"

#include "core/AppPaths.h"
#include "core/ErrorReporter.h"
#include "gui/Dialogs.h"
#include "gui/RunBreather.h"
#include "gui/Tfmain.h"
#include "platform/Clock.h"
#include "platform/ProfileFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>

#include <cstdio>
#include <sys/resource.h>

int BenchWindow::runChild(const QString& connection, const QString& workDir) {
    // An installation of its own, beside a would-be executable.
    const QString home = QDir(workDir).filePath(QStringLiteral("fenster"));
    QDir().mkpath(home + QStringLiteral("/protokoll"));
    const AppPaths paths = AppPaths::forExecutable(home + QStringLiteral("/tarvelo"));
    QFile::remove(paths.iniFile);
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    ProfileFile::writeString(paths.iniFile, "ad", "emails",
                             QDir(workDir).filePath(QStringLiteral("adressen.txt")));
    ProfileFile::writeString(paths.iniFile, "Options", "Protokoll",
                             home + QStringLiteral("/protokoll/"));
    QFile::remove(paths.exceptionFile);
    QFile::copy(QDir(workDir).filePath(QStringLiteral("ausnahmen.txt")), paths.exceptionFile);

    DesktopDialogs dialogs;
    QStringList errors;
    ErrorReporter reporter([&errors](const QString& message) { errors.append(message); });
    Tfmain window(paths, Clock::system(), dialogs, reporter, {});
    window.show();
    QElapsedTimer exposed;
    exposed.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
           exposed.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    int breaths = 0;
    qint64 inBreaths = 0;
    QElapsedTimer breath;
    QObject::connect(&window.runBreather(), &RunBreather::aboutToBreathe, &window,
                     [&breath] { breath.start(); });
    QObject::connect(&window.runBreather(), &RunBreather::breathed, &window, [&] {
        ++breaths;
        inBreaths += breath.nsecsElapsed();
    });
    QElapsedTimer timer;
    timer.start();
    window.btsyncClick();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!errors.isEmpty()) {
        std::fprintf(stderr, "tarvelo_bench: %s\n", errors.join(u'\n').toLocal8Bit().constData());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const int changes = window.zaehler().section(u' ', 0, 0).toInt() - 1;
    std::printf("RESULT %d %.3f %.1f %d %.3f\n", changes, seconds, double(usage.ru_maxrss) / 1024.0,
                breaths, double(inBreaths) / 1e9);
    std::fflush(stdout);
    return 0;
}
