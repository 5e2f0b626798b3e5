#include "core/CommandLine.h"

#include <QCoreApplication>

QStringList CommandLine::programArguments() {
    return QCoreApplication::arguments().mid(1);
}
