#include "AlphaCarrier.h"

#include <cstring>

namespace {

uint16_t LoadSample(const unsigned char* p, int bytes) {
    if (bytes == 1)
        return *p;
    uint16_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

void StoreSample(uint16_t v, unsigned char* p, int bytes) {
    if (bytes == 1)
        *p = static_cast<unsigned char>(v);
    else
        memcpy(p, &v, sizeof v);
}

} // namespace

void CAlphaCarrier::Split(const unsigned char* interleaved, uint32_t width, int colourSamples,
                          unsigned char* colourOut) {
    const size_t colour = size_t(colourSamples) * size_t(m_nSourceBytes);
    const size_t stride = colour + size_t(m_nSourceBytes);
    std::vector<uint16_t> alpha(width);
    for (uint32_t x = 0; x < width; ++x) {
        memcpy(colourOut + x * colour, interleaved + x * stride, colour);
        alpha[x] = LoadSample(interleaved + x * stride + colour, m_nSourceBytes);
    }
    m_rows.push_back(std::move(alpha));
}

bool CAlphaCarrier::Join(const unsigned char* colour, uint32_t width, int colourSamples,
                         unsigned char* interleavedOut) {
    if (m_rows.empty())
        return false;
    const size_t bytes = size_t(colourSamples) * size_t(m_nDestBytes);
    const size_t stride = bytes + size_t(m_nDestBytes);
    const std::vector<uint16_t>& alpha = m_rows.front();
    for (uint32_t x = 0; x < width; ++x) {
        uint16_t a = alpha[x];
        if (m_nSourceBytes != m_nDestBytes)
            a = m_nDestBytes == 2 ? AlphaTo16(uint8_t(a)) : AlphaTo8(a);
        memcpy(interleavedOut + x * stride, colour + x * bytes, bytes);
        StoreSample(a, interleavedOut + x * stride + bytes, m_nDestBytes);
    }
    m_rows.pop_front();
    return true;
}
