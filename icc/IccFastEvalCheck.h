#pragma once
// The check a fast evaluator passes before it is handed out. Only icc/
// includes this.

#include <functional>

#include "IccFastEval.h"

// Whether the evaluator gives, on a fixed spread of source pixels taken
// many at a time as the pipeline takes them, exactly the values `apply`
// gives for their levels, and the ends' encoder's samples of those values.
bool icFastEvalAgrees(const CIccFastEval& eval, const IccFastEvalEnds& ends, int srcChannels,
                      int dstChannels,
                      const std::function<void(icFloatNumber*, const icFloatNumber*)>& apply);
