// The steps of one file before its first row: each refuses with the message
// of the first check that fails, and then nothing is left behind. Every
// image of the file is checked before the destination is created.

#include <algorithm>
#include <exception>
#include <utility>

#include "Causes.h"
#include "ConversionJob.h"
#include "FileRead.h"
#include "IccProfileInfo.h"
#include "ImageConversion.h"
#include "Messages.h"
#include "PathUtils.h"
#include "PendingFile.h"

icRenderingIntent SourceIntentFor(int intentIndex) {
    if (intentIndex >= 1 && intentIndex <= 4)
        return static_cast<icRenderingIntent>(intentIndex - 1);
    return icUnknownIntent;
}

namespace {

// Whether two profiles differ: by their IDs when both have one (an ID is the
// digest of the profile's bytes, the header's flags, intent and ID aside),
// otherwise by their bytes.
bool IsOtherProfile(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    constexpr size_t kId = 84, kIdBytes = 16;
    const auto hasId = [](const std::vector<unsigned char>& p) {
        return p.size() >= kId + kIdBytes &&
               std::any_of(p.begin() + kId, p.begin() + kId + kIdBytes,
                           [](unsigned char c) { return c != 0; });
    };
    if (hasId(a) && hasId(b))
        return !std::equal(a.begin() + kId, a.begin() + kId + kIdBytes, b.begin() + kId);
    return a != b;
}

class CImagePreparation {
public:
    CImagePreparation(const ImageJob& job, ImagePlan& plan)
        : m_job(job), m_spec(job.spec), m_plan(plan) {}

    // The transform, and the source opened. With embedded profiles the
    // source is opened first, for its profiles.
    bool TransformAndSource(const std::string& sourcePath) {
        m_strSourcePath = sourcePath;
        if (!m_spec.m_bEmbeddedSourceProfile && !BuildTransform(nullptr))
            return false;
        return OpenSource();
    }

    // Every image of the file's chain, checked as one image is.
    bool Pages() {
        CTiffImage& src = m_plan.source;
        const uint32_t count = src.CountPages();
        if (count == 0)
            return RefuseUnreadTiff();
        for (uint32_t p = 0; p < count; ++p) {
            if (p > 0 && !src.OpenPage(p))
                return RefuseUnreadTiff();
            if (!src.HasConvertibleSamples())
                return Refuse(msg::kSourceNot8Bit, cause::OfSamples(src.GetPixelTags()));
            if (m_spec.m_bEmbeddedSourceProfile && !EmbeddedTransform())
                return false;
            if (!m_spec.m_bEmbeddedSourceProfile && m_strNote.empty())
                NoteOtherProfile();
            if (!CheckPage())
                return false;
        }
        for (size_t p = 1; p < m_plan.pages.size(); ++p)
            m_plan.pages[0].write.otherPagesBytes += CTiffWriter::SizeBound(m_plan.pages[p].write);
        return true;
    }

    // The destination may be written: an existing one the user may not
    // write is refused before any work, as writing into it would have been.
    bool Destination(const std::string& destPath) {
        m_plan.shownDest = Shown(destPath);
        m_plan.destPath = destPath;
        m_plan.keepMetadata = m_spec.m_bKeepMetadata;
        if (!MayReplace(destPath))
            return Refuse(FormatText(msg::kWriteFailed, m_plan.shownDest.c_str()),
                          cause::OfUnwritable(destPath, m_plan.shownDest));
        return true;
    }

    bool FirstPage() {
        std::string why;
        const std::string failure = BeginPage(m_plan, 0, &why);
        return failure.empty() || Refuse(failure, why);
    }

    std::string TakeRefusal() { return std::move(m_strRefusal); }
    std::string TakeCause() { return std::move(m_strCause); }
    std::string TakeNote() { return std::move(m_strNote); }

private:
    bool Refuse(const std::string& text, const std::string& why = std::string()) {
        m_strRefusal = text;
        m_strCause = why;
        return false;
    }

    bool RefuseUnreadTiff() {
        const std::string shown = Shown(m_strSourcePath);
        return Refuse(FormatText(msg::kInvalidTiff, shown.c_str()),
                      cause::OfUnreadTiff(m_strSourcePath, shown));
    }

