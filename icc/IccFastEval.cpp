// The fast evaluator: the captured stage list turned into a list of steps.
// Compiled without fused multiply-adds, as Little CMS's own arithmetic is,
// so that every step rounds exactly where the stage it replaces does.
#include "IccFastEval.h"

#include <lcms2_plugin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "IccFastEvalBuild.h"
#include "IccFastLab.h"
#include "IccLcmsEncoding.h"
#include "IccLcmsInternals.h"
#include "IccLcmsInterp.h"
#include "IccSimd.h"

namespace {

constexpr unsigned kLevels = 256;
constexpr unsigned kWords = 65536;
// Little CMS's own bound on the channels between two stages.
constexpr unsigned kMaxStageChannels = 128;

struct PipelineFree {
    void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
};
using PipelinePtr = std::unique_ptr<cmsPipeline, PipelineFree>;

bool IsPerChannel(const cmsStage* s) {
    const cmsStageSignature t = cmsStageType(s);
    return t == cmsSigCurveSetElemType || t == cmsSigClipNegativesElemType;
}

// A pipeline of copies of stages [from, to) of the list.
PipelinePtr Slice(const std::vector<const cmsStage*>& stages, size_t from, size_t to,
                  cmsUInt32Number inputs, cmsUInt32Number outputs) {
    PipelinePtr p(cmsPipelineAlloc(cmsGetStageContextID(stages.front()), inputs, outputs));
    for (size_t i = from; p && i < to; ++i) {
        if (!cmsPipelineInsertStage(p.get(), cmsAT_END,
                                    cmsStageDup(const_cast<cmsStage*>(stages[i]))))
            p.reset();
    }
    return p;
}

struct Step {
    enum class Kind { Matrix, XyzToLab, LabToXyz, Clip, Curves, Clut16, ClutFloat, Stage };
    Kind kind = Kind::Stage;
    unsigned in = 0, out = 0;
    const cmsStage* stage = nullptr;
    const double* matrix = nullptr;
    const double* offset = nullptr;
    const cmsInterpParams* params = nullptr;
    std::vector<const cmsToneCurve*> curves;
    std::vector<std::vector<cmsUInt16Number>> curveTables; // 16-bit table curves only
    PipelinePtr alone;                                     // a stage handed to Little CMS
};

// A 16-bit table curve's result at every word (words, not floats, so that
// the table stays small enough for the processor's caches). Empty when the
// curve is evaluated some other way.
std::vector<cmsUInt16Number> TabulateCurve(const cmsToneCurve* curve) {
    std::vector<cmsUInt16Number> table;
    if (!icLcmsCurveIsTable16(curve))
        return table;
    table.resize(kWords);
    for (unsigned q = 0; q < kWords; ++q)
        table[q] = cmsEvalToneCurve16(curve, static_cast<cmsUInt16Number>(q));
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

void Quantise(const float* in, cmsUInt16Number* out, unsigned n) {
    for (unsigned i = 0; i < n; ++i)
        out[i] = icLcmsQuantise(in[i]);
}

void RunMatrix(const Step& s, const float* in, float* out) {
    for (unsigned i = 0; i < s.out; ++i) {
        double sum = 0;
        for (unsigned j = 0; j < s.in; ++j)
            sum += in[j] * s.matrix[i * s.in + j];
        if (s.offset != nullptr)
            sum += s.offset[i];
        out[i] = static_cast<float>(sum);
    }
}

void RunLabToXyz(const float* in, float* out) {
    const cmsCIELab lab{in[0] * 100.0, in[1] * 255.0 - 128.0, in[2] * 255.0 - 128.0};
    cmsCIEXYZ xyz;
    cmsLab2XYZ(nullptr, &xyz, &lab);
    out[0] = static_cast<float>(xyz.X / icMaxEncodeableXyz);
    out[1] = static_cast<float>(xyz.Y / icMaxEncodeableXyz);
    out[2] = static_cast<float>(xyz.Z / icMaxEncodeableXyz);
}

void RunCurves(const Step& s, const float* in, float* out) {
    for (unsigned i = 0; i < s.in; ++i) {
        const std::vector<cmsUInt16Number>& table = s.curveTables[i];
        out[i] = table.empty() ? cmsEvalToneCurveFloat(s.curves[i], in[i])
                               : static_cast<float>(table[icLcmsQuantise(in[i])] / 65535.0);
    }
}

void RunStep(const Step& s, const float* in, float* out) {
    switch (s.kind) {
    case Step::Kind::Matrix:
        return RunMatrix(s, in, out);
    case Step::Kind::XyzToLab:
        return icFastXyzToLab(in, out);
    case Step::Kind::LabToXyz:
        return RunLabToXyz(in, out);
    case Step::Kind::Clip:
        for (unsigned i = 0; i < s.in; ++i)
            out[i] = in[i] < 0 ? 0 : in[i];
        return;
    case Step::Kind::Curves:
        return RunCurves(s, in, out);
    case Step::Kind::Clut16: {
        cmsUInt16Number in16[kMaxStageChannels], out16[kMaxStageChannels];
        Quantise(in, in16, s.in);
        s.params->Interpolation.Lerp16(in16, out16, s.params);
        for (unsigned i = 0; i < s.out; ++i)
            out[i] = static_cast<float>(out16[i]) / 65535.0f;
        return;
    }
    case Step::Kind::ClutFloat:
        return s.params->Interpolation.LerpFloat(in, out, s.params);
    case Step::Kind::Stage:
        return cmsPipelineEvalFloat(in, out, s.alone.get());
    }
}

// Colours evaluated together, channel-major: value c of colour i is at
// c * kLanes + i. Each colour's arithmetic is RunStep's, in the same order;
// only the order of the colours' work changes, so that independent table
// reads and divisions overlap instead of waiting on one another.
constexpr unsigned kLanes = 32;
constexpr unsigned kLaneChannels = 16;
constexpr unsigned kLaneGroup = 8;
static_assert(kLanes % kLaneGroup == 0, "lanes come in whole groups");

// RunMatrix four colours a step.
IC_SIMD_CLONES void RunMatrixLanes(const Step& s, const float* in, float* out, unsigned n) {
    using icsimd::D4;
    for (unsigned o = 0; o < s.out; ++o)
        for (unsigned i = 0; i < n; i += 4) {
            D4 sum = {0, 0, 0, 0};
            for (unsigned j = 0; j < s.in; ++j)
                sum += icsimd::LoadWide(in + j * kLanes + i) * s.matrix[o * s.in + j];
            if (s.offset != nullptr)
                sum += s.offset[o];
            icsimd::Store(out + o * kLanes + i, icsimd::Narrow(sum));
        }
}

bool AllTabulated(const Step& s) {
    for (const auto& t : s.curveTables)
        if (t.empty())
            return false;
    return s.kind == Step::Kind::Curves;
}

void RunStepLanes(const Step& s, const float* in, float* out, unsigned n) {
    if (s.kind == Step::Kind::Matrix)
        return RunMatrixLanes(s, in, out, n);
    if (s.kind == Step::Kind::XyzToLab)
        return icFastXyzToLabLanes(in, out, n, kLanes);
    if (AllTabulated(s)) {
        cmsUInt16Number words[kLanes];
        for (unsigned c = 0; c < s.in; ++c) {
            icLcmsQuantiseMany(in + c * kLanes, words, n, 1);
            for (unsigned i = 0; i < n; ++i)
                out[c * kLanes + i] = static_cast<float>(s.curveTables[c][words[i]] / 65535.0);
        }
        return;
    }
    for (unsigned i = 0; i < n; ++i) {
        float a[kLaneChannels], b[kLaneChannels];
        for (unsigned c = 0; c < s.in; ++c)
            a[c] = in[c * kLanes + i];
        RunStep(s, a, b);
        for (unsigned c = 0; c < s.out; ++c)
            out[c * kLanes + i] = b[c];
    }
}

} // namespace

struct IccFastEvalImpl {
    PipelinePtr link; // owns the stages the steps point into
    unsigned inputs = 0, outputs = 0;
    IccLcmsEncoding dst = IccLcmsEncoding::Plain;
    std::vector<float> inTable; // inputs x 256: levels through the leading curves
    std::vector<Step> steps;
    // When the list ends in a 16-bit table and per-channel stages, the last
    // step's words map straight to the final values: outputs x 65536.
    std::vector<double> outTable;
    // The caller's bytes of the same words, when it encodes channel by channel.
    IccByteEncoder encoder = nullptr;
    std::vector<unsigned char> byteTable;

