#include "ConversionJob.h"
#include "ImageConversion.h"
#include "Support.h"

namespace ts {

Conversion Convert(Conversion o, unsigned threads) {
    JobSpec job;
    job.m_strSourceImage = o.source, job.m_strSourceProfile = o.from, job.m_strDestProfile = o.to;
    job.m_strDestImage = o.dest, job.m_nIntent = o.intent;
    job.m_bPlainPixelPath = threads == 0, job.m_nThreads = threads;
    job.m_bEmbeddedSourceProfile = o.embeddedSource, job.m_nCompression = o.compression;
    job.m_nOutputDepth = o.depth, job.m_bKeepMetadata = o.keepMetadata;
    job.m_bBlackPointCompensation = o.blackPoint;
    RunControl control;
    if (o.cancelAfter == 0)
        control.RequestCancel();
    PreparedImage prepared =
        PrepareImage({job, o.embed.empty() ? nullptr : &o.embed, false, {}}, o.source, o.dest);
    if (!prepared.plan) {
        o.status = "refused", o.message = prepared.refusal;
        return o;
    }
    ImageProgress progress;
    progress.rowDone = [&] {
        if (++o.rows == o.cancelAfter)
            control.RequestCancel();
    };
    progress.pageBegun = [&](uint32_t, uint32_t) { ++o.pages; };
    const ImageOutcome outcome = ConvertImage(*prepared.plan, control, progress);
    o.plan = prepared.plan->colour.Describe(); // as the rows were converted
    static const char* const kStatus[] = {"converted", "failed", "cancelled"};
    o.status = kStatus[int(outcome.status)], o.message = outcome.message;
    return o;
}

} // namespace ts