    std::string Shown(const std::string& path) const {
        return m_job.shown ? m_job.shown(path) : path;
    }

    bool BuildTransform(const std::vector<unsigned char>* embedded) {
        auto cmm = std::make_shared<CIccCmm>();
        cmm->SetBlackPointCompensation(m_spec.m_bBlackPointCompensation);
        const icRenderingIntent intent = SourceIntentFor(m_spec.m_nIntent);
        const icStatusCMM source = embedded
                                       ? cmm->AddXform(embedded->data(), embedded->size(), intent)
                                       : cmm->AddXform(m_spec.m_strSourceProfile.c_str(), intent);
        const icStatusCMM dest = source == icCmmStatOk ? AddDestinationStep(*cmm) : icCmmStatOk;
        if (source != icCmmStatOk || dest != icCmmStatOk || cmm->Begin() != icCmmStatOk) {
            const std::string shownSource = ShownSourceProfile(embedded != nullptr);
            const std::string shownDest = Shown(m_spec.m_strDestProfile);
            return Refuse(FormatText(msg::kInvalidProfile, shownSource.c_str(), shownDest.c_str()),
                          ProfileCause(embedded, shownSource, shownDest, source != icCmmStatOk));
        }
        m_cmm = std::move(cmm);
        m_bEmbeddedTransform = embedded != nullptr;
        return true;
    }

    std::string ShownSourceProfile(bool embedded) const {
        return embedded ? FormatText(msg::kEmbeddedProfileName, Shown(m_strSourcePath).c_str())
                        : Shown(m_spec.m_strSourceProfile);
    }

    // The page carries a profile other than the chosen one: the same file
    // (the same profile ID when both have one) is not another profile.
    void NoteOtherProfile() {
        std::vector<unsigned char> own;
        if (!m_plan.source.GetIccProfile(own))
            return;
        // Read once a file, by the first page that carries a profile.
        std::vector<unsigned char>& chosen = m_chosenProfile;
        if (chosen.empty() &&
            !ReadRegularFile(m_spec.m_strSourceProfile, chosen, icMaxProfileBytes))
            return;
        if (!IsOtherProfile(own, chosen))
            return;
        const std::string ownName = icSummariseProfile(own.data(), own.size()).description;
        std::string chosenName = icSummariseProfile(chosen.data(), chosen.size()).description;
        if (chosenName.empty())
            chosenName = GetFileName(m_spec.m_strSourceProfile);
        m_strNote = FormatText(msg::kOtherProfile, Shown(GetFileName(m_strSourcePath)).c_str(),
                               Shown(ownName.empty() ? "untitled" : ownName).c_str(),
                               Shown(chosenName).c_str());
    }

    // Why the transform could not be made: the profile that failed, or the
    // two not linking.
    std::string ProfileCause(const std::vector<unsigned char>* embedded,
                             const std::string& shownSource, const std::string& shownDest,
                             bool sourceFailed) const {
        std::vector<unsigned char> sourceBytes, destBytes;
        if (embedded)
            sourceBytes = *embedded;
        if (m_job.embedProfile)
            destBytes = *m_job.embedProfile;
        std::string why;
        if (sourceFailed && embedded)
            why = cause::OfProfileBytes(sourceBytes, shownSource);
        else if (sourceFailed)
            why = cause::OfProfileFile(m_spec.m_strSourceProfile, shownSource);
        else if (m_job.embedProfile)
            why = cause::OfProfileBytes(destBytes, shownDest);
        else
            why = cause::OfProfileFile(m_spec.m_strDestProfile, shownDest);
        if (!why.empty())
            return why;
        if (!embedded)
            ReadRegularFile(m_spec.m_strSourceProfile, sourceBytes, icMaxProfileBytes);
        if (!m_job.embedProfile)
            ReadRegularFile(m_spec.m_strDestProfile, destBytes, icMaxProfileBytes);
        return cause::OfLink(sourceBytes, shownSource, destBytes, shownDest);
    }

