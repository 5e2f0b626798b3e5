#pragma once

#include <QString>

#include <functional>

// The program's small free utilities.
namespace Mtools {
// Decimal text of value, with "0" put in front of a single character.
QString PadTwo(int value);

// The desktop's "open" for a file: whether the desktop took it.
using DocumentOpener = std::function<bool(const QString& fileName)>;

// Hands a file to the desktop through opener, to open with its associated
// program; does nothing for an empty name and reports nothing. Returns
// whether the desktop took the file (false for an empty name or without an
// opener).
bool OpenDocument(const QString& fileName, const DocumentOpener& opener);

// XOR of every character's code with the key byte; its own inverse.
QString ScrambleText(const QString& text);
} // namespace Mtools
