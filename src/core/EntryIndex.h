#pragma once

#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

// The entries of `Liste` indexed by their text, the case of A to Z ignored
// (and only of those): which entries are equal, and which entry an address of
// the table equals. The entries must stay as they are while it is used.
class EntryIndex {
public:
    // Takes the entries' hashes; build() indexes them.
    explicit EntryIndex(const QStringList& entries);
    // On two threads where one is to spare; once, before the first find().
    void build();

    int size() const { return int(m_first.size()); }
    // The first entry equal to entry: entry itself when none before it is.
    int firstOf(int entry) const { return m_first[size_t(entry)]; }
    // For each of count texts, found[i] receiving the first entry equal to
    // texts[i], -1 when there is none. Many at once, as the waits for memory
    // of successive lookups overlap.
    void find(const QAnyStringView* texts, size_t count, int* found) const;

private:
    struct Slot {
        quint32 hash = 0;
        qint32 first = -1; // -1: the slot is free
    };
    // The entries of half the hashes each, by their top bit: the two are
    // built at once, and equal entries, which hash alike, share a side.
    struct Side {
        std::vector<Slot> table;
        size_t mask = 0;
    };
    static constexpr size_t kBuildAhead = 32; // entries whose slots are fetched ahead
    static constexpr size_t kParallelFrom = 4096;

    void buildSide(size_t which);
    const Side& sideOf(quint32 hash) const { return m_sides[hash >> 31]; }
    size_t slotFor(const Side& side, QAnyStringView text, quint32 hash) const;

    const QString* m_entries;
    std::vector<quint32> m_hashes; // until built
    std::vector<int> m_first;
    Side m_sides[2];
};