    // The image's own profile; images that carry the same bytes share one
    // transform.
    bool EmbeddedTransform() {
        std::vector<unsigned char> embedded;
        if (!m_plan.source.GetIccProfile(embedded)) {
            if (m_spec.m_strSourceProfile.empty())
                return Refuse(FormatText(msg::kNoEmbeddedProfile,
                                         Shown(GetFileName(m_strSourcePath)).c_str()));
            // The chosen source profile serves images without their own.
            if (m_cmm && !m_bEmbeddedTransform)
                return true;
            return BuildTransform(nullptr);
        }
        if (m_cmm && m_bEmbeddedTransform && embedded == m_lastEmbedded)
            return true;
        m_lastEmbedded = std::move(embedded);
        return BuildTransform(&m_lastEmbedded);
    }

    // When the run embeds the destination profile, the pixels are converted
    // with exactly the bytes that are embedded, even if the file has changed
    // on disk since the run read it.
    icStatusCMM AddDestinationStep(CIccCmm& cmm) const {
        if (m_job.embedProfile)
            return cmm.AddXform(m_job.embedProfile->data(), m_job.embedProfile->size());
        return cmm.AddXform(m_spec.m_strDestProfile.c_str());
    }

    bool OpenSource() {
        CTiffImage& src = m_plan.source;
        src.SetAllocationLimit(m_spec.m_nMaxTiffAllocation);
        if (!src.OpenForRead(m_strSourcePath.c_str()))
            return RefuseUnreadTiff();
        if (!src.HasConvertibleSamples())
            return Refuse(msg::kSourceNot8Bit, cause::OfSamples(src.GetPixelTags()));
        return true;
    }

    // The image in hand against the transform: its pixels, its destination's
    // format and the size of both rows.
    bool CheckPage() {
        const CTiffImage& src = m_plan.source;
        PagePlan page;
        page.cmm = m_cmm;
        page.width = src.GetWidth();
        page.height = src.GetHeight();
        if (!SourceFormatFor(src.GetPixelTags(), m_cmm->GetSourceSpace(), page.layout.source))
            return Refuse(msg::kDataTypeMismatch,
                          cause::OfMismatch(src.GetPixelTags(), Shown(m_strSourcePath),
                                            m_cmm->GetSourceSpace(),
                                            ShownSourceProfile(m_bEmbeddedTransform)));
        const PixelFormat& from = page.layout.source;
        m_plan.xyzDestination = m_job.xyzDestination || m_cmm->GetDestSpace() == icSigXYZData;
        const int bits = m_spec.m_nOutputDepth ? m_spec.m_nOutputDepth : from.bitsPerSample;
        if (!DestinationFormatFor(m_cmm->GetDestSpace(), m_plan.xyzDestination, from, bits,
                                  page.layout.dest))
            return Refuse(msg::kInvalidDestination);
        // Checked before anything is allocated or written: rows beyond the
        // limit would take more memory than a machine can be expected to have.
        const PixelFormat& to = page.layout.dest;
        const uint64_t destRowBytes = uint64_t(page.width) * to.StoredSamples() * to.SampleBytes();
        if (src.GetRowBytes() > m_spec.m_nMaxRowBytes || destRowBytes > m_spec.m_nMaxRowBytes)
            return Refuse(msg::kSourceTooLarge);
        const uint64_t sourceRowBytes = uint64_t(page.width) * from.PixelBytes();
        page.colour = ChooseColourPlan(m_spec, page.layout, page.width, page.height, sourceRowBytes,
                                       uint64_t(page.width) * to.PixelBytes());
        page.write = WriteSpec(page);
        page.layoutKey = src.GetLayoutKey();
        m_plan.pages.push_back(std::move(page));
        return true;
    }

    TiffWriteSpec WriteSpec(const PagePlan& page) {
        const CTiffImage& src = m_plan.source;
        TiffWriteSpec w;
        w.width = page.width;
        w.height = page.height;
        w.format = page.layout.dest;
        w.xResolution = src.GetXResolution();
        w.yResolution = src.GetYResolution();
        w.resolutionUnit = src.GetResolutionUnit();
        w.page = src.GetPageTags();
        if (m_job.embedProfile) {
            w.profile = m_job.embedProfile->data();
            w.profileSize = uint32_t(m_job.embedProfile->size());
        }
        w.bigTiffThreshold = m_spec.m_nBigTiffThreshold;
        w.compression = m_spec.m_nCompression;
        w.extras = &m_plan.extras;
        const std::vector<uint16_t>& kinds = src.GetPixelTags().extraKinds;
        w.extraKinds.assign(size_t(page.layout.source.extraChannels), 0);
        std::copy_n(kinds.begin(), std::min(kinds.size(), w.extraKinds.size()),
                    w.extraKinds.begin());
        w.orientation = src.GetOrientation();
        w.inkNames = page.cmm->GetDestColorantNames();
        return w;
    }

