// The fast evaluator's compiler: the stage list Little CMS will evaluate for
// a transform, taken apart into the evaluator's steps and the tables at
// either end. Its own arithmetic is a few divisions, which no compiler fuses
// with anything, so it needs none of the kernels' compiler settings.
#include "IccFastEvalBuild.h"

#include <lcms2_plugin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "IccDefs.h"
#include "IccFastEvalImpl.h"
#include "IccLcmsContext.h"
#include "IccLcmsInternals.h"
#include "IccParallel.h"
#include "MemoryPages.h"

using icfast::kLaneChannels;
using icfast::kMaxStageChannels;
using icfast::kWords;
using icfast::PipelinePtr;
using icfast::Step;

namespace {

bool IsPerChannel(const cmsStage* s) {
    const cmsStageSignature t = cmsStageType(s);
    return t == cmsSigCurveSetElemType || t == cmsSigClipNegativesElemType;
}

// A pipeline of copies of stages [from, to) of the list.
PipelinePtr Slice(const std::vector<const cmsStage*>& stages, size_t from, size_t to,
                  cmsUInt32Number inputs, cmsUInt32Number outputs) {
    PipelinePtr p(cmsPipelineAlloc(icLcmsContext(), inputs, outputs));
    for (size_t i = from; p && i < to; ++i) {
        if (!cmsPipelineInsertStage(p.get(), cmsAT_END,
                                    cmsStageDup(const_cast<cmsStage*>(stages[i]))))
            p.reset();
    }
    return p;
}

// A 16-bit table curve's result at every word (words, not floats, so that
// the table stays small enough for the processor's caches). Empty when the
// curve is evaluated some other way.
std::vector<cmsUInt16Number> TabulateCurve(const cmsToneCurve* curve) {
    std::vector<cmsUInt16Number> table;
    if (!icLcmsCurveIsTable16(curve))
        return table;
    ResizePrepared(table, kWords);
    icParallelFor(kWords, [&](unsigned from, unsigned to) {
        for (unsigned q = from; q < to; ++q)
            table[q] = cmsEvalToneCurve16(curve, static_cast<cmsUInt16Number>(q));
    });
    return table;
}

bool MakeStep(const cmsStage* s, Step& step) {
    step.stage = s;
    step.in = cmsStageInputChannels(s);
    step.out = cmsStageOutputChannels(s);
    if (step.in > kMaxStageChannels || step.out > kMaxStageChannels)
        return false;
    switch (cmsStageType(s)) {
    case cmsSigMatrixElemType: {
        const auto* m = static_cast<const _cmsStageMatrixData*>(cmsStageData(s));
        step.kind = Step::Kind::Matrix;
        step.matrix = m->Double;
        step.offset = m->Offset;
        return true;
    }
    case cmsSigXYZ2LabElemType:
        step.kind = Step::Kind::XyzToLab;
        return true;
    case cmsSigLab2XYZElemType:
        step.kind = Step::Kind::LabToXyz;
        return true;
    case cmsSigClipNegativesElemType:
        step.kind = Step::Kind::Clip;
        return true;
    case cmsSigCurveSetElemType: {
        const auto* c = static_cast<const _cmsStageToneCurvesData*>(cmsStageData(s));
        step.kind = Step::Kind::Curves;
        for (cmsUInt32Number i = 0; i < c->nCurves; ++i) {
            step.curves.push_back(c->TheCurves[i]);
            step.curveTables.push_back(TabulateCurve(c->TheCurves[i]));
        }
        return c->nCurves == step.in;
    }
    case cmsSigCLutElemType: {
        const auto* c = static_cast<const _cmsStageCLutData*>(cmsStageData(s));
        step.kind = c->HasFloatValues ? Step::Kind::ClutFloat : Step::Kind::Clut16;
        step.params = c->Params;
        return true;
    }
    default:
        step.kind = Step::Kind::Stage;
        step.alone = Slice({s}, 0, 1, step.in, step.out);
        return step.alone != nullptr;
    }
}

// A tabulated curve hands the next stage its word w as the float w / 65535,
// which a 16-bit table quantises again; when that gives w back for every
// word, the table may take the curve's words as they are.
bool WordsSurviveFloats() {
    for (unsigned w = 0; w < kWords; ++w) {
        if (icLcmsQuantise(static_cast<float>(w / 65535.0)) != w)
            return false;
    }
    return true;
}

bool FillInTable(IccFastEvalImpl& e, const std::vector<const cmsStage*>& stages, size_t leading,
                 IccLcmsEncoding src, const double* levels) {
    PipelinePtr lead;
    if (leading > 0 && !(lead = Slice(stages, 0, leading, e.inputs, e.inputs)))
        return false;
    ResizePrepared(e.inTable, size_t(e.inputs) << e.levelBits);
    icParallelFor(1u << e.levelBits, [&](unsigned first, unsigned end) {
        for (unsigned k = first; k < end; ++k) {
            double icc[icMaxChannels], lcms[icMaxChannels];
            for (unsigned c = 0; c < e.inputs; ++c)
                icc[c] = levels[(c << e.levelBits) + k];
            icToLcms(src, static_cast<int>(e.inputs), icc, lcms);
            float f[kMaxStageChannels], g[kMaxStageChannels];
            for (unsigned c = 0; c < e.inputs; ++c)
                f[c] = icLcmsUnrollDouble(src, static_cast<int>(c), lcms[c]);
            if (lead)
                cmsPipelineEvalFloat(f, g, lead.get());
            for (unsigned c = 0; c < e.inputs; ++c)
                e.inTable[(c << e.levelBits) + k] = lead ? g[c] : f[c];
        }
    });
    // Channels with the same levels share one table.
    const size_t count = size_t(1) << e.levelBits;
    e.inStride = count;
    bool same = true;
    for (unsigned c = 1; c < e.inputs && same; ++c)
        same = std::equal(e.inTable.begin(), e.inTable.begin() + long(count),
                          e.inTable.begin() + long(c * count),
                          [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; });
    if (same) {
        e.inStride = 0;
        e.inTable.resize(count);
        e.inTable.shrink_to_fit();
    }
    return true;
}

// The word tables: what every word of the last table becomes, as values
// when there is no encoder, as the encoder's samples when there is one
// (Apply then finds the values through the tail itself).
bool FillWordTables(IccFastEvalImpl& e, const std::vector<const cmsStage*>& stages, size_t from) {
    if (from < stages.size() &&
        !(e.tail = Slice(stages, from, stages.size(), e.outputs, e.outputs)))
        return false;
    const size_t n = size_t(e.outputs) * kWords;
    ResizePrepared(e.outTable, e.encoder || e.wordEncoder ? 0 : n);
    ResizePrepared(e.byteTable, e.encoder ? n : 0);
    ResizePrepared(e.wordTable, e.wordEncoder ? n : 0);
    icParallelFor(kWords, [&](unsigned first, unsigned end) {
        for (unsigned q = first; q < end; ++q) {
            cmsUInt16Number words[kMaxStageChannels];
            double result[kMaxStageChannels];
            std::fill_n(words, e.outputs, static_cast<cmsUInt16Number>(q));
            e.TailValues(words, result);
            for (unsigned c = 0; c < e.outputs; ++c) {
                const size_t i = c * kWords + q;
                if (!e.outTable.empty())
                    e.outTable[i] = result[c];
                else if (e.encoder)
                    e.byteTable[i] = e.encoder(static_cast<int>(c), result[c]);
                else
                    e.wordTable[i] = e.wordEncoder(static_cast<int>(c), result[c]);
            }
        }
    });
    return true;
}

// Where the list's parts lie: per-channel stages [0, leading), which the
// level table takes in; and, when the list ends in a 16-bit table followed
// only by per-channel stages, that table's end, past which the word table
// takes the stages in.
struct Parts {
    size_t leading = 0;
    size_t end = 0;
    bool quantisedEnd = false;
};

Parts PartsOf(const std::vector<const cmsStage*>& stages) {
    Parts p;
    while (p.leading < stages.size() && IsPerChannel(stages[p.leading]))
        ++p.leading;
    // The last 16-bit table after which only per-channel stages follow.
    p.end = stages.size();
    while (p.end > p.leading && IsPerChannel(stages[p.end - 1]))
        --p.end;
    if (p.end > p.leading && cmsStageType(stages[p.end - 1]) == cmsSigCLutElemType) {
        const auto* c = static_cast<const _cmsStageCLutData*>(cmsStageData(stages[p.end - 1]));
        p.quantisedEnd = !c->HasFloatValues;
    }
    return p;
}

// An evaluator owning a copy of the link, whose channels must be the ends'.
std::unique_ptr<IccFastEvalImpl> NewEval(const cmsPipeline* link, int srcChannels,
                                         IccLcmsEncoding dst, int dstChannels) {
    auto e = std::make_unique<IccFastEvalImpl>();
    e->link.reset(cmsPipelineDup(link));
    if (!e->link)
        return nullptr;
    e->inputs = static_cast<unsigned>(srcChannels);
    e->outputs = static_cast<unsigned>(dstChannels);
    e->dst = dst;
    if (cmsPipelineInputChannels(e->link.get()) != e->inputs ||
        cmsPipelineOutputChannels(e->link.get()) != e->outputs)
        return nullptr;
    return e;
}

bool MakeSteps(IccFastEvalImpl& e, const std::vector<const cmsStage*>& stages, size_t from,
               size_t to) {
    for (size_t i = from; i < to; ++i) {
        e.steps.emplace_back();
        if (!MakeStep(stages[i], e.steps.back()))
            return false;
    }
    return true;
}

// Whether the lanes may run the list: they give samples, from a sample
// table when the list ends in a 16-bit one.
bool LanesServe(const IccFastEvalImpl& e) {
    const bool tables = !(e.byteTable.empty() && e.wordTable.empty());
    bool lanes = (e.encoder || e.wordEncoder) && (tables || !e.quantisedEnd) &&
                 e.inputs <= kLaneChannels && e.outputs <= kLaneChannels;
    for (const Step& step : e.steps)
        lanes = lanes && step.in <= kLaneChannels && step.out <= kLaneChannels;
    return lanes;
}

} // namespace

