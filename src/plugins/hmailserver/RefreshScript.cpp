#include "RefreshScript.h"

namespace {

QString decodedIn(const QString& encoded) {
    return QStringLiteral("[Text.Encoding]::Unicode.GetString([Convert]::FromBase64String('%1'))")
        .arg(encoded);
}

} // namespace

RefreshScript::RefreshScript(const QString& user, const QString& password)
    : m_encodedUser(encode(user)), m_encodedPassword(encode(password)) {}

QByteArray RefreshScript::text() const {
    // One line; the message's own line breaks become blanks, so that the last
    // line on standard error is the whole message.
    const QString statement =
        QStringLiteral("try { $ErrorActionPreference = 'Stop'; "
                       "$app = New-Object -ComObject 'hMailServer.Application' -ErrorAction Stop; "
                       "$null = $app.Authenticate(%1, %2); "
                       "$app.Settings.Routes.Refresh(); "
                       "[Console]::Out.WriteLine('%3') } "
                       "catch { [Console]::Error.WriteLine(($_.Exception.Message -replace "
                       "'[\\r\\n]+', ' ')); exit 1 }")
            .arg(decodedIn(m_encodedUser), decodedIn(m_encodedPassword),
                 QLatin1String(kConfirmation));
    return statement.toLatin1() + "\r\n\r\n";
}

QString RefreshScript::hidePassword(const QString& message) const {
    if (m_encodedPassword.isEmpty()) {
        return message;
    }
    QString hidden = message;
    return hidden.replace(m_encodedPassword, QStringLiteral("***"));
}

QString RefreshScript::encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return QString::fromLatin1(bytes.toBase64());
}
