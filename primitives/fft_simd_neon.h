// NEON vocabulary of the FFT kernels: four float lanes. NEON is part of every 64-bit ARM
// processor, so this header needs no run-time check; it is empty elsewhere.
#pragma once

#if defined(__ARM_NEON) || defined(__ARM_NEON__)
#include <arm_neon.h>

namespace ns_primitives::fft_neon {

struct vec4 {
    static constexpr int lanes = 4;
    float32x4_t v;

    static vec4 load(const float* p) { return {vld1q_f32(p)}; }
    static vec4 splat(float x) { return {vdupq_n_f32(x)}; }
};

inline vec4 operator+(vec4 a, vec4 b) {
    return {vaddq_f32(a.v, b.v)};
}
inline vec4 operator-(vec4 a, vec4 b) {
    return {vsubq_f32(a.v, b.v)};
}
inline vec4 operator*(vec4 a, vec4 b) {
    return {vmulq_f32(a.v, b.v)};
}
inline void store(float* p, vec4 a) {
    vst1q_f32(p, a.v);
}

// out[4i + k] = lane i of vector k: the interleaving store does the 4 x 4 transpose.
inline void interleave4(vec4 v0, vec4 v1, vec4 v2, vec4 v3, float* out) {
    float32x4x4_t columns;
    columns.val[0] = v0.v;
    columns.val[1] = v1.v;
    columns.val[2] = v2.v;
    columns.val[3] = v3.v;
    vst4q_f32(out, columns);
}

} // namespace ns_primitives::fft_neon

#endif
