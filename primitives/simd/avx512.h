// AVX-512 vocabulary: sixteen float lanes, with an eight-lane companion for runs too short for
// sixteen. Only translation units compiled for AVX-512 include it, and their code runs only
// after a run-time check; it is empty when AVX-512 is not enabled. Masked loads and stores
// keep partial vectors from touching memory beyond their lanes.
#pragma once

#if defined(__AVX512F__) && defined(__AVX512VL__)
#include <immintrin.h>

namespace ns_primitives::simd_avx512 {

// The first `count` lanes of `lanes` (count 1..lanes).
inline __mmask16 first_lanes(int count) {
    return static_cast<__mmask16>((1u << count) - 1u);
}

// Its own types rather than those of the AVX vocabulary, for the reason given in avx.h.
struct vec8 {
    static constexpr int lanes = 8;
    __m256 v;

    static vec8 load(const float* p) { return {_mm256_loadu_ps(p)}; }
    static vec8 splat(float x) { return {_mm256_set1_ps(x)}; }
    // The first `count` (1..8) floats at p, the other lanes zero; reads nothing beyond them.
    static vec8 load_first(const float* p, int count) {
        return {_mm256_maskz_loadu_ps(static_cast<__mmask8>(first_lanes(count)), p)};
    }
};

inline vec8 operator+(vec8 a, vec8 b) {
    return {_mm256_add_ps(a.v, b.v)};
}
inline vec8 operator-(vec8 a, vec8 b) {
    return {_mm256_sub_ps(a.v, b.v)};
}
inline vec8 operator*(vec8 a, vec8 b) {
    return {_mm256_mul_ps(a.v, b.v)};
}
inline void store(float* p, vec8 a) {
    _mm256_storeu_ps(p, a.v);
}
// The first `count` (1..8) lanes to p; writes nothing beyond them.
inline void store_first(float* p, vec8 a, int count) {
    _mm256_mask_storeu_ps(p, static_cast<__mmask8>(first_lanes(count)), a.v);
}

struct vec16 {
    static constexpr int lanes = 16;
    __m512 v;

    static vec16 load(const float* p) { return {_mm512_loadu_ps(p)}; }
    static vec16 splat(float x) { return {_mm512_set1_ps(x)}; }
    // The first `count` (1..16) floats at p, the other lanes zero; reads nothing beyond them.
    static vec16 load_first(const float* p, int count) {
        return {_mm512_maskz_loadu_ps(first_lanes(count), p)};
    }
};

inline vec16 operator+(vec16 a, vec16 b) {
    return {_mm512_add_ps(a.v, b.v)};
}
inline vec16 operator-(vec16 a, vec16 b) {
    return {_mm512_sub_ps(a.v, b.v)};
}
inline vec16 operator*(vec16 a, vec16 b) {
    return {_mm512_mul_ps(a.v, b.v)};
}
inline void store(float* p, vec16 a) {
    _mm512_storeu_ps(p, a.v);
}
// The first `count` (1..16) lanes to p; writes nothing beyond them.
inline void store_first(float* p, vec16 a, int count) {
    _mm512_mask_storeu_ps(p, first_lanes(count), a.v);
}

} // namespace ns_primitives::simd_avx512

#endif
