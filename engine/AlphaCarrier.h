#pragma once
// An unassociated alpha channel carried from a source's rows to its
// destination's: the source hands out its colour samples alone and keeps each
// row's alpha here; the destination takes it back when that row is written,
// at its own depth (v * 257 from 8 to 16 bits, v / 257 rounded from 16 to 8).
// Rows are read ahead of writing, so several may wait; both ends are used by
// the thread that reads and writes rows.

#include <cstdint>
#include <deque>
#include <vector>

class CAlphaCarrier {
public:
    // Bytes of one alpha sample in the source and in the destination (1 or 2).
    void SetSampleBytes(int source, int dest) {
        m_nSourceBytes = source;
        m_nDestBytes = dest;
    }
    // Splits a row of (colour + alpha) samples: colour to colourOut, alpha kept.
    void Split(const unsigned char* interleaved, uint32_t width, int colourSamples,
               unsigned char* colourOut);
    // Joins the oldest kept alpha row with a row of colour samples; false when
    // no alpha row is waiting.
    bool Join(const unsigned char* colour, uint32_t width, int colourSamples,
              unsigned char* interleavedOut);
    void Clear() { m_rows.clear(); }

private:
    std::deque<std::vector<uint16_t>> m_rows;
    int m_nSourceBytes = 1;
    int m_nDestBytes = 1;
};

// An alpha sample at another depth.
inline uint16_t AlphaTo16(uint8_t v) {
    return uint16_t(v * 257);
}
inline uint8_t AlphaTo8(uint16_t v) {
    return uint8_t((v + 128) / 257);
}