    const ImageJob& m_job;
    const JobSpec& m_spec;
    ImagePlan& m_plan;
    std::string m_strSourcePath;
    std::shared_ptr<CIccCmm> m_cmm;
    bool m_bEmbeddedTransform = false; // m_cmm is from the image's own profile
    std::vector<unsigned char> m_lastEmbedded;
    std::string m_strRefusal;
    std::string m_strCause;
    std::string m_strNote;
    std::vector<unsigned char> m_chosenProfile; // the source profile's bytes, for the note
};

// Whether two pages convert the same pixels the same way.
bool SameWay(const PagePlan& a, const PagePlan& b) {
    return a.cmm == b.cmm && a.layout.source == b.layout.source && a.layout.dest == b.layout.dest &&
           a.colour.workers == b.colour.workers && a.colour.table == b.colour.table &&
           a.colour.evaluator == b.colour.evaluator;
}

// The colour kernel of a page: the last page's when it converts the same
// pixels the same way, as its tables then hold the right colours.
void MakeKernel(ImagePlan& p, const PagePlan& page, const PagePlan* previous) {
    if (previous && p.kernel && SameWay(*previous, page))
        return;
    p.kernel.reset();
    p.colour = page.colour;
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

} // namespace

std::string WriteCause(const ImagePlan& plan) {
    return cause::CannotWrite(plan.shownDest, plan.dest.GetError());
}

std::string BeginPage(ImagePlan& p, uint32_t index, std::string* cause) {
    const PagePlan& page = p.pages[index];
    // The source moves to the page, and its rows are decoded only with the
    // layout that was checked: a directory that now says otherwise fails.
    if (p.source.GetPage() != index &&
        (!p.source.OpenPage(index) || p.source.GetLayoutKey() != page.layoutKey))
        return msg::kReadFailed;
    p.page = index;
    p.cmm = page.cmm;
    p.layout = page.layout;
    p.width = page.width;
    p.height = page.height;
    p.source.HandOut(page.layout.source, &p.extras);
    p.extras.SetFormats(page.layout.source, page.layout.dest);
    TiffWriteSpec write = page.write;
    // Unreadable EXIF data leaves the other kept tags.
    if (p.keepMetadata) {
        p.source.ReadMetadata(p.metadata);
        write.metadata = &p.metadata;
    }
    if (index == 0 && !p.dest.Create(p.destPath.c_str(), write)) {
        if (cause)
            *cause = cause::CannotOpen(p.shownDest, p.dest.GetError());
        return FormatText(msg::kCannotCreateTiff, p.shownDest.c_str());
    }
    if (index > 0 && !p.dest.NextPage(write)) {
        if (cause)
            *cause = WriteCause(p);
        return FormatText(msg::kWriteFailed, p.shownDest.c_str());
    }
    p.sourceRow = AllocateRow(p.source.GetRowBytes());
    p.destRow = AllocateRow(p.dest.GetRowBytes());
    if (!p.sourceRow || !p.destRow)
        return msg::kOutOfMemory;
    MakeKernel(p, page, index > 0 ? &p.pages[index - 1] : nullptr);
    return std::string();
}

PreparedImage PrepareImage(const ImageJob& job, const std::string& sourcePath,
                           const std::string& destPath) {
    auto plan = std::make_unique<ImagePlan>();
    CImagePreparation prep(job, *plan);
    if (!prep.TransformAndSource(sourcePath) || !prep.Pages() || !prep.Destination(destPath) ||
        !prep.FirstPage())
        return {nullptr, prep.TakeRefusal(), prep.TakeCause(), std::string()};
    return {std::move(plan), std::string(), std::string(), prep.TakeNote()};
}
