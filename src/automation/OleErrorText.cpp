#include "automation/OleErrorText.h"

#include "automation/SystemMessage.h"
#include "platform/TarveloError.h"

namespace {

struct KnownCode {
    quint32 code;
    const char16_t* text;
};

// German system texts, with the final full stop already removed as the
// runtime does when it turns a system message into an error text. They stand
// for the codes the refresh meets most, on every platform alike; any other
// code gets what the system itself says about it.
constexpr KnownCode knownCodes[] = {
    {0x80004001, u"Nicht implementiert"},
    {OleErrorText::kInvalidPointer, u"Ungültiger Zeiger"},
    {OleErrorText::kFail, u"Unbekannter Fehler"},
    {0x8000FFFF, u"Schwerwiegender Fehler"},
    {OleErrorText::kAccessDenied, u"Zugriff verweigert"},
    {0x8007000E, u"Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen"},
    {OleErrorText::kInvalidArgument, u"Falscher Parameter"},
    {OleErrorText::kModuleNotFound, u"Das angegebene Modul wurde nicht gefunden"},
    {OleErrorText::kInvalidClassString, u"Ungültige Klassenzeichenfolge"},
    {OleErrorText::kClassNotRegistered, u"Klasse nicht registriert"},
    {OleErrorText::kMemberNotFound, u"Mitglied nicht gefunden"},
    {OleErrorText::kTypeMismatch, u"Typenkonflikt"},
    {0x80020006, u"Unbekannter Name"},
    {0x80020009, u"Ausnahmefehler aufgetreten"},
    {OleErrorText::kBadParameterCount, u"Ungültige Anzahl von Parametern"},
};

bool isTrailingJunk(QChar c) {
    const char16_t u = c.unicode();
    return u <= u' ' || u == 0x7F || u == u'.';
}

// text without its trailing blanks, control characters and full stops.
QString withoutTrailingJunk(const QString& text) {
    qsizetype length = text.size();
    while (length > 0 && isTrailingJunk(text.at(length - 1))) {
        --length;
    }
    return text.left(length);
}

} // namespace

QString OleErrorText::systemText(quint32 code) {
    for (const KnownCode& known : knownCodes) {
        if (known.code == code) {
            return QString::fromUtf16(known.text);
        }
    }
    // Only an error code: the system's text for 0 says that all went well.
    return (code & 0x80000000u) != 0 ? withoutTrailingJunk(SystemMessage::text(code)) : QString();
}

QString OleErrorText::message(quint32 code) {
    const QString text = systemText(code);
    if (!text.isEmpty()) {
        return text;
    }
    // Eight hexadecimal digits, upper case.
    const QString digits = QString::number(code, 16).rightJustified(8, u'0').toUpper();
    return QStringLiteral("OLE-Fehler ") + digits;
}

void OleErrorText::raise(quint32 code) {
    throw TarveloError(message(code));
}

QString OleErrorText::forException(const QString& description, quint32 code) {
    const QString text = withoutTrailingJunk(description);
    return text.isEmpty() ? message(code) : text;
}

QString OleErrorText::unknownMember(const QString& name) {
    return QStringLiteral("Die Methode '%1' wird vom Automatisierungsobjekt nicht unterstützt")
        .arg(name);
}
