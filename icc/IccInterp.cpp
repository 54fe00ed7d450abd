#include "IccInterp.h"

namespace {

float ClipUnit(float v) {
    if (!(v > 0.0f)) // NaN too
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

// Each corner's weight is the product, in input order, of frac or 1 - frac
// along every input. Corners of no weight are skipped: they add nothing, and
// along an input with a single grid point they lie outside the table.
template <typename T>
void AddCorner(const IccGrid& g, const T* table, size_t at, float weight, float* out) {
    if (weight == 0.0f)
        return;
    for (unsigned o = 0; o < g.outputs; ++o)
        out[o] += weight * static_cast<float>(table[at + o]);
}

// Up to this many inputs the corners are listed first, each weight built
// from the one before it; the products are the same as corner by corner.
constexpr unsigned kListedInputs = 8;

// With `fixed` inputs known when compiled (3 and 4, the common tables) the
// loops unroll; the arithmetic is the same for any count.
template <typename T, unsigned fixed = 0>
void AddListedCorners(const IccGrid& g, const T* table, size_t base, const float* frac,
                      float* out) {
    const unsigned inputs = fixed ? fixed : g.inputs;
    float weight[1u << kListedInputs];
    size_t at[1u << kListedInputs];
    weight[0] = 1.0f;
    at[0] = base;
    unsigned count = 1;
    for (unsigned i = 0; i < inputs; ++i) {
        for (unsigned k = 0; k < count; ++k) {
            weight[k + count] = weight[k] * frac[i];
            at[k + count] = at[k] + g.stride[i];
            weight[k] *= 1.0f - frac[i];
        }
        count *= 2;
    }
    for (unsigned k = 0; k < count; ++k)
        AddCorner(g, table, at[k], weight[k], out);
}

template <typename T>
void AddEachCorner(const IccGrid& g, const T* table, size_t base, const float* frac, float* out) {
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
        AddCorner(g, table, at, weight, out);
    }
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
    if (g.inputs == 1) { // curves: the listed corners' arithmetic, without the lists
        AddCorner(g, table, base, 1.0f * (1.0f - frac[0]), out);
        AddCorner(g, table, base + g.stride[0], 1.0f * frac[0], out);
    } else if (g.inputs == 3)
        AddListedCorners<T, 3>(g, table, base, frac, out);
    else if (g.inputs == 4)
        AddListedCorners<T, 4>(g, table, base, frac, out);
    else if (g.inputs <= kListedInputs)
        AddListedCorners(g, table, base, frac, out);
    else
        AddEachCorner(g, table, base, frac, out);
}

} // namespace

void icInterpLinear(const IccGrid& grid, const float* table, const float* in, float* out) {
    InterpLinear(grid, table, in, out);
}

void icInterpLinear(const IccGrid& grid, const uint16_t* table, const float* in, float* out) {
    InterpLinear(grid, table, in, out);
}
