// Little CMS's table interpolation replaced by the layer's linear one.
#include "IccInterp.h"
#include "IccLcms.h"

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
    icInterpLinear(GridOf(p), static_cast<const float*>(p->Table), in, out);
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
    icInterpLinear(GridOf(p), static_cast<const cmsUInt16Number*>(p->Table), position, values);
    for (cmsUInt32Number o = 0; o < p->nOutputs; ++o)
        out[o] = RoundToWord(values[o]);
}

} // namespace

bool icLcmsLerp16Lanes(const cmsInterpParams* p, const cmsUInt16Number* in, unsigned stride,
                       cmsUInt16Number* out, unsigned count) {
    if (p->Interpolation.Lerp16 != Lerp16)
        return false;
    const IccGrid grid = GridOf(p);
    if (!icInterpLinear3Fits(grid) || count % 4 != 0 || count > kMaxLanes)
        return false;
    float position[3 * kMaxLanes];
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned i = 0; i < count; ++i)
            position[c * kMaxLanes + i] = static_cast<float>(in[c * stride + i]) / 65535.0f;
    float values[4 * kMaxLanes];
    icInterpLinear3(grid, static_cast<const cmsUInt16Number*>(p->Table), position, kMaxLanes,
                    values, count);
    for (unsigned i = 0; i < count; ++i)
        for (unsigned o = 0; o < grid.outputs; ++o)
            out[i * 4 + o] = RoundToWord(values[i * 4 + o]);
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