std::unique_ptr<CIccFastEval> icBuildFastEval(const cmsPipeline* link, IccLcmsEncoding src,
                                              int srcChannels, IccLcmsEncoding dst, int dstChannels,
                                              const IccFastEvalEnds& ends) {
    // Every encoding reads and writes channel by channel, which the level
    // and word tables rely on.
    if (!icLcmsInternalsMatch() || link == nullptr || (ends.levelBits != 8 && ends.levelBits != 16))
        return nullptr;
    std::unique_ptr<IccFastEvalImpl> e = NewEval(link, srcChannels, dst, dstChannels);
    if (!e)
        return nullptr;
    e->levelBits = static_cast<unsigned>(ends.levelBits);
    e->encoder = ends.bytes;
    e->wordEncoder = ends.bytes ? nullptr : ends.words;
    std::vector<const cmsStage*> stages;
    for (const cmsStage* s = cmsPipelineGetPtrToFirstStage(e->link.get()); s; s = cmsStageNext(s))
        stages.push_back(s);
    const Parts parts = PartsOf(stages);
    const size_t through = parts.quantisedEnd ? parts.end : stages.size();
    if (!FillInTable(*e, stages, parts.leading, src, ends.levels) ||
        !MakeSteps(*e, stages, parts.leading, through))
        return nullptr;
    if (parts.quantisedEnd) {
        e->quantisedEnd = true;
        if (!FillWordTables(*e, stages, parts.end))
            return nullptr;
        e->curvesIntoLast = e->steps.size() >= 2 && e->steps[e->steps.size() - 2].AllTabulated() &&
                            WordsSurviveFloats();
    }
    e->lanes = LanesServe(*e);
    return std::make_unique<CIccFastEval>(std::move(e));
}
