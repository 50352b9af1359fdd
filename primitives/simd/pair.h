// Two vectors of one vocabulary as one twice as wide, for an instruction set whose widest
// double vector is too narrow: lanes 0 .. V::lanes - 1 in `low`, the rest in `high`. Built only
// from V's own operations, so it is encoded as V is.
#pragma once

namespace ns_primitives::simd {

template <class V>
struct pair {
    static constexpr int lanes = 2 * V::lanes;
    V low, high;

    static pair load(const double* p) { return {V::load(p), V::load(p + V::lanes)}; }
    static pair splat(double x) { return {V::splat(x), V::splat(x)}; }
};

template <class V>
pair<V> operator+(pair<V> a, pair<V> b) {
    return {a.low + b.low, a.high + b.high};
}
template <class V>
pair<V> operator-(pair<V> a, pair<V> b) {
    return {a.low - b.low, a.high - b.high};
}
template <class V>
pair<V> operator*(pair<V> a, pair<V> b) {
    return {a.low * b.low, a.high * b.high};
}
template <class V>
void store(double* p, pair<V> a) {
    store(p, a.low);
    store(p + V::lanes, a.high);
}
template <class V>
pair<V> shift_in(pair<V> a, double x) {
    return {shift_in(a.low, x), shift_in(a.high, last_lane(a.low))};
}
template <class V>
double last_lane(pair<V> a) {
    return last_lane(a.high);
}

} // namespace ns_primitives::simd
