#pragma once
// What a fast evaluator holds: filled by its compiler (IccFastEvalBuild.cpp),
// run by CIccFastEval (IccFastEval.cpp). Only icc/ includes this.

#include <cstring>
#include <vector>

#include "IccFastEval.h"
#include "IccFastEvalKernels.h"
#include "IccLcmsEncoding.h"

struct IccFastEvalImpl {
    icfast::PipelinePtr link; // owns the stages the steps point into
    unsigned inputs = 0, outputs = 0;
    IccLcmsEncoding dst = IccLcmsEncoding::Plain;
    unsigned levelBits = 8;
    std::vector<float> inTable; // inputs << levelBits: levels through the leading curves
    // Where channel c's levels begin in inTable: c * inStride. 0 when every
    // channel's are the same (the same curve on each, as RGB profiles often
    // have), which keeps a 16-bit table a third of the size in the caches.
    size_t inStride = 0;
    const float* InLevels(unsigned c) const { return &inTable[c * inStride]; }
    std::vector<icfast::Step> steps;
    // When the list ends in a 16-bit table and per-channel stages (the
    // tail), the last step's words map straight to the final values:
    // outputs x 65536, kept when there is no encoder.
    bool quantisedEnd = false;
    icfast::PipelinePtr tail;
    std::vector<double> outTable;
    // The final values of the last table's words, one a channel.
    void TailValues(const cmsUInt16Number* words, double* result) const;
    // The caller's samples of the same words, when it encodes channel by
    // channel: bytes or 16-bit samples, as its encoder makes.
    IccByteEncoder encoder = nullptr;
    IccWordEncoder wordEncoder = nullptr;
    std::vector<unsigned char> byteTable;
    std::vector<uint16_t> wordTable;

    // Channel c's level in a source pixel.
    unsigned LevelAt(const unsigned char* pixel, unsigned c) const {
        if (levelBits == 8)
            return pixel[c];
        uint16_t v;
        memcpy(&v, pixel + 2 * c, sizeof v);
        return v;
    }
    // Stores the encoder's sample of channel c's value.
    void Encode(unsigned c, double value, unsigned char* samples) const;

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
