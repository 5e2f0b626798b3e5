#pragma once

#include <QByteArray>
#include <QString>

// What "refresh" writes to the standard input of PowerShell on the mail
// server's host: create "hMailServer.Application", log in, reload the routes.
//
// PowerShell reads such input statement by statement, as if typed at a
// prompt: the exit status is the last statement's only, a block runs only once
// an empty line follows it, and a failing statement does not stop the next.
// So the whole refresh is one try/catch statement followed by an empty line,
// whose catch writes the error's own message as one line on standard error and
// exits with 1.
//
// Windows PowerShell decodes redirected input with the console's code page and
// takes the typographic quotes as quote characters too, so user name and
// password travel as Base64 of their UTF-16LE bytes and are decoded inside the
// script: the script is pure ASCII and every text arrives unchanged.
//
// Only a refresh that got through writes the confirmation line on standard
// output: an exit status of 0 alone does not show that PowerShell ran the
// script (cmd.exe as the account's shell, or a Command without PowerShell,
// reads the input as well and may end with 0).
class RefreshScript {
public:
    static constexpr const char* kConfirmation = "tarvelo-routes-reloaded";

    RefreshScript(const QString& user, const QString& password);

    QByteArray text() const;

    // message with the password's encoded form hidden, for an error text that
    // might quote the script.
    QString hidePassword(const QString& message) const;

    // Base64 of the UTF-16LE bytes of text.
    static QString encode(const QString& text);

private:
    QString m_encodedUser;
    QString m_encodedPassword;
};
