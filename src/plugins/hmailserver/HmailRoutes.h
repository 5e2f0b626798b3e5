#pragma once

#include "automation/AutomationErrorSource.h"
#include "automation/AutomationWaiting.h"

#include <QObject>
#include <QString>

class HmailApplication;

// The server's route collection: "refresh" makes the mail server reload its
// routes, on its own host, logged in as the application object was told.
class HmailRoutes : public QObject, public AutomationErrorSource, public AutomationWaiting {
    Q_OBJECT
    Q_INTERFACES(AutomationErrorSource AutomationWaiting)

public:
    // A child of parent; application outlives it.
    HmailRoutes(HmailApplication* application, QObject* parent);

    // Starts the configured command once with the refresh script on its
    // standard input; an error it reports is this call's error. While the
    // command runs, the caller's hook is called between short waits.
    Q_INVOKABLE void refresh();

    bool takeError(QString* description, quint32* code) override;
    void setWhileWaiting(std::function<void()> hook) override { m_whileWaiting = std::move(hook); }

private:
    HmailApplication* m_application;
    bool m_hasError = false;
    QString m_errorDescription;
    std::function<void()> m_whileWaiting;
};
