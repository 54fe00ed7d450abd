#include "IccFastEvalCheck.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A fixed spread of level combinations: every high byte on every channel
// (with a pseudo-random low byte at 16 bits), the corners, and pseudo-random
// mixtures. Each level takes bits / 8 bytes of the pixel.
void SampleLevels(unsigned index, int channels, int bits, unsigned char* pixel) {
    const unsigned top = (1u << bits) - 1;
    uint32_t x = index * 2654435761u + 0x9E3779B9u;
    for (int c = 0; c < channels; ++c) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        unsigned level = x >> (32 - bits);
        if (index < 256)
            level = bits == 8 ? index : index << 8 | x >> 24;
        else if (index < 256u + 2u * unsigned(channels))
            level = int(index - 256) / 2 == c && (index & 1) ? top : 0;
        if (bits == 8) {
            pixel[c] = static_cast<unsigned char>(level);
        } else {
            const uint16_t word = static_cast<uint16_t>(level);
            memcpy(pixel + 2 * c, &word, sizeof word);
        }
    }
}

// Whether the evaluator's sample of channel c is the ends' encoder's of
// the value.
bool SameSample(const IccFastEvalEnds& ends, const unsigned char* samples, int c,
                icFloatNumber value) {
    if (ends.bytes != nullptr)
        return samples[c] == ends.bytes(c, value);
    uint16_t word;
    memcpy(&word, samples + 2 * c, sizeof word);
    return word == ends.words(c, value);
}

// Channel c's level in a source pixel of the ends' shape.
unsigned LevelOf(const IccFastEvalEnds& ends, const unsigned char* pixel, int c) {
    if (ends.levelBits == 8)
        return pixel[c];
    uint16_t word;
    memcpy(&word, pixel + 2 * c, sizeof word);
    return word;
}

} // namespace

bool icFastEvalAgrees(const CIccFastEval& eval, const IccFastEvalEnds& ends, int srcChannels,
                      int dstChannels,
                      const std::function<void(icFloatNumber*, const icFloatNumber*)>& apply) {
    constexpr unsigned kSamples = 512;
    constexpr size_t kPixelBytes = 2 * icMaxChannels;
    std::vector<unsigned char> at(kSamples * kPixelBytes), samples(kSamples * kPixelBytes);
    std::vector<const unsigned char*> from(kSamples);
    std::vector<unsigned char*> to(kSamples);
    for (unsigned i = 0; i < kSamples; ++i) {
        from[i] = &at[i * kPixelBytes];
        to[i] = &samples[i * kPixelBytes];
        SampleLevels(i, srcChannels, ends.levelBits, &at[i * kPixelBytes]);
    }
    const bool encodes = eval.HasBytes();
    if (encodes)
        eval.ApplyBytes(from.data(), to.data(), kSamples);
    for (unsigned i = 0; i < kSamples; ++i) {
        icFloatNumber in[icMaxChannels], want[icMaxChannels], got[icMaxChannels];
        for (int c = 0; c < srcChannels; ++c)
            in[c] = ends.levels[(unsigned(c) << ends.levelBits) + LevelOf(ends, from[i], c)];
        apply(want, in);
        eval.Apply(from[i], got);
        if (memcmp(want, got, sizeof(icFloatNumber) * size_t(dstChannels)) != 0)
            return false;
        for (int c = 0; encodes && c < dstChannels; ++c)
            if (!SameSample(ends, to[i], c, want[c]))
                return false;
    }
    return true;
}
