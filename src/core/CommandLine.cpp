#include "core/CommandLine.h"

#include "platform/AsciiCase.h"

CommandLineSwitch CommandLine::parse(const QString& parameter) {
    const QString lowered = AsciiCase::lower(parameter);
    CommandLineSwitch result;
    if (lowered == QLatin1String("/dbsync")) {
        result.kind = CommandLineSwitch::DbSync;
    } else if (lowered == QLatin1String("/refresh")) {
        result.kind = CommandLineSwitch::Refresh;
    } else if (lowered.startsWith(QLatin1String("/domain:"))) {
        QString domain = lowered.mid(8, kMaxValue);
        if (!domain.isEmpty()) {
            if (!domain.startsWith(u'@')) {
                domain.prepend(u'@');
            }
            result.kind = CommandLineSwitch::Domain;
            result.value = domain;
        }
    } else if (lowered == QLatin1String("/dryrun")) {
        result.kind = CommandLineSwitch::TestRun;
    } else if (lowered.startsWith(QLatin1String("/maxdelete:"))) {
        result.kind = CommandLineSwitch::MaxDelete;
        result.value = lowered.mid(11, kMaxValue);
    } else if (lowered.startsWith(QLatin1String("/file:"))) {
        result.kind = CommandLineSwitch::File;
        result.value = parameter.mid(6, kMaxValue);
    }
    return result;
}
