#include "core/WorkingList.h"

#include "platform/AsciiCase.h"

#include <algorithm>

bool WorkingList::lessThan(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = AsciiCase::lower(a[i].unicode());
        const char16_t y = AsciiCase::lower(b[i].unicode());
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

void WorkingList::setSorted(bool sorted) {
    m_sorted = sorted;
    if (m_sorted) {
        std::stable_sort(m_lines.begin(), m_lines.end(), &WorkingList::lessThan);
    }
}

void WorkingList::assign(QStringList lines) {
    m_lines = std::move(lines);
    if (m_sorted) {
        std::stable_sort(m_lines.begin(), m_lines.end(), &WorkingList::lessThan);
    }
}

int WorkingList::add(const QString& line) {
    if (!m_sorted) {
        m_lines.append(line);
        return m_lines.size() - 1;
    }
    const auto pos = std::upper_bound(m_lines.begin(), m_lines.end(), line, &WorkingList::lessThan);
    const int index = static_cast<int>(pos - m_lines.begin());
    m_lines.insert(index, line);
    return index;
}
