#include "platform/OneLine.h"

namespace {
QString replaceControls(const QString& text, QChar replacement) {
    qsizetype i = 0;
    while (i < text.size() && !OneLine::isControl(text[i])) {
        ++i;
    }
    if (i == text.size()) {
        return text; // the usual case: no copy
    }
    QString result = text;
    for (; i < result.size(); ++i) {
        if (OneLine::isControl(result[i])) {
            result[i] = replacement;
        }
    }
    return result;
}
} // namespace

bool OneLine::isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
}

QString OneLine::forLog(const QString& message) {
    return replaceControls(message, u' ');
}

QString OneLine::forProtocol(const QString& entry) {
    return replaceControls(entry, u'?');
}
