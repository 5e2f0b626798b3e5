#include "app/TarveloApp.h"

#include "core/AppPaths.h"
#include "core/CommandLine.h"
#include "core/ErrorReporter.h"
#include "gui/ApplicationIdentity.h"
#include "gui/Dialogs.h"
#include "gui/Tfmain.h"
#include "platform/Clock.h"
#include "platform/ComApartment.h"
#include "platform/ProgramArguments.h"
#include "platform/ScreenPlatforms.h"
#include "platform/StandardError.h"
#include "platform/TarveloError.h"
#include "platform/WriteSignals.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

namespace {

bool isScreenless(const QByteArray& platform) {
    const QByteArray name = platform.split(':').constFirst().trimmed().toLower();
    return name == "offscreen" || name == "minimal";
}

bool platformHasScreen() {
    return !isScreenless(QGuiApplication::platformName().toLatin1());
}

// The platforms to try, in this order. A scheduled run has no screen at all:
// the platform that needs none. Otherwise the display named, and the one
// that needs none after it, so that a display that cannot be used (no
// server behind DISPLAY, a plugin that does not start) becomes a run
// without screen instead of an abort.
QByteArray platformsToTry() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) {
        for (const QByteArray& platform : chosen.split(';')) {
            if (isScreenless(platform)) {
                return chosen;
            }
        }
        // Named for the desktop (Qt's dark mode on Windows, set for every
        // program), in a window station nobody sees: there it would start,
        // and its message box would wait for ever.
        if (ScreenPlatforms::hidden()) {
            return "offscreen";
        }
        return chosen + ";offscreen";
    }
    QByteArrayList platforms = ScreenPlatforms::available();
    platforms.append("offscreen");
    return platforms.join(';');
}

// The platforms without those whose screen takes the connection and never
// answers: the toolkit would wait for it for ever, the run never begin.
QByteArray withoutSilentScreens(const QByteArray& platforms) {
    QByteArrayList kept;
    for (const QByteArray& platform : platforms.split(';')) {
        if (isScreenless(platform) || ScreenPlatforms::answers(platform)) {
            kept.append(platform);
        }
    }
    return kept.join(';');
}

// Why the run goes on without screen although a display was named.
QString unusableDisplay(const QByteArray& platforms) {
    QStringList tried;
    for (const QByteArray& platform : platforms.split(';')) {
        if (!platform.isEmpty() && !isScreenless(platform)) {
            tried.append(QString::fromLocal8Bit(platform));
        }
    }
    const QString where = ScreenPlatforms::description();
    const QString failed =
        tried.size() == 1
            ? QStringLiteral("Qt-Plattform %1 startet nicht").arg(tried.first())
            : QStringLiteral("Qt-Plattformen %1 starten nicht").arg(tried.join(u", "));
    return QStringLiteral("Tarvelo: Der Bildschirm ist nicht nutzbar (%1; %2), es geht ohne "
                          "Bildschirm weiter.")
        .arg(where, failed);
}

// The toolkit's notes while it looks for a platform. They are shown as
// usual when a screen was found; a failed attempt is told in one line of
// our own instead.
QStringList& startupNotes() {
    static QStringList notes;
    return notes;
}

void collectStartupNote(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    startupNotes().append(qFormatLogMessage(type, context, message));
}

// Whether the command line asks for a run at all, whatever became of it: a
// run that failed early (the log not writable) is no interactive start.
bool asksForRun(const QStringList& parameters) {
    for (const QString& parameter : parameters) {
        const CommandLineSwitch::Kind kind = CommandLine::parse(parameter).kind;
        if (kind == CommandLineSwitch::DbSync || kind == CommandLineSwitch::Refresh ||
            kind == CommandLineSwitch::File) {
            return true;
        }
    }
    return false;
}

// Exit status of a run without screen: 2 when the list file was missing,
// 1 after an error or when nothing was asked for, else 0. A start that asked
// for nothing is reported as an error, so that the log tells it also where
// standard error goes nowhere (a task of the scheduler).
int unattendedExitStatus(const Tfmain& window, ErrorReporter& reporter,
                         const QStringList& parameters) {
    const bool runAsked = asksForRun(parameters);
    if (window.session().listFileMissing()) {
        return 2;
    }
    if (!runAsked) {
        QString message = QStringLiteral("Die Bedienung im Fenster braucht einen Bildschirm; "
                                         "ohne Bildschirm nur mit /file:, /dbsync oder /refresh.");
        // A misspelt switch is ignored like any unknown parameter; here,
        // where nothing was asked for, it is the likely cause.
        QStringList unknown;
        for (const QString& parameter : parameters) {
            if (CommandLine::parse(parameter).kind == CommandLineSwitch::Ignored) {
                unknown.append(parameter);
            }
        }
        if (!unknown.isEmpty()) {
            message += QStringLiteral(" Nicht erkannt: ") + unknown.join(QStringLiteral(", "));
        }
        reporter.report(message);
        return 1;
    }
    return reporter.errorReported() || !window.session().runRequested() ? 1 : 0;
}

