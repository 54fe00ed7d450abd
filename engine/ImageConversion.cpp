#include "ImageConversion.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "AlphaCarrier.h"
#include "ConversionJob.h"
#include "IccCmm.h"
#include "Messages.h"
#include "PathUtils.h"
#include "PendingFile.h"
#include "PixelCodec.h"
#include "RowPipeline.h"
#include "TiffImage.h"
#include "TiffMetadata.h"

icRenderingIntent SourceIntentFor(int intentIndex) {
    if (intentIndex >= 1 && intentIndex <= 3)
        return static_cast<icRenderingIntent>(intentIndex - 1);
    return icUnknownIntent;
}

bool SourceAgreesWithSpace(icColorSpaceSignature space, uint16_t samples, TiffColorModel model) {
    switch (space) {
    case icSigGrayData:
        return samples == 1 && model != TCM_LAB;
    case icSigRgbData:
        return samples == 3 && model == TCM_ADDITIVE;
    case icSigLabData:
    case icSigXYZData:
        return samples == 3 && model == TCM_LAB;
    case icSigCmyData:
    case icSig3colorData:
        return samples == 3 && model == TCM_SUBTRACTIVE;
    case icSigCmykData:
    case icSig4colorData:
        return samples == 4 && model == TCM_SUBTRACTIVE;
    case icSig5colorData:
    case icSig6colorData:
    case icSig7colorData:
    case icSig8colorData:
        // The first character of 'nCLR' is the ink count.
        return samples == ((space >> 24) & 0xFF) - '0' && model == TCM_SUBTRACTIVE;
    default:
        return false;
    }
}

bool DestinationLayoutFor(icColorSpaceSignature space, TiffColorModel& model, uint16_t& samples) {
    switch (space) {
    case icSigGrayData:
        model = TCM_ADDITIVE; // written black-is-zero
        samples = 1;
        return true;
    case icSigRgbData:
        model = TCM_ADDITIVE;
        samples = 3;
        return true;
    case icSigCmyData:
    case icSig3colorData:
        model = TCM_SUBTRACTIVE;
        samples = 3;
        return true;
    case icSigCmykData:
    case icSig4colorData:
        model = TCM_SUBTRACTIVE;
        samples = 4;
        return true;
    case icSig5colorData:
    case icSig6colorData:
    case icSig7colorData:
    case icSig8colorData:
        model = TCM_SUBTRACTIVE;
        // The first character of 'nCLR' is the ink count.
        samples = static_cast<uint16_t>(((space >> 24) & 0xFF) - '0');
        return true;
    case icSigLabData:
    case icSigXYZData:
        model = TCM_LAB;
        samples = 3;
        return true;
    default:
        return false;
    }
}

namespace {

// Converts the pixels of one row until a cancel is noticed; returns false
// when the cancel came before the last pixel.
bool ConvertRowPixels(CConversionJob& job, CIccCmm& cmm, const PixelLayout& layout,
                      uint32_t width) {
    icFloatNumber v[icMaxChannels];
    const unsigned char* src = job.m_pSourceRow;
    unsigned char* dst = job.m_pDestRow;
    for (uint32_t x = 0; x < width; ++x) {
        if (job.m_bCancelRequested.load(std::memory_order_relaxed))
            return false;
        DecodePixel(layout, src + size_t(x) * layout.sourceSamples, v);
        cmm.Apply(v, v);
        EncodePixel(layout, v, dst + size_t(x) * layout.destSamples);
    }
    return true;
}

void FreeRowBuffers(CConversionJob& job) {
    free(job.m_pSourceRow);
    free(job.m_pDestRow);
    job.m_pSourceRow = nullptr;
    job.m_pDestRow = nullptr;
}

// Steps up to the creation of the destination; shows the message of the
// first check that fails.
class ImageSetup {
public:
    ImageSetup(CConversionJob& job, const ImageResources& res, CAlphaCarrier& alpha,
               CTiffMetadata& metadata)
        : m_job(job), m_res(res), m_alpha(alpha), m_metadata(metadata) {}

    // The transform, and the source opened and checked against it. With
    // embedded profiles the source is opened first, for its profile.
    std::unique_ptr<CIccCmm> Prepare(const std::string& sourcePath, PixelLayout& layout) {
        if (!m_job.m_bEmbeddedSourceProfile) {
            std::unique_ptr<CIccCmm> cmm = BuildTransform(nullptr);
            return cmm && CheckSource(*cmm, sourcePath, layout, true) ? std::move(cmm) : nullptr;
        }
        std::vector<unsigned char> embedded;
        if (!OpenSource(sourcePath))
            return nullptr;
        if (!m_res.source.GetIccProfile(embedded)) {
            Fail(FormatText(msg::kNoEmbeddedProfile, Shown(GetFileName(sourcePath)).c_str()));
            return nullptr;
        }
        m_strEmbeddedName = FormatText(msg::kEmbeddedProfileName, Shown(sourcePath).c_str());
        std::unique_ptr<CIccCmm> cmm = BuildTransform(&embedded);
        return cmm && CheckSource(*cmm, sourcePath, layout, false) ? std::move(cmm) : nullptr;
    }

