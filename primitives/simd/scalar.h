// Scalar emulation of the vector vocabulary: `W` lanes of plain float (or double) arithmetic,
// lane by lane. The reference every vector path must agree with, and the path on processors
// without one: the FFT takes it one lane wide, the filter lanes four wide, the precise
// realization one double wide.
#pragma once

#include "encoding.h"

namespace ns_primitives::simd_scalar {
inline namespace ZQ_SIMD_ENCODING {

template <int W, typename T = float>
struct vec {
    static constexpr int lanes = W;
    T v[W];

    static vec load(const T* p) { return load_first(p, W); }
    static vec splat(T x) {
        vec r;
        for (int i = 0; i < W; ++i)
            r.v[i] = x;
        return r;
    }
    // The first `count` (1..W) values at p, the other lanes zero; reads nothing beyond them.
    static vec load_first(const T* p, int count) {
        vec r{};
        for (int i = 0; i < count; ++i)
            r.v[i] = p[i];
        return r;
    }
};

using lane = vec<1>;
using vec4 = vec<4>;
using double_lane = vec<1, double>;

template <int W, typename T>
vec<W, T> operator+(vec<W, T> a, vec<W, T> b) {
    for (int i = 0; i < W; ++i)
        a.v[i] = a.v[i] + b.v[i];
    return a;
}
template <int W, typename T>
vec<W, T> operator-(vec<W, T> a, vec<W, T> b) {
    for (int i = 0; i < W; ++i)
        a.v[i] = a.v[i] - b.v[i];
    return a;
}
template <int W, typename T>
vec<W, T> operator*(vec<W, T> a, vec<W, T> b) {
    for (int i = 0; i < W; ++i)
        a.v[i] = a.v[i] * b.v[i];
    return a;
}
// The first `count` (1..W) lanes to p; writes nothing beyond them.
template <int W, typename T>
void store_first(T* p, vec<W, T> a, int count) {
    for (int i = 0; i < count; ++i)
        p[i] = a.v[i];
}
template <int W, typename T>
void store(T* p, vec<W, T> a) {
    store_first(p, a, W);
}

// out[4i + k] = lane i of vector k.
inline void interleave4(lane v0, lane v1, lane v2, lane v3, float* out) {
    out[0] = v0.v[0];
    out[1] = v1.v[0];
    out[2] = v2.v[0];
    out[3] = v3.v[0];
}

} // namespace ZQ_SIMD_ENCODING
} // namespace ns_primitives::simd_scalar
