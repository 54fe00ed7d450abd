#pragma once
// Linear interpolation of colour lookup tables: every corner of the grid cell
// around the input is weighted, whatever the number of inputs (trilinear for
// three, quadrilinear for four, n-linear in general), as the ICC reference
// CMM interpolates. Plain float arithmetic, so that any evaluator calling
// these functions gets the same results bit for bit.

#include <cstddef>
#include <cstdint>

// Most inputs a lookup table may have.
constexpr int icMaxGridInputs = 15;

// The shape of a table: grid points minus one along each input, and how many
// table entries lie between neighbouring grid points along that input. Each
// grid point holds `outputs` consecutive entries. Only the first `inputs`
// entries of last and stride are read (the rest stay unset: a grid is made
// for every interpolation).
struct IccGrid {
    unsigned inputs = 0;
    unsigned outputs = 0;
    unsigned last[icMaxGridInputs];
    size_t stride[icMaxGridInputs];
};

// Interpolates the table at `in` (each 0..1; outside values are clipped, NaN
// reads as 0) into `outputs` values in the table's own units.
void icLerpGrid(const IccGrid& grid, const float* table, const float* in, float* out);
void icLerpGrid(const IccGrid& grid, const uint16_t* table, const float* in, float* out);

// The same for `count` points (a multiple of 4) of a 16-bit table of three
// or four inputs and three or four outputs, quicker; only for grids that
// icLerpGridLanesFit. Input c of point i is in[c * inStride + i]; output o
// of point i goes to out[i * 4 + o].
bool icLerpGridLanesFit(const IccGrid& grid);
void icLerpGridLanes(const IccGrid& grid, const uint16_t* table, const float* in, unsigned inStride,
                     float* out, unsigned count);
