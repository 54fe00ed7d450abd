#include "ColourKernel.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "IccCmm.h"
#include "IccFastEval.h"
#include "RunState.h"

namespace {

// Pixels converted between two looks at the cancel request.
constexpr uint32_t kCancelPollPixels = 256;

uint64_t PackDest(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    memcpy(&value, bytes, static_cast<size_t>(count));
    return value;
}

// The three kinds of colour memory behind one interface: keys from a
// pixel's bytes (followed by 8 - samples readable bytes), and destination
// bytes packed in a number.
struct WorkerTable {
    CColourCache& cache;
    uint64_t mask;
    uint64_t Key(const unsigned char* pixel) const {
        return CColourCache::KeyOfPadded(pixel, mask);
    }
    void Prefetch(uint64_t key) const { cache.Prefetch(key); }
    bool Find(uint64_t key, uint64_t& value) const { return cache.Find(key, value); }
    void Insert(uint64_t key, uint64_t value) { cache.Insert(key, value); }
};

struct SharedDenseTable {
    CDenseColourTable& table;
    uint64_t Key(const unsigned char* pixel) const { return CDenseColourTable::IndexOf(pixel); }
    void Prefetch(uint64_t key) const { table.Prefetch(uint32_t(key)); }
    bool Find(uint64_t key, uint64_t& value) const {
        uint32_t v;
        if (!table.Find(uint32_t(key), v))
            return false;
        value = v;
        return true;
    }
    void Insert(uint64_t key, uint64_t value) { table.Insert(uint32_t(key), uint32_t(value)); }
};

struct SharedPackedTable {
    CPackedColourCache& cache;
    uint64_t mask;
    uint64_t Key(const unsigned char* pixel) const {
        uint64_t v;
        memcpy(&v, pixel, sizeof v);
        return v & mask;
    }
    void Prefetch(uint64_t key) const { cache.Prefetch(key); }
    bool Find(uint64_t key, uint64_t& value) const { return cache.Find(key, value); }
    void Insert(uint64_t key, uint64_t value) { cache.Insert(key, value); }
};

// No memory at all: every pixel is converted (sources too wide for a key).
struct NoTable {
    uint64_t Key(const unsigned char*) const { return 0; }
    void Insert(uint64_t, uint64_t) {}
};

// Converts the pixels that missed the table in batches, stores their bytes
// and remembers them.
template <typename Table> class MissBatch {
public:
    MissBatch(const CIccCmm& cmm, const PixelLayout& layout, const unsigned char* src,
              unsigned char* dst, const CIccFastEval* eval, Table& table)
        : m_cmm(cmm), m_layout(layout), m_src(src), m_dst(dst), m_eval(eval), m_table(table) {}

    void Add(uint32_t x) {
        m_x[m_n++] = x;
        if (m_n == kBatch)
            Flush();
    }

    void Flush() {
        const size_t ns = size_t(m_layout.source.PixelBytes());
        const size_t nd = size_t(m_layout.dest.PixelBytes());
        const size_t nv = size_t(m_layout.source.colourChannels);
        const size_t nw = size_t(m_layout.dest.colourChannels);
        const bool bytes = m_eval != nullptr && m_eval->HasBytes();
        if (bytes) {
            const unsigned char* from[kBatch];
            unsigned char* to[kBatch];
            for (uint32_t i = 0; i < m_n; ++i) {
                from[i] = m_src + m_x[i] * ns;
                to[i] = m_dst + m_x[i] * nd;
            }
            m_eval->ApplyBytes(from, to, m_n);
        } else if (m_eval != nullptr) {
            for (uint32_t i = 0; i < m_n; ++i)
                m_eval->Apply(m_src + m_x[i] * ns, m_out + i * nw);
        } else {
            for (uint32_t i = 0; i < m_n; ++i)
                DecodePixel(m_layout.source, m_src + m_x[i] * ns, m_in + i * nv);
            m_cmm.Apply(m_out, m_in, m_n);
        }
        for (uint32_t i = 0; i < m_n && !bytes; ++i)
            EncodePixel(m_layout.dest, m_out + i * nw, m_dst + m_x[i] * nd);
        if constexpr (!std::is_same_v<Table, NoTable>) {
            for (uint32_t i = 0; i < m_n; ++i)
                m_table.Insert(m_table.Key(m_src + m_x[i] * ns),
                               PackDest(m_dst + m_x[i] * nd, int(nd)));
        }
        m_n = 0;
    }

private:
    static constexpr uint32_t kBatch = 128;
    const CIccCmm& m_cmm;
    const PixelLayout& m_layout;
    const unsigned char* m_src;
    unsigned char* m_dst;
    const CIccFastEval* m_eval;
    Table& m_table;
    uint32_t m_x[kBatch];
    uint32_t m_n = 0;
    icFloatNumber m_in[kBatch * icMaxChannels];
    icFloatNumber m_out[kBatch * icMaxChannels];
};

// A pixel's bytes as a number (sources here have at most seven bytes a
// pixel, and the row has room to spare).
inline uint64_t BytesAt(const unsigned char* src, size_t ns, uint64_t mask, uint32_t x) {
    uint64_t v;
    memcpy(&v, src + x * ns, sizeof v);
    return v & mask;
}

constexpr uint64_t kNoPixel = ~uint64_t(0);

// Keys of new colours, read a few pixels ahead so that their slots are on
// their way from memory by the time they are looked up. Each key is made
// once, when its pixel is read ahead, and kept until the pixel is looked up:
// a pixel looked up is one whose bytes differ from its left neighbour's, as
// every pixel read ahead is.
template <typename Table> class KeysAhead {
public:
    KeysAhead(const Table& table, const unsigned char* src, size_t ns, uint64_t mask,
              uint32_t width)
        : m_table(table), m_src(src), m_ns(ns), m_mask(mask), m_width(width) {
        for (uint32_t x = 0; x < std::min(width, kAhead); ++x) {
            m_keys[x] = table.Key(src + x * ns);
            table.Prefetch(m_keys[x]);
        }
    }
    // Reads ahead of pixel x, before it is looked up.
    void Pass(uint32_t x) {
        if (x + kAhead >= m_width)
            return;
        const uint64_t ahead = BytesAt(m_src, m_ns, m_mask, x + kAhead);
        if (ahead != m_aheadBytes) {
            const uint64_t key = m_table.Key(m_src + (x + kAhead) * m_ns);
            m_keys[(x + kAhead) % kKept] = key;
            m_table.Prefetch(key);
        }
        m_aheadBytes = ahead;
    }
    uint64_t KeyOf(uint32_t x) const { return m_keys[x % kKept]; }

private:
    static constexpr uint32_t kAhead = 24, kKept = 32;
    static_assert(kKept > kAhead && (kKept & (kKept - 1)) == 0, "keys kept in a ring");
    const Table& m_table;
    const unsigned char* m_src;
    size_t m_ns;
    uint64_t m_mask;
    uint32_t m_width;
    uint64_t m_aheadBytes = kNoPixel;
    uint64_t m_keys[kKept];
};

template <typename Table>
bool ConvertRowWith(const RunControl& control, const CIccCmm& cmm, const PixelLayout& layout,
                    const CIccFastEval* eval, uint32_t width, const unsigned char* src,
                    unsigned char* dst, CColourKernel::WorkerState& state, Table table) {
    const size_t ns = size_t(layout.source.PixelBytes());
    const size_t nd = size_t(layout.dest.PixelBytes());
    const uint64_t mask = CColourCache::MaskFor(int(ns));
    MissBatch<Table> misses(cmm, layout, src, dst, eval, table);
    KeysAhead<Table> keys(table, src, ns, mask, width);
    // A run of one colour whose first pixel was found takes its value at
    // once; the rest of a run whose first pixel missed copy it once known.
    std::vector<std::pair<uint32_t, uint32_t>>& copies = state.copies;
    copies.clear();
    uint64_t prevBytes = kNoPixel, value = 0;
    uint32_t prevX = 0;
    bool found = false;
    for (uint32_t x = 0; x < width; ++x) {
        if (x % kCancelPollPixels == 0 && control.CancelRequested())
            return false;
        keys.Pass(x);
        const uint64_t bytes = BytesAt(src, ns, mask, x);
        if (bytes == prevBytes) {
            if (found)
                memcpy(dst + x * nd, &value, sizeof value); // the row has room to spare
            else
                copies.emplace_back(x, prevX);
            continue;
        }
        prevBytes = bytes;
        prevX = x;
        found = table.Find(keys.KeyOf(x), value);
        if (found)
            memcpy(dst + x * nd, &value, sizeof value);
        else
            misses.Add(x);
    }
    misses.Flush();
    for (const auto& [x, from] : copies)
        memcpy(dst + x * nd, dst + from * nd, nd);
    return true;
}

// Every pixel through the evaluator or the transform, in batches.
bool ConvertRowBatched(const RunControl& control, const CIccCmm& cmm, const PixelLayout& layout,
                       const CIccFastEval* eval, uint32_t width, const unsigned char* src,
                       unsigned char* dst) {
    NoTable none;
    MissBatch<NoTable> batch(cmm, layout, src, dst, eval, none);
    for (uint32_t x = 0; x < width; ++x) {
        if (x % kCancelPollPixels == 0 && control.CancelRequested())
            return false;
        batch.Add(x);
    }
    batch.Flush();
    return true;
}

} // namespace

