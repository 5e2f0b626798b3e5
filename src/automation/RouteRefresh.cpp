#include "automation/RouteRefresh.h"

#include "automation/AutomationRegistry.h"

void refreshRoutes(QString& adminPassword, const QString& pluginDirectory,
                   const std::function<bool()>& whileWaiting) {
    // Declared in the order obtained, so released in the reverse order.
    AutomationObject application =
        createOleObject(QStringLiteral("hMailServer.Application"), pluginDirectory);

    // What the server made of the login is not examined: the next steps show it.
    QList<AutomationArgument> login{
        AutomationArgument::byValue(QStringLiteral("Administrator")),
        AutomationArgument::reference(adminPassword),
    };
    application.call(QStringLiteral("authenticate"), login);
    adminPassword = login[1].value.toString();

    AutomationObject settings = application.get(QStringLiteral("settings"));
    AutomationObject routes = settings.get(QStringLiteral("routes"));
    routes.call(QStringLiteral("refresh"), whileWaiting);
}
