#include "../platform/FileModeTools.h"
#include "RemoteStandin.h"
#include "automation/AutomationRegistry.h"
#include "automation/RouteRefresh.h"
#include "platform/TarveloError.h"
#include "plugins/hmailserver/RemoteCommand.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>

// The shipped "hMailServer.Application", loaded from a copy as the program
// loads it, with a stand-in for the command that reaches the mail server's host.

namespace {

class HmailServerPlugin : public ::testing::Test {
protected:
    HmailServerPlugin() : remote(scratch.filePath(QStringLiteral("automation"))) {}

    // One refresh as the program makes it; the error's message, or "" on success.
    QString refresh(QString& password) {
        try {
            refreshRoutes(password, remote.automationDir());
        } catch (const TarveloError& error) {
            return error.message();
        }
        return {};
    }

    QString refresh() {
        QString password = QStringLiteral("Geheim");
        return refresh(password);
    }

    QTemporaryDir scratch;
    RemoteStandin remote;
};

// Whether the process still runs a moment later: a killed one whose parent
// is gone may stay a zombie until the system's first process collects it.
bool runsSoon(qint64 pid) {
    for (int i = 0; i < 40; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            return false;
        }
        const QByteArray line = stat.readAll();
        if (line.mid(line.lastIndexOf(')') + 2, 1) == "Z") {
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

// The most memory this process has held at once, in kilobytes.
long peakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST_F(HmailServerPlugin, RefreshStartsTheCommandOnceWithTheScriptOnItsInput) {
    QString password = QStringLiteral("Geheim 1ä");
    EXPECT_EQ(refresh(password), QString());
    EXPECT_EQ(password, QStringLiteral("Geheim 1ä"));

    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, RemoteStandin::kArguments);
    RemoteStandin::expectRefreshScript(calls[0].input, QStringLiteral("Administrator"), password);
    RemoteStandin::expectSecretKept(calls[0], password);

    // Each refresh makes its own object and starts the command again.
    EXPECT_EQ(refresh(password), QString());
    ASSERT_EQ(remote.calls().size(), 2);
    EXPECT_EQ(remote.calls()[1].input, calls[0].input);
}

TEST_F(HmailServerPlugin, LogsInWithTheTextsGivenAndLeavesThePasswordAsItWas) {
    AutomationObject application =
        createOleObject(QStringLiteral("hMailServer.Application"), remote.automationDir());
    QList<AutomationArgument> login{
        AutomationArgument::byValue(QStringLiteral("Jörg ‘Postmeister’")),
        AutomationArgument::reference(QStringLiteral("pa$$ ’wort")),
    };
    application.call(QStringLiteral("Authenticate"), login);
    EXPECT_EQ(login[1].value.toString(), QStringLiteral("pa$$ ’wort"));
    EXPECT_TRUE(remote.calls().isEmpty()) << "the login alone reaches nobody";

    AutomationObject settings = application.get(QStringLiteral("Settings"));
    AutomationObject routes = settings.get(QStringLiteral("Routes"));
    EXPECT_TRUE(remote.calls().isEmpty());
    routes.call(QStringLiteral("Refresh"));
    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    RemoteStandin::expectRefreshScript(calls[0].input, QStringLiteral("Jörg ‘Postmeister’"),
                                       QStringLiteral("pa$$ ’wort"));
}

TEST_F(HmailServerPlugin, EveryPasswordArrivesUnchanged) {
    QString upperHalf;
    for (char16_t c = 0xA0; c <= 0xFF; ++c) {
        upperHalf.append(QChar(c));
    }
    const QString passwords[] = {
        QString(),
        QStringLiteral("‘einfach’ ‚tief‛"),
        QStringLiteral("“doppelt” „unten“"),
        QStringLiteral("'; exit 0; '"),
        QStringLiteral("\"\"\" ''"),
        QStringLiteral("  Leer  zeichen  "),
        QStringLiteral("$env:USERNAME $(Get-Date) ${x} $_"),
        QStringLiteral("`n`t`` `"),
        QStringLiteral("a\\b/c#d;e|f&g<h>i"),
        upperHalf,
        QStringLiteral("€‰Œœ—™") + QChar(0x81) + QChar(0x9D),
        QString(255, QChar(u'ÿ')),
    };
    for (const QString& password : passwords) {
        SCOPED_TRACE(password.toStdString());
        QString given = password;
        EXPECT_EQ(refresh(given), QString());
        EXPECT_EQ(given, password);
        const auto calls = remote.calls();
        ASSERT_FALSE(calls.isEmpty());
        RemoteStandin::expectRefreshScript(calls.last().input, QStringLiteral("Administrator"),
                                           password);
        RemoteStandin::expectSecretKept(calls.last(), password);
    }
    EXPECT_EQ(remote.calls().size(), std::size(passwords));
}

TEST_F(HmailServerPlugin, CommandIsSplitLikeACommandLineAndNeverGoesThroughAShell) {
    const QString pwned = scratch.filePath(QStringLiteral("pwned"));
    // Read with the program's own profile rules: names in any case, blanks
    // around the value, comments.
    remote.writeConfig("; Befehl auf dem Mailserver\r\n[REMOTE]\r\n  command =  \"" +
                       remote.program().toUtf8() + "\" \"ein Argument\" $(touch " + pwned.toUtf8() +
                       ") ; * | && `id` $HOME >x  \r\n");
    EXPECT_EQ(refresh(), QString());
    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, QStringList({"ein Argument", "$(touch", pwned + ")", ";", "*",
                                               "|", "&&", "`id`", "$HOME", ">x"}));
    EXPECT_FALSE(QFile::exists(pwned));
    EXPECT_FALSE(QFile::exists(remote.hostDir() + QStringLiteral("/x")));
}

TEST_F(HmailServerPlugin, QuotationMarksAroundACommandAreTakenOffOnlyWhereTheyHoldItWhole) {
    // The stand-in's folder also by a path without a blank.
    const QString plainHost = scratch.filePath(QStringLiteral("host"));
    ASSERT_TRUE(QFile::link(remote.hostDir(), plainHost));
    const QByteArray program = remote.program().toUtf8();
    const struct {
        const char* what;
        QByteArray command;
        QStringList arguments;
    } cases[] = {
        {"first and last word quoted",
         '"' + program + "\" -T \"powershell -Command -\"",
         {"-T", "powershell -Command -"}},
        {"one program with a blank in its path", '"' + program + '"', {}},
        {"the whole command in quotes",
         '"' + plainHost.toUtf8() + "/powershell-standin -T mailhost\"",
         {"-T", "mailhost"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        remote.writeConfig("[Remote]\r\nCommand=" + c.command + "\r\n");
        EXPECT_EQ(refresh(), QString());
        const auto calls = remote.calls();
        ASSERT_FALSE(calls.isEmpty());
        EXPECT_EQ(calls.last().arguments, c.arguments);
    }
    EXPECT_EQ(remote.calls().size(), std::size(cases));
}

TEST_F(HmailServerPlugin, FailingCommandReportsItsLastLineOnStandardError) {
    struct Case {
        const char* what;
        int status;
        QByteArray standardError;
        const char* flag;
        QString message;
    };
    const QString program = remote.program();
    const Case cases[] = {
        {"PowerShell's message, trimmed", 1,
         "Warnung: erste Zeile\r\n\r\nAnmeldung fehlgeschlagen. \r\n  \r\n\n", nullptr,
         QStringLiteral("Anmeldung fehlgeschlagen")},
        {"ssh that never read its input", 255,
         "ssh: Could not resolve hostname mailhost: Name or service not known\r\n", "noread",
         QStringLiteral("ssh: Could not resolve hostname mailhost: Name or service not known")},
        {"lone CRs end lines too", 1, "erste\rzweite...\r", nullptr, QStringLiteral("zweite")},
        {"UTF-8", 1, "Zugriff für Administrator verweigert.\n", nullptr,
         QStringLiteral("Zugriff für Administrator verweigert")},
        {"the system's code page", 1, "Zugriff f\xFCr Administrator verweigert.\n", nullptr,
         QStringLiteral("Zugriff für Administrator verweigert")},
        {"no message", 3, "", nullptr,
         QStringLiteral("Der Befehl \"%1\" endete mit Status 3 ohne Fehlermeldung").arg(program)},
        {"only blank lines", 1, " \r\n\t\n", nullptr,
         QStringLiteral("Der Befehl \"%1\" endete mit Status 1 ohne Fehlermeldung").arg(program)},
        {"much output before the last line", 1,
         QByteArray("Warnung: Zeile\r\n").repeated(200000) + "Zugriff verweigert\r\n", nullptr,
         QStringLiteral("Zugriff verweigert")},
        {"a line of megabytes, cut to a message of a thousand characters", 1,
         QByteArray(3000000, 'x') + '\n', nullptr, QString(1000, u'x') + QStringLiteral(" …")},
        {"a line of exactly a thousand characters, whole", 1, QByteArray(1000, 'y') + '\n', nullptr,
         QString(1000, u'y')},
        {"status 0 without the script's confirmation, as from cmd.exe", 0,
         "'try' is not recognized as an internal or external command,\r\noperable program or "
         "batch file.\r\n",
         "noconfirm", QStringLiteral("operable program or batch file")},
        {"status 0 without a word", 0, "", "noconfirm",
         QStringLiteral("Der Befehl \"%1\" endete mit Status 0, ohne zu bestätigen, dass der "
                        "Mailserver seine Routen neu geladen hat (Command in %2 muss PowerShell "
                        "mit \"-Command -\" starten, das das Skript von der Standardeingabe "
                        "liest)")
             .arg(program, remote.configFile())},
        {"warnings of a command that succeeded", 0, "Warning: Permanently added 'mailhost'\n",
         nullptr, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(remote.hostDir() + QStringLiteral("/noread"));
        QFile::remove(remote.hostDir() + QStringLiteral("/noconfirm"));
        remote.answer(c.status, c.standardError);
        if (c.flag != nullptr) {
            remote.setFlag(c.flag);
        }
        EXPECT_EQ(refresh(), c.message);
    }
    EXPECT_EQ(remote.calls().size(), std::size(cases));
}

// Only the end of what a command writes is kept, however fast it writes:
// a command that pours out lines (a login shell's banner in a loop, a
// misconfigured Command) must not hold hundreds of megabytes while the
// refresh waits for it.
TEST_F(HmailServerPlugin, CommandThatWritesOnAndOnHoldsLittleMemory) {
    for (const char* channel : {"", " >&2"}) {
        SCOPED_TRACE(channel);
        remote.setCommand(QStringLiteral("/bin/sh -c \"yes | head -c 600000000%1; "
                                         "echo tarvelo-routes-reloaded\"")
                              .arg(QLatin1String(channel)),
                          120);
        const long before = peakKilobytes();
        EXPECT_EQ(refresh(), QString());
        EXPECT_LT(peakKilobytes() - before, 16 * 1024);
    }
}

TEST_F(HmailServerPlugin, ErrorTextThatQuotesTheScriptHidesThePassword) {
    // As PowerShell quotes the line it could not run.
    remote.setFlag("echo");
    remote.answer(1);
    QString password = QStringLiteral("Geheim 1ä");
    const QString message = refresh(password);
    EXPECT_TRUE(message.startsWith(QStringLiteral("try {"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("FromBase64String('***')")));
    EXPECT_FALSE(RemoteStandin::holdsSecret(message.toUtf8(), password)) << message.toStdString();
}

TEST_F(HmailServerPlugin, WithoutUsableConfigurationNoObjectIsMade) {
    const QString notSetUp =
        QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: In %1 steht im "
                       "Abschnitt [Remote] kein Befehl unter Command")
            .arg(remote.configFile());
    const QByteArray configs[] = {
        "",
        "[Remote]\r\nCommand=\r\n",
        "[Remote]\r\nCommand=   \t\r\n",
        "[Remote]\r\nCommand=\"\"\r\n",
        "[Remote]\r\nKommando=ssh mailhost\r\n",
        "[Andere]\r\nCommand=ssh mailhost\r\n[Remote]\r\n",
    };
    for (const QByteArray& config : configs) {
        SCOPED_TRACE(config.toStdString());
        remote.writeConfig(config);
        EXPECT_EQ(refresh(), notSetUp);
    }

    ASSERT_TRUE(QFile::remove(remote.configFile()));
    QString password = QStringLiteral("Geheim");
    EXPECT_EQ(refresh(password),
              QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: Datei %1 fehlt "
                             "(Abschnitt [Remote], Schlüssel Command: der Befehl, der PowerShell "
                             "auf dem Mailserver startet)")
                  .arg(remote.configFile()));
    EXPECT_EQ(password, QStringLiteral("Geheim"));
    EXPECT_TRUE(remote.calls().isEmpty());

    // A folder in the file's place is named as such, not as missing.
    ASSERT_TRUE(QDir().mkdir(remote.configFile()));
    EXPECT_EQ(refresh(), QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: %1 ist "
                                        "keine reguläre Datei")
                             .arg(remote.configFile()));
    ASSERT_TRUE(QDir().rmdir(remote.configFile()));

    // A file with a command that this user may not read is named as such,
    // not as one without a command.
    remote.setCommand(remote.defaultCommand());
    ASSERT_TRUE(FileTestTools::setMode(remote.configFile(), 0));
    ASSERT_TRUE(FileTestTools::setMode(scratch.path(), 0755));
    const std::string complaint = FileTestTools::runUnprivileged([&] {
        const QString message = refresh();
        const QString expected =
            QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: Datei %1 kann "
                           "nicht gelesen werden")
                .arg(remote.configFile());
        return message == expected ? std::string() : message.toStdString();
    });
    EXPECT_EQ(complaint, "");
    EXPECT_TRUE(remote.calls().isEmpty());
    ASSERT_TRUE(FileTestTools::setMode(remote.configFile(), 0600));

    // Read afresh for every object: once written, it counts.
    remote.setCommand(remote.defaultCommand());
    EXPECT_EQ(refresh(), QString());
    EXPECT_EQ(remote.calls().size(), 1);
}

TEST_F(HmailServerPlugin, ATimeLimitThatIsNoNumberOfSecondsIsNamedBeforeAnyStart) {
    for (const QByteArray timeout : {"0", "-5", "3601", "zehn", "1.5", "60s"}) {
        SCOPED_TRACE(timeout.toStdString());
        remote.writeConfig("[Remote]\r\nCommand=" + remote.defaultCommand().toUtf8() +
                           "\r\nTimeout=" + timeout + "\r\n");
        EXPECT_EQ(refresh(),
                  QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: In %1 steht im "
                                 "Abschnitt [Remote] unter Timeout \"%2\" statt einer Zahl von "
                                 "Sekunden von 1 bis 3600")
                      .arg(remote.configFile(), QString::fromLatin1(timeout)));
    }
    EXPECT_TRUE(remote.calls().isEmpty());
    // The longest limit, and an empty value (the normal minute), start the command.
    for (const QByteArray timeout : {"3600", " 1 ", ""}) {
        remote.writeConfig("[Remote]\r\nCommand=" + remote.defaultCommand().toUtf8() +
                           "\r\nTimeout=" + timeout + "\r\n");
        EXPECT_EQ(refresh(), QString()) << timeout.toStdString();
    }
    EXPECT_EQ(remote.calls().size(), 3);
    // Without the key, or with it empty, a command has a minute.
    for (const auto& [key, seconds] : {std::pair<QByteArray, int>{"", 60},
                                       {"Timeout=\r\n", 60},
                                       {"Timeout=3600\r\n", 3600},
                                       {"Timeout= 1 \r\n", 1}}) {
        SCOPED_TRACE(key.toStdString());
        remote.writeConfig("[Remote]\r\nCommand=" + remote.defaultCommand().toUtf8() + "\r\n" +
                           key);
        RemoteCommand command;
        QString error;
        ASSERT_TRUE(RemoteCommand::load(remote.configFile(), &command, &error))
            << error.toStdString();
        EXPECT_EQ(command.timeoutSeconds, seconds);
    }
}

