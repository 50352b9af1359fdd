// SSE2 vocabulary: four float lanes, or two double lanes. SSE2 is part of every x86-64
// processor, so this header needs no run-time check; it is empty elsewhere. Every operation is
// the IEEE operation of each lane, exactly what scalar code computes on that lane.
#pragma once

#if defined(__SSE2__)
#include "encoding.h"

#include <emmintrin.h>

namespace ns_primitives::simd_sse2 {
inline namespace ZQ_SIMD_ENCODING {

struct vec4 {
    static constexpr int lanes = 4;
    __m128 v;

    static vec4 load(const float* p) { return {_mm_loadu_ps(p)}; }
    static vec4 splat(float x) { return {_mm_set1_ps(x)}; }
    // The first `count` (1..4) floats at p, the other lanes zero; reads nothing beyond them.
    static vec4 load_first(const float* p, int count) {
        switch (count) {
        case 1:
            return {_mm_load_ss(p)};
        case 2:
            return {_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p))};
        case 3:
            return {_mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p)),
                                  _mm_load_ss(p + 2))};
        default:
            return load(p);
        }
    }
};

inline vec4 operator+(vec4 a, vec4 b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline vec4 operator-(vec4 a, vec4 b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline vec4 operator*(vec4 a, vec4 b) {
    return {_mm_mul_ps(a.v, b.v)};
}
inline void store(float* p, vec4 a) {
    _mm_storeu_ps(p, a.v);
}
// The first `count` (1..4) lanes to p; writes nothing beyond them.
inline void store_first(float* p, vec4 a, int count) {
    switch (count) {
    case 1:
        _mm_store_ss(p, a.v);
        return;
    case 2:
        _mm_storel_pi(reinterpret_cast<__m64*>(p), a.v);
        return;
    case 3:
        _mm_storel_pi(reinterpret_cast<__m64*>(p), a.v);
        _mm_store_ss(p + 2, _mm_movehl_ps(a.v, a.v));
        return;
    default:
        store(p, a);
    }
}

// out[4i + k] = lane i of vector k: a 4 x 4 transpose.
inline void interleave4(vec4 v0, vec4 v1, vec4 v2, vec4 v3, float* out) {
    _MM_TRANSPOSE4_PS(v0.v, v1.v, v2.v, v3.v);
    _mm_storeu_ps(out, v0.v);
    _mm_storeu_ps(out + 4, v1.v);
    _mm_storeu_ps(out + 8, v2.v);
    _mm_storeu_ps(out + 12, v3.v);
}

struct vec2d {
    static constexpr int lanes = 2;
    __m128d v;

    static vec2d load(const double* p) { return {_mm_loadu_pd(p)}; }
    // Two floats, widened.
    static vec2d load(const float* p) {
        return {
            _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))))};
    }
    static vec2d splat(double x) { return {_mm_set1_pd(x)}; }
};

inline vec2d operator+(vec2d a, vec2d b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline vec2d operator-(vec2d a, vec2d b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline vec2d operator*(vec2d a, vec2d b) {
    return {_mm_mul_pd(a.v, b.v)};
}
inline void store(double* p, vec2d a) {
    _mm_storeu_pd(p, a.v);
}
// Rounded to two floats.
inline void store(float* p, vec2d a) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(a.v)));
}
// Lane k + 1 takes lane k of a, lane 0 takes x.
inline vec2d shift_in(vec2d a, double x) {
    return {_mm_unpacklo_pd(_mm_set_sd(x), a.v)};
}
inline double last_lane(vec2d a) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v));
}

} // namespace ZQ_SIMD_ENCODING
} // namespace ns_primitives::simd_sse2

#endif
