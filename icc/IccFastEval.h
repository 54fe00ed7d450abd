#pragma once
// A faster evaluation of a begun transform for pixels whose channels take 256
// or 65536 levels each, as 8-bit and 16-bit images give them. It walks the
// same stage list Little CMS evaluates, with the same float arithmetic in the
// same order: stages whose input takes few values become tables filled by
// Little CMS itself, matrices, Lab/XYZ and table interpolation are computed
// directly by the same code, and any other stage is handed to Little CMS. Its
// results are the transform's own, bit for bit; CIccCmm::MakeFastEval checks
// that on a sample before handing one out.

#include <cstdint>
#include <memory>

#include "IccDefs.h"

struct IccFastEvalImpl;

// How the caller turns one output channel's value (as CIccCmm::Apply gives
// it) into its byte or its 16-bit sample, when its encoding works channel by
// channel.
using IccByteEncoder = unsigned char (*)(int channel, icFloatNumber value);
using IccWordEncoder = uint16_t (*)(int channel, icFloatNumber value);

// The pixels an evaluator takes and gives. Source pixels are one sample a
// channel, of levelBits (8 or 16) bits in the machine's byte order, and
// levels[c << levelBits | k] is the value CIccCmm::Apply receives for level
// k of channel c. With an encoder it also gives the destination's samples:
// bytes, or 16-bit samples in the machine's order.
struct IccFastEvalEnds {
    const icFloatNumber* levels = nullptr;
    int levelBits = 8;
    IccByteEncoder bytes = nullptr;
    IccWordEncoder words = nullptr;
};

class CIccFastEval {
public:
    explicit CIccFastEval(std::unique_ptr<IccFastEvalImpl> impl);
    ~CIccFastEval();
    CIccFastEval(const CIccFastEval&) = delete;
    CIccFastEval& operator=(const CIccFastEval&) = delete;

    // Converts one source pixel (its levels) into the values CIccCmm::Apply
    // gives for those levels. Thread-safe.
    void Apply(const unsigned char* levels, icFloatNumber* out) const;
    // Whether it was made with an encoder, and the encoder's samples of what
    // Apply gives, found in tables where the link allows.
    bool HasBytes() const;
    void ApplyBytes(const unsigned char* levels, unsigned char* bytes) const;
    // The same for `count` pixels at once, which is quicker: each stage runs
    // over all of them in turn, so their table reads overlap.
    void ApplyBytes(const unsigned char* const* levels, unsigned char* const* bytes,
                    unsigned count) const;

private:
    std::unique_ptr<IccFastEvalImpl> m_pImpl;
};
