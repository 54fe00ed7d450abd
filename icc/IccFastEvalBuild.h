#pragma once
// The fast evaluator (IccFastEval.h) made from a captured link. Only icc/
// includes this.

#include <lcms2.h>

#include <memory>

#include "IccFastEval.h"
#include "IccLcmsEncoding.h"

// The ends' levels are the ICC float values of each channel's levels. Null
// when the link has stages the evaluator cannot take apart, or its source
// levels mix channels.
std::unique_ptr<CIccFastEval> icBuildFastEval(const cmsPipeline* link, IccLcmsEncoding src,
                                              int srcChannels, IccLcmsEncoding dst, int dstChannels,
                                              const IccFastEvalEnds& ends);
