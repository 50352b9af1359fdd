// SSE2 vocabulary of the FFT kernels: four float lanes. SSE2 is part of every x86-64
// processor, so this header needs no run-time check; it is empty elsewhere.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

namespace ns_primitives::fft_sse {

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

// out[4i + k] = lane i of vector k: a 4 x 4 transpose.
inline void interleave4(vec4 v0, vec4 v1, vec4 v2, vec4 v3, float* out) {
    _MM_TRANSPOSE4_PS(v0.v, v1.v, v2.v, v3.v);
    _mm_storeu_ps(out, v0.v);
    _mm_storeu_ps(out + 4, v1.v);
    _mm_storeu_ps(out + 8, v2.v);
    _mm_storeu_ps(out + 12, v3.v);
}

} // namespace ns_primitives::fft_sse

#endif