    void Apply(const unsigned char* levels, double* result) const;
    void ApplyBytes(const unsigned char* levels, unsigned char* bytes) const;
    // Runs the steps before the last; returns the values they leave.
    const float* RunSteps(const unsigned char* levels, float* a, float* b, size_t count) const;
    // Whether the step before the last table is 16-bit table curves whose
    // words go to the table as they are (see WordsSurviveFloats).
    bool curvesIntoLast = false;
    // Runs the steps before the last table; returns what it receives.
    void StepsToLastTable(const unsigned char* levels, cmsUInt16Number* out16) const;
    void LastTable(const float* in, cmsUInt16Number* out16) const;
    // Whether every value between steps fits the lanes, and the byte table
    // ends the list.
    bool lanes = false;
    void ApplyLanes(const unsigned char* const* levels, unsigned char* const* bytes,
                    unsigned n) const;
    void Finish(const float* values, double* result) const;
};

void IccFastEvalImpl::Finish(const float* values, double* result) const {
    double packed[kMaxStageChannels];
    for (unsigned c = 0; c < outputs; ++c)
        packed[c] = icLcmsPackDouble(dst, static_cast<int>(c), values[c]);
    icFromLcms(dst, static_cast<int>(outputs), packed, result);
}

const float* IccFastEvalImpl::RunSteps(const unsigned char* levels, float* a, float* b,
                                       size_t count) const {
    for (unsigned c = 0; c < inputs; ++c)
        a[c] = inTable[c * kLevels + levels[c]];
    for (size_t i = 0; i < count; ++i) {
        RunStep(steps[i], a, b);
        std::swap(a, b);
    }
    return a;
}

void IccFastEvalImpl::LastTable(const float* in, cmsUInt16Number* out16) const {
    const Step& s = steps.back();
    cmsUInt16Number in16[kMaxStageChannels];
    Quantise(in, in16, s.in);
    s.params->Interpolation.Lerp16(in16, out16, s.params);
}

void IccFastEvalImpl::StepsToLastTable(const unsigned char* levels, cmsUInt16Number* out16) const {
    float a[kMaxStageChannels], b[kMaxStageChannels];
    if (!curvesIntoLast)
        return LastTable(RunSteps(levels, a, b, steps.size() - 1), out16);
    const float* in = RunSteps(levels, a, b, steps.size() - 2);
    const Step& curves = steps[steps.size() - 2];
    const Step& s = steps.back();
    cmsUInt16Number in16[kMaxStageChannels];
    for (unsigned c = 0; c < s.in; ++c)
        in16[c] = curves.curveTables[c][icLcmsQuantise(in[c])];
    s.params->Interpolation.Lerp16(in16, out16, s.params);
}

void IccFastEvalImpl::Apply(const unsigned char* levels, double* result) const {
    float a[kMaxStageChannels], b[kMaxStageChannels];
    if (outTable.empty())
        return Finish(RunSteps(levels, a, b, steps.size()), result);
    cmsUInt16Number out16[kMaxStageChannels];
    StepsToLastTable(levels, out16);
    for (unsigned c = 0; c < outputs; ++c)
        result[c] = outTable[c * kWords + out16[c]];
}

void IccFastEvalImpl::ApplyBytes(const unsigned char* levels, unsigned char* bytes) const {
    if (byteTable.empty()) {
        double result[kMaxStageChannels];
        Apply(levels, result);
        for (unsigned c = 0; c < outputs; ++c)
            bytes[c] = encoder(static_cast<int>(c), result[c]);
        return;
    }
    cmsUInt16Number out16[kMaxStageChannels];
    StepsToLastTable(levels, out16);
    for (unsigned c = 0; c < outputs; ++c)
        bytes[c] = byteTable[c * kWords + out16[c]];
}

void IccFastEvalImpl::ApplyLanes(const unsigned char* const* levels, unsigned char* const* bytes,
                                 unsigned n) const {
    // Lanes past the last colour repeat it, so that the steps may work in
    // groups of kLaneGroup.
    const unsigned lanes = (n + kLaneGroup - 1) / kLaneGroup * kLaneGroup;
    float a[kLaneChannels * kLanes], b[kLaneChannels * kLanes];
    for (unsigned c = 0; c < inputs; ++c)
        for (unsigned i = 0; i < lanes; ++i)
            a[c * kLanes + i] = inTable[c * kLevels + levels[std::min(i, n - 1)][c]];
    float *x = a, *y = b;
    for (size_t k = 0; k + (curvesIntoLast ? 2 : 1) < steps.size(); ++k) {
        RunStepLanes(steps[k], x, y, lanes);
        std::swap(x, y);
    }
    const Step& last = steps.back();
    // The table's input words channel-major, its output words colour-major.
    cmsUInt16Number in16[kLaneChannels * kLanes], out16[kLanes * kLaneChannels];
    for (unsigned c = 0; c < last.in; ++c)
        icLcmsQuantiseMany(x + c * kLanes, in16 + c * kLanes, lanes, 1);
    if (curvesIntoLast) {
        const Step& curves = steps[steps.size() - 2];
        for (unsigned c = 0; c < last.in; ++c)
            for (unsigned i = 0; i < lanes; ++i)
                in16[c * kLanes + i] = curves.curveTables[c][in16[c * kLanes + i]];
    }
    unsigned step = 4;
    if (!icLcmsLerp16Lanes(last.params, in16, kLanes, out16, lanes)) {
        step = kLaneChannels;
        for (unsigned i = 0; i < n; ++i) {
            cmsUInt16Number words[kLaneChannels];
            for (unsigned c = 0; c < last.in; ++c)
                words[c] = in16[c * kLanes + i];
            last.params->Interpolation.Lerp16(words, out16 + i * step, last.params);
        }
    }
    for (unsigned i = 0; i < n; ++i)
        for (unsigned c = 0; c < outputs; ++c)
            bytes[i][c] = byteTable[c * kWords + out16[i * step + c]];
}

namespace {

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
    e.inTable.resize(e.inputs * kLevels);
    for (unsigned k = 0; k < kLevels; ++k) {
        double icc[icMaxChannels], lcms[icMaxChannels];
        for (unsigned c = 0; c < e.inputs; ++c)
            icc[c] = levels[c * kLevels + k];
        icToLcms(src, static_cast<int>(e.inputs), icc, lcms);
        float f[kMaxStageChannels], g[kMaxStageChannels];
        for (unsigned c = 0; c < e.inputs; ++c)
            f[c] = icLcmsUnrollDouble(src, static_cast<int>(c), lcms[c]);
        if (lead)
            cmsPipelineEvalFloat(f, g, lead.get());
        for (unsigned c = 0; c < e.inputs; ++c)
            e.inTable[c * kLevels + k] = lead ? g[c] : f[c];
    }
    return true;
}

bool FillOutTable(IccFastEvalImpl& e, const std::vector<const cmsStage*>& stages, size_t from) {
    PipelinePtr tail;
    if (from < stages.size() && !(tail = Slice(stages, from, stages.size(), e.outputs, e.outputs)))
        return false;
    e.outTable.resize(size_t(e.outputs) * kWords);
    for (unsigned q = 0; q < kWords; ++q) {
        float f[kMaxStageChannels], g[kMaxStageChannels];
        for (unsigned c = 0; c < e.outputs; ++c)
            f[c] = static_cast<float>(q) / 65535.0f;
        if (tail)
            cmsPipelineEvalFloat(f, g, tail.get());
        double result[kMaxStageChannels];
        e.Finish(tail ? g : f, result);
        for (unsigned c = 0; c < e.outputs; ++c)
            e.outTable[c * kWords + q] = result[c];
    }
    return true;
}

} // namespace

