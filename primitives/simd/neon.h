// NEON vocabulary: four float lanes, or two double lanes. NEON is part of every 64-bit ARM
// processor, so this header needs no run-time check; it is empty elsewhere. On 64-bit ARM the
// vector operations follow the same IEEE rules (and the same FPCR) as scalar ones, lane by lane.
#pragma once

#if defined(__ARM_NEON) || defined(__ARM_NEON__)
#include "encoding.h"

#include <arm_neon.h>

namespace ns_primitives::simd_neon {
inline namespace ZQ_SIMD_ENCODING {

struct vec4 {
    static constexpr int lanes = 4;
    float32x4_t v;

    static vec4 load(const float* p) { return {vld1q_f32(p)}; }
    static vec4 splat(float x) { return {vdupq_n_f32(x)}; }
    // The first `count` (1..4) floats at p, the other lanes zero; reads nothing beyond them.
    static vec4 load_first(const float* p, int count) {
        const float32x4_t zero = vdupq_n_f32(0.0f);
        switch (count) {
        case 1:
            return {vld1q_lane_f32(p, zero, 0)};
        case 2:
            return {vcombine_f32(vld1_f32(p), vdup_n_f32(0.0f))};
        case 3:
            return {vld1q_lane_f32(p + 2, vcombine_f32(vld1_f32(p), vdup_n_f32(0.0f)), 2)};
        default:
            return load(p);
        }
    }
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
// The first `count` (1..4) lanes to p; writes nothing beyond them.
inline void store_first(float* p, vec4 a, int count) {
    switch (count) {
    case 1:
        vst1q_lane_f32(p, a.v, 0);
        return;
    case 2:
        vst1_f32(p, vget_low_f32(a.v));
        return;
    case 3:
        vst1_f32(p, vget_low_f32(a.v));
        vst1q_lane_f32(p + 2, a.v, 2);
        return;
    default:
        store(p, a);
    }
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

struct vec2d {
    static constexpr int lanes = 2;
    float64x2_t v;

    static vec2d load(const double* p) { return {vld1q_f64(p)}; }
    // Two floats, widened.
    static vec2d load(const float* p) { return {vcvt_f64_f32(vld1_f32(p))}; }
    static vec2d splat(double x) { return {vdupq_n_f64(x)}; }
};

inline vec2d operator+(vec2d a, vec2d b) {
    return {vaddq_f64(a.v, b.v)};
}
inline vec2d operator-(vec2d a, vec2d b) {
    return {vsubq_f64(a.v, b.v)};
}
inline vec2d operator*(vec2d a, vec2d b) {
    return {vmulq_f64(a.v, b.v)};
}
inline void store(double* p, vec2d a) {
    vst1q_f64(p, a.v);
}
// Rounded to two floats.
inline void store(float* p, vec2d a) {
    vst1_f32(p, vcvt_f32_f64(a.v));
}
// Lane k + 1 takes lane k of a, lane 0 takes x.
inline vec2d shift_in(vec2d a, double x) {
    return {vextq_f64(vdupq_n_f64(x), a.v, 1)};
}
inline double last_lane(vec2d a) {
    return vgetq_lane_f64(a.v, 1);
}

} // namespace ZQ_SIMD_ENCODING
} // namespace ns_primitives::simd_neon

#endif
