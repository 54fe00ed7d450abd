#pragma once
// Marks a function worth a second copy compiled for AVX2, which the loader
// picks on processors that have it: the same IEEE arithmetic, so the same
// results, in half the instructions. CHROMAPORT_NO_SIMD_CLONES keeps the one
// baseline copy (the sanitizer build tests it that way).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(CHROMAPORT_NO_SIMD_CLONES)
#define IC_SIMD_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define IC_SIMD_CLONES
#endif
