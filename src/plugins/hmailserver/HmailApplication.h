#pragma once

#include "RemoteCommand.h"

#include <QObject>
#include <QString>

class HmailSettings;

// "hMailServer.Application" on this platform: keeps the login for the route
// refresh, which runs on the mail server's own host through the configured
// command. Its settings object and route collection are its children.
class HmailApplication : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* settings READ settings)

public:
    explicit HmailApplication(RemoteCommand command);

    // Only noted: the server checks the login when the routes are refreshed.
    // The password is taken by reference, as the server's object takes it,
    // and left unchanged.
    Q_INVOKABLE void authenticate(const QString& user, QString& password);

    // The settings object, owned by this object.
    QObject* settings();

    const RemoteCommand& command() const { return m_command; }
    const QString& user() const { return m_user; }
    const QString& password() const { return m_password; }

private:
    RemoteCommand m_command;
    QString m_user;
    QString m_password;
    HmailSettings* m_settings = nullptr;
};
