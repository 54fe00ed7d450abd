// The steps of one image before its first row: each refuses with the message
// of the first check that fails, and then nothing is left behind.

#include <exception>
#include <utility>

#include "ImageConversion.h"
#include "ConversionJob.h"
#include "Messages.h"
#include "PathUtils.h"
#include "PendingFile.h"

icRenderingIntent SourceIntentFor(int intentIndex) {
    if (intentIndex >= 1 && intentIndex <= 3)
        return static_cast<icRenderingIntent>(intentIndex - 1);
    return icUnknownIntent;
}

namespace {

class CImagePreparation {
public:
    CImagePreparation(const ImageJob& job, ImagePlan& plan)
        : m_job(job), m_spec(job.spec), m_plan(plan) {}

    // The transform, and the source opened and checked against it. With
    // embedded profiles the source is opened first, for its profile.
    bool TransformAndSource(const std::string& sourcePath) {
        if (!m_spec.m_bEmbeddedSourceProfile)
            return BuildTransform(nullptr) && OpenSource(sourcePath) && CheckSource();
        std::vector<unsigned char> embedded;
        if (!OpenSource(sourcePath))
            return false;
        if (!m_plan.source.GetIccProfile(embedded))
            return Refuse(
                FormatText(msg::kNoEmbeddedProfile, Shown(GetFileName(sourcePath)).c_str()));
        m_strEmbeddedName = FormatText(msg::kEmbeddedProfileName, Shown(sourcePath).c_str());
        return BuildTransform(&embedded) && CheckSource();
    }

    bool Destination(const std::string& destPath) {
        const CIccCmm& cmm = *m_plan.cmm;
        const CTiffImage& src = m_plan.source;
        m_plan.xyzDestination = m_job.xyzDestination || cmm.GetDestSpace() == icSigXYZData;
        const PixelFormat& from = m_plan.layout.source;
        const int bits = m_spec.m_nOutputDepth ? m_spec.m_nOutputDepth : from.bitsPerSample;
        if (!DestinationFormatFor(cmm.GetDestSpace(), m_plan.xyzDestination, from.HasAlpha(), bits,
                                  m_plan.layout.dest))
            return Refuse(msg::kInvalidDestination);
        m_plan.alpha.SetSampleBytes(from.SampleBytes(), m_plan.layout.dest.SampleBytes());
        // Checked before anything is allocated or written: rows beyond the
        // limit would take more memory than a machine can be expected to have.
        const uint64_t destRowBytes = uint64_t(src.GetWidth()) *
                                      m_plan.layout.dest.StoredSamples() *
                                      m_plan.layout.dest.SampleBytes();
        if (src.GetRowBytes() > m_spec.m_nMaxRowBytes || destRowBytes > m_spec.m_nMaxRowBytes)
            return Refuse(msg::kSourceTooLarge);
        // An existing destination the user may not write is refused before
        // any work, as writing into it would have been.
        m_plan.shownDest = Shown(destPath);
        if (!MayReplace(destPath))
            return Refuse(FormatText(msg::kWriteFailed, m_plan.shownDest.c_str()));
        if (!m_plan.dest.Create(destPath.c_str(), WriteSpec()))
            return Refuse(FormatText(msg::kCannotCreateTiff, m_plan.shownDest.c_str()));
        return true;
    }

    bool RowBuffers() {
        m_plan.sourceRow = AllocateRow(m_plan.source.GetRowBytes());
        m_plan.destRow = AllocateRow(m_plan.dest.GetRowBytes());
        if (!m_plan.sourceRow || !m_plan.destRow)
            return Refuse(msg::kOutOfMemory);
        return true;
    }

    void ChooseColourWay() {
        ImagePlan& p = m_plan;
        p.colour = ChooseColourPlan(m_spec, p.layout, p.width, p.height, p.source.GetRowBytes(),
                                    p.dest.GetRowBytes());
        if (p.colour.PerPixel())
            return;
        try {
            p.kernel = std::make_unique<CColourKernel>(*p.cmm, p.layout, p.colour,
                                                       uint64_t(p.width) * p.height);
        } catch (const std::exception&) {
            // No memory for the fast way: the per-pixel loop needs none.
            p.colour = ColourPlan();
        }
    }

