#pragma once
// An unassociated alpha channel carried unchanged from a source's rows to its
// destination's: the source hands out its colour samples alone and keeps each
// row's alpha here; the destination takes it back when that row is written.
// Rows are read ahead of writing, so several may wait; both ends are used by
// the thread that reads and writes rows.

#include <cstdint>
#include <deque>
#include <vector>

class CAlphaCarrier {
public:
    // Splits a row of (colour + alpha) samples: colour to colourOut, alpha kept.
    void Split(const unsigned char* interleaved, uint32_t width, int colourSamples,
               unsigned char* colourOut);
    // Joins the oldest kept alpha row with a row of colour samples; false when
    // no alpha row is waiting.
    bool Join(const unsigned char* colour, uint32_t width, int colourSamples,
              unsigned char* interleavedOut);
    void Clear() { m_rows.clear(); }

private:
    std::deque<std::vector<unsigned char>> m_rows;
};