    std::unique_ptr<CIccCmm> BuildTransform(const std::vector<unsigned char>* embedded) {
        auto cmm = std::make_unique<CIccCmm>();
        const icRenderingIntent intent = SourceIntentFor(m_job.m_nIntent);
        const icStatusCMM source =
            embedded ? cmm->AddXform(embedded->data(), uint32_t(embedded->size()), intent)
                     : cmm->AddXform(m_job.m_strSourceProfile.c_str(), intent);
        if (source != icCmmStatOk || AddDestinationStep(*cmm) != icCmmStatOk ||
            cmm->Begin() != icCmmStatOk) {
            const std::string shownSource =
                embedded ? m_strEmbeddedName : Shown(m_job.m_strSourceProfile);
            Fail(FormatText(msg::kInvalidProfile, shownSource.c_str(),
                            Shown(m_job.m_strDestProfile).c_str()));
            return nullptr;
        }
        return cmm;
    }

    // When the run embeds the destination profile, the pixels are converted
    // with exactly the bytes that are embedded, even if the file has changed
    // on disk since the run read it.
    icStatusCMM AddDestinationStep(CIccCmm& cmm) const {
        if (m_res.profileBytes)
            return cmm.AddXform(m_res.profileBytes, m_res.profileSize, icUnknownIntent);
        return cmm.AddXform(m_job.m_strDestProfile.c_str(), icUnknownIntent);
    }

    bool OpenSource(const std::string& sourcePath) {
        CTiffImage& src = m_res.source;
        if (!src.OpenForRead(sourcePath.c_str()))
            return Fail(FormatText(msg::kInvalidTiff, Shown(sourcePath).c_str()));
        if (!src.HasEightBitUnsignedSamples())
            return Fail(msg::kSourceNot8Bit);
        return true;
    }

    bool CheckSource(const CIccCmm& cmm, const std::string& sourcePath, PixelLayout& layout,
                     bool open) {
        if (open && !OpenSource(sourcePath))
            return false;
        CTiffImage& src = m_res.source;
        const icColorSpaceSignature space = cmm.GetSourceSpace();
        // RGB and CMYK may carry one unassociated alpha sample, which passes
        // through unchanged; any other extra sample is a mismatch.
        m_bAlpha = src.HasUnassociatedAlpha() &&
                   ((space == icSigRgbData && src.GetSamplesPerPixel() == 4) ||
                    (space == icSigCmykData && src.GetSamplesPerPixel() == 5));
        const uint16_t colourSamples = src.GetSamplesPerPixel() - (m_bAlpha ? 1 : 0);
        if (!CTiffImage::IsReadPhotometric(src.GetPhotometric()) ||
            !SourceAgreesWithSpace(space, colourSamples, src.GetColorModel()))
            return Fail(msg::kDataTypeMismatch);
        if (m_bAlpha)
            src.CarryAlpha(&m_alpha);
        layout.sourceModel = src.GetColorModel();
        // Grey stored white-is-zero is read inverted, as grey profiles count
        // from black.
        if (space == icSigGrayData && src.GetColorModel() == TCM_SUBTRACTIVE) {
            src.InvertSamples();
            layout.sourceModel = TCM_ADDITIVE;
        }
        layout.sourceSamples = colourSamples;
        layout.sourceXyz = space == icSigXYZData;
        return true;
    }

    bool CreateDestination(const CIccCmm& cmm, const std::string& destPath, PixelLayout& layout) {
        TiffColorModel model;
        uint16_t samples = 0;
        if (!DestinationLayoutFor(cmm.GetDestSpace(), model, samples))
            return Fail(msg::kInvalidDestination);
        m_bXyzDestination = m_res.xyzDestination || cmm.GetDestSpace() == icSigXYZData;
        layout.destModel = model;
        layout.destSamples = samples;
        layout.destXyz = m_bXyzDestination;

        const CTiffImage& src = m_res.source;
        // Checked before anything is allocated or written: rows beyond the
        // limit would take more memory than a machine can be expected to have.
        const uint64_t destRowBytes = uint64_t(src.GetWidth()) * (samples + (m_bAlpha ? 1 : 0));
        if (src.GetRowBytes() > m_job.m_nMaxRowBytes || destRowBytes > m_job.m_nMaxRowBytes)
            return Fail(msg::kSourceTooLarge);
        // An existing destination the user may not write is refused before
        // any work, as writing into it would have been.
        if (!MayReplace(destPath))
            return Fail(FormatText(msg::kWriteFailed, Shown(destPath).c_str()));
        TiffWriteOptions options;
        options.resolutionUnit = src.GetResolutionUnit();
        options.bigTiffThreshold = m_job.m_nBigTiffThreshold;
        options.compression = m_job.m_nCompression;
        options.alpha = m_bAlpha ? &m_alpha : nullptr;
        const std::vector<std::string> inks = cmm.GetDestColorantNames();
        options.inkNames = &inks;
        // Unreadable EXIF data leaves the other kept tags.
        if (m_job.m_bKeepMetadata) {
            m_res.source.ReadMetadata(m_metadata);
            options.metadata = &m_metadata;
        }
        if (!m_res.dest.CreateForWrite(destPath.c_str(), src.GetWidth(), src.GetHeight(), 8, model,
                                       samples, src.GetXResolution(), src.GetYResolution(),
                                       m_res.profileBytes, m_res.profileSize, options))
            return Fail(FormatText(msg::kCannotCreateTiff, Shown(destPath).c_str()));
        return true;
    }

