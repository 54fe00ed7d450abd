#pragma once
// A faster evaluation of a begun transform for pixels whose channels take 256
// levels each, as 8-bit images give them. It walks the same stage list Little
// CMS evaluates, with the same float arithmetic in the same order: stages
// whose input takes few values become tables filled by Little CMS itself,
// matrices, Lab/XYZ and table interpolation are computed directly by the same
// code, and any other stage is handed to Little CMS. Its results are the
// transform's own, bit for bit; CIccCmm::MakeFastEval checks that on a
// sample before handing one out.

#include <memory>

#include "IccDefs.h"

struct IccFastEvalImpl;

// How the caller turns one output channel's value (as CIccCmm::Apply gives
// it) into its byte, when its encoding works channel by channel.
using IccByteEncoder = unsigned char (*)(int channel, icFloatNumber value);

class CIccFastEval {
public:
    explicit CIccFastEval(std::unique_ptr<IccFastEvalImpl> impl);
    ~CIccFastEval();
    CIccFastEval(const CIccFastEval&) = delete;
    CIccFastEval& operator=(const CIccFastEval&) = delete;

    // Converts one pixel given as level indices (one byte a channel) into
    // the values CIccCmm::Apply gives for those levels. Thread-safe.
    void Apply(const unsigned char* levels, icFloatNumber* out) const;
    // Whether it was made with an encoder, and the encoder's bytes of what
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
