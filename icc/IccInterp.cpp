#include "IccInterp.h"

#include <cstring>
#include <type_traits>

#include "IccSimd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// The three or four words of a table entry as floats, one a lane.
[[gnu::always_inline]] inline __m128 EntryValues(const IccGrid& g, const uint16_t* entry) {
    __m128i words;
    if (g.outputs == 4) {
        words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(entry));
    } else { // not a word past the entry: it may be the table's last
        uint32_t pair;
        std::memcpy(&pair, entry, sizeof pair);
        words = _mm_insert_epi16(_mm_cvtsi32_si128(static_cast<int>(pair)), entry[2], 2);
    }
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, _mm_setzero_si128()));
}

// AddCorner for every listed corner of a 16-bit table of three or four
// outputs, one output a lane: each lane converts, multiplies and adds as
// AddCorner does for its output, in the same corner order, so the sums are
// the same bits.
void AddCornersSse2(const IccGrid& g, const uint16_t* table, const size_t* at, const float* weight,
                    unsigned count, float* out) {
    float lanes[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (unsigned o = 0; o < g.outputs; ++o)
        lanes[o] = out[o];
    __m128 sum = _mm_loadu_ps(lanes);
    for (unsigned k = 0; k < count; ++k) {
        if (weight[k] == 0.0f)
            continue;
        const uint16_t* entry = table + at[k];
        const __m128 values = EntryValues(g, entry);
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weight[k]), values));
    }
    _mm_storeu_ps(lanes, sum);
    for (unsigned o = 0; o < g.outputs; ++o)
        out[o] = lanes[o];
}
#endif

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
#if defined(__SSE2__)
    if constexpr (std::is_same_v<T, uint16_t>) {
        if (g.outputs == 3 || g.outputs == 4)
            return AddCornersSse2(g, table, at, weight, count, out);
    }
#endif
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

template <typename T> void LerpGrid(const IccGrid& g, const T* table, const float* in, float* out) {
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

#if defined(__SSE2__)
using icsimd::F4;
using icsimd::I4;

// One point's corners in order, as AddCornersSse2 adds them. Corners of no
// weight are added too: their products are +0, which leaves the sums as they
// are, and the grid has two points along every input, so they lie in the
// table.
template <unsigned corners>
[[gnu::always_inline]] inline __m128 SumCorners(const IccGrid& g, const uint16_t* table,
                                                const size_t* corner, const F4* weight,
                                                unsigned lane, int32_t base) {
    __m128 sum = _mm_setzero_ps();
    for (unsigned k = 0; k < corners; ++k) {
        const uint16_t* entry = table + size_t(base) + corner[k];
        const __m128 values = EntryValues(g, entry);
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weight[k][lane]), values));
    }
    return sum;
}

// SumCorners for two neighbouring points (lanes `lane` and `lane` + 1) of a
// table of four outputs, one point's outputs in each half: with AVX one
// instruction does what two do for one point. Each lane still multiplies
// and adds as AddCornersSse2 does, corner by corner.
using F8 = float __attribute__((vector_size(32)));
using I8 = int32_t __attribute__((vector_size(32)));
using U8 = uint16_t __attribute__((vector_size(16)));

template <unsigned corners, unsigned lane>
[[gnu::always_inline]] inline F8 SumCornerPair(const uint16_t* table, const size_t* corner,
                                               const F4* weight, int32_t base0, int32_t base1) {
    F8 sum = {};
    for (unsigned k = 0; k < corners; ++k) {
        uint16_t words[8];
        std::memcpy(words, table + size_t(base0) + corner[k], 4 * sizeof(uint16_t));
        std::memcpy(words + 4, table + size_t(base1) + corner[k], 4 * sizeof(uint16_t));
        const F8 values =
            __builtin_convertvector(__builtin_convertvector(icsimd::Load<U8>(words), I8), F8);
        const F8 w = __builtin_shufflevector(weight[k], weight[k], lane, lane, lane, lane, lane + 1,
                                             lane + 1, lane + 1, lane + 1);
        sum += w * values;
    }
    return sum;
}

