// Little CMS's table interpolation replaced by the layer's linear one.
#include "IccLcmsInterp.h"

#include "IccInterp.h"
#include "IccSimd.h"

namespace {

// Little CMS makes no table with more outputs.
constexpr cmsUInt32Number kMaxOutputs = 128;
// Most points icLcmsLerp16Lanes takes at once.
constexpr unsigned kMaxLanes = 64;

// Little CMS lays tables out with the last input varying fastest; opta[0] is
// the step of the last input.
IccGrid GridOf(const cmsInterpParams* p) {
    IccGrid g;
    g.inputs = p->nInputs;
    g.outputs = p->nOutputs;
    for (unsigned i = 0; i < g.inputs; ++i) {
        g.last[i] = p->Domain[i];
        g.stride[i] = p->opta[g.inputs - 1 - i];
    }
    return g;
}

void LerpFloat(const cmsFloat32Number in[], cmsFloat32Number out[], const cmsInterpParams* p) {
    icLerpGrid(GridOf(p), static_cast<const float*>(p->Table), in, out);
}

cmsUInt16Number RoundToWord(float v) {
    if (!(v > 0.0f))
        return 0;
    if (v >= 65535.0f)
        return 0xFFFF;
    return static_cast<cmsUInt16Number>(v + 0.5f);
}

void Lerp16(const cmsUInt16Number in[], cmsUInt16Number out[], const cmsInterpParams* p) {
    float position[MAX_INPUT_DIMENSIONS];
    float values[kMaxOutputs];
    for (cmsUInt32Number i = 0; i < p->nInputs; ++i)
        position[i] = static_cast<float>(in[i]) / 65535.0f;
    icLerpGrid(GridOf(p), static_cast<const cmsUInt16Number*>(p->Table), position, values);
    for (cmsUInt32Number o = 0; o < p->nOutputs; ++o)
        out[o] = RoundToWord(values[o]);
}

// Lerp16's positions and rounding, four points a step.
IC_SIMD_CLONES void WordsToPositions(const cmsUInt16Number* in, unsigned inputs, unsigned stride,
                                     float* position, unsigned count) {
    using icsimd::I4;
    for (unsigned c = 0; c < inputs; ++c)
        for (unsigned i = 0; i < count; i += 4) {
            const cmsUInt16Number* w = in + c * stride + i;
            const I4 words = {w[0], w[1], w[2], w[3]};
            icsimd::Store(position + c * kMaxLanes + i,
                          __builtin_convertvector(words, icsimd::F4) / 65535.0f);
        }
}

IC_SIMD_CLONES void ValuesToWords(const float* values, unsigned outputs, cmsUInt16Number* out,
                                  unsigned count) {
    using icsimd::F4;
    using icsimd::I4;
    for (unsigned i = 0; i < count; ++i) {
        const F4 v = icsimd::Load<F4>(values + i * 4);
        I4 words = __builtin_convertvector(v + 0.5f, I4);
        words = v >= 65535.0f ? I4{} + 0xFFFF : words;
        words = v > 0.0f ? words : I4{}; // NaN too
        for (unsigned o = 0; o < outputs; ++o)
            out[i * 4 + o] = static_cast<cmsUInt16Number>(words[o]);
    }
}

} // namespace

bool icLcmsLerp16Lanes(const cmsInterpParams* p, const cmsUInt16Number* in, unsigned stride,
                       cmsUInt16Number* out, unsigned count) {
    if (p->Interpolation.Lerp16 != Lerp16)
        return false;
    const IccGrid grid = GridOf(p);
    if (!icLerpGridLanesFit(grid) || count % 4 != 0 || count > kMaxLanes)
        return false;
    float position[4 * kMaxLanes];
    WordsToPositions(in, grid.inputs, stride, position, count);
    float values[4 * kMaxLanes];
    icLerpGridLanes(grid, static_cast<const cmsUInt16Number*>(p->Table), position, kMaxLanes,
                    values, count);
    ValuesToWords(values, grid.outputs, out, count);
    return true;
}

cmsInterpFunction icLcmsInterpolators(cmsUInt32Number nInputs, cmsUInt32Number nOutputs,
                                      cmsUInt32Number dwFlags) {
    cmsInterpFunction fn;
    fn.Lerp16 = nullptr;
    if (nInputs < 1 || nInputs > unsigned(icMaxGridInputs) || nOutputs < 1 ||
        nOutputs > kMaxOutputs)
        return fn; // Little CMS refuses such tables itself
    if (dwFlags & CMS_LERP_FLAGS_FLOAT)
        fn.LerpFloat = LerpFloat;
    else
        fn.Lerp16 = Lerp16;
    return fn;
}
