#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The shipped administration plugin copied into an "automation" folder, its
// hmailserver.ini naming a stand-in (tests/support/powershell-standin) for the
// command that runs PowerShell on the mail server's host. The stand-in lies in
// the folder "mail host" beside that folder (a blank in its path on purpose)
// and records every start there.
class RemoteStandin {
public:
    // The arguments Command gives the stand-in by default: those of the ssh
    // command an administrator configures.
    static const QStringList kArguments;

    explicit RemoteStandin(const QString& automationDir);

    QString automationDir() const { return m_automationDir; }
    QString configFile() const { return m_automationDir + QStringLiteral("/hmailserver.ini"); }
    QString program() const { return m_hostDir + QStringLiteral("/powershell-standin"); }
    QString hostDir() const { return m_hostDir; }
    // The stand-in, quoted, with kArguments.
    QString defaultCommand() const;

    // Writes hmailserver.ini with section [Remote] and Command=commandLine,
    // and Timeout=timeoutSeconds unless that is 0.
    void setCommand(const QString& commandLine, int timeoutSeconds = 0) const;
    void writeConfig(const QByteArray& bytes) const;

    // How the stand-in answers: exit status and what it writes on standard error.
    void answer(int status, const QByteArray& standardError = {}) const;
    // Control files of the stand-in (see the script): "noread", "echo", "hang".
    void setFlag(const char* name) const;

    struct Call {
        QStringList arguments;
        QList<QByteArray> environment;
        QByteArray input;
        QByteArray snapshot;
        qint64 pid = 0;
        qint64 childPid = 0; // the program it started, with "hang"
    };
    // Every start of the stand-in, in order.
    QList<Call> calls() const;

    // Whether bytes hold secret in any form it could travel in: UTF-8, the
    // system's code page, UTF-16LE, or Base64 of that.
    static bool holdsSecret(const QByteArray& bytes, const QString& secret);

    // The script creates the object, logs in with user and password and
    // refreshes, in that order, in the try block of its one statement; the
    // catch reports the error's message and exits with 1.
    static void expectRefreshScript(const QByteArray& script, const QString& user,
                                    const QString& password);
    // The password is neither among the call's arguments nor in its environment.
    static void expectSecretKept(const Call& call, const QString& password);

private:
    QString m_automationDir;
    QString m_hostDir;
};

// A refresh script as the mail server's host received it, taken apart.
struct RefreshScriptParts {
    bool pureAscii = false;
    // The text before the final empty line ("" when it does not end so).
    QByteArray statement;
    // Whether the script is that one line followed by an empty line.
    bool oneLineThenEmptyLine = false;
    // The try and the catch block of statement ("" when it is not one
    // try/catch statement).
    QByteArray tryBlock;
    QByteArray catchBlock;
    // The texts handed over as Base64 of UTF-16LE, decoded, in order.
    QStringList decodedTexts;
};

RefreshScriptParts splitRefreshScript(const QByteArray& script);
