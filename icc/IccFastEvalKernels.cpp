// The fast evaluator's kernels. Compiled without fused multiply-adds, as
// Little CMS's own arithmetic is, so that every step rounds exactly where
// the stage it replaces does.
#include "IccFastEvalKernels.h"

#include "IccFastLab.h"
#include "IccLcmsInternals.h"
#include "IccLcmsInterp.h"
#include "IccSimd.h"

namespace icfast {

namespace {

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

// RunStep's 16-bit table, the points interpolated together where the table
// allows; false, with nothing written, where it does not.
bool RunClut16Lanes(const Step& s, const float* in, float* out, unsigned n) {
    cmsUInt16Number in16[kLaneChannels * kLanes], out16[kLanes * 4];
    for (unsigned c = 0; c < s.in; ++c)
        icLcmsQuantiseMany(in + c * kLanes, in16 + c * kLanes, n, 1);
    if (!icLcmsLerp16Lanes(s.params, in16, kLanes, out16, n))
        return false;
    for (unsigned o = 0; o < s.out; ++o)
        for (unsigned i = 0; i < n; ++i)
            out[o * kLanes + i] = static_cast<float>(out16[i * 4 + o]) / 65535.0f;
    return true;
}

} // namespace

void Quantise(const float* in, cmsUInt16Number* out, unsigned n) {
    for (unsigned i = 0; i < n; ++i)
        out[i] = icLcmsQuantise(in[i]);
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

void RunStepLanes(const Step& s, const float* in, float* out, unsigned n) {
    if (s.kind == Step::Kind::Matrix)
        return RunMatrixLanes(s, in, out, n);
    if (s.kind == Step::Kind::XyzToLab)
        return icFastXyzToLabLanes(in, out, n, kLanes);
    if (s.kind == Step::Kind::Clut16 && s.in <= kLaneChannels && RunClut16Lanes(s, in, out, n))
        return;
    if (s.AllTabulated()) {
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

} // namespace icfast
