#include "core/ExceptionList.h"

#include "core/NulLines.h"
#include "core/WorkingList.h"
#include "platform/AsciiCase.h"
#include "platform/TextFile.h"

namespace {
const QString kExcepted = QStringLiteral("-");
}

ExceptionList::ExceptionList(const QStringList& lines) {
    for (const QString& line : lines) {
        const QString lower = AsciiCase::lower(line);
        m_fragments.add(lower);
        if (line.startsWith(u'>')) {
            m_prefixes.add(QStringView(lower).mid(1, kPrefixLength));
        }
    }
    m_fragments.build();
    m_prefixes.build();
}

ExceptionList ExceptionList::load(const QString& path) {
    QStringList lines = TextFile::readLines(path, nullptr, kMaxFileBytes);
    NulLines::refuse(lines, QStringLiteral("Ausnahmenliste"));
    return ExceptionList(lines);
}

bool ExceptionList::excepts(QStringView entry) const {
    // Which line matches first does not change the outcome: an entry is
    // excepted as soon as any line matches it.
    return m_prefixes.prefixOf(entry) || m_fragments.containsAny(entry);
}

void ExceptionList::apply(WorkingList& list) const {
    const int n = list.count();
    for (int i = 0; i < n; ++i) {
        if (excepts(list.at(i))) {
            list.replace(i, kExcepted);
        }
    }
}