// LerpGrid's cells, fractions and listed weights for four points at once,
// one a lane, each lane computing as LerpGrid does, for tables of three and
// four inputs.
template <unsigned inputs>
[[gnu::always_inline]] inline void LerpGridLanes(const IccGrid& g, const uint16_t* table,
                                                 const float* in, unsigned inStride, float* out,
                                                 unsigned count) {
    constexpr unsigned corners = 1u << inputs;
    size_t corner[corners];
    for (unsigned k = 0; k < corners; ++k) {
        corner[k] = 0;
        for (unsigned c = 0; c < inputs; ++c)
            corner[k] += k & (1u << c) ? g.stride[c] : 0;
    }
    const F4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const F4 one = zero + 1.0f;
    for (unsigned i = 0; i < count; i += 4) {
        I4 base = {0, 0, 0, 0};
        F4 frac[inputs];
        for (unsigned c = 0; c < inputs; ++c) {
            F4 v = icsimd::Load<F4>(in + c * inStride + i);
            v = v > 0.0f ? v : zero; // NaN too
            v = v > 1.0f ? one : v;
            const F4 pos = v * static_cast<float>(g.last[c]);
            I4 cell = __builtin_convertvector(pos, I4);
            const int32_t top = static_cast<int32_t>(g.last[c]) - 1;
            cell = cell > top ? I4{} + top : cell;
            frac[c] = pos - __builtin_convertvector(cell, F4);
            base += cell * static_cast<int32_t>(g.stride[c]);
        }
        // The listed weights: each input doubles the list, the new half
        // times frac, the old half times 1 - frac.
        F4 w[corners];
        w[0] = one;
        for (unsigned c = 0, n = 1; c < inputs; ++c, n *= 2)
            for (unsigned k = 0; k < n; ++k) {
                w[k + n] = w[k] * frac[c];
                w[k] = w[k] * (one - frac[c]);
            }
        if (g.outputs == 4) {
            icsimd::Store(out + i * 4,
                          SumCornerPair<corners, 0>(table, corner, w, base[0], base[1]));
            icsimd::Store(out + (i + 2) * 4,
                          SumCornerPair<corners, 2>(table, corner, w, base[2], base[3]));
            continue;
        }
        for (unsigned lane = 0; lane < 4; ++lane)
            _mm_storeu_ps(out + (i + lane) * 4,
                          SumCorners<corners>(g, table, corner, w, lane, base[lane]));
    }
}

IC_SIMD_CLONES void LerpGrid3Lanes(const IccGrid& g, const uint16_t* table, const float* in,
                                   unsigned inStride, float* out, unsigned count) {
    LerpGridLanes<3>(g, table, in, inStride, out, count);
}

IC_SIMD_CLONES void LerpGrid4Lanes(const IccGrid& g, const uint16_t* table, const float* in,
                                   unsigned inStride, float* out, unsigned count) {
    LerpGridLanes<4>(g, table, in, inStride, out, count);
}
#endif

} // namespace

bool icLerpGridLanesFit(const IccGrid& g) {
#if defined(__SSE2__)
    if ((g.inputs != 3 && g.inputs != 4) || (g.outputs != 3 && g.outputs != 4))
        return false;
    // Every entry's index fits the lanes' 32-bit offsets.
    uint64_t entries = g.outputs;
    for (unsigned c = 0; c < g.inputs; ++c) {
        if (g.last[c] == 0 || g.last[c] > 65535)
            return false;
        entries *= g.last[c] + 1;
    }
    return entries < (uint64_t(1) << 31);
#else
    (void)g;
    return false;
#endif
}

void icLerpGridLanes(const IccGrid& grid, const uint16_t* table, const float* in, unsigned inStride,
                     float* out, unsigned count) {
#if defined(__SSE2__)
    if (grid.inputs == 3)
        LerpGrid3Lanes(grid, table, in, inStride, out, count);
    else
        LerpGrid4Lanes(grid, table, in, inStride, out, count);
#else
    (void)grid, (void)table, (void)in, (void)inStride, (void)out, (void)count;
#endif
}

void icLerpGrid(const IccGrid& grid, const float* table, const float* in, float* out) {
    LerpGrid(grid, table, in, out);
}

void icLerpGrid(const IccGrid& grid, const uint16_t* table, const float* in, float* out) {
    LerpGrid(grid, table, in, out);
}
