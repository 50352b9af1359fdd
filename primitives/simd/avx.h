// AVX vocabulary: eight float lanes, with a four-lane companion for runs too short for eight.
// Only translation units compiled for AVX include it, and their code runs only after a
// run-time check; it is empty when AVX is not enabled.
#pragma once

#if defined(__AVX__)
#include <immintrin.h>

namespace ns_primitives::simd_avx {

// The SSE vocabulary again rather than a using-declaration of it: inline functions shared with
// an SSE translation unit would be compiled here with AVX encodings, and the linker may keep
// this copy for the SSE path as well, which would then fault on processors without AVX.
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

inline void interleave4(vec4 v0, vec4 v1, vec4 v2, vec4 v3, float* out) {
    _MM_TRANSPOSE4_PS(v0.v, v1.v, v2.v, v3.v);
    _mm_storeu_ps(out, v0.v);
    _mm_storeu_ps(out + 4, v1.v);
    _mm_storeu_ps(out + 8, v2.v);
    _mm_storeu_ps(out + 12, v3.v);
}

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

} // namespace ns_primitives::simd_avx

#endif
