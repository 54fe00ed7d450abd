#include "RowPipeline.h"

#include <algorithm>

#include "ConversionJob.h"
#include "IccCmm.h"
#include "Messages.h"
#include "TiffImage.h"

namespace {

// Rows in flight per worker: enough to keep every core busy while the run's
// thread reads and writes, few enough that memory stays a handful of rows.
constexpr unsigned kRowsPerWorker = 4;
// Bytes past the end of each row buffer, so that a pixel is read and
// written with whole eight-byte moves.
constexpr size_t kRowSlack = 8;
// Pixels converted between two looks at the cancel request.
constexpr uint32_t kCancelPollPixels = 256;

// A small image gets a small cache: clearing megabytes for a few hundred
// pixels would cost more than converting them.
unsigned CacheBitsFor(uint64_t pixels) {
    unsigned bits = 10;
    while (bits < CColourCache::kDefaultBits && (uint64_t(1) << bits) < 2 * pixels)
        ++bits;
    return bits;
}

uint64_t PackDest(const unsigned char* bytes, int samples) {
    uint64_t value = 0;
    memcpy(&value, bytes, static_cast<size_t>(samples));
    return value;
}

// Below this many pixels an image is converted without the fast evaluator
// and the shared tables: their set-up (10 to 30 ms for the evaluator's
// tables, and a page fault for nearly every new colour of a noisy image)
// costs more than it saves. Measured: at 512 x 256 pixels the fast set-up
// was as fast on a photo and slower on noise (0.08 s against 0.06 s), at
// 512 x 512 faster on a photo (0.05 s against 0.07 s) and as fast on noise.
constexpr uint64_t kFastSetupPixels = uint64_t(1) << 18;

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
        const size_t ns = size_t(m_layout.sourceSamples);
        const size_t nd = size_t(m_layout.destSamples);
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
                m_eval->Apply(m_src + m_x[i] * ns, m_out + i * nd);
        } else {
            for (uint32_t i = 0; i < m_n; ++i)
                DecodePixel(m_layout, m_src + m_x[i] * ns, m_in + i * ns);
            m_cmm.Apply(m_out, m_in, m_n);
        }
        for (uint32_t i = 0; i < m_n; ++i) {
            unsigned char* out = m_dst + m_x[i] * nd;
            if (!bytes)
                EncodePixel(m_layout, m_out + i * nd, out);
            m_table.Insert(m_table.Key(m_src + m_x[i] * ns), PackDest(out, m_layout.destSamples));
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

// The dense table serves 3-byte sources whose results fit its entries.
bool DenseFits(const PixelLayout& layout) {
    return layout.sourceSamples == 3 && layout.destSamples <= 4;
}

template <typename Table>
bool ConvertRowWith(const CConversionJob& job, const CIccCmm& cmm, const PixelLayout& layout,
                    uint32_t width, const unsigned char* src, unsigned char* dst,
                    CRowPipeline::WorkerState& state, Table table) {
    const size_t ns = size_t(layout.sourceSamples);
    const size_t nd = size_t(layout.destSamples);
    MissBatch<Table> misses(cmm, layout, src, dst, state.eval, table);
    // A pixel's bytes as a number (sources have at most six bytes a pixel,
    // and the row has room to spare).
    const uint64_t mask = CColourCache::MaskFor(layout.sourceSamples);
    const auto bytesAt = [&](uint32_t x) {
        uint64_t v;
        memcpy(&v, src + x * ns, sizeof v);
        return v & mask;
    };
    constexpr uint64_t kNoPixel = ~uint64_t(0);
    // A run of one colour whose first pixel was found takes its value at
    // once; the rest of a run whose first pixel missed copy it once known.
    std::vector<std::pair<uint32_t, uint32_t>>& copies = state.copies;
    copies.clear();
    // Keys of new colours are read a few pixels ahead so that their slots
    // are on their way from memory by the time they are looked up.
    constexpr uint32_t kAhead = 24;
    uint64_t aheadBytes = kNoPixel;
    for (uint32_t x = 0; x < std::min(width, kAhead); ++x)
        table.Prefetch(table.Key(src + x * ns));
    uint64_t prevBytes = kNoPixel, value = 0;
    uint32_t prevX = 0;
    bool found = false;
    for (uint32_t x = 0; x < width; ++x) {
        if (x % kCancelPollPixels == 0 && job.m_bCancelRequested.load(std::memory_order_relaxed))
            return false;
        if (x + kAhead < width) {
            const uint64_t ahead = bytesAt(x + kAhead);
            if (ahead != aheadBytes)
                table.Prefetch(table.Key(src + (x + kAhead) * ns));
            aheadBytes = ahead;
        }
        const uint64_t bytes = bytesAt(x);
        if (bytes == prevBytes) {
            if (found)
                memcpy(dst + x * nd, &value, sizeof value); // the row has room to spare
            else
                copies.emplace_back(x, prevX);
            continue;
        }
        prevBytes = bytes;
        prevX = x;
        found = table.Find(table.Key(src + x * ns), value);
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

unsigned char EncodeDeviceChannel(int, icFloatNumber v) {
    return EncodeUnsigned(v);
}

unsigned char EncodeLabChannel(int channel, icFloatNumber v) {
    return channel == 0 ? EncodeUnsigned(v) : EncodeSigned(v);
}

} // namespace

std::unique_ptr<CIccFastEval> MakeFastEvalFor(const CIccCmm& cmm, const PixelLayout& layout) {
    // Lab bytes for an XYZ profile mix the channels on the way in.
    if (layout.sourceModel == TCM_LAB && layout.sourceXyz)
        return nullptr;
    const int n = layout.sourceSamples;
    std::vector<icFloatNumber> levels(size_t(n) * 256);
    for (int k = 0; k < 256; ++k) {
        unsigned char pixel[icMaxChannels];
        icFloatNumber v[icMaxChannels];
        memset(pixel, k, sizeof pixel);
        DecodePixel(layout, pixel, v);
        for (int c = 0; c < n; ++c)
            levels[size_t(c) * 256 + size_t(k)] = v[c];
    }
    // XYZ values stored as Lab bytes mix the channels on the way out, so
    // only the values can come from the evaluator there.
    IccByteEncoder encoder = layout.destModel == TCM_LAB ? EncodeLabChannel : EncodeDeviceChannel;
    return cmm.MakeFastEval(levels.data(), layout.destXyz ? nullptr : encoder);
}

unsigned ConversionThreadCount(unsigned setting) {
    if (setting > 0)
        return setting;
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 8u);
}

unsigned PipelineWorkersFor(unsigned wanted, uint64_t sourceRowBytes, uint64_t destRowBytes,
                            uint32_t width) {
    // Memory for the fast way stays within a fixed budget whatever rows a
    // file claims; a wider image gets fewer workers, a huge one none.
    constexpr uint64_t kBudget = uint64_t(96) << 20;
    const uint64_t perWorker = kRowsPerWorker * (uint64_t(sourceRowBytes) + destRowBytes) +
                               uint64_t(width) * sizeof(std::pair<uint32_t, uint32_t>) +
                               CColourCache::BytesFor(CColourCache::kDefaultBits);
    return static_cast<unsigned>(std::min<uint64_t>(wanted, kBudget / perWorker));
}

bool CRowPipeline::ConvertRow(const CConversionJob& job, const CIccCmm& cmm,
                              const PixelLayout& layout, uint32_t width, const unsigned char* src,
                              unsigned char* dst, WorkerState& state) {
    const uint64_t mask = CColourCache::MaskFor(layout.sourceSamples);
    if (state.dense != nullptr)
        return ConvertRowWith(job, cmm, layout, width, src, dst, state,
                              SharedDenseTable{*state.dense});
    if (state.packed != nullptr)
        return ConvertRowWith(job, cmm, layout, width, src, dst, state,
                              SharedPackedTable{*state.packed, mask});
    return ConvertRowWith(job, cmm, layout, width, src, dst, state, WorkerTable{state.cache, mask});
}

CRowPipeline::CRowPipeline(CConversionJob& job, const ImageResources& res, const CIccCmm& cmm,
                           const PixelLayout& layout, const std::string& shownDest,
                           unsigned threads)
    : m_job(job), m_res(res), m_cmm(cmm), m_layout(layout), m_strDestPath(shownDest),
      m_nWidth(res.source.GetWidth()), m_nHeight(res.source.GetHeight()) {
    const unsigned workers = std::max(1u, threads);
    m_slots.resize(workers * kRowsPerWorker);
    for (Slot& slot : m_slots) {
        slot.src.resize(res.source.GetRowBytes() + kRowSlack);
        slot.dst.assign(res.dest.GetRowBytes() + kRowSlack, 0);
    }
    const uint64_t pixels = uint64_t(m_nWidth) * m_nHeight;
    if (pixels >= kFastSetupPixels) {
        m_eval = MakeFastEvalFor(cmm, layout);
        if (DenseFits(layout))
            m_dense = CDenseColourTable::Make();
        else if (CPackedColourCache::Fits(layout.sourceSamples, layout.destSamples))
            m_packed = CPackedColourCache::Make(layout.sourceSamples);
    }
    // With a shared table the workers' own caches stay unused.
    const unsigned bits = m_dense || m_packed ? 1 : CacheBitsFor(pixels);
    for (unsigned i = 0; i < workers; ++i) {
        m_states.push_back(std::make_unique<WorkerState>(m_nWidth, bits));
        m_states.back()->eval = m_eval.get();
        m_states.back()->dense = m_dense.get();
        m_states.back()->packed = m_packed.get();
    }
    try {
        for (unsigned i = 0; i < workers; ++i)
            m_workers.emplace_back(&CRowPipeline::Worker, this, std::ref(*m_states[i]));
    } catch (...) {
        Shutdown(); // the threads already started must not outlive the object
        throw;
    }
}

CRowPipeline::~CRowPipeline() {
    Shutdown();
}

void CRowPipeline::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_workReady.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
}

