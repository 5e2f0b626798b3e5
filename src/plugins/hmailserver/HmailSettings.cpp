#include "HmailSettings.h"

#include "HmailApplication.h"
#include "HmailRoutes.h"

HmailSettings::HmailSettings(HmailApplication* application)
    : QObject(application), m_application(application) {}

QObject* HmailSettings::routes() {
    if (m_routes == nullptr) {
        m_routes = new HmailRoutes(m_application, this);
    }
    return m_routes;
}
