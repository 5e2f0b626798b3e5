#include "HmailApplication.h"

#include "HmailSettings.h"

HmailApplication::HmailApplication(RemoteCommand command) : m_command(std::move(command)) {}

void HmailApplication::authenticate(const QString& user, QString& password) {
    m_user = user;
    m_password = password;
}

QObject* HmailApplication::settings() {
    if (m_settings == nullptr) {
        m_settings = new HmailSettings(this);
    }
    return m_settings;
}
