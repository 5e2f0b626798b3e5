#include "platform/ProgramArguments.h"

#include <QCoreApplication>

QStringList ProgramArguments::current() {
    return QCoreApplication::arguments().mid(1);
}
