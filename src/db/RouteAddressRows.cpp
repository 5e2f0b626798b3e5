#include "db/RouteAddressRows.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

// Mixes four lower-cased characters at a time into the hash; a Latin-1 and a
// UTF-16 copy of one address, and any letter case of it, hash alike.
inline quint64 mix(quint64 hash, quint64 word) {
    hash ^= word;
    hash *= 0xbf58476d1ce4e5b9ULL;
    return hash ^ (hash >> 31);
}

template <typename Unit> quint32 lowerHash(const Unit* text, size_t size) {
    quint64 hash = 0x9e3779b97f4a7c15ULL ^ size;
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        hash = mix(hash, quint64(AsciiCase::lower(char16_t(text[i]))) |
                             quint64(AsciiCase::lower(char16_t(text[i + 1]))) << 16 |
                             quint64(AsciiCase::lower(char16_t(text[i + 2]))) << 32 |
                             quint64(AsciiCase::lower(char16_t(text[i + 3]))) << 48);
    }
    quint64 rest = 0;
    for (int shift = 0; i < size; ++i, shift += 16) {
        rest |= quint64(AsciiCase::lower(char16_t(text[i]))) << shift;
    }
    hash = mix(hash, rest);
    hash ^= hash >> 29;
    hash *= 0x94d049bb133111ebULL;
    return quint32(hash ^ (hash >> 32));
}

template <typename A, typename B> bool equalLower(const A* a, const B* b, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (AsciiCase::lower(char16_t(a[i])) != AsciiCase::lower(char16_t(b[i]))) {
            return false;
        }
    }
    return true;
}

inline void prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#endif
}

// Up to three quarters of the slots hold a chain.
size_t capacityFor(size_t chains) {
    size_t capacity = 16;
    while (capacity / 4 * 3 < chains) {
        capacity *= 2;
    }
    return capacity;
}

} // namespace

RouteAddressRows::RouteAddressRows() = default;
RouteAddressRows::~RouteAddressRows() = default;
RouteAddressRows::RouteAddressRows(RouteAddressRows&&) noexcept = default;
RouteAddressRows& RouteAddressRows::operator=(RouteAddressRows&&) noexcept = default;

const char* RouteAddressRows::textOf(const Row& row) const {
    return m_text[size_t(row.text >> 32)].get() + (row.text & 0xFFFFFFFFu);
}

int RouteAddressRows::append(qint64 id, qint64 routeId, QStringView address) {
    const size_t length = size_t(address.size());
    bool wide = false;
    for (const QChar c : address) {
        if (c.unicode() > 0xFF) {
            wide = true;
            break;
        }
    }
    char* to = store(id, routeId, length, wide);
    if (wide) {
        std::memcpy(to, address.utf16(), length * 2);
    } else {
        for (size_t i = 0; i < length; ++i) {
            to[i] = char(address[qsizetype(i)].unicode());
        }
    }
    return stored();
}

int RouteAddressRows::append(qint64 id, qint64 routeId, QLatin1StringView address) {
    const size_t length = size_t(address.size());
    std::memcpy(store(id, routeId, length, false), address.data(), length);
    return stored();
}

char* RouteAddressRows::store(qint64 id, qint64 routeId, size_t length, bool wide) {
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
    row.routeId = routeId;
    row.text = quint64(m_text.size() - 1) << 32 | offset;
    row.size = quint32(length) | (wide ? kWide : 0);
    row.next = -1;
    return m_text.back().get() + offset;
}

int RouteAddressRows::stored() {
    const int number = m_size++;
    if (m_indexed) {
        index(number, hashOf(at(number)));
    }
    return number;
}

QString RouteAddressRows::address(int number) const {
    const Row& row = at(number);
    const qsizetype length = qsizetype(row.size & kLengthMask);
    if (row.size & kWide) {
        return QString(reinterpret_cast<const QChar*>(textOf(row)), length);
    }
    return QString::fromLatin1(textOf(row), length);
}

quint32 RouteAddressRows::hashOf(const Row& row) const {
    const size_t length = row.size & kLengthMask;
    if (row.size & kWide) {
        return lowerHash(reinterpret_cast<const char16_t*>(textOf(row)), length);
    }
    return lowerHash(reinterpret_cast<const uchar*>(textOf(row)), length);
}

