#include "core/AppPaths.h"
#include "core/ErrorReporter.h"
#include "core/Mtools.h"
#include "gui/Dialogs.h"
#include "gui/Tfmain.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <cstdio>

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool platformHasScreen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Exit status of a run without screen: 2 when the list file was missing,
// 1 after an error or when nothing was asked for, else 0.
int unattendedExitStatus(const Tfmain& window, const ErrorReporter& reporter) {
    if (window.session().listFileMissing()) {
        return 2;
    }
    if (!window.session().runRequested()) {
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("Tarvelo: Die Bedienung im Fenster braucht einen Bildschirm; "
                                    "ohne Bildschirm nur mit /file:, /dbsync oder /refresh.")
                         .toLocal8Bit()
                         .constData());
        return 1;
    }
    return reporter.errorReported() ? 1 : 0;
}

// Without a screen, standard error belongs to the program's own reports:
// the toolkit's notes about the missing display would only alarm a scheduler.
void quietToolkitNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // A scheduled run has no screen: choose the platform that needs none.
    if (!hasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!hasDisplay()) {
        qInstallMessageHandler(quietToolkitNotes);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarvelo"));
    // The toolkit's own texts (file dialogs, edit menus) in German, where
    // the system has Qt's translations.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&toolkitTexts);
    }

    const bool screen = platformHasScreen();
    DesktopDialogs dialogs;
    ErrorReporter reporter(screen ? ErrorReporter::MessageBox([&dialogs](const QString& message) {
        dialogs.message(fmain, message);
    })
                                  : ErrorReporter::MessageBox());
    Mtools::setDocumentOpener(
        [](const QString& fileName) { QDesktopServices::openUrl(QUrl::fromLocalFile(fileName)); });

    QStringList parameters = QCoreApplication::arguments();
    parameters.removeFirst();
    Tfmain window(AppPaths::current(), Clock::system(), dialogs, reporter, parameters);

    // Shown from inside the running loop, so that a termination requested
    // while the command line is processed reaches the loop.
    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        window.show();
        if (!screen) {
            status = unattendedExitStatus(window, reporter);
            QCoreApplication::exit(status);
        }
    });
    const int loopStatus = QApplication::exec();
    return screen ? loopStatus : status;
}
