#include "gui/ApplicationIdentity.h"

#include <QCoreApplication>

void ApplicationIdentity::apply() {
    QCoreApplication::setApplicationName(QStringLiteral("Tarvelo"));
}
