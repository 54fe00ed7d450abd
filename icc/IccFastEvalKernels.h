#pragma once
// The fast evaluator's steps, and the kernels that run them on one colour or
// on several at once (IccFastEvalKernels.cpp). Only icc/ includes this.

#include <lcms2_plugin.h>

#include <memory>
#include <vector>

namespace icfast {

constexpr unsigned kLevels = 256;
constexpr unsigned kWords = 65536;
// Little CMS's own bound on the channels between two stages.
constexpr unsigned kMaxStageChannels = 128;

struct PipelineFree {
    void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
};
using PipelinePtr = std::unique_ptr<cmsPipeline, PipelineFree>;

// One stage of the captured list, in the form its kernel takes.
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

    // Whether it is curves that are all 16-bit tables, so that their word
    // tables give every result.
    bool AllTabulated() const {
        for (const auto& t : curveTables)
            if (t.empty())
                return false;
        return kind == Kind::Curves;
    }
};

// The words a 16-bit table reads for n floats.
void Quantise(const float* in, cmsUInt16Number* out, unsigned n);
// What the step's stage gives for one colour, bit for bit.
void RunStep(const Step& s, const float* in, float* out);

// Colours evaluated together, channel-major: value c of colour i is at
// c * kLanes + i. Each colour's arithmetic is RunStep's, in the same order;
// only the order of the colours' work changes, so that independent table
// reads and divisions overlap instead of waiting on one another.
constexpr unsigned kLanes = 32;
constexpr unsigned kLaneChannels = 16;
constexpr unsigned kLaneGroup = 8;
static_assert(kLanes % kLaneGroup == 0, "lanes come in whole groups");

// RunStep for the first n colours of the lanes, n a multiple of 4; every
// value the step reads and writes fits kLaneChannels.
void RunStepLanes(const Step& s, const float* in, float* out, unsigned n);

} // namespace icfast
