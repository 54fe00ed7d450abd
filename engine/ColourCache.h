#pragma once
// Remembers the destination bytes of source colours already converted in an
// image. A pixel's result depends on its bytes alone, so a remembered result
// is exactly what converting it again would give.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

class CColourCache {
public:
    // 2^bits slots of 16 bytes, direct-mapped: a new colour replaces the one
    // in its slot, so memory never grows and recent colours stay.
    static constexpr unsigned kDefaultBits = 18;
    explicit CColourCache(unsigned bits = kDefaultBits)
        : m_nShift(64 - bits), m_table(size_t(1) << bits) {}

    static constexpr size_t BytesFor(unsigned bits) { return (size_t(1) << bits) * 16; }

    // Source pixels of up to seven bytes make one key; the top bit marks a
    // used slot, so no key is ever zero.
    static uint64_t KeyOf(const unsigned char* pixel, int samples) {
        uint64_t key = 0;
        memcpy(&key, pixel, static_cast<size_t>(samples));
        return key | (uint64_t(1) << 63);
    }

    // The same key from a full eight-byte load: the pixel must be followed by
    // at least 8 - samples readable bytes. mask keeps the pixel's own bytes.
    static uint64_t KeyOfPadded(const unsigned char* pixel, uint64_t mask) {
        uint64_t key;
        memcpy(&key, pixel, sizeof key);
        return (key & mask) | (uint64_t(1) << 63);
    }
    static uint64_t MaskFor(int samples) {
        return samples >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * samples)) - 1;
    }

    // Asks the processor to fetch the key's slot, so that a lookup a few
    // pixels later does not wait for memory.
    void Prefetch(uint64_t key) const { __builtin_prefetch(&m_table[Slot(key)]); }

    bool Find(uint64_t key, uint64_t& value) const {
        const Entry& e = m_table[Slot(key)];
        if (e.key != key)
            return false;
        value = e.value;
        return true;
    }

    void Insert(uint64_t key, uint64_t value) { m_table[Slot(key)] = {key, value}; }

private:
    struct Entry {
        uint64_t key = 0;
        uint64_t value = 0;
    };
    static_assert(sizeof(Entry) == 16, "BytesFor counts 16 bytes a slot");
    size_t Slot(uint64_t key) const {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> m_nShift);
    }

    unsigned m_nShift;
    std::vector<Entry> m_table;
};
