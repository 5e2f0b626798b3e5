#include "core/CommandLine.h"

#include "core/SwitchNumber.h"
#include "platform/AsciiCase.h"
#include "platform/NativeFile.h"
#include "platform/TarveloError.h"

QStringList CommandLine::parameters(const QStringList& arguments) {
    QStringList result;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) {
            result.append(argument);
            continue;
        }
        QString parameter;
        for (const QChar c : argument) {
            if (c.unicode() < 0x20) {
                if (!parameter.isEmpty()) {
                    result.append(parameter);
                }
                parameter.clear();
            } else if (c != u'"') {
                parameter.append(c);
            }
        }
        if (!parameter.isEmpty()) {
            result.append(parameter);
        }
    }
    return result;
}

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
        result.kind = CommandLineSwitch::DryRun;
    } else if (lowered.startsWith(QLatin1String("/maxdelete:"))) {
        result.kind = CommandLineSwitch::MaxDelete;
        result.value = lowered.mid(11, kMaxValue);
    } else if (lowered.startsWith(QLatin1String("/batch:"))) {
        result.kind = CommandLineSwitch::Batch;
        result.value = lowered.mid(7, kMaxValue);
    } else if (lowered.startsWith(QLatin1String("/file:"))) {
        result.kind = CommandLineSwitch::File;
        // Lower-cased like every value where the file system ignores case;
        // where it does not, a lower-cased path would miss the list.
        result.value = (NativeFile::namesIgnoreCase() ? lowered : parameter).mid(6, kMaxValue);
    }
    return result;
}

int CommandLine::batchSize(const QString& value) {
    constexpr int kLargest = 100000;
    const qint64 size = switchNumber(value).value_or(0);
    if (size < 1 || size > kLargest) {
        // Filled in one pass: a "%1" in the value stays as written.
        throw TarveloError(QStringLiteral("Ungültiger Wert \"%1\" für /batch: erwartet wird eine "
                                          "Anzahl von Änderungen je Transaktion von 1 bis %2 "
                                          "(z. B. /batch:1000)")
                               .arg(value, QString::number(kLargest)));
    }
    return int(size);
}
