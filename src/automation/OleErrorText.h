#pragma once

#include <QString>
#include <QtGlobal>

// The texts the system shows for automation error codes (HRESULTs).
namespace OleErrorText {

constexpr quint32 E_ACCESSDENIED_CODE = 0x80070005;
constexpr quint32 E_FAIL_CODE = 0x80004005;
constexpr quint32 E_INVALIDARG_CODE = 0x80070057;
constexpr quint32 E_POINTER_CODE = 0x80004003;
constexpr quint32 CO_E_CLASSSTRING_CODE = 0x800401F3;
constexpr quint32 REGDB_E_CLASSNOTREG_CODE = 0x80040154;
constexpr quint32 MOD_NOT_FOUND_CODE = 0x8007007E;
constexpr quint32 DISP_E_MEMBERNOTFOUND_CODE = 0x80020003;
constexpr quint32 DISP_E_TYPEMISMATCH_CODE = 0x80020005;
constexpr quint32 DISP_E_BADPARAMCOUNT_CODE = 0x8002000E;

// The system's German text for code, without a final full stop; empty for a
// code the system has no text for.
QString systemText(quint32 code);

// The system text for code, else "OLE-Fehler XXXXXXXX" (eight upper-case
// hexadecimal digits).
QString message(quint32 code);

// The message for an error that an object reported while executing a member:
// its description without trailing blanks, control characters and full stops;
// where that leaves nothing, message(code).
QString forException(const QString& description, quint32 code);

} // namespace OleErrorText
