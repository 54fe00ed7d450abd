#pragma once
// Lanes of four values for the colour layer's kernels that work on several
// colours at once. Each lane computes with the same IEEE operations as the
// one-colour code, in the same order, so it gets the same bits.

#include <cstdint>
#include <cstring>

// Marks a function worth a second copy compiled for AVX2, which the loader
// picks on processors that have it: the same arithmetic in half the
// instructions. CHROMAPORT_NO_SIMD_CLONES keeps the one baseline copy (the
// sanitizer build tests it that way). Only GCC makes the copies: clang
// refuses the AVX2 copy's calls to the lanes' inline helpers.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(CHROMAPORT_NO_SIMD_CLONES)
#define IC_SIMD_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define IC_SIMD_CLONES
#endif

namespace icsimd {

using F4 = float __attribute__((vector_size(16)));
using I4 = int32_t __attribute__((vector_size(16)));
using D4 = double __attribute__((vector_size(32)));
using L4 = int64_t __attribute__((vector_size(32)));

template <typename V, typename T> [[gnu::always_inline]] inline V Load(const T* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T, typename V> [[gnu::always_inline]] inline void Store(T* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// Four floats widened to doubles, and back (rounded as static_cast rounds).
[[gnu::always_inline]] inline D4 LoadWide(const float* p) {
    return __builtin_convertvector(Load<F4>(p), D4);
}
[[gnu::always_inline]] inline F4 Narrow(D4 v) {
    return __builtin_convertvector(v, F4);
}

} // namespace icsimd
