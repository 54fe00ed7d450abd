#pragma once
// Remembers the destination bytes of source colours already converted in an
// image. A pixel's result depends on its bytes alone, so a remembered result
// is exactly what converting it again would give.

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "MemoryPages.h"

// Memory for a table of colours: mapped, not allocated, so only the pages of
// colours the image has cost anything, and a table let go unused nothing. The
// pages stay small even where the system would make them huge: huge pages
// take about a tenth off an image of pure noise, which touches every page
// anyway, but make a photo touch 70 MB instead of 20. Null when the address
// space cannot be had.
inline void* MapSharedTable(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
#if defined(MADV_NOHUGEPAGE)
    madvise(p, bytes, MADV_NOHUGEPAGE); // advice only
#endif
    return p;
}

// Remembers which pages of a table mapped by MapSharedTable have been
// written. A lookup's read of an untouched page would map the system's
// shared page of zeros, and the insert that follows would then have to
// replace it, which in a process with threads on several cores makes every
// core flush its address cache: on a 6 MP image of noise, a quarter of the
// time. So a page is asked for, ready for writing, before its first read:
// cheaper than the fault of a first write (a photo touches thousands of
// pages), which serves when the system cannot be asked.
class CFirstTouch {
public:
    explicit CFirstTouch(size_t bytes) : m_pages((bytes >> kPageBits) + 1) {}

    template <typename T> void BeforeRead(std::atomic<T>& entry, size_t byteOffset) {
        std::atomic<bool>& written = m_pages[byteOffset >> kPageBits];
        if (written.load(std::memory_order_relaxed))
            return;
        if (!PrepareForWriting(PageStart(&entry), size_t(1) << kPageBits))
            entry.fetch_or(0, std::memory_order_relaxed);
        written.store(true, std::memory_order_relaxed);
    }

private:
    static constexpr unsigned kPageBits = 12; // the smallest page
    static void* PageStart(void* p) {
        return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(p) &
                                       ~((uintptr_t(1) << kPageBits) - 1));
    }
    std::vector<std::atomic<bool>> m_pages;
};

class CColourCache {
public:
    // 2^bits slots of 16 bytes, direct-mapped: a new colour replaces the one
    // in its slot, so memory never grows and recent colours stay. Mapped
    // like the shared tables: a cache let go before its first use costs
    // nothing. Throws std::bad_alloc when the memory cannot be had.
    static constexpr unsigned kDefaultBits = 18;
    explicit CColourCache(unsigned bits = kDefaultBits)
        : m_nShift(64 - bits), m_nBytes(BytesFor(bits)),
          m_table(static_cast<Entry*>(MapSharedTable(m_nBytes))) {
        if (!m_table)
            throw std::bad_alloc();
    }
    ~CColourCache() { munmap(m_table, m_nBytes); }
    CColourCache(const CColourCache&) = delete;
    CColourCache& operator=(const CColourCache&) = delete;

    // Asks for every page at once, before a cache is used: its lookups then
    // never read the system's page of zeros (see CFirstTouch).
    void Prepare() { PrepareForWriting(m_table, m_nBytes); }

    static constexpr size_t BytesFor(unsigned bits) { return (size_t(1) << bits) * 16; }

    // Source pixels of up to seven bytes make one key; the top bit marks a
    // used slot, so no key is ever zero.
    static uint64_t KeyOf(const unsigned char* pixel, int bytes) {
        uint64_t key = 0;
        memcpy(&key, pixel, static_cast<size_t>(bytes));
        return key | (uint64_t(1) << 63);
    }

    // The same key from a full eight-byte load: the pixel must be followed by
    // at least 8 - bytes readable bytes. mask keeps the pixel's own bytes.
    static uint64_t KeyOfPadded(const unsigned char* pixel, uint64_t mask) {
        uint64_t key;
        memcpy(&key, pixel, sizeof key);
        return (key & mask) | (uint64_t(1) << 63);
    }
    static uint64_t MaskFor(int bytes) {
        return bytes >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * bytes)) - 1;
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
    size_t m_nBytes;
    Entry* m_table; // zeros are empty slots: no key is zero
};

// The results of every 3-byte source colour, shared by all workers of an
// image, one 4-byte entry per colour: 64 MB of address space, of which an
// image touches the pages of the colours it has.
class CDenseColourTable {
public:
    static constexpr size_t kColours = size_t(1) << 24;
    static constexpr size_t kBytes = kColours * 4;

    static std::unique_ptr<CDenseColourTable> Make() {
        void* p = MapSharedTable(kBytes);
        return p ? std::unique_ptr<CDenseColourTable>(new CDenseColourTable(p)) : nullptr;
    }
    ~CDenseColourTable() { munmap(m_values, kBytes); }
    CDenseColourTable(const CDenseColourTable&) = delete;
    CDenseColourTable& operator=(const CDenseColourTable&) = delete;

