// The fast evaluator at work: the compiled steps run one after the other by
// the kernels, between the tables at either end. It only moves values
// between tables and kernels, so it needs none of the kernels' compiler
// settings.
#include "IccFastEval.h"

#include <algorithm>

#include "IccFastEvalImpl.h"
#include "IccLcmsEncoding.h"
#include "IccLcmsInternals.h"
#include "IccLcmsInterp.h"

using icfast::kLaneChannels;
using icfast::kLaneGroup;
using icfast::kLanes;
using icfast::kMaxStageChannels;
using icfast::kWords;
using icfast::Quantise;
using icfast::RunStep;
using icfast::RunStepLanes;
using icfast::Step;

void IccFastEvalImpl::Finish(const float* values, double* result) const {
    double packed[kMaxStageChannels];
    for (unsigned c = 0; c < outputs; ++c)
        packed[c] = icLcmsPackDouble(dst, static_cast<int>(c), values[c]);
    icFromLcms(dst, static_cast<int>(outputs), packed, result);
}

const float* IccFastEvalImpl::RunSteps(const unsigned char* levels, float* a, float* b,
                                       size_t count) const {
    for (unsigned c = 0; c < inputs; ++c)
        a[c] = InLevels(c)[LevelAt(levels, c)];
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

void IccFastEvalImpl::TailValues(const cmsUInt16Number* words, double* result) const {
    float f[kMaxStageChannels], g[kMaxStageChannels];
    for (unsigned c = 0; c < outputs; ++c)
        f[c] = static_cast<float>(words[c]) / 65535.0f;
    if (tail)
        cmsPipelineEvalFloat(f, g, tail.get());
    Finish(tail ? g : f, result);
}

void IccFastEvalImpl::Apply(const unsigned char* levels, double* result) const {
    float a[kMaxStageChannels], b[kMaxStageChannels];
    if (!quantisedEnd)
        return Finish(RunSteps(levels, a, b, steps.size()), result);
    cmsUInt16Number out16[kMaxStageChannels];
    StepsToLastTable(levels, out16);
    if (outTable.empty())
        return TailValues(out16, result);
    for (unsigned c = 0; c < outputs; ++c)
        result[c] = outTable[c * kWords + out16[c]];
}

void IccFastEvalImpl::Encode(unsigned c, double value, unsigned char* samples) const {
    if (encoder != nullptr) {
        samples[c] = encoder(static_cast<int>(c), value);
        return;
    }
    const uint16_t word = wordEncoder(static_cast<int>(c), value);
    memcpy(samples + 2 * c, &word, sizeof word);
}

namespace {

// The samples of colours' table words: out16[i * step + c] is colour i's
// word on channel c.
void StoreSamples(const IccFastEvalImpl& e, const cmsUInt16Number* out16, unsigned step,
                  unsigned char* const* samples, unsigned n) {
    if (!e.byteTable.empty()) {
        for (unsigned i = 0; i < n; ++i)
            for (unsigned c = 0; c < e.outputs; ++c)
                samples[i][c] = e.byteTable[c * kWords + out16[i * step + c]];
        return;
    }
    for (unsigned i = 0; i < n; ++i)
        for (unsigned c = 0; c < e.outputs; ++c)
            memcpy(samples[i] + 2 * c, &e.wordTable[c * kWords + out16[i * step + c]], 2);
}

// The first values of the lanes, from the levels of n colours; lanes past
// the last colour repeat it.
template <typename Level>
void GatherLanes(const IccFastEvalImpl& e, const unsigned char* const* levels, unsigned n,
                 unsigned lanes, float* a) {
    for (unsigned c = 0; c < e.inputs; ++c) {
        const float* table = e.InLevels(c);
        for (unsigned i = 0; i < lanes; ++i) {
            Level level;
            memcpy(&level, levels[std::min(i, n - 1)] + c * sizeof(Level), sizeof level);
            a[c * kLanes + i] = table[level];
        }
    }
}

} // namespace

void IccFastEvalImpl::ApplyBytes(const unsigned char* levels, unsigned char* bytes) const {
    if (byteTable.empty() && wordTable.empty()) {
        double result[kMaxStageChannels];
        Apply(levels, result);
        for (unsigned c = 0; c < outputs; ++c)
            Encode(c, result[c], bytes);
        return;
    }
    cmsUInt16Number out16[kMaxStageChannels];
    StepsToLastTable(levels, out16);
    StoreSamples(*this, out16, 0, &bytes, 1);
}

void IccFastEvalImpl::ApplyLanes(const unsigned char* const* levels, unsigned char* const* bytes,
                                 unsigned n) const {
    // Lanes past the last colour repeat it, so that the steps may work in
    // groups of kLaneGroup.
    const unsigned lanes = (n + kLaneGroup - 1) / kLaneGroup * kLaneGroup;
    float a[kLaneChannels * kLanes], b[kLaneChannels * kLanes];
    if (levelBits == 8)
        GatherLanes<uint8_t>(*this, levels, n, lanes, a);
    else
        GatherLanes<uint16_t>(*this, levels, n, lanes, a);
    float *x = a, *y = b;
    // A list that ends in a table stops before it (and the curves into it).
    const size_t run = !quantisedEnd ? steps.size() : steps.size() - (curvesIntoLast ? 2 : 1);
    for (size_t k = 0; k < run; ++k) {
        RunStepLanes(steps[k], x, y, lanes);
        std::swap(x, y);
    }
    if (!quantisedEnd) {
        for (unsigned i = 0; i < n; ++i) {
            float values[kLaneChannels];
            double result[kMaxStageChannels];
            for (unsigned c = 0; c < outputs; ++c)
                values[c] = x[c * kLanes + i];
            Finish(values, result);
            for (unsigned c = 0; c < outputs; ++c)
                Encode(c, result[c], bytes[i]);
        }
        return;
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
    StoreSamples(*this, out16, step, bytes, n);
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
    return m_pImpl->encoder != nullptr || m_pImpl->wordEncoder != nullptr;
}

void CIccFastEval::ApplyBytes(const unsigned char* levels, unsigned char* bytes) const {
    m_pImpl->ApplyBytes(levels, bytes);
}
