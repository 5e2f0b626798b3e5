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
    QString out = text;
    lowerInPlace(out);
    return out;
}

void AsciiCase::lowerInPlace(QString& text) {
    // Most addresses are lower case already: a shared text stays shared.
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
