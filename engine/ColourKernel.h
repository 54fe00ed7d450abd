#pragma once
// The colours of a row: each distinct colour converted once, through the
// fast evaluator or the transform, in batches, and remembered in the plan's
// table. Shared by the workers of an image; each worker brings its own state.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ColourCache.h"
#include "ColourPlan.h"
#include "PixelCodec.h"

class CIccCmm;
class CIccFastEval;
class RunControl;

class CColourKernel {
public:
    // Makes the plan's evaluator and shared table, noting in the plan what
    // could not be had: no evaluator for this transform, or no memory for the
    // shared table (the workers' caches serve instead); and, later, a shared
    // table the preview let go. The plan must outlive the kernel.
    CColourKernel(const CIccCmm& cmm, const PixelLayout& layout, ColourPlan& plan, uint64_t pixels);
    ~CColourKernel();
    CColourKernel(const CColourKernel&) = delete;
    CColourKernel& operator=(const CColourKernel&) = delete;

    // Scratch of one worker, taken before any thread starts so that
    // converting never allocates.
    struct WorkerState {
        WorkerState(uint32_t width, unsigned cacheBits) : cache(cacheBits) {
            copies.reserve(width);
        }
        CColourCache cache;
        std::vector<std::pair<uint32_t, uint32_t>> copies;
    };
    std::unique_ptr<WorkerState> MakeWorkerState(uint32_t width) const;

    // Converts one row into dst; false when a cancel was noticed before the
    // row was done. Both buffers must have kRowSlack bytes to spare after the
    // row.
    bool ConvertRow(const RunControl& control, uint32_t width, const unsigned char* src,
                    unsigned char* dst, WorkerState& state) const;

    // Whether the kernel still wants to see rows before any is converted:
    // it weighs whether its table (shared or the workers') will pay.
    bool WantsPreview() const { return m_preview != nullptr; }
    // Shows it the next row, and ends the preview with what it has seen;
    // called on one thread, before the workers get any row.
    void Preview(uint32_t width, const unsigned char* src);
    void EndPreview();
    // Whether each worker's own cache remembers colours (once the preview
    // has ended): the caller then prepares them (CColourCache::Prepare).
    bool UsesWorkerCaches() const { return !m_bNoTable && !m_dense && !m_packed; }

private:
    const CIccCmm& m_cmm;
    const PixelLayout m_layout;
    ColourPlan& m_plan; // told what the preview decides
    unsigned m_nCacheBits;
    bool m_bNoTable; // every pixel converted: sources too wide for a key, or too spread
    std::unique_ptr<CIccFastEval> m_eval;
    std::unique_ptr<CDenseColourTable> m_dense;
    std::unique_ptr<CPackedColourCache> m_packed;
    struct TablePreview;
    std::unique_ptr<TablePreview> m_preview;
};

// Converts the pixels of one row one by one through the transform, on the
// calling thread; false when a cancel came before the last pixel.
bool ConvertRowPixels(const RunControl& control, const CIccCmm& cmm, const PixelLayout& layout,
                      uint32_t width, const unsigned char* src, unsigned char* dst);

// The transform's fast evaluator for pixels of this layout, or null when
// there is none (the source's channels do not decode one by one, or the
// transform's link is not one the evaluator takes).
std::unique_ptr<CIccFastEval> MakeFastEvalFor(const CIccCmm& cmm, const PixelLayout& layout);
