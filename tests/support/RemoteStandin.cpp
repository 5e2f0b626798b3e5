#include "RemoteStandin.h"

#include "platform/Ansi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>

#include <algorithm>

#include <gtest/gtest.h>

const QStringList RemoteStandin::kArguments = {QStringLiteral("-T"),
                                               QStringLiteral("-o"),
                                               QStringLiteral("BatchMode=yes"),
                                               QStringLiteral("administrator@mailhost"),
                                               QStringLiteral("powershell"),
                                               QStringLiteral("-NoProfile"),
                                               QStringLiteral("-NonInteractive"),
                                               QStringLiteral("-Command"),
                                               QStringLiteral("-")};

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray utf16le(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QString fromUtf16le(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        text.append(QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8))));
    }
    return text;
}

} // namespace

RemoteStandin::RemoteStandin(const QString& automationDir)
    : m_automationDir(automationDir),
      m_hostDir(QFileInfo(automationDir).absolutePath() + QStringLiteral("/mail host")) {
    EXPECT_TRUE(QDir().mkpath(m_automationDir));
    EXPECT_TRUE(QDir().mkpath(m_hostDir));
    // Another plugin of the same ProgID beside it would make the choice a
    // matter of file names.
    for (const QString& name : QDir(m_automationDir).entryList(QDir::Files)) {
        EXPECT_FALSE(QLibrary::isLibrary(name)) << "already there: " << name.toStdString();
    }
    const QString plugin = QStringLiteral(TARVELO_HMAILSERVER_PLUGIN);
    EXPECT_TRUE(QFile::copy(plugin, m_automationDir + u'/' + QFileInfo(plugin).fileName()));
    EXPECT_TRUE(QFile::copy(QStringLiteral(TARVELO_SOURCE_DIR "/tests/support/powershell-standin"),
                            program()));
    QFile::setPermissions(program(), QFile::permissions(program()) | QFileDevice::ExeOwner);
    setCommand(defaultCommand());
}

QString RemoteStandin::defaultCommand() const {
    return u'"' + program() + QStringLiteral("\" ") + kArguments.join(u' ');
}

void RemoteStandin::setCommand(const QString& commandLine, int timeoutSeconds) const {
    QByteArray config = "[Remote]\r\nCommand=" + commandLine.toUtf8() + "\r\n";
    if (timeoutSeconds != 0) {
        config += "Timeout=" + QByteArray::number(timeoutSeconds) + "\r\n";
    }
    writeConfig(config);
}

void RemoteStandin::writeConfig(const QByteArray& bytes) const {
    writeAll(configFile(), bytes);
}

void RemoteStandin::answer(int status, const QByteArray& standardError) const {
    writeAll(m_hostDir + QStringLiteral("/status"), QByteArray::number(status));
    writeAll(m_hostDir + QStringLiteral("/stderr"), standardError);
}

void RemoteStandin::setFlag(const char* name) const {
    writeAll(m_hostDir + u'/' + QLatin1String(name), {});
}

QList<RemoteStandin::Call> RemoteStandin::calls() const {
    QList<Call> calls;
    for (int n = 1;; ++n) {
        const QString dir = m_hostDir + QStringLiteral("/call-%1/").arg(n);
        if (!QFileInfo(dir).isDir()) {
            return calls;
        }
        Call call;
        QList<QByteArray> arguments = readAll(dir + QStringLiteral("args")).split('\0');
        arguments.removeLast(); // after the last NUL
        for (const QByteArray& argument : arguments) {
            call.arguments.append(QString::fromUtf8(argument));
        }
        call.environment = readAll(dir + QStringLiteral("environ")).split('\0');
        call.input = readAll(dir + QStringLiteral("stdin"));
        call.snapshot = readAll(dir + QStringLiteral("snapshot"));
        call.pid = readAll(dir + QStringLiteral("pid")).trimmed().toLongLong();
        call.childPid = readAll(dir + QStringLiteral("child")).trimmed().toLongLong();
        calls.append(call);
    }
}

