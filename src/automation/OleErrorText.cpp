#include "automation/OleErrorText.h"

namespace {

struct KnownCode {
    quint32 code;
    const char16_t* text;
};

// German system texts, with the final full stop already removed as the
// runtime does when it turns a system message into an error text.
constexpr KnownCode knownCodes[] = {
    {0x80004001, u"Nicht implementiert"},
    {OleErrorText::E_POINTER_CODE, u"Ungültiger Zeiger"},
    {OleErrorText::E_FAIL_CODE, u"Unbekannter Fehler"},
    {0x8000FFFF, u"Schwerwiegender Fehler"},
    {OleErrorText::E_ACCESSDENIED_CODE, u"Zugriff verweigert"},
    {0x8007000E, u"Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen"},
    {OleErrorText::E_INVALIDARG_CODE, u"Falscher Parameter"},
    {OleErrorText::MOD_NOT_FOUND_CODE, u"Das angegebene Modul wurde nicht gefunden"},
    {OleErrorText::CO_E_CLASSSTRING_CODE, u"Ungültige Klassenzeichenfolge"},
    {OleErrorText::REGDB_E_CLASSNOTREG_CODE, u"Klasse nicht registriert"},
    {OleErrorText::DISP_E_MEMBERNOTFOUND_CODE, u"Mitglied nicht gefunden"},
    {OleErrorText::DISP_E_TYPEMISMATCH_CODE, u"Typenkonflikt"},
    {0x80020006, u"Unbekannter Name"},
    {0x80020009, u"Ausnahmefehler aufgetreten"},
    {OleErrorText::DISP_E_BADPARAMCOUNT_CODE, u"Ungültige Anzahl von Parametern"},
};

bool isTrailingJunk(QChar c) {
    const char16_t u = c.unicode();
    return u <= u' ' || u == 0x7F || u == u'.';
}

} // namespace

QString OleErrorText::systemText(quint32 code) {
    for (const KnownCode& known : knownCodes) {
        if (known.code == code) {
            return QString::fromUtf16(known.text);
        }
    }
    return {};
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

QString OleErrorText::forException(const QString& description, quint32 code) {
    qsizetype length = description.size();
    while (length > 0 && isTrailingJunk(description.at(length - 1))) {
        --length;
    }
    if (length == 0) {
        return message(code);
    }
    return description.left(length);
}