bool ConvertRowPixels(const RunControl& control, const CIccCmm& cmm, const PixelLayout& layout,
                      uint32_t width, const unsigned char* src, unsigned char* dst) {
    icFloatNumber v[icMaxChannels];
    const size_t ns = size_t(layout.source.PixelBytes());
    const size_t nd = size_t(layout.dest.PixelBytes());
    for (uint32_t x = 0; x < width; ++x) {
        if (control.CancelRequested())
            return false;
        DecodePixel(layout.source, src + x * ns, v);
        cmm.Apply(v, v);
        EncodePixel(layout.dest, v, dst + x * nd);
    }
    return true;
}

std::unique_ptr<CIccFastEval> MakeFastEvalFor(const CIccCmm& cmm, const PixelLayout& layout) {
    // Its tables are indexed by sample.
    const int bits = layout.source.bitsPerSample;
    if (!DecodesChannelByChannel(layout.source) || (bits != 8 && bits != 16))
        return nullptr;
    const int n = layout.source.colourChannels;
    const unsigned count = 1u << bits;
    std::vector<icFloatNumber> levels(size_t(n) * count);
    for (unsigned k = 0; k < count; ++k) {
        unsigned char pixel[2 * icMaxChannels] = {};
        icFloatNumber v[icMaxChannels];
        for (int c = 0; c < n; ++c)
            StoreSample(static_cast<uint16_t>(k), pixel + c * bits / 8, bits / 8);
        DecodePixel(layout.source, pixel, v);
        for (int c = 0; c < n; ++c)
            levels[size_t(c) * count + k] = v[c];
    }
    IccFastEvalEnds ends;
    ends.levels = levels.data();
    ends.levelBits = bits;
    ends.bytes = ChannelEncoderFor(layout.dest);
    ends.words = ChannelWordEncoderFor(layout.dest);
    return cmm.MakeFastEval(ends);
}