// With a screen, a run asked for on the command line tells its scheduler how
// it went as well, once the window is closed: 2 when the list file was
// missing, 1 after an error shown in a message box, else the loop's status.
int screenExitStatus(const Tfmain& window, const ErrorReporter& reporter, bool runAsked,
                     int loopStatus) {
    if (!runAsked) {
        return loopStatus;
    }
    if (window.session().listFileMissing()) {
        return 2;
    }
    return reporter.errorReported() ? 1 : loopStatus;
}

// Without a screen, standard error belongs to the program's own reports:
// the toolkit's notes about the missing display would only alarm a scheduler.
void quietToolkitNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        StandardError::writeLine(message);
    }
}

} // namespace

int runTarvelo(int argc, char* argv[], const RunWaits& waits) {
    WriteSignals::reportInsteadOfEnding();
    const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    const QByteArray chosenPlatform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray platforms = platformsToTry();
    qputenv("QT_QPA_PLATFORM", withoutSilentScreens(platforms));
    const bool screenWanted = !isScreenless(platforms.split(';').constFirst());
    qInstallMessageHandler(collectStartupNote);
    // The window's thread is a single-threaded apartment from before the
    // window until after it, for the mail server's administration object.
    const ComApartment apartment;
    // The command line is Tarvelo's own: the toolkit sees only the program's
    // name, so that a stray "-platform" or "-style" on a task's line is
    // counted and ignored like any unknown parameter, instead of ending the
    // program or taking the parameter after it.
    int toolkitArgc = std::min(argc, 1);
    QApplication app(toolkitArgc, argv);
    // The programs Tarvelo starts (the route refresh's command, the editor
    // of the exception file) choose their platform as they would anyway.
    if (platformChosen) {
        qputenv("QT_QPA_PLATFORM", chosenPlatform);
    } else {
        qunsetenv("QT_QPA_PLATFORM");
    }
    const bool screen = platformHasScreen();
    if (screen) {
        qInstallMessageHandler(nullptr);
        for (const QString& note : std::as_const(startupNotes())) {
            StandardError::writeLine(note);
        }
    } else {
        qInstallMessageHandler(quietToolkitNotes);
        if (screenWanted) {
            StandardError::writeLine(unusableDisplay(platforms));
        }
    }
    startupNotes().clear();
    ApplicationIdentity::apply();
    // The toolkit's own texts (file dialogs, edit menus) in German, where
    // the system has Qt's translations.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&toolkitTexts);
    }

    DesktopDialogs dialogs;
    ErrorReporter reporter(screen ? ErrorReporter::MessageBox([&dialogs](const QString& message) {
        dialogs.message(fmain, message);
    })
                                  : ErrorReporter::MessageBox());

    const QStringList parameters = CommandLine::parameters(ProgramArguments::current(argc, argv));
    RunWaits runWaits = waits;
    runWaits.unattended = !screen;
    AppPaths paths;
    try {
        paths = AppPaths::current();
    } catch (const TarveloError& error) {
        // No log yet: the message box, or standard error without a screen.
        reporter.report(error.message());
        return 1;
    }
    std::optional<Tfmain> window;
    try {
        window.emplace(paths, Clock::system(), dialogs, reporter, parameters, runWaits);
    } catch (const std::system_error& error) {
        // The watchdog's thread not to be had (an address space limit):
        // nothing is changed yet, and the log went with the window. Memory
        // that runs out while the widgets are built is not caught: Qt cannot
        // take half-built widgets apart again.
        reporter.setLog(nullptr);
        reporter.report(ErrorReporter::messageOf(error));
        return 1;
    }

    // Shown from inside the running loop, so that a termination requested
    // while the command line is processed reaches the loop.
    int status = 0;
    QTimer::singleShot(0, &*window, [&] {
        if (screen && ScreenPlatforms::startsMinimised()) {
            window->showMinimized();
        } else {
            window->show();
        }
        if (!screen) {
            status = unattendedExitStatus(*window, reporter, parameters);
            QCoreApplication::exit(status);
        }
    });
    int loopStatus = 0;
    try {
        loopStatus = QApplication::exec();
    } catch (const std::bad_alloc&) {
        // Memory ran out again while the first shortage was being reported:
        // a word, without asking for more memory, instead of an abort.
        std::fputs("Tarvelo: Zu wenig Arbeitsspeicher\n", stderr);
        return 1;
    }
    return screen ? screenExitStatus(*window, reporter, asksForRun(parameters), loopStatus)
                  : status;
}
