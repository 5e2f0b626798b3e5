#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The system's single-byte code page, Windows-1252, converted byte for byte.
// Reading never fails (the five unassigned bytes map to U+0081, U+008D, ...);
// writing turns a character the code page lacks into '?'.
namespace Ansi {
QString decode(QByteArrayView bytes);
QByteArray encode(const QString& text);
// Whether the code page holds every character of the text.
bool holds(QStringView text);
} // namespace Ansi
