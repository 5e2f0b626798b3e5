#include "core/ExceptionEditor.h"

#include "core/ExceptionList.h"
#include "core/NulLines.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "platform/Ansi.h"
#include "platform/AsciiCase.h"
#include "platform/TextFile.h"

QString ExceptionEditor::prefill(const AddressDataset& Address) {
    // The address whole: with a character beyond the code page turned into
    // '?', the accepted exception would not except the address it names.
    return QStringLiteral(">") + Address.Addressrouteaddressaddress();
}

bool ExceptionEditor::addException(const QString& exceptionFile, WorkingList& Liste,
                                   const QString& entered) {
    Liste.clear();
    Liste.setSorted(true);
    ImportedText::Encoding encoding = ImportedText::Encoding::Windows1252;
    QStringList lines = TextFile::readLines(exceptionFile, &encoding, ExceptionList::kMaxFileBytes);
    // A file the run refuses (UTF-16 without its mark reads as NUL-laden
    // lines) is not rewritten: sorted and re-ended, its text would be lost.
    NulLines::refuse(lines, QStringLiteral("Ausnahmenliste"));
    Liste.assign(std::move(lines));
    const QString exception = AsciiCase::lower(entered);
    for (const QString& line : Liste.lines()) {
        if (line == exception) {
            return false;
        }
    }
    Liste.add(exception);
    // Written back as it was read, so that no line changes; a line the code
    // page cannot hold makes the file UTF-8, which is read back unchanged.
    if (encoding == ImportedText::Encoding::Windows1252 && !Ansi::holds(exception)) {
        encoding = ImportedText::Encoding::Utf8WithMark;
    }
    TextFile::replaceLines(exceptionFile, Liste.lines(), encoding);
    return true;
}

bool ExceptionEditor::runAddCommand(const QString& exceptionFile, WorkingList& Liste,
                                    const AddressDataset& Address, const InputBox& ask) {
    const std::optional<QString> entered = ask(kCaption, kPrompt, prefill(Address));
    if (!entered) {
        return false;
    }
    return addException(exceptionFile, Liste, *entered);
}
