#pragma once

#include <QString>
#include <QtGlobal>

// The texts the system shows for automation error codes (HRESULTs).
namespace OleErrorText {

constexpr quint32 kAccessDenied = 0x80070005;       // E_ACCESSDENIED
constexpr quint32 kFail = 0x80004005;               // E_FAIL
constexpr quint32 kInvalidArgument = 0x80070057;    // E_INVALIDARG
constexpr quint32 kInvalidPointer = 0x80004003;     // E_POINTER
constexpr quint32 kInvalidClassString = 0x800401F3; // CO_E_CLASSSTRING
constexpr quint32 kClassNotRegistered = 0x80040154; // REGDB_E_CLASSNOTREG
constexpr quint32 kModuleNotFound = 0x8007007E;     // ERROR_MOD_NOT_FOUND
constexpr quint32 kMemberNotFound = 0x80020003;     // DISP_E_MEMBERNOTFOUND
constexpr quint32 kTypeMismatch = 0x80020005;       // DISP_E_TYPEMISMATCH
constexpr quint32 kBadParameterCount = 0x8002000E;  // DISP_E_BADPARAMCOUNT

// The system's text for an error code, without a final full stop (German for
// the codes the refresh meets most); empty for a code the system has no text
// for.
QString systemText(quint32 code);

// The system text for code, else "OLE-Fehler XXXXXXXX" (eight upper-case
// hexadecimal digits).
QString message(quint32 code);

// Raises message(code) as the error that ends the call.
[[noreturn]] void raise(quint32 code);

// The message for an error that an object reported while executing a member:
// its description without trailing blanks, control characters and full stops;
// where that leaves nothing, message(code).
QString forException(const QString& description, quint32 code);

// The message for a member name that the object does not know.
QString unknownMember(const QString& name);

} // namespace OleErrorText
