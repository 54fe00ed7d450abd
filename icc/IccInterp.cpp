#include "IccInterp.h"

namespace {

float ClipUnit(float v) {
    if (!(v > 0.0f)) // NaN too
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

template <typename T>
void InterpLinear(const IccGrid& g, const T* table, const float* in, float* out) {
    // The cell's first corner, and each input's fraction across the cell.
    size_t base = 0;
    float frac[icMaxGridInputs];
    for (unsigned i = 0; i < g.inputs; ++i) {
        frac[i] = 0.0f;
        if (g.last[i] == 0)
            continue;
        const float pos = ClipUnit(in[i]) * static_cast<float>(g.last[i]);
        unsigned cell = static_cast<unsigned>(pos);
        if (cell >= g.last[i])
            cell = g.last[i] - 1; // the top edge belongs to the last cell
        frac[i] = pos - static_cast<float>(cell);
        base += cell * g.stride[i];
    }
    for (unsigned o = 0; o < g.outputs; ++o)
        out[o] = 0.0f;
    const unsigned corners = 1u << g.inputs;
    for (unsigned corner = 0; corner < corners; ++corner) {
        float weight = 1.0f;
        size_t at = base;
        for (unsigned i = 0; i < g.inputs; ++i) {
            if (corner & (1u << i)) {
                weight *= frac[i];
                at += g.stride[i];
            } else {
                weight *= 1.0f - frac[i];
            }
        }
        // Corners of no weight are skipped: they add nothing, and along an
        // input with a single grid point they lie outside the table.
        if (weight == 0.0f)
            continue;
        for (unsigned o = 0; o < g.outputs; ++o)
            out[o] += weight * static_cast<float>(table[at + o]);
    }
}

} // namespace

void icInterpLinear(const IccGrid& grid, const float* table, const float* in, float* out) {
    InterpLinear(grid, table, in, out);
}

void icInterpLinear(const IccGrid& grid, const uint16_t* table, const float* in, float* out) {
    InterpLinear(grid, table, in, out);
}
