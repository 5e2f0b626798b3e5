#pragma once

#include <QString>
#include <QtGlobal>

// The operating system's own text for an error code. Windows keeps one for
// most codes that COM and its servers return (SystemMessageWindows.cpp);
// elsewhere there is none (SystemMessagePosix.cpp).
namespace SystemMessage {

// The system's text for code in the user's language, as the system words it
// (with its final full stop and line break); empty when the system has none.
QString text(quint32 code);

} // namespace SystemMessage
