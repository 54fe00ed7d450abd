#include "AlphaCarrier.h"

#include <cstring>

void CAlphaCarrier::Split(const unsigned char* interleaved, uint32_t width, int colourSamples,
                          unsigned char* colourOut) {
    const size_t n = size_t(colourSamples);
    std::vector<unsigned char> alpha(width);
    for (uint32_t x = 0; x < width; ++x) {
        memcpy(colourOut + x * n, interleaved + x * (n + 1), n);
        alpha[x] = interleaved[x * (n + 1) + n];
    }
    m_rows.push_back(std::move(alpha));
}

bool CAlphaCarrier::Join(const unsigned char* colour, uint32_t width, int colourSamples,
                         unsigned char* interleavedOut) {
    if (m_rows.empty())
        return false;
    const size_t n = size_t(colourSamples);
    const std::vector<unsigned char>& alpha = m_rows.front();
    for (uint32_t x = 0; x < width; ++x) {
        memcpy(interleavedOut + x * (n + 1), colour + x * n, n);
        interleavedOut[x * (n + 1) + n] = alpha[x];
    }
    m_rows.pop_front();
    return true;
}