TEST_F(HmailServerPlugin, CommandThatCannotBeStartedIsNamed) {
    const QString notExecutable = remote.hostDir() + QStringLiteral("/nur-lesbar");
    ASSERT_TRUE(QFile::copy(remote.program(), notExecutable));
    ASSERT_TRUE(QFile::setPermissions(notExecutable, QFileDevice::ReadOwner));
    for (const QString& program : {scratch.filePath(QStringLiteral("fehlt/ssh")),
                                   QStringLiteral("tarvelo-kein-ssh"), notExecutable}) {
        SCOPED_TRACE(program.toStdString());
        remote.setCommand(u'"' + program + QStringLiteral("\" -T mailhost"));
        EXPECT_EQ(refresh(),
                  QStringLiteral("Der Befehl \"%1\" kann nicht gestartet werden (nicht gefunden "
                                 "oder nicht ausführbar; eingetragen in %2)")
                      .arg(program, remote.configFile()));
    }
    EXPECT_TRUE(remote.calls().isEmpty());
}

// A stop heard only once the command has confirmed and ended (Ctrl+C, a
// service manager) is no failure: the mail server has reloaded its routes.
TEST_F(HmailServerPlugin, AStopHeardAfterTheConfirmedEndIsNoFailure) {
    const auto stopOnceEnded = [this] {
        const auto calls = remote.calls();
        // Until the command is gone, collected as ended, the wait goes on.
        return calls.isEmpty() || calls[0].pid <= 0 || ::kill(pid_t(calls[0].pid), 0) == 0;
    };
    QString password = QStringLiteral("Geheim");
    EXPECT_NO_THROW(refreshRoutes(password, remote.automationDir(), stopOnceEnded));
    EXPECT_EQ(remote.calls().size(), 1);

    // Ended badly, the same stop is what ended it.
    remote.answer(143);
    try {
        refreshRoutes(password, remote.automationDir(), stopOnceEnded);
        ADD_FAILURE() << "no error";
    } catch (const TarveloError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Abgebrochen: ")))
            << error.message().toStdString();
    }
}

