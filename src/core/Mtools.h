#pragma once

#include <QString>

#include <functional>

// The program's small free utilities.
namespace Mtools {
// Decimal text of value, with "0" put in front of a single character.
QString PadTwo(int value);

// Hands a file to the desktop to open with its associated program; does
// nothing for an empty name and reports nothing. Returns whether the desktop
// took the file (false for an empty name or without an opener).
bool OpenDocument(const QString& fileName);
// The window layer installs the desktop's opener, which says whether the
// desktop took the file; tests install their own.
void setDocumentOpener(std::function<bool(const QString&)> opener);

// XOR of every character's code with the key byte; its own inverse.
QString ScrambleText(const QString& text);
} // namespace Mtools