void CRowPipeline::Worker(WorkerState& state) {
    for (;;) {
        uint32_t row;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_workReady.wait(lock, [&] { return m_bQuit || m_nClaimed < m_nPublished; });
            if (m_bQuit)
                return;
            row = m_nClaimed++;
        }
        Slot& slot = m_slots[row % m_slots.size()];
        const bool complete =
            ConvertRow(m_job, m_cmm, m_layout, m_nWidth, slot.src.data(), slot.dst.data(), state);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.complete = complete;
            slot.state = SlotState::Done;
        }
        m_rowDone.notify_all();
    }
}

// Reads rows into free slots and hands them to the workers; false when the
// next row could not be read.
bool CRowPipeline::FillAhead(uint32_t& nextRead, uint32_t nextWrite) {
    while (nextRead < m_nHeight && nextRead - nextWrite < m_slots.size()) {
        Slot& slot = m_slots[nextRead % m_slots.size()];
        if (!m_res.source.ReadRow(slot.src.data()))
            return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.state = SlotState::Ready;
            ++m_nPublished;
        }
        m_workReady.notify_one();
        ++nextRead;
    }
    return true;
}

void CRowPipeline::WaitUntilDone(Slot& slot) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_rowDone.wait(lock, [&] { return slot.state == SlotState::Done; });
}