    bool TakeRowBuffers() {
        m_job.m_pSourceRow = static_cast<unsigned char*>(malloc(m_res.source.GetRowBytes()));
        // Zeroed: a cancel in the first row leaves the pixels it did not reach
        // black rather than whatever the allocator handed out. calloc touches
        // no memory until a row is really converted, which matters for files
        // that claim rows far larger than they hold.
        m_job.m_pDestRow = static_cast<unsigned char*>(calloc(1, m_res.dest.GetRowBytes()));
        if (!m_job.m_pSourceRow || !m_job.m_pDestRow) {
            FreeRowBuffers(m_job);
            m_res.dest.Close();
            return Fail(msg::kOutOfMemory);
        }
        return true;
    }

    bool XyzDestination() const { return m_bXyzDestination; }
    std::string Shown(const std::string& path) const { return m_res.hooks.DisplayPath(path); }

private:
    bool Fail(const std::string& text) {
        m_res.hooks.ShowMessage(text);
        m_res.source.Close();
        return false;
    }

    CConversionJob& m_job;
    const ImageResources& m_res;
    CAlphaCarrier& m_alpha;
    CTiffMetadata& m_metadata;
    bool m_bXyzDestination = false;
    bool m_bAlpha = false;
    std::string m_strEmbeddedName;
};

// The per-pixel loop; returns the failure's message, empty when every row
// was written or the user cancelled.
std::string ConvertRowsPlain(CConversionJob& job, const ImageResources& res, CIccCmm& cmm,
                             const PixelLayout& layout, const std::string& shownDest) {
    const uint32_t height = res.source.GetHeight();
    const uint32_t width = res.source.GetWidth();
    for (uint32_t row = 0; row < height; ++row) {
        if (job.m_bStop.load(std::memory_order_relaxed))
            break;
        if (!res.source.ReadRow(job.m_pSourceRow)) {
            job.m_bStop.store(true, std::memory_order_relaxed);
            return msg::kReadFailed;
        }
        const bool complete = ConvertRowPixels(job, cmm, layout, width);
        if (!complete)
            job.m_bStop.store(true, std::memory_order_relaxed);
        if (!res.dest.WriteRow(job.m_pDestRow)) {
            job.m_bStop.store(true, std::memory_order_relaxed);
            return FormatText(msg::kWriteFailed, shownDest.c_str());
        }
        res.hooks.AdvanceProgress();
    }
    return std::string();
}

std::string ConvertRows(CConversionJob& job, const ImageResources& res, CIccCmm& cmm,
                        const PixelLayout& layout, const std::string& shownDest) {
    const unsigned workers =
        PipelineWorkersFor(ConversionThreadCount(job.m_nThreads), res.source.GetRowBytes(),
                           res.dest.GetRowBytes(), res.source.GetWidth());
    if (!job.m_bPlainPixelPath && workers > 0) {
        std::unique_ptr<CRowPipeline> pipeline;
        try {
            pipeline = std::make_unique<CRowPipeline>(job, res, cmm, layout, shownDest, workers);
        } catch (const std::exception&) {
            // No memory or threads for the fast way: the plain loop needs none.
        }
        if (pipeline)
            return pipeline->Run();
    }
    return ConvertRowsPlain(job, res, cmm, layout, shownDest);
}

} // namespace

ImageResult ConvertImage(CConversionJob& job, const ImageResources& res,
                         const std::string& sourcePath, const std::string& destPath) {
    CAlphaCarrier alpha;
    CTiffMetadata metadata;
    ImageSetup setup(job, res, alpha, metadata);
    PixelLayout layout;
    std::unique_ptr<CIccCmm> cmm = setup.Prepare(sourcePath, layout);
    ImageResult result;
    result.xyzDestination = res.xyzDestination;
    if (!cmm || !setup.CreateDestination(*cmm, destPath, layout) || !setup.TakeRowBuffers())
        return result;
    result.xyzDestination = setup.XyzDestination();

    const std::string shownDest = setup.Shown(destPath);
    result.message = ConvertRows(job, res, *cmm, layout, shownDest);
    // All rows are written: the file goes under its name only once it is
    // whole on disk. A stopped image leaves the name as it was.
    if (!job.m_bStop.load(std::memory_order_relaxed) && !res.dest.Commit()) {
        result.message = FormatText(msg::kWriteFailed, shownDest.c_str());
        job.m_bStop.store(true, std::memory_order_relaxed);
    }
    res.dest.Close();

    res.hooks.EndOfImagePauseCheck();
    res.source.Close();
    FreeRowBuffers(job);
    cmm.reset();
    result.outcome = job.m_bStop.load(std::memory_order_relaxed) ? ImageOutcome::StoppedInRows
                                                                 : ImageOutcome::Converted;
    return result;
}
