// AVX-512 vocabulary: sixteen float lanes or eight double lanes, with the AVX vocabulary's
// narrower vectors for runs too short for them. Only translation units compiled for AVX-512
// include it, and their code runs only after a run-time check; it is empty when AVX-512 is not
// enabled. Masked loads and stores keep partial vectors from touching memory beyond their lanes.
#pragma once

#if defined(__AVX512F__) && defined(__AVX512VL__)
#include "avx.h"

#include <immintrin.h>

namespace ns_primitives::simd_avx512 {
inline namespace ZQ_SIMD_ENCODING {

// The first `count` lanes of `lanes` (count 1..lanes).
inline __mmask16 first_lanes(int count) {
    return static_cast<__mmask16>((1u << count) - 1u);
}

using simd_avx::vec2d;
using simd_avx::vec4;
using simd_avx::vec4d;
using simd_avx::vec8;

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

struct vec8d {
    static constexpr int lanes = 8;
    __m512d v;

    static vec8d load(const double* p) { return {_mm512_loadu_pd(p)}; }
    // Eight floats, widened. (The conversions masked, all lanes on, for the reason given at
    // shift_in.)
    static vec8d load(const float* p) { return {_mm512_maskz_cvtps_pd(0xff, _mm256_loadu_ps(p))}; }
    static vec8d splat(double x) { return {_mm512_set1_pd(x)}; }
};

inline vec8d operator+(vec8d a, vec8d b) {
    return {_mm512_add_pd(a.v, b.v)};
}
inline vec8d operator-(vec8d a, vec8d b) {
    return {_mm512_sub_pd(a.v, b.v)};
}
inline vec8d operator*(vec8d a, vec8d b) {
    return {_mm512_mul_pd(a.v, b.v)};
}
inline void store(double* p, vec8d a) {
    _mm512_storeu_pd(p, a.v);
}
// Rounded to eight floats.
inline void store(float* p, vec8d a) {
    _mm256_storeu_ps(p, _mm512_maskz_cvtpd_ps(0xff, a.v));
}
// Lane k + 1 takes lane k of a, lane 0 takes x: the last lane of x's splat, then a's first
// seven. (Masked, as GCC 12's unmasked form reads a register it never sets.)
inline vec8d shift_in(vec8d a, double x) {
    const __m512i xs = _mm512_castpd_si512(_mm512_set1_pd(x));
    const __m512i shifted = _mm512_mask_alignr_epi64(xs, 0xff, _mm512_castpd_si512(a.v), xs, 7);
    return {_mm512_castsi512_pd(shifted)};
}
inline double last_lane(vec8d a) {
    return last_lane(vec4d{_mm512_extractf64x4_pd(a.v, 1)});
}

} // namespace ZQ_SIMD_ENCODING
} // namespace ns_primitives::simd_avx512

#endif