CColourKernel::CColourKernel(const CIccCmm& cmm, const PixelLayout& layout, ColourPlan& plan,
                             uint64_t pixels)
    : m_cmm(cmm), m_layout(layout), m_plan(plan),
      m_nCacheBits(plan.table == ColourTable::WorkerCache ? plan.cacheBits : 1),
      m_bNoTable(plan.table == ColourTable::None) {
    if (plan.evaluator)
        m_eval = MakeFastEvalFor(cmm, layout);
    plan.evaluator = m_eval != nullptr;
    plan.evaluatorBytes = m_eval && m_eval->HasBytes();
    if (plan.table == ColourTable::Dense)
        m_dense = CDenseColourTable::Make();
    else if (plan.table == ColourTable::Packed)
        m_packed = CPackedColourCache::Make(layout.source.PixelBytes());
    if ((plan.table == ColourTable::Dense && !m_dense) ||
        (plan.table == ColourTable::Packed && !m_packed)) {
        plan.table = ColourTable::WorkerCache;
        plan.cacheBits = CacheBitsFor(pixels);
        m_nCacheBits = plan.cacheBits;
    }
    // A source of more than seven bytes a pixel has no table to weigh.
    if (!m_bNoTable)
        m_preview = std::make_unique<TablePreview>(m_dense != nullptr, layout.source.PixelBytes());
}