bool RouteAddressRows::equals(const Row& row, QStringView text) const {
    const size_t length = row.size & kLengthMask;
    if (length != size_t(text.size())) {
        return false;
    }
    if (row.size & kWide) {
        return equalLower(reinterpret_cast<const char16_t*>(textOf(row)), text.utf16(), length);
    }
    return equalLower(reinterpret_cast<const uchar*>(textOf(row)), text.utf16(), length);
}

bool RouteAddressRows::equals(const Row& a, const Row& b) const {
    const size_t length = a.size & kLengthMask;
    if (length != (b.size & kLengthMask)) {
        return false;
    }
    const char* ta = textOf(a);
    const char* tb = textOf(b);
    const auto wide = [](const char* t) { return reinterpret_cast<const char16_t*>(t); };
    const auto narrow = [](const char* t) { return reinterpret_cast<const uchar*>(t); };
    switch (((a.size & kWide) ? 2 : 0) | ((b.size & kWide) ? 1 : 0)) {
    case 0:
        return equalLower(narrow(ta), narrow(tb), length);
    case 1:
        return equalLower(narrow(ta), wide(tb), length);
    case 2:
        return equalLower(wide(ta), narrow(tb), length);
    default:
        return equalLower(wide(ta), wide(tb), length);
    }
}

size_t RouteAddressRows::slotFor(QStringView text, quint32 hash) const {
    size_t i = hash & m_mask;
    while (m_slots[i].last >= 0) {
        const Slot& slot = m_slots[i];
        if (slot.hash == hash && equals(at(slot.last), text)) {
            return i;
        }
        i = (i + 1) & m_mask;
    }
    return i;
}

size_t RouteAddressRows::slotFor(const Row& row, quint32 hash) const {
    size_t i = hash & m_mask;
    while (m_slots[i].last >= 0) {
        const Slot& slot = m_slots[i];
        if (slot.hash == hash && equals(at(slot.last), row)) {
            return i;
        }
        i = (i + 1) & m_mask;
    }
    return i;
}

void RouteAddressRows::resizeIndex(size_t capacity) {
    std::vector<Slot> table(capacity);
    const size_t mask = capacity - 1;
    for (const Slot& slot : m_slots) {
        if (slot.last < 0) {
            continue;
        }
        size_t i = slot.hash & mask;
        while (table[i].last >= 0) {
            i = (i + 1) & mask;
        }
        table[i] = slot;
    }
    m_slots.swap(table);
    m_mask = mask;
}

void RouteAddressRows::index(int number, quint32 hash) {
    if (capacityFor(m_chains + 1) > m_slots.size()) {
        resizeIndex(capacityFor(m_chains + 1));
    }
    Row& row = at(number);
    Slot& slot = m_slots[slotFor(row, hash)];
    if (slot.last < 0) {
        row.next = number;
        slot = Slot{hash, number};
        ++m_chains;
        return;
    }
    Row& last = at(slot.last);
    row.next = last.next;
    last.next = number;
    slot.last = number;
}

void RouteAddressRows::buildIndex() {
    // Sized for every row at once: equal addresses only leave slots unused.
    resizeIndex(capacityFor(size_t(m_size)));
    m_indexed = true;
    // The rows' texts lie in order, their slots anywhere: each batch's slots
    // are fetched from memory together before they are used.
    quint32 hashes[kBatch];
    for (int from = 0; from < m_size; from += int(kBatch)) {
        const int count = std::min(int(kBatch), m_size - from);
        for (int i = 0; i < count; ++i) {
            hashes[i] = hashOf(at(from + i));
            prefetch(&m_slots[hashes[i] & m_mask]);
        }
        for (int i = 0; i < count; ++i) {
            index(from + i, hashes[i]);
        }
    }
}

// Linear probing without tombstones: the chains behind a freed slot that
// belong before it move up.
void RouteAddressRows::eraseSlot(size_t freed) {
    size_t i = (freed + 1) & m_mask;
    while (m_slots[i].last >= 0) {
        const size_t home = m_slots[i].hash & m_mask;
        // Whether home lies cyclically in (freed, i]: then the chain stays.
        const bool stays = freed < i ? (home > freed && home <= i) : (home > freed || home <= i);
        if (!stays) {
            m_slots[freed] = m_slots[i];
            freed = i;
        }
        i = (i + 1) & m_mask;
    }
    m_slots[freed] = Slot{};
    --m_chains;
}

