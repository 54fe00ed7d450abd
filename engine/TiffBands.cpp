#include "TiffBands.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

void CTiffBands::Clear() {
    m_band.reset();
    m_chunk.reset();
    m_nBandFirst = UINT32_MAX;
}

bool CTiffBands::Reset(TIFF* tif, uint64_t rowBytes, uint64_t maxBytes) {
    Clear();
    uint16_t bits = 0, planar = PLANARCONFIG_CONTIG;
    m_nSamples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &m_nWidth);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &m_nHeight);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &m_nSamples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    m_nSampleBytes = bits / 8;
    m_bTiled = TIFFIsTiled(tif) != 0;
    m_bPlanar = planar == PLANARCONFIG_SEPARATE && m_nSamples > 1;
    m_nRowBytes = rowBytes;
    uint64_t chunk = 0;
    if (m_bTiled) {
        uint32_t tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &m_nTileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        m_nBandRows = tileLength;
        chunk = uint64_t(TIFFTileSize64(tif));
    } else {
        uint32_t rowsPerStrip = m_nHeight;
        TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        m_nBandRows = std::min(std::max(rowsPerStrip, 1u), m_nHeight);
        chunk = uint64_t(TIFFStripSize64(tif));
    }
    // Rows are put together sample by sample: only whole bytes.
    if ((bits != 8 && bits != 16) || m_nBandRows == 0 || (m_bTiled && m_nTileWidth == 0) ||
        chunk == 0 || chunk > maxBytes || rowBytes > maxBytes / m_nBandRows)
        return false;
    // The library's own tiles or strips must hold what the layout says.
    const uint64_t perRow = m_bTiled ? uint64_t(m_nTileWidth) : uint64_t(m_nWidth);
    const uint64_t pixelBytes = uint64_t(m_bPlanar ? 1 : m_nSamples) * m_nSampleBytes;
    if (chunk < perRow * pixelBytes * (m_bTiled ? m_nBandRows : 1))
        return false;
    m_band = AllocateRow(m_nBandRows * rowBytes);
    m_chunk = AllocateRow(chunk);
    return m_band && m_chunk;
}

bool CTiffBands::ReadRow(TIFF* tif, uint32_t row, unsigned char* out) {
    if (!m_band || row >= m_nHeight)
        return false;
    const uint32_t first = row - row % m_nBandRows;
    if (first != m_nBandFirst && !ReadBand(tif, first))
        return false;
    memcpy(out, m_band.get() + (row - first) * m_nRowBytes, m_nRowBytes);
    return true;
}

bool CTiffBands::ReadBand(TIFF* tif, uint32_t first) {
    m_nBandFirst = UINT32_MAX;
    const uint32_t rows = std::min(m_nBandRows, m_nHeight - first);
    for (uint16_t plane = 0; plane < (m_bPlanar ? m_nSamples : 1); ++plane) {
        const bool read =
            m_bTiled ? ReadTiles(tif, first, rows, plane) : ReadStrip(tif, first, rows, plane);
        if (!read)
            return false;
    }
    m_nBandFirst = first;
    return true;
}

bool CTiffBands::ReadTiles(TIFF* tif, uint32_t first, uint32_t rows, uint16_t plane) {
    const uint64_t pixelBytes = uint64_t(m_bPlanar ? 1 : m_nSamples) * m_nSampleBytes;
    for (uint32_t x0 = 0; x0 < m_nWidth; x0 += m_nTileWidth) {
        if (TIFFReadTile(tif, m_chunk.get(), x0, first, 0, plane) < 0)
            return false;
        // Tiles at the right and bottom edges are cut to the image.
        const uint32_t cols = std::min(m_nTileWidth, m_nWidth - x0);
        Place(m_chunk.get(), m_nTileWidth * pixelBytes, rows, x0, cols, plane);
    }
    return true;
}

bool CTiffBands::ReadStrip(TIFF* tif, uint32_t first, uint32_t rows, uint16_t plane) {
    const uint64_t planeRowBytes = uint64_t(m_nWidth) * m_nSampleBytes;
    const tmsize_t got =
        TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, first, plane), m_chunk.get(), -1);
    if (got < 0 || uint64_t(got) < rows * planeRowBytes)
        return false;
    Place(m_chunk.get(), planeRowBytes, rows, 0, m_nWidth, plane);
    return true;
}

void CTiffBands::Place(const unsigned char* chunk, uint64_t chunkRowBytes, uint32_t rows,
                       uint32_t x0, uint32_t cols, uint16_t plane) {
    const size_t bytes = m_nSampleBytes, pixel = size_t(m_nSamples) * bytes;
    for (uint32_t r = 0; r < rows; ++r) {
        const unsigned char* from = chunk + r * chunkRowBytes;
        unsigned char* to = m_band.get() + r * m_nRowBytes + x0 * pixel;
        if (!m_bPlanar) {
            memcpy(to, from, cols * pixel);
            continue;
        }
        for (uint32_t x = 0; x < cols; ++x)
            memcpy(to + x * pixel + plane * bytes, from + x * bytes, bytes);
    }
}
