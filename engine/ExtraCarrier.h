#pragma once
// The extra channels of a source's rows (alpha, spot colours, masks) carried
// to its destination's: the source hands out its colour samples alone and
// keeps each row's extra samples here; the destination takes them back when
// that row is written, at its own depth (v * 257 from 8 to 16 bits, v / 257
// rounded from 16 to 8). Rows are read ahead of writing, so several may wait;
// both ends are used by the thread that reads and writes rows.
//
// Colour premultiplied by an associated alpha is divided by it on the way
// in and multiplied again on the way out, each rounded to the nearest level
// (halves away from the channel's zero): with a the alpha and M the largest
// level, c becomes zero + (c - zero) * M / a, clipped to the channel's range,
// and the converted o becomes zero + (o - zero) * a / M; alpha 0 gives every
// colour sample its zero (0, or a* and b* of 0).

#include <cstdint>
#include <deque>
#include <vector>

#include "PixelFormat.h"

class CExtraCarrier {
public:
    // The two ends, before the first row: their depths, their extra
    // channels (the same number) and which of them premultiplies the colour.
    void SetFormats(const PixelFormat& source, const PixelFormat& dest);
    // Splits a row of (colour + extra) samples: colour to colourOut, divided
    // by its alpha when premultiplied; the extra samples are kept.
    void Split(const unsigned char* interleaved, uint32_t width, unsigned char* colourOut);
    // Joins the oldest kept extra samples with a row of colour samples,
    // multiplied by their alpha when premultiplied; false when no row of
    // extra samples is waiting.
    bool Join(const unsigned char* colour, uint32_t width, unsigned char* interleavedOut);
    void Clear() { m_rows.clear(); }

private:
    PixelFormat m_source;
    PixelFormat m_dest;
    std::deque<std::vector<uint16_t>> m_rows; // at the source's depth
};

// An extra sample at another depth.
inline uint16_t ExtraTo16(uint8_t v) {
    return uint16_t(v * 257);
}
inline uint8_t ExtraTo8(uint16_t v) {
    return uint8_t((v + 128) / 257);
}
