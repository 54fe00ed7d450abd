#pragma once
// The rows of an image stored in tiles, or in one plane a sample, put
// together a band at a time: one row of tiles, or one strip of every plane,
// decoded and interleaved into whole rows of contiguous samples. Memory is a
// band of rows and one tile or strip, whatever the image's size.

#include <cstdint>

#include "RowBuffer.h"

typedef struct tiff TIFF;

class CTiffBands {
public:
    // Sets up for the directory tif is on, whose interleaved rows take
    // rowBytes; false when its samples are not whole bytes, its tiles have no
    // size, or a band or a tile would take more than maxBytes.
    bool Reset(TIFF* tif, uint64_t rowBytes, uint64_t maxBytes);
    // Row `row` of the image; rows come in order, each band decoded once.
    bool ReadRow(TIFF* tif, uint32_t row, unsigned char* out);
    void Clear();

private:
    bool ReadBand(TIFF* tif, uint32_t first);
    bool ReadTiles(TIFF* tif, uint32_t first, uint32_t rows, uint16_t plane);
    bool ReadStrip(TIFF* tif, uint32_t first, uint32_t rows, uint16_t plane);
    // Puts `rows` rows of `cols` pixels of one chunk (a tile or a strip of
    // `chunkRowBytes` a row) at column x0 of the band.
    void Place(const unsigned char* chunk, uint64_t chunkRowBytes, uint32_t rows, uint32_t x0,
               uint32_t cols, uint16_t plane);

    uint32_t m_nWidth = 0, m_nHeight = 0, m_nBandRows = 0, m_nTileWidth = 0;
    uint16_t m_nSamples = 0, m_nSampleBytes = 0;
    bool m_bTiled = false, m_bPlanar = false;
    uint64_t m_nRowBytes = 0;
    uint32_t m_nBandFirst = UINT32_MAX; // the first row of the band held
    // calloc'd: a file may claim tiles far larger than it holds, and memory
    // is touched only as tiles are really decoded.
    RowBuffer m_band, m_chunk;
};
