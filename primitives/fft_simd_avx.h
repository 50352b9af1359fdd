// AVX vocabulary of the FFT kernels: eight float lanes, with a four-lane companion for the
// stages too short for eight. Only the translation unit compiled for AVX includes it, and it
// runs only after a run-time check; it is empty when AVX is not enabled.
#pragma once

#if defined(__AVX__)
#include <immintrin.h>

namespace ns_primitives::fft_avx {

struct vec8 {
    static constexpr int lanes = 8;
    __m256 v;

    static vec8 load(const float* p) { return {_mm256_loadu_ps(p)}; }
    static vec8 splat(float x) { return {_mm256_set1_ps(x)}; }
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

// The SSE vocabulary again rather than a using-declaration of it: inline functions shared with
// the SSE translation unit would be compiled here with AVX encodings, and the linker may keep
// this copy for the SSE path as well, which would then fault on processors without AVX.
struct vec4 {
    static constexpr int lanes = 4;
    __m128 v;

    static vec4 load(const float* p) { return {_mm_loadu_ps(p)}; }
    static vec4 splat(float x) { return {_mm_set1_ps(x)}; }
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

inline void interleave4(vec4 v0, vec4 v1, vec4 v2, vec4 v3, float* out) {
    _MM_TRANSPOSE4_PS(v0.v, v1.v, v2.v, v3.v);
    _mm_storeu_ps(out, v0.v);
    _mm_storeu_ps(out + 4, v1.v);
    _mm_storeu_ps(out + 8, v2.v);
    _mm_storeu_ps(out + 12, v3.v);
}

} // namespace ns_primitives::fft_avx

#endif
