#include "platform/AsciiCase.h"

bool AsciiCase::hasUpper(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z') {
            return true;
        }
    }
    return false;
}

QString AsciiCase::lower(const QString& text) {
    // Most addresses are lower case already: share the text instead of copying.
    if (!hasUpper(text)) {
        return text;
    }
    QString out = text;
    for (QChar& c : out) {
        c = QChar(lower(c.unicode()));
    }
    return out;
}

void AsciiCase::lowerInPlace(QString& text) {
    if (hasUpper(text)) {
        for (QChar& c : text) {
            c = QChar(lower(c.unicode()));
        }
    }
}

bool AsciiCase::equalIgnoringCase(QStringView a, QStringView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (lower(a[i].unicode()) != lower(b[i].unicode())) {
            return false;
        }
    }
    return true;
}