bool RemoteStandin::holdsSecret(const QByteArray& bytes, const QString& secret) {
    if (secret.isEmpty()) {
        return false;
    }
    const QByteArray forms[] = {secret.toUtf8(), Ansi::encode(secret), utf16le(secret),
                                utf16le(secret).toBase64()};
    for (const QByteArray& form : forms) {
        if (bytes.contains(form)) {
            return true;
        }
    }
    return false;
}

RefreshScriptParts splitRefreshScript(const QByteArray& script) {
    RefreshScriptParts parts;
    parts.pureAscii = std::all_of(script.cbegin(), script.cend(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 0x20 && u < 0x7F) || u == '\r' || u == '\n';
    });
    static const QRegularExpression ending(QStringLiteral("(\\r\\n|\\n)(\\r\\n|\\n)$"));
    const QString text = QString::fromLatin1(script);
    const auto end = ending.match(text);
    if (end.hasMatch()) {
        parts.statement = script.left(end.capturedStart());
        parts.oneLineThenEmptyLine =
            !parts.statement.contains('\n') && !parts.statement.contains('\r');
    }
    static const QRegularExpression tryCatch(QStringLiteral("^try \\{(.*)\\} catch \\{(.*)\\}$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    const auto blocks = tryCatch.match(QString::fromLatin1(parts.statement));
    if (blocks.hasMatch() && !blocks.captured(1).contains(QStringLiteral("} catch {"))) {
        parts.tryBlock = blocks.captured(1).toLatin1();
        parts.catchBlock = blocks.captured(2).toLatin1();
    }
    static const QRegularExpression encoded(QStringLiteral(
        "\\[Text\\.Encoding\\]::Unicode\\.GetString\\(\\[Convert\\]::FromBase64String\\('"
        "([A-Za-z0-9+/=]*)'\\)\\)"));
    for (auto it = encoded.globalMatch(text); it.hasNext();) {
        parts.decodedTexts.append(
            fromUtf16le(QByteArray::fromBase64(it.next().captured(1).toLatin1())));
    }
    return parts;
}

void RemoteStandin::expectRefreshScript(const QByteArray& script, const QString& user,
                                        const QString& password) {
    SCOPED_TRACE(script.toStdString());
    const RefreshScriptParts parts = splitRefreshScript(script);
    EXPECT_TRUE(parts.pureAscii);
    EXPECT_TRUE(parts.oneLineThenEmptyLine);
    ASSERT_FALSE(parts.tryBlock.isEmpty()) << "not one try/catch statement";
    const QByteArray& body = parts.tryBlock;
    const qsizetype create = body.indexOf("New-Object -ComObject 'hMailServer.Application'");
    const qsizetype login = body.indexOf("$app.Authenticate(");
    const qsizetype reload = body.indexOf("$app.Settings.Routes.Refresh()");
    EXPECT_GE(create, 0);
    EXPECT_GT(login, create);
    EXPECT_GT(reload, login);
    EXPECT_EQ(body.count("Refresh()"), 1);
    // Written only once the refresh got through.
    EXPECT_GT(body.indexOf("[Console]::Out.WriteLine('tarvelo-routes-reloaded')"), reload);
    EXPECT_TRUE(parts.catchBlock.contains("[Console]::Error.WriteLine("));
    EXPECT_TRUE(parts.catchBlock.contains("$_.Exception.Message"));
    EXPECT_TRUE(parts.catchBlock.trimmed().endsWith("exit 1"));
    EXPECT_EQ(parts.decodedTexts, QStringList({user, password}));
}

void RemoteStandin::expectSecretKept(const Call& call, const QString& password) {
    for (const QString& argument : call.arguments) {
        EXPECT_FALSE(RemoteStandin::holdsSecret(argument.toUtf8(), password))
            << argument.toStdString();
    }
    for (const QByteArray& variable : call.environment) {
        EXPECT_FALSE(RemoteStandin::holdsSecret(variable, password)) << variable.toStdString();
    }
}