std::unique_ptr<CIccFastEval> icBuildFastEval(const cmsPipeline* link, IccLcmsEncoding src,
                                              int srcChannels, IccLcmsEncoding dst, int dstChannels,
                                              const double* levels, IccByteEncoder encoder) {
    // Every encoding reads and writes channel by channel, which the level
    // and word tables rely on.
    if (!icLcmsInternalsMatch() || link == nullptr)
        return nullptr;
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
    std::vector<const cmsStage*> stages;
    for (const cmsStage* s = cmsPipelineGetPtrToFirstStage(e->link.get()); s; s = cmsStageNext(s))
        stages.push_back(s);

    size_t leading = 0;
    while (leading < stages.size() && IsPerChannel(stages[leading]))
        ++leading;
    // The last 16-bit table after which only per-channel stages follow.
    size_t end = stages.size();
    while (end > leading && IsPerChannel(stages[end - 1]))
        --end;
    bool quantisedEnd = false;
    if (end > leading && cmsStageType(stages[end - 1]) == cmsSigCLutElemType) {
        const auto* c = static_cast<const _cmsStageCLutData*>(cmsStageData(stages[end - 1]));
        quantisedEnd = !c->HasFloatValues;
    }
    const size_t through = quantisedEnd ? end : stages.size();

    if (!FillInTable(*e, stages, leading, src, levels))
        return nullptr;
    for (size_t i = leading; i < through; ++i) {
        e->steps.emplace_back();
        if (!MakeStep(stages[i], e->steps.back()))
            return nullptr;
    }
    if (quantisedEnd && !FillOutTable(*e, stages, end))
        return nullptr;
    if (quantisedEnd && e->steps.size() >= 2) {
        const Step& curves = e->steps[e->steps.size() - 2];
        bool tabulated = curves.kind == Step::Kind::Curves;
        for (size_t c = 0; tabulated && c < curves.curveTables.size(); ++c)
            tabulated = !curves.curveTables[c].empty();
        e->curvesIntoLast = tabulated && WordsSurviveFloats();
    }
    e->encoder = encoder;
    if (encoder != nullptr && !e->outTable.empty()) {
        e->byteTable.resize(e->outTable.size());
        for (size_t i = 0; i < e->outTable.size(); ++i)
            e->byteTable[i] = encoder(static_cast<int>(i / kWords), e->outTable[i]);
    }
    e->lanes = !e->byteTable.empty() && e->inputs <= kLaneChannels;
    for (const Step& step : e->steps)
        e->lanes = e->lanes && step.in <= kLaneChannels && step.out <= kLaneChannels;
    return std::make_unique<CIccFastEval>(std::move(e));
}

CIccFastEval::CIccFastEval(std::unique_ptr<IccFastEvalImpl> impl) : m_pImpl(std::move(impl)) {}

CIccFastEval::~CIccFastEval() = default;

void CIccFastEval::Apply(const unsigned char* levels, icFloatNumber* out) const {
    m_pImpl->Apply(levels, out);
}

void CIccFastEval::ApplyBytes(const unsigned char* const* levels, unsigned char* const* bytes,
                              unsigned count) const {
    const IccFastEvalImpl& e = *m_pImpl;
    for (unsigned from = 0; from < count; from += kLanes) {
        const unsigned n = std::min(kLanes, count - from);
        if (e.lanes) {
            e.ApplyLanes(levels + from, bytes + from, n);
            continue;
        }
        for (unsigned i = 0; i < n; ++i)
            e.ApplyBytes(levels[from + i], bytes[from + i]);
    }
}

bool CIccFastEval::HasBytes() const {
    return m_pImpl->encoder != nullptr;
}

void CIccFastEval::ApplyBytes(const unsigned char* levels, unsigned char* bytes) const {
    m_pImpl->ApplyBytes(levels, bytes);
}