std::string CRowPipeline::Run() {
    uint32_t nextRead = 0;
    bool readable = true;
    std::string message;
    for (uint32_t row = 0; row < m_nHeight; ++row) {
        if (m_job.m_bStop.load(std::memory_order_relaxed))
            break;
        if (readable)
            readable = FillAhead(nextRead, row);
        if (row == nextRead) { // the row due is the one that could not be read
            message = msg::kReadFailed;
            m_job.m_bStop.store(true, std::memory_order_relaxed);
            break;
        }
        Slot& slot = m_slots[row % m_slots.size()];
        WaitUntilDone(slot);
        // A cancel stops after the row in progress, as in the per-pixel loop,
        // even when workers have already converted rows beyond it.
        const bool cancelled =
            !slot.complete || m_job.m_bCancelRequested.load(std::memory_order_relaxed);
        if (cancelled)
            m_job.m_bStop.store(true, std::memory_order_relaxed);
        if (!m_res.dest.WriteRow(slot.dst.data())) {
            message = FormatText(msg::kWriteFailed, m_strDestPath.c_str());
            m_job.m_bStop.store(true, std::memory_order_relaxed);
            break;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.state = SlotState::Free;
        }
        m_res.hooks.AdvanceProgress();
        if (cancelled)
            break;
    }
    Shutdown();
    return message;
}
