#include "platform/ProgramArguments.h"

QStringList ProgramArguments::split(const QString& commandLine) {
    QStringList result;
    qsizetype i = 0;
    const qsizetype end = commandLine.size();
    while (true) {
        while (i < end && commandLine.at(i).unicode() <= u' ') {
            ++i;
        }
        if (i == end) {
            return result;
        }
        QString argument;
        bool quoted = false;
        for (; i < end && (quoted || commandLine.at(i).unicode() > u' '); ++i) {
            if (commandLine.at(i) == u'"') {
                quoted = !quoted;
            } else {
                argument.append(commandLine.at(i));
            }
        }
        result.append(argument);
    }
}
