#include "core/EntryIndex.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

// Four characters as four 16-bit lanes, A to Z lower-cased: eight bytes of
// UTF-16, or four of Latin-1 widened. Lanes below 128 are lower-cased all at
// once, as nearly all characters of an address are.
inline quint64 lowerLanes(quint64 lanes) {
    if ((lanes & 0xFF80FF80FF80FF80ULL) == 0) {
        // Bit 7 of a lane is set in c + 0x3F from 'A' on, in c + 0x25 from
        // past 'Z' on.
        const quint64 fromA = lanes + 0x003F003F003F003FULL;
        const quint64 pastZ = lanes + 0x0025002500250025ULL;
        return lanes | ((fromA & ~pastZ & 0x0080008000800080ULL) >> 2);
    }
    quint64 lowered = 0;
    for (int shift = 0; shift < 64; shift += 16) {
        lowered |= quint64(AsciiCase::lower(char16_t(lanes >> shift))) << shift;
    }
    return lowered;
}

template <typename Unit> inline quint64 fourUnits(const Unit* text) {
    if constexpr (sizeof(Unit) == 2) {
        quint64 lanes;
        std::memcpy(&lanes, text, 8);
        return lanes;
    } else {
        return quint64(text[0]) | quint64(text[1]) << 16 | quint64(text[2]) << 32 |
               quint64(text[3]) << 48;
    }
}

inline quint64 mix(quint64 hash, quint64 word) {
    hash ^= word;
    hash *= 0xbf58476d1ce4e5b9ULL;
    return hash ^ (hash >> 31);
}

// A Latin-1 and a UTF-16 copy of one address, and any letter case of it,
// hash alike.
template <typename Unit> quint32 lowerHash(const Unit* text, size_t size) {
    quint64 hash = 0x9e3779b97f4a7c15ULL ^ size;
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        hash = mix(hash, lowerLanes(fourUnits(text + i)));
    }
    quint64 rest = 0;
    for (int shift = 0; i < size; ++i, shift += 16) {
        rest |= quint64(text[i]) << shift;
    }
    hash = mix(hash, lowerLanes(rest));
    hash ^= hash >> 29;
    hash *= 0x94d049bb133111ebULL;
    return quint32(hash ^ (hash >> 32));
}

template <typename Unit, typename Other>
bool equalLower(const Unit* a, const Other* b, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (AsciiCase::lower(char16_t(a[i])) != AsciiCase::lower(char16_t(b[i]))) {
            return false;
        }
    }
    return true;
}

// A UTF-8 view is made UTF-16 first: its bytes are no characters.
template <typename F> decltype(auto) withUnits(QAnyStringView text, F f) {
    return text.visit([&](auto view) {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QLatin1StringView>) {
            return f(reinterpret_cast<const uchar*>(view.data()), size_t(view.size()));
        } else if constexpr (std::is_same_v<View, QStringView>) {
            return f(view.utf16(), size_t(view.size()));
        } else {
            const QString wide = view.toString();
            return f(wide.utf16(), size_t(wide.size()));
        }
    });
}

quint32 hashOf(QAnyStringView text) {
    return withUnits(text, [](const auto* units, size_t size) { return lowerHash(units, size); });
}

bool equals(QAnyStringView text, const QString& entry) {
    return withUnits(text, [&](const auto* units, size_t size) {
        return size == size_t(entry.size()) && equalLower(units, entry.utf16(), size);
    });
}

inline void prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#endif
}

} // namespace

EntryIndex::EntryIndex(const QStringList& entries)
    : m_entries(entries.constData()), m_hashes(size_t(entries.size())),
      m_first(size_t(entries.size())) {
    for (size_t i = 0; i < m_hashes.size(); ++i) {
        const QString& entry = m_entries[i];
        m_hashes[i] = lowerHash(entry.utf16(), size_t(entry.size()));
    }
}

void EntryIndex::build() {
    std::thread helper;
    if (m_hashes.size() >= kParallelFrom) {
        try {
            helper = std::thread([this] { buildSide(1); });
        } catch (const std::system_error&) {
            // No thread to spare: this one builds both.
        }
    }
    buildSide(0);
    if (helper.joinable()) {
        helper.join();
    } else {
        buildSide(1);
    }
    m_hashes = {};
}

void EntryIndex::buildSide(size_t which) {
    const auto mine = [&](size_t i) { return (m_hashes[i] >> 31) == which; };
    const size_t n = m_hashes.size();
    const size_t count = size_t(std::count_if(m_hashes.begin(), m_hashes.end(),
                                              [&](quint32 hash) { return (hash >> 31) == which; }));
    Side& side = m_sides[which];
    // At most half the slots are taken: a missed lookup ends soon.
    size_t capacity = 16;
    while (capacity / 2 < count) {
        capacity *= 2;
    }
    side.table.resize(capacity);
    side.mask = capacity - 1;
    // In list order, so that the first of equal entries takes the slot; the
    // slots lie anywhere, so they are fetched from memory some entries ahead.
    for (size_t i = 0; i < n; ++i) {
        if (i + kBuildAhead < n && mine(i + kBuildAhead)) {
            prefetch(&side.table[m_hashes[i + kBuildAhead] & side.mask]);
        }
        if (!mine(i)) {
            continue;
        }
        const quint32 hash = m_hashes[i];
        Slot& slot = side.table[slotFor(side, m_entries[i], hash)];
        if (slot.first < 0) {
            slot = Slot{hash, int(i)};
        }
        m_first[i] = slot.first;
    }
}

size_t EntryIndex::slotFor(const Side& side, QAnyStringView text, quint32 hash) const {
    size_t i = hash & side.mask;
    while (side.table[i].first >= 0) {
        const Slot& slot = side.table[i];
        if (slot.hash == hash && equals(text, m_entries[slot.first])) {
            return i;
        }
        i = (i + 1) & side.mask;
    }
    return i;
}

void EntryIndex::find(const QAnyStringView* texts, size_t count, int* found) const {
    // A lookup waits for memory three times, its hash known: for its slot,
    // for the entry the slot names and for the entry's text. A pipeline of
    // stages, each kAhead texts ahead of the next, fetches what the following
    // stage reads, so that the waits of many lookups overlap.
    constexpr size_t kAhead = 8;
    constexpr size_t kRing = 4 * kAhead; // hashes and candidates in flight
    quint32 hashes[kRing];
    int candidates[kRing];
    for (size_t i = 0; i < count + 3 * kAhead; ++i) {
        if (i < count) {
            const quint32 hash = hashOf(texts[i]);
            hashes[i % kRing] = hash;
            const Side& side = sideOf(hash);
            prefetch(&side.table[hash & side.mask]);
        }
        if (i >= kAhead && i - kAhead < count) {
            const size_t j = i - kAhead;
            const quint32 hash = hashes[j % kRing];
            const Side& side = sideOf(hash);
            const Slot& slot = side.table[hash & side.mask];
            candidates[j % kRing] = slot.first >= 0 && slot.hash == hash ? slot.first : -1;
            if (candidates[j % kRing] >= 0) {
                prefetch(&m_entries[candidates[j % kRing]]);
            }
        }
        if (i >= 2 * kAhead && i - 2 * kAhead < count) {
            const int candidate = candidates[(i - 2 * kAhead) % kRing];
            if (candidate >= 0) {
                prefetch(m_entries[candidate].constData());
            }
        }
        if (i >= 3 * kAhead) {
            const size_t j = i - 3 * kAhead;
            const quint32 hash = hashes[j % kRing];
            const Side& side = sideOf(hash);
            found[j] = side.table[slotFor(side, texts[j], hash)].first;
        }
    }
}
