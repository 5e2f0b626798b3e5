#include "db/RouteAddressRows.h"

#include <algorithm>
#include <cstring>

RouteAddressRows::RouteAddressRows() = default;
RouteAddressRows::~RouteAddressRows() = default;
RouteAddressRows::RouteAddressRows(RouteAddressRows&&) noexcept = default;
RouteAddressRows& RouteAddressRows::operator=(RouteAddressRows&&) noexcept = default;

const char* RouteAddressRows::textOf(const Row& row) const {
    return m_text[size_t(row.text >> 32)].get() + (row.text & 0xFFFFFFFFu);
}

int RouteAddressRows::append(qint64 id, QStringView address) {
    const size_t length = size_t(address.size());
    bool wide = false;
    for (const QChar c : address) {
        if (c.unicode() > 0xFF) {
            wide = true;
            break;
        }
    }
    char* to = store(id, length, wide);
    if (wide) {
        std::memcpy(to, address.utf16(), length * 2);
    } else {
        for (size_t i = 0; i < length; ++i) {
            to[i] = char(address[qsizetype(i)].unicode());
        }
    }
    return m_size++;
}

char* RouteAddressRows::store(qint64 id, size_t length, bool wide) {
    const size_t bytes = wide ? length * 2 : length;
    // UTF-16 text at an even offset; every block starts aligned.
    size_t offset = m_textUsed + (wide ? (m_textUsed & 1) : 0);
    if (m_text.empty() || offset + bytes > m_textCapacity) {
        const size_t capacity = std::max(kTextBlock, bytes);
        m_text.push_back(std::make_unique_for_overwrite<char[]>(capacity));
        m_textCapacity = capacity;
        offset = 0;
    }
    m_textUsed = offset + bytes;

    const int number = m_size;
    if ((size_t(number) >> kRowShift) == m_rows.size()) {
        m_rows.push_back(std::make_unique_for_overwrite<Row[]>(size_t(1) << kRowShift));
    }
    Row& row = at(number);
    row.id = id;
    row.text = quint64(m_text.size() - 1) << 32 | offset;
    row.size = quint32(length) | (wide ? kWide : 0);
    // Counted by the caller once the text is in.
    return m_text.back().get() + offset;
}

void RouteAddressRows::readAddress(int number, QString& into) const {
    const Row& row = at(number);
    const qsizetype length = qsizetype(row.size & kLengthMask);
    into.resize(length);
    QChar* to = into.data();
    if (row.size & kWide) {
        std::memcpy(to, textOf(row), size_t(length) * 2);
        return;
    }
    const char* from = textOf(row);
    for (qsizetype i = 0; i < length; ++i) {
        to[i] = QChar(uchar(from[i]));
    }
}
