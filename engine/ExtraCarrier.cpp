#include "ExtraCarrier.h"

#include <algorithm>
#include <cstring>

#include "PixelCodec.h"

namespace {

// What a colour channel's stored numbers mean to premultiplication: the level
// of no colour, and the levels it may take (CIELab's a* and b* are signed).
struct ChannelLevels {
    int32_t zero, low, high;
    bool isSigned;
};

ChannelLevels LevelsOf(const PixelFormat& f, int channel) {
    const int32_t top = f.bitsPerSample == 16 ? 65535 : 255, half = top / 2 + 1;
    if (f.lab == LabEncoding::None || channel == 0)
        return {0, 0, top, false};
    if (f.lab == LabEncoding::Cie)
        return {0, -half, half - 1, true};
    return {half, 0, top, false};
}

int32_t Load(const unsigned char* p, int bytes, bool isSigned) {
    const uint16_t v = LoadSample(p, bytes);
    if (!isSigned)
        return v;
    return bytes == 1 ? int32_t(int8_t(v)) : int32_t(int16_t(v));
}

// n / d rounded to the nearest whole number, halves away from zero; d > 0.
int64_t RoundDiv(int64_t n, int64_t d) {
    const int64_t q = (2 * (n < 0 ? -n : n) + d) / (2 * d);
    return n < 0 ? -q : q;
}

// Every colour sample of a pixel scaled by num / den about its zero, clipped.
void Scale(const PixelFormat& f, unsigned char* pixel, int64_t num, int64_t den) {
    const int bytes = f.SampleBytes();
    for (int c = 0; c < f.colourChannels; ++c) {
        const ChannelLevels l = LevelsOf(f, c);
        unsigned char* at = pixel + c * bytes;
        int64_t v = l.zero;
        if (num != 0)
            v = l.zero + RoundDiv((Load(at, bytes, l.isSigned) - l.zero) * num, den);
        StoreSample(uint16_t(std::clamp<int64_t>(v, l.low, l.high)), at, bytes);
    }
}

int64_t TopLevel(const PixelFormat& f) {
    return f.bitsPerSample == 16 ? 65535 : 255;
}

} // namespace

void CExtraCarrier::SetFormats(const PixelFormat& source, const PixelFormat& dest) {
    m_source = source;
    m_dest = dest;
}

void CExtraCarrier::Split(const unsigned char* interleaved, uint32_t width,
                          unsigned char* colourOut) {
    const int bytes = m_source.SampleBytes(), extras = m_source.extraChannels;
    const size_t colour = size_t(m_source.PixelBytes());
    const size_t stride = colour + size_t(extras) * size_t(bytes);
    std::vector<uint16_t> kept(size_t(width) * size_t(extras));
    for (uint32_t x = 0; x < width; ++x) {
        const unsigned char* in = interleaved + x * stride;
        unsigned char* out = colourOut + x * colour;
        memcpy(out, in, colour);
        for (int e = 0; e < extras; ++e)
            kept[size_t(x) * extras + e] = LoadSample(in + colour + e * bytes, bytes);
        if (m_source.premultipliedBy >= 0) {
            const uint16_t alpha = kept[size_t(x) * extras + m_source.premultipliedBy];
            Scale(m_source, out, alpha ? TopLevel(m_source) : 0, alpha ? alpha : 1);
        }
    }
    m_rows.push_back(std::move(kept));
}

bool CExtraCarrier::Join(const unsigned char* colour, uint32_t width,
                         unsigned char* interleavedOut) {
    if (m_rows.empty())
        return false;
    const int bytes = m_dest.SampleBytes(), extras = m_dest.extraChannels;
    const size_t colourBytes = size_t(m_dest.PixelBytes());
    const size_t stride = colourBytes + size_t(extras) * size_t(bytes);
    const std::vector<uint16_t>& kept = m_rows.front();
    for (uint32_t x = 0; x < width; ++x) {
        unsigned char* out = interleavedOut + x * stride;
        memcpy(out, colour + x * colourBytes, colourBytes);
        for (int e = 0; e < extras; ++e) {
            uint16_t v = kept[size_t(x) * extras + e];
            if (m_source.bitsPerSample != m_dest.bitsPerSample)
                v = bytes == 2 ? ExtraTo16(uint8_t(v)) : ExtraTo8(v);
            StoreSample(v, out + colourBytes + e * bytes, bytes);
            if (e == m_dest.premultipliedBy)
                Scale(m_dest, out, v, TopLevel(m_dest));
        }
    }
    m_rows.pop_front();
    return true;
}
