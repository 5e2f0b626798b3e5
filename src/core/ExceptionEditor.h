#pragma once

#include <QString>

#include <functional>
#include <optional>

class AddressDataset;
class WorkingList;

// The command that adds one exception to "ausnahmen.txt".
namespace ExceptionEditor {
// The input box: its caption and prompt.
inline const QString kCaption = QStringLiteral("Ausnahme hinzufügen");
inline const QString kPrompt = QStringLiteral("Ausnahme");

// The text the input box offers: ">" and the address of the current row of
// Address, unchanged (a character the code page lacks stays, and the file is
// then written as UTF-8); ">" alone without a current row.
QString prefill(const AddressDataset& Address);

// Adds the entered exception, lower-cased (A to Z), to the file unless a line
// of the file equals it exactly. Clears Liste, switches it to sorted for good
// and leaves the file's lines in it. The file is rewritten sorted, every line
// ended by CR LF, in one atomic step. Returns whether it added the line.
// Raises "Datei %s kann nicht geöffnet werden" when the file cannot be read
// (Liste then stays empty), the run's refusal of a line holding NUL when the
// file has one (file and Liste as for an unreadable file) and "Datei %s kann
// nicht erstellt werden" when it cannot be rewritten (the file then stays as
// it was).
bool addException(const QString& exceptionFile, WorkingList& Liste, const QString& entered);

// Asks for a text with the caption, the prompt and the prefilled text; no
// value when the user cancels.
using InputBox = std::function<std::optional<QString>(const QString& caption, const QString& prompt,
                                                      const QString& text)>;

// The whole command: prefill, ask, add. Cancelling changes nothing.
bool runAddCommand(const QString& exceptionFile, WorkingList& Liste, const AddressDataset& Address,
                   const InputBox& ask);
} // namespace ExceptionEditor
