// Scalar emulation of the FFT's vector vocabulary: one lane, plain float arithmetic. The
// reference path every vector path must agree with, and the path on processors without one.
#pragma once

namespace ns_primitives::fft_scalar {

struct lane {
    static constexpr int lanes = 1;
    float v;

    static lane load(const float* p) { return {*p}; }
    static lane splat(float x) { return {x}; }
};

inline lane operator+(lane a, lane b) {
    return {a.v + b.v};
}
inline lane operator-(lane a, lane b) {
    return {a.v - b.v};
}
inline lane operator*(lane a, lane b) {
    return {a.v * b.v};
}
inline void store(float* p, lane a) {
    *p = a.v;
}

// out[4i + k] = lane i of vector k.
inline void interleave4(lane v0, lane v1, lane v2, lane v3, float* out) {
    out[0] = v0.v;
    out[1] = v1.v;
    out[2] = v2.v;
    out[3] = v3.v;
}

} // namespace ns_primitives::fft_scalar
