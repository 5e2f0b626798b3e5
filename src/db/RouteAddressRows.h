#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <memory>
#include <vector>

// The rows of the dataset `RA2` in memory, in table order.
//
// A table may hold millions of rows, so they are held compactly and without an
// allocation per row: keys and a reference to the address in fixed-size blocks
// of rows, the addresses in blocks of text (one byte a character where
// Latin-1 suffices, else UTF-16). Nothing moves once stored, so growing never
// copies what is there.
class RouteAddressRows {
public:
    RouteAddressRows();
    ~RouteAddressRows();
    RouteAddressRows(RouteAddressRows&&) noexcept;
    RouteAddressRows& operator=(RouteAddressRows&&) noexcept;
    RouteAddressRows(const RouteAddressRows&) = delete;
    RouteAddressRows& operator=(const RouteAddressRows&) = delete;

    // Appends a row and returns its number.
    int append(qint64 id, QStringView address);

    // Rows appended: their numbers run below it.
    int size() const { return m_size; }
    qint64 id(int row) const { return at(row).id; }
    // The row's address into a buffer the caller keeps: no allocation per
    // row when a whole table is looked through.
    void readAddress(int row, QString& into) const;

private:
    struct Row {
        qint64 id;
        quint64 text; // block << 32 | offset in the block
        quint32 size; // characters, with the flag kWide
    };
    static constexpr quint32 kWide = 1u << 31;
    static constexpr quint32 kLengthMask = kWide - 1;
    static constexpr int kRowShift = 14; // 16384 rows a block
    static constexpr int kRowMask = (1 << kRowShift) - 1;
    static constexpr size_t kTextBlock = size_t(1) << 20;

    const Row& at(int row) const { return m_rows[size_t(row) >> kRowShift][row & kRowMask]; }
    Row& at(int row) { return m_rows[size_t(row) >> kRowShift][row & kRowMask]; }
    // Takes the next row and room for its text, which the caller fills.
    char* store(qint64 id, size_t length, bool wide);
    const char* textOf(const Row& row) const;

    std::vector<std::unique_ptr<Row[]>> m_rows;
    std::vector<std::unique_ptr<char[]>> m_text;
    size_t m_textUsed = 0;     // in the last text block
    size_t m_textCapacity = 0; // of the last text block
    int m_size = 0;
};
