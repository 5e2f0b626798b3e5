#pragma once

#include <QStringView>

#include <cstdint>
#include <vector>

// A hash index from texts to non-negative integers, keyed by views: the texts
// stay with their owner, which must keep them alive and unchanged while the
// index is used. The first value given for a text is kept. Looking up a view
// never allocates.
class StringViewIndex {
public:
    explicit StringViewIndex(qsizetype expected = 0);

    // Adds key with value unless the key is present already; returns the value
    // the key has now.
    int insert(QStringView key, int value);
    // The value of key, or -1.
    int find(QStringView key) const;

    qsizetype size() const { return static_cast<qsizetype>(m_items.size()); }

private:
    struct Slot {
        uint32_t hash = 0;
        int32_t item = -1; // into m_items; -1: empty slot
    };
    struct Item {
        QStringView key;
        int value;
    };
    void rehash(size_t capacity);
    int32_t slotOf(QStringView key, uint32_t hash, size_t* free) const;

    std::vector<Slot> m_slots;
    std::vector<Item> m_items;
    size_t m_mask = 0;
};