    std::string TakeRefusal() { return std::move(m_strRefusal); }

private:
    bool Refuse(const std::string& text) {
        m_strRefusal = text;
        return false;
    }

    std::string Shown(const std::string& path) const {
        return m_job.shown ? m_job.shown(path) : path;
    }

    bool BuildTransform(const std::vector<unsigned char>* embedded) {
        auto cmm = std::make_unique<CIccCmm>();
        const icRenderingIntent intent = SourceIntentFor(m_spec.m_nIntent);
        const icStatusCMM source = embedded
                                       ? cmm->AddXform(embedded->data(), embedded->size(), intent)
                                       : cmm->AddXform(m_spec.m_strSourceProfile.c_str(), intent);
        if (source != icCmmStatOk || AddDestinationStep(*cmm) != icCmmStatOk ||
            cmm->Begin() != icCmmStatOk) {
            const std::string shownSource =
                embedded ? m_strEmbeddedName : Shown(m_spec.m_strSourceProfile);
            return Refuse(FormatText(msg::kInvalidProfile, shownSource.c_str(),
                                     Shown(m_spec.m_strDestProfile).c_str()));
        }
        m_plan.cmm = std::move(cmm);
        return true;
    }

    // When the run embeds the destination profile, the pixels are converted
    // with exactly the bytes that are embedded, even if the file has changed
    // on disk since the run read it.
    icStatusCMM AddDestinationStep(CIccCmm& cmm) const {
        if (m_job.embedProfile)
            return cmm.AddXform(m_job.embedProfile->data(), m_job.embedProfile->size());
        return cmm.AddXform(m_spec.m_strDestProfile.c_str());
    }

    bool OpenSource(const std::string& sourcePath) {
        CTiffImage& src = m_plan.source;
        src.SetAllocationLimit(m_spec.m_nMaxTiffAllocation);
        if (!src.OpenForRead(sourcePath.c_str()))
            return Refuse(FormatText(msg::kInvalidTiff, Shown(sourcePath).c_str()));
        if (!src.HasConvertibleSamples())
            return Refuse(msg::kSourceNot8Bit);
        m_plan.width = src.GetWidth();
        m_plan.height = src.GetHeight();
        return true;
    }

    bool CheckSource() {
        CTiffImage& src = m_plan.source;
        if (!SourceFormatFor(src.GetPixelTags(), m_plan.cmm->GetSourceSpace(),
                             m_plan.layout.source))
            return Refuse(msg::kDataTypeMismatch);
        src.HandOut(m_plan.layout.source, &m_plan.alpha);
        return true;
    }

    TiffWriteSpec WriteSpec() {
        const CTiffImage& src = m_plan.source;
        TiffWriteSpec w;
        w.width = src.GetWidth();
        w.height = src.GetHeight();
        w.format = m_plan.layout.dest;
        w.xResolution = src.GetXResolution();
        w.yResolution = src.GetYResolution();
        w.resolutionUnit = src.GetResolutionUnit();
        if (m_job.embedProfile) {
            w.profile = m_job.embedProfile->data();
            w.profileSize = uint32_t(m_job.embedProfile->size());
        }
        w.bigTiffThreshold = m_spec.m_nBigTiffThreshold;
        w.compression = m_spec.m_nCompression;
        w.alpha = &m_plan.alpha;
        w.inkNames = m_plan.cmm->GetDestColorantNames();
        // Unreadable EXIF data leaves the other kept tags.
        if (m_spec.m_bKeepMetadata) {
            m_plan.source.ReadMetadata(m_plan.metadata);
            w.metadata = &m_plan.metadata;
        }
        return w;
    }

    const ImageJob& m_job;
    const JobSpec& m_spec;
    ImagePlan& m_plan;
    std::string m_strEmbeddedName;
    std::string m_strRefusal;
};

} // namespace

PreparedImage PrepareImage(const ImageJob& job, const std::string& sourcePath,
                           const std::string& destPath) {
    auto plan = std::make_unique<ImagePlan>();
    CImagePreparation prep(job, *plan);
    if (!prep.TransformAndSource(sourcePath) || !prep.Destination(destPath) || !prep.RowBuffers())
        return {nullptr, prep.TakeRefusal()};
    prep.ChooseColourWay();
    return {std::move(plan), std::string()};
}