void RouteAddressRows::remove(int number) {
    Row& row = at(number);
    if (row.next == kDeleted) {
        return;
    }
    if (m_indexed) {
        const size_t i = slotFor(row, hashOf(row));
        Slot& slot = m_slots[i];
        if (row.next == number) {
            eraseSlot(i);
        } else {
            // The delete pass takes the first row of a chain: the last row
            // is its predecessor on the ring.
            int previous = slot.last;
            while (at(previous).next != number) {
                previous = at(previous).next;
            }
            at(previous).next = row.next;
            if (slot.last == number) {
                slot.last = previous;
            }
        }
    }
    row.next = kDeleted;
    row.size &= ~kMarked;
}

int RouteAddressRows::find(QStringView text) const {
    if (m_chains == 0) {
        return -1;
    }
    const quint32 hash = lowerHash(text.utf16(), size_t(text.size()));
    const Slot& slot = m_slots[slotFor(text, hash)];
    return slot.last < 0 ? -1 : at(slot.last).next;
}

bool RouteAddressRows::markChain(size_t i) {
    const Slot& slot = m_slots[i];
    if (slot.last < 0) {
        return false;
    }
    // Marks run from the first row of a chain: with the last row marked, all
    // of them are, and a repeated entry costs no walk.
    if (isMarked(slot.last)) {
        return true;
    }
    int number = slot.last;
    do {
        number = at(number).next;
        at(number).size |= kMarked;
    } while (number != slot.last);
    return true;
}

bool RouteAddressRows::mark(QStringView text) {
    if (m_chains == 0) {
        return false;
    }
    return markChain(slotFor(text, lowerHash(text.utf16(), size_t(text.size()))));
}

void RouteAddressRows::mark(std::span<const QString> texts, bool* named) {
    if (m_chains == 0) {
        std::fill(named, named + texts.size(), false);
        return;
    }
    const size_t n = texts.size();
    std::vector<quint32> hashes(n);
    for (size_t i = 0; i < n; ++i) {
        if (i + kBatch < n) {
            prefetch(texts[i + kBatch].constData());
        }
        hashes[i] = lowerHash(texts[i].utf16(), size_t(texts[i].size()));
    }
    // The lookups wait for memory more than they compute: two threads wait
    // twice as fast. Each takes the texts of half the hashes; the texts of
    // one chain have one hash, so no row is ever touched by both.
    std::thread helper;
    if (n >= kParallelFrom) {
        try {
            helper = std::thread([&] { markSome(texts, hashes.data(), kHalf, kHalf, named); });
        } catch (const std::system_error&) {
            // No thread to spare: this one does it all.
        }
    }
    if (helper.joinable()) {
        markSome(texts, hashes.data(), kHalf, 0, named);
        helper.join();
    } else {
        markSome(texts, hashes.data(), 0, 0, named);
    }
}

void RouteAddressRows::markSome(std::span<const QString> texts, const quint32* hashes,
                                quint32 halfMask, quint32 half, bool* named) {
    std::vector<quint32> mine;
    mine.reserve(texts.size() / 2 + 16);
    for (size_t i = 0; i < texts.size(); ++i) {
        if ((hashes[i] & halfMask) == half) {
            mine.push_back(quint32(i));
        }
    }
    // A lookup waits for memory three times, its hash known: for the text
    // and its slot, for the row and for the row's address. A pipeline of
    // stages, each kAhead texts ahead of the next, fetches what the following
    // stage reads, so that the waits of many lookups overlap.
    constexpr size_t kAhead = kBatch / 2;
    const size_t n = mine.size();
    for (size_t i = 0; i < n + 3 * kAhead; ++i) {
        if (i < n) {
            prefetch(texts[mine[i]].constData());
            prefetch(&m_slots[hashes[mine[i]] & m_mask]);
        }
        if (i >= kAhead && i - kAhead < n) {
            const Slot& slot = m_slots[hashes[mine[i - kAhead]] & m_mask];
            if (slot.last >= 0) {
                prefetch(&at(slot.last));
            }
        }
        if (i >= 2 * kAhead && i - 2 * kAhead < n) {
            const quint32 hash = hashes[mine[i - 2 * kAhead]];
            const Slot& slot = m_slots[hash & m_mask];
            if (slot.last >= 0 && slot.hash == hash) {
                prefetch(textOf(at(slot.last)));
            }
        }
        if (i >= 3 * kAhead) {
            const size_t j = mine[i - 3 * kAhead];
            named[j] = markChain(slotFor(texts[j], hashes[j]));
        }
    }
}
