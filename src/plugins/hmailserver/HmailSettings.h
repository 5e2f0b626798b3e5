#pragma once

#include <QObject>

class HmailApplication;
class HmailRoutes;

// The server's settings, as far as the route refresh needs them: the route
// collection, owned by this object.
class HmailSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* routes READ routes)

public:
    // A child of application.
    explicit HmailSettings(HmailApplication* application);

    QObject* routes();

private:
    HmailApplication* m_application;
    HmailRoutes* m_routes = nullptr;
};