TEST_F(HmailServerPlugin, CommandThatNeverEndsIsEndedAfterTheTimeLimit) {
    remote.setCommand(remote.defaultCommand(), 2);
    remote.setFlag("hang");
    EXPECT_EQ(refresh(),
              QStringLiteral("Zeitüberschreitung: Der Befehl \"%1\" hat sich nach 2 Sekunden "
                             "nicht beendet und wurde abgebrochen")
                  .arg(remote.program()));
    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    // Its input had been written and closed; the command itself is gone.
    RemoteStandin::expectRefreshScript(calls[0].input, QStringLiteral("Administrator"),
                                       QStringLiteral("Geheim"));
    ASSERT_GT(calls[0].pid, 0);
    EXPECT_EQ(::kill(static_cast<pid_t>(calls[0].pid), 0), -1);
    EXPECT_EQ(errno, ESRCH);
    // So is the program it started, which would otherwise go on with the
    // refresh reported as ended.
    ASSERT_GT(calls[0].childPid, 0);
    EXPECT_FALSE(runsSoon(calls[0].childPid));

    // The shortest limit, in the singular.
    remote.setCommand(remote.defaultCommand(), 1);
    EXPECT_EQ(refresh(),
              QStringLiteral("Zeitüberschreitung: Der Befehl \"%1\" hat sich nach 1 Sekunde "
                             "nicht beendet und wurde abgebrochen")
                  .arg(remote.program()));
}
