#pragma once

#include <QString>
#include <QStringList>

namespace NulLines {

// Raises TarveloError, naming the first line of `lines` that holds a NUL
// character: "Zeile <n> der <file> enthält ein Nullzeichen (NUL): ...". No
// address holds one; a file full of them was written in an encoding not taken
// for it (UTF-16 without its mark), and its entries would name no row.
void refuse(const QStringList& lines, const QString& file);

} // namespace NulLines