    // The pixel must be followed by at least one readable byte. A page of
    // entries holds a 16 x 8 x 8 block of neighbouring colours, so that an
    // image of smooth colours touches few pages.
    static uint32_t IndexOf(const unsigned char* pixel) {
        const uint32_t r = pixel[0], g = pixel[1], b = pixel[2];
        return (r & 15) | (g & 7) << 4 | (b & 7) << 7 | (r >> 4) << 10 | (g >> 3) << 14 |
               (b >> 3) << 19;
    }

    // The page of the table that holds a pixel's entry.
    static constexpr size_t kPages = kBytes >> 12;
    static uint32_t PageOf(const unsigned char* pixel) { return IndexOf(pixel) >> 10; }

    void Prefetch(uint32_t index) const { __builtin_prefetch(&m_values[index]); }

    // Entries hold the result mixed with kEmpty, so that the zeros of fresh
    // pages mean "not filled" and a lookup reads one place only; the one
    // result equal to kEmpty is never kept (and converted every time).
    bool Find(uint32_t index, uint32_t& value) {
        m_touch.BeforeRead(m_values[index], size_t(index) * 4);
        const uint32_t e = m_values[index].load(std::memory_order_relaxed);
        if (e == 0)
            return false;
        value = e ^ kEmpty;
        return true;
    }

    // Entries are written whole; two workers filling one colour at once
    // store the same value.
    void Insert(uint32_t index, uint32_t value) {
        m_values[index].store(value ^ kEmpty, std::memory_order_relaxed);
    }

private:
    // An unlikely result (bytes 0x5A, 0xC3, 0x3C, 0xA5).
    static constexpr uint32_t kEmpty = 0xA53CC35Au;
    static_assert(sizeof(std::atomic<uint32_t>) == 4, "entries are laid out in the mapped memory");
    explicit CDenseColourTable(void* base)
        : m_values(static_cast<std::atomic<uint32_t>*>(base)), m_touch(kBytes) {}

    std::atomic<uint32_t>* m_values;
    CFirstTouch m_touch;
};

// Colours whose source and destination bytes fit one word together (at most
// seven bytes), shared by all workers: a slot holds the source, the result
// and a used bit, read and written whole, so a worker sees a complete entry
// or none. Direct-mapped like CColourCache, and mapped lazily like the dense
// table.
class CPackedColourCache {
public:
    static constexpr unsigned kBits = 21; // 16 MB
    static bool Fits(int sourceBytes, int destBytes) { return sourceBytes + destBytes <= 7; }

    static std::unique_ptr<CPackedColourCache> Make(int sourceBytes) {
        void* p = MapSharedTable(kBytes);
        return p ? std::unique_ptr<CPackedColourCache>(new CPackedColourCache(p, sourceBytes))
                 : nullptr;
    }
    ~CPackedColourCache() { munmap(m_slots, kBytes); }
    CPackedColourCache(const CPackedColourCache&) = delete;
    CPackedColourCache& operator=(const CPackedColourCache&) = delete;

    // source: the pixel's bytes as a number, as CColourCache::KeyOfPadded
    // reads them without the top bit.
    void Prefetch(uint64_t source) const { __builtin_prefetch(&m_slots[Slot(source)]); }

    bool Find(uint64_t source, uint64_t& dest) {
        const size_t slot = Slot(source);
        m_touch.BeforeRead(m_slots[slot], slot * 8);
        const uint64_t e = m_slots[slot].load(std::memory_order_relaxed);
        if (!(e & kUsed) || (e & m_sourceMask) != source)
            return false;
        dest = (e & ~kUsed) >> m_nShift;
        return true;
    }

    void Insert(uint64_t source, uint64_t dest) {
        m_slots[Slot(source)].store(kUsed | dest << m_nShift | source, std::memory_order_relaxed);
    }

private:
    static constexpr size_t kBytes = (size_t(1) << kBits) * 8;
    static constexpr uint64_t kUsed = uint64_t(1) << 63;
    CPackedColourCache(void* base, int sourceBytes)
        : m_slots(static_cast<std::atomic<uint64_t>*>(base)), m_nShift(8 * unsigned(sourceBytes)),
          m_sourceMask((uint64_t(1) << (8 * sourceBytes)) - 1), m_touch(kBytes) {}
    static size_t Slot(uint64_t source) {
        return static_cast<size_t>((source * 0x9E3779B97F4A7C15ull) >> (64 - kBits));
    }

    std::atomic<uint64_t>* m_slots;
    unsigned m_nShift;
    uint64_t m_sourceMask;
    CFirstTouch m_touch;
};
