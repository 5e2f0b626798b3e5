#include "core/StringViewIndex.h"

#include <QHashFunctions>

namespace {
// At most three quarters of the slots are used.
size_t capacityFor(size_t count) {
    size_t capacity = 16;
    while (capacity / 4 * 3 < count) {
        capacity *= 2;
    }
    return capacity;
}
} // namespace

StringViewIndex::StringViewIndex(qsizetype expected) {
    m_items.reserve(static_cast<size_t>(expected));
    rehash(capacityFor(static_cast<size_t>(expected)));
}

void StringViewIndex::rehash(size_t capacity) {
    std::vector<Slot> table(capacity);
    m_mask = capacity - 1;
    for (const Slot& slot : m_slots) {
        if (slot.item < 0) {
            continue;
        }
        size_t i = slot.hash & m_mask;
        while (table[i].item >= 0) {
            i = (i + 1) & m_mask;
        }
        table[i] = slot;
    }
    m_slots.swap(table);
}

int32_t StringViewIndex::slotOf(QStringView key, uint32_t hash, size_t* free) const {
    size_t i = hash & m_mask;
    while (m_slots[i].item >= 0) {
        const Slot& slot = m_slots[i];
        if (slot.hash == hash && m_items[static_cast<size_t>(slot.item)].key == key) {
            return slot.item;
        }
        i = (i + 1) & m_mask;
    }
    if (free) {
        *free = i;
    }
    return -1;
}

int StringViewIndex::insert(QStringView key, int value) {
    const uint32_t hash = static_cast<uint32_t>(qHash(key));
    size_t free = 0;
    const int32_t found = slotOf(key, hash, &free);
    if (found >= 0) {
        return m_items[static_cast<size_t>(found)].value;
    }
    if (capacityFor(m_items.size() + 1) > m_slots.size()) {
        rehash(m_slots.size() * 2);
        slotOf(key, hash, &free);
    }
    m_slots[free] = Slot{hash, static_cast<int32_t>(m_items.size())};
    m_items.push_back(Item{key, value});
    return value;
}

int StringViewIndex::find(QStringView key) const {
    const int32_t found = slotOf(key, static_cast<uint32_t>(qHash(key)), nullptr);
    return found >= 0 ? m_items[static_cast<size_t>(found)].value : -1;
}