// What the first rows say of the image's colours. With the dense table:
// how many of its pages they would touch. Colours spread over the whole
// cube, as in noise, touch a new page for nearly every pixel, and each page
// costs a fault and a read from memory for a colour that seldom comes again:
// the evaluator alone is then quicker, and the memory stays small. Photos,
// even grainy ones, touch a new page for one pixel in ten or fewer. With a
// cache: how many colours they hold. When nearly every pixel is a colour of
// its own, as in most 16-bit images, a cache only adds a lookup and a store
// to each pixel.
struct CColourKernel::TablePreview {
    static constexpr uint32_t kPixels = 4096; // enough to tell, a row or two
    const bool dense;
    const int pixelBytes;
    std::vector<uint64_t> seen; // pages, or colours

    TablePreview(bool denseTable, int bytes) : dense(denseTable), pixelBytes(bytes) {
        seen.reserve(kPixels);
    }
    // True once it has seen enough. It stops there, as past a few thousand
    // pixels even noise finds the pages it touches touched already.
    bool Add(uint32_t width, const unsigned char* src) {
        for (uint32_t x = 0; x < width && seen.size() < kPixels; ++x) {
            const unsigned char* pixel = src + size_t(x) * size_t(pixelBytes);
            seen.push_back(dense ? CDenseColourTable::PageOf(pixel)
                                 : CColourCache::KeyOf(pixel, pixelBytes));
        }
        return seen.size() == kPixels;
    }
    // Whether the table will not pay: more than one new page in two pixels,
    // or more than nine colours of their own in ten. Fewer pixels than it
    // wants tell nothing.
    bool Spread() {
        const size_t n = seen.size();
        if (n < kPixels)
            return false;
        std::sort(seen.begin(), seen.end());
        const size_t distinct = size_t(std::unique(seen.begin(), seen.end()) - seen.begin());
        return dense ? distinct > n / 2 : distinct > n * 9 / 10;
    }
};

void CColourKernel::Preview(uint32_t width, const unsigned char* src) {
    if (m_preview && m_preview->Add(width, src))
        EndPreview();
}

void CColourKernel::EndPreview() {
    if (m_preview && m_preview->Spread()) {
        m_dense.reset();
        m_packed.reset();
        m_bNoTable = true;
        m_plan.table = ColourTable::None;
    }
    m_preview.reset();
}

CColourKernel::~CColourKernel() = default;

std::unique_ptr<CColourKernel::WorkerState> CColourKernel::MakeWorkerState(uint32_t width) const {
    return std::make_unique<WorkerState>(width, m_nCacheBits);
}

bool CColourKernel::ConvertRow(const RunControl& control, uint32_t width, const unsigned char* src,
                               unsigned char* dst, WorkerState& state) const {
    const CIccFastEval* eval = m_eval.get();
    const uint64_t mask = CColourCache::MaskFor(m_layout.source.PixelBytes());
    if (m_bNoTable)
        return ConvertRowBatched(control, m_cmm, m_layout, eval, width, src, dst);
    if (m_dense)
        return ConvertRowWith(control, m_cmm, m_layout, eval, width, src, dst, state,
                              SharedDenseTable{*m_dense});
    if (m_packed)
        return ConvertRowWith(control, m_cmm, m_layout, eval, width, src, dst, state,
                              SharedPackedTable{*m_packed, mask});
    return ConvertRowWith(control, m_cmm, m_layout, eval, width, src, dst, state,
                          WorkerTable{state.cache, mask});
}
