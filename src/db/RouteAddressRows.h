#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <memory>
#include <span>
#include <vector>

// The rows of the dataset `RA2` in memory, in table order, with an index of
// their addresses that ignores the case of A to Z (and only of those).
//
// A table may hold millions of rows, so they are held compactly and without an
// allocation per row: ids and a reference to the address in fixed-size blocks
// of rows, the addresses in blocks of text (one byte a character where
// Latin-1 suffices, else UTF-16), and the index an open-addressing table.
// Rows whose addresses are equal apart from that case form a chain in table
// order, and a lookup finds the first of them. Nothing moves once stored, so
// growing never copies what is there.
class RouteAddressRows {
public:
    RouteAddressRows();
    ~RouteAddressRows();
    RouteAddressRows(RouteAddressRows&&) noexcept;
    RouteAddressRows& operator=(RouteAddressRows&&) noexcept;
    RouteAddressRows(const RouteAddressRows&) = delete;
    RouteAddressRows& operator=(const RouteAddressRows&) = delete;

    // Appends a row and returns its number. Before buildIndex() the row waits
    // for the index; afterwards it joins it at once.
    int append(qint64 id, qint64 routeId, QStringView address);
    // The same for an address of Latin-1 characters.
    int append(qint64 id, qint64 routeId, QLatin1StringView address);
    // Indexes the rows appended so far: once, when the table has been read.
    void buildIndex();

    // Rows ever appended, deleted ones included: their numbers run below it.
    int size() const { return m_size; }
    qint64 id(int row) const { return at(row).id; }
    qint64 routeId(int row) const { return at(row).routeId; }
    QString address(int row) const;
    bool isDeleted(int row) const { return at(row).next == kDeleted; }

    // Takes the row out of the index; its number stays taken.
    void remove(int row);
    // The first row in table order whose address equals text, the case of A
    // to Z ignored; -1 when there is none.
    int find(QStringView text) const;
    // Marks every row whose address equals text as find() compares them;
    // false when there is none. Rows appended later start unmarked.
    bool mark(QStringView text);
    // mark() for each of texts in turn, named[i] receiving what it returns
    // for texts[i]; quicker than one call a text, as the lookups of a few
    // texts at a time overlap their waits for memory, and many texts are
    // shared out to two threads.
    void mark(std::span<const QString> texts, bool* named);
    bool isMarked(int row) const { return (at(row).size & kMarked) != 0; }

private:
    struct Row {
        qint64 id;
        qint64 routeId;
        quint64 text; // block << 32 | offset in the block
        quint32 size; // characters, with the flags kWide and kMarked
        // The chain of equal addresses is a ring: the next row in table
        // order, and from the last row the first. kDeleted once removed.
        qint32 next;
    };
    static constexpr quint32 kWide = 1u << 31;
    static constexpr quint32 kMarked = 1u << 30;
    static constexpr quint32 kLengthMask = kMarked - 1;
    static constexpr qint32 kDeleted = -2;
    static constexpr int kRowShift = 14; // 16384 rows a block
    static constexpr int kRowMask = (1 << kRowShift) - 1;
    static constexpr size_t kTextBlock = size_t(1) << 20;
    static constexpr size_t kBatch = 16; // lookups whose memory waits overlap

    struct Slot {
        quint32 hash = 0;
        qint32 last = -1; // the last row of the chain; -1: the slot is free
    };

    const Row& at(int row) const { return m_rows[size_t(row) >> kRowShift][row & kRowMask]; }
    Row& at(int row) { return m_rows[size_t(row) >> kRowShift][row & kRowMask]; }
    // Takes the next row and room for its text, which the caller fills
    // before stored() counts the row.
    char* store(qint64 id, qint64 routeId, size_t length, bool wide);
    int stored();
    const char* textOf(const Row& row) const;
    quint32 hashOf(const Row& row) const;
    bool equals(const Row& row, QStringView text) const;
    bool equals(const Row& a, const Row& b) const;

    // The slot whose chain has the address of text (or of row), else the
    // free slot where such a chain would go.
    size_t slotFor(QStringView text, quint32 hash) const;
    size_t slotFor(const Row& row, quint32 hash) const;
    bool markChain(size_t slot);
    // The texts whose hash & halfMask is half, their hashes given.
    void markSome(std::span<const QString> texts, const quint32* hashes, quint32 halfMask,
                  quint32 half, bool* named);
    static constexpr quint32 kHalf = 1u << 31;
    static constexpr size_t kParallelFrom = 2048;
    void index(int row, quint32 hash);
    void eraseSlot(size_t slot);
    void resizeIndex(size_t capacity);

    std::vector<std::unique_ptr<Row[]>> m_rows;
    std::vector<std::unique_ptr<char[]>> m_text;
    size_t m_textUsed = 0;     // in the last text block
    size_t m_textCapacity = 0; // of the last text block
    int m_size = 0;
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    size_t m_chains = 0;
    bool m_indexed = false;
};
