#pragma once

#include "automation/AutomationFactory.h"

#include <QObject>

// Makes "hMailServer.Application" objects, configured from the environment.
class StandinFactory : public QObject, public AutomationFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID AutomationFactory_iid FILE "hmailstandin.json")
    Q_INTERFACES(AutomationFactory)

public:
    QObject* create(const QString& progId) override;
};
