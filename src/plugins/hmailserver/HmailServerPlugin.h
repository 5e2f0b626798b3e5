#pragma once

#include "automation/AutomationErrorSource.h"
#include "automation/AutomationFactory.h"

#include <QObject>
#include <QString>

// Makes "hMailServer.Application" objects that reach the mail server through
// the command configured in hmailserver.ini beside this plugin. Without a
// usable configuration no object is made, and the error says what to set up.
class HmailServerPlugin : public QObject, public AutomationFactory, public AutomationErrorSource {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID AutomationFactory_iid FILE "hmailserver.json")
    Q_INTERFACES(AutomationFactory AutomationErrorSource)

public:
    QObject* create(const QString& progId) override;
    bool takeError(QString* description, quint32* code) override;

private:
    bool m_hasError = false;
    QString m_errorDescription;
};
