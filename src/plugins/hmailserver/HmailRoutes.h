#pragma once

#include "automation/AutomationErrorSource.h"

#include <QObject>
#include <QString>

class HmailApplication;

// The server's route collection: "refresh" makes the mail server reload its
// routes, on its own host, logged in as the application object was told.
class HmailRoutes : public QObject, public AutomationErrorSource {
    Q_OBJECT
    Q_INTERFACES(AutomationErrorSource)

public:
    // A child of parent; application outlives it.
    HmailRoutes(HmailApplication* application, QObject* parent);

    // Starts the configured command once with the refresh script on its
    // standard input; an error it reports is this call's error.
    Q_INVOKABLE void refresh();

    bool takeError(QString* description, quint32* code) override;

private:
    HmailApplication* m_application;
    bool m_hasError = false;
    QString m_errorDescription;
};
