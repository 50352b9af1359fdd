// AVX vocabulary: eight float lanes or four double lanes, with the SSE2 vocabulary's narrower
// vectors for runs too short for them.
// Only translation units compiled for AVX include it, and their code runs only after a
// run-time check; it is empty when AVX is not enabled.
#pragma once

#if defined(__AVX__)
#include "sse2.h"

#include <immintrin.h>

namespace ns_primitives::simd_avx {
inline namespace ZQ_SIMD_ENCODING {

// Four-lane floats and two-lane doubles are the SSE2 vocabulary's (see encoding.h for why
// sharing them is safe).
using simd_sse2::vec2d;
using simd_sse2::vec4;

struct vec8 {
    static constexpr int lanes = 8;
    __m256 v;

    static vec8 load(const float* p) { return {_mm256_loadu_ps(p)}; }
    static vec8 splat(float x) { return {_mm256_set1_ps(x)}; }
    // The first `count` (1..8) floats at p, the other lanes zero; reads nothing beyond them.
    static vec8 load_first(const float* p, int count) {
        if (count >= lanes) return load(p);
        if (count <= 4) return {_mm256_set_m128(_mm_setzero_ps(), vec4::load_first(p, count).v)};
        return {_mm256_set_m128(vec4::load_first(p + 4, count - 4).v, _mm_loadu_ps(p))};
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
    if (count >= vec8::lanes) return store(p, a);
    const vec4 low{_mm256_castps256_ps128(a.v)};
    if (count <= 4) return store_first(p, low, count);
    store(p, low);
    store_first(p + 4, vec4{_mm256_extractf128_ps(a.v, 1)}, count - 4);
}

// out[4i + k] = lane i of vector k: a 4 x 4 transpose in each 128-bit half, then the halves
// put in memory order.
inline void interleave4(vec8 v0, vec8 v1, vec8 v2, vec8 v3, float* out) {
    const __m256 lo01 = _mm256_unpacklo_ps(v0.v, v1.v);
    const __m256 hi01 = _mm256_unpackhi_ps(v0.v, v1.v);
    const __m256 lo23 = _mm256_unpacklo_ps(v2.v, v3.v);
    const __m256 hi23 = _mm256_unpackhi_ps(v2.v, v3.v);
    const __m256 lane0 = _mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 lane1 = _mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 lane2 = _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 lane3 = _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(3, 2, 3, 2));
    _mm256_storeu_ps(out, _mm256_permute2f128_ps(lane0, lane1, 0x20));
    _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(lane2, lane3, 0x20));
    _mm256_storeu_ps(out + 16, _mm256_permute2f128_ps(lane0, lane1, 0x31));
    _mm256_storeu_ps(out + 24, _mm256_permute2f128_ps(lane2, lane3, 0x31));
}

struct vec4d {
    static constexpr int lanes = 4;
    __m256d v;

    static vec4d load(const double* p) { return {_mm256_loadu_pd(p)}; }
    // Four floats, widened.
    static vec4d load(const float* p) { return {_mm256_cvtps_pd(_mm_loadu_ps(p))}; }
    static vec4d splat(double x) { return {_mm256_set1_pd(x)}; }
};

inline vec4d operator+(vec4d a, vec4d b) {
    return {_mm256_add_pd(a.v, b.v)};
}
inline vec4d operator-(vec4d a, vec4d b) {
    return {_mm256_sub_pd(a.v, b.v)};
}
inline vec4d operator*(vec4d a, vec4d b) {
    return {_mm256_mul_pd(a.v, b.v)};
}
inline void store(double* p, vec4d a) {
    _mm256_storeu_pd(p, a.v);
}
// Rounded to four floats.
inline void store(float* p, vec4d a) {
    _mm_storeu_ps(p, _mm256_cvtpd_ps(a.v));
}
// Lane k + 1 takes lane k of a, lane 0 takes x. (Left to the compiler, which finds a single
// permutation where AVX-512 is enabled.)
inline vec4d shift_in(vec4d a, double x) {
    return {__builtin_shufflevector(a.v, _mm256_set1_pd(x), 4, 0, 1, 2)};
}
inline double last_lane(vec4d a) {
    return last_lane(vec2d{_mm256_extractf128_pd(a.v, 1)});
}

} // namespace ZQ_SIMD_ENCODING
} // namespace ns_primitives::simd_avx

#endif
