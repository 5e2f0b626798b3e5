#include "core/NulLines.h"

#include "platform/OneLine.h"
#include "platform/TarveloError.h"

void NulLines::refuse(const QStringList& lines, const QString& file) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).contains(QChar(u'\0'))) {
            throw TarveloError(QStringLiteral("Zeile %1 der %2 enthält ein Nullzeichen (NUL): "
                                              "\"%3\". Es wurde nichts geändert")
                                   .arg(i + 1)
                                   .arg(file, OneLine::forLog(lines.at(i).left(40))));
        }
    }
}
