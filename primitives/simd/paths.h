// Which vector paths this build contains, for every user of the vocabularies in this folder
// (the FFT and the filter lanes). ZQ_FORCE_SCALAR leaves only the scalar ones;
// ZQ_SIMD_WITH_AVX and ZQ_SIMD_WITH_AVX512 come from the build, which compiles each library's
// AVX and AVX-512 translation units for them on x86-64 (zq_simd_sources in
// cmake/ZQTargetDefaults.cmake).
#pragma once

#if !defined(ZQ_FORCE_SCALAR)
#if defined(__SSE2__)
#define ZQ_SIMD_HAS_SSE2 1
#endif
#if defined(ZQ_SIMD_WITH_AVX)
#define ZQ_SIMD_HAS_AVX 1
#endif
#if defined(ZQ_SIMD_WITH_AVX512)
#define ZQ_SIMD_HAS_AVX512 1
#endif
#if defined(__ARM_NEON) || defined(__ARM_NEON__)
#define ZQ_SIMD_HAS_NEON 1
#endif
#endif
