// Internal to the library: the direct-form-I arithmetic shared by every recursive filter
// (arma_filter, arma_filter_2stage, butter_lp and the channel lanes of arma_lanes.h), so all
// of them run the same taps in the same order. Written over a value type: float for one
// channel, or a vector that holds one channel per lane, whose lanes then each compute exactly
// what the float kernel computes. Not installed.
#pragma once

#include <type_traits>

namespace ns_audio_dsp::detail {

constexpr int k_direct_form_max_order = 8;
constexpr int k_cascade_max_order = 4;

// The recent values of a recursion, held in locals once inlined: they are the loop-carried
// chain, so they stay in registers. at[k] is the value k steps back; at[0] is the current
// input in a line of inputs and unused in a line of outputs.
template <int N, class V = float>
struct delay_line {
    static_assert(N >= 1 && N <= k_direct_form_max_order);

    void push(V newest) {
        for (int k = N; k > 1; --k) {
            at[k] = at[k - 1];
        }
        at[1] = newest;
    }
    const V& operator[](int k) const { return at[k]; }

    V at[N + 1] = {};
};

// The N values before `block` in a work buffer, as a delay line.
template <int N>
delay_line<N> line_before(const float* block) {
    delay_line<N> line;
    for (int k = 1; k <= N; ++k) {
        line.at[k] = block[-k];
    }
    return line;
}

// A work buffer seen from its current entry: [k] is the entry k steps back.
struct buffer_view {
    const float* now;
    float operator[](int k) const { return now[-k]; }
};

template <class V>
V broadcast(float x) {
    if constexpr (std::is_same_v<V, float>)
        return x;
    else
        return V::splat(x);
}

template <int N, class V = float>
struct section_coefficients {
    section_coefficients(const float* a_in, const float* b_in) {
        for (int k = 0; k <= N; ++k) {
            a[k] = broadcast<V>(a_in[k]); // a[0] is never used: the recurrence takes it as 1
            b[k] = broadcast<V>(b_in[k]);
        }
    }

    V a[N + 1];
    V b[N + 1];
};

// One output of a direct-form-I section of order N: x[k] is the input k steps back (x[0] the
// current one), y[k] the output k steps back; each coefficient multiplies the value (float,
// or a vector of channels, one per lane) that x and y hold. Each tap is its own line and the taps
// beyond N are discarded at compile time, so every order runs exactly its own terms in the fixed
// order: numerator from delay 0 up, added left to right, then the denominator from delay 1
// up, subtracted one by one.
template <int N, class C, class Inputs, class Outputs>
auto direct_form(const section_coefficients<N, C>& c, const Inputs& x, const Outputs& y) {
    auto sum = c.b[0] * x[0];
    if constexpr (N >= 1) sum = sum + c.b[1] * x[1];
    if constexpr (N >= 2) sum = sum + c.b[2] * x[2];
    if constexpr (N >= 3) sum = sum + c.b[3] * x[3];
    if constexpr (N >= 4) sum = sum + c.b[4] * x[4];
    if constexpr (N >= 5) sum = sum + c.b[5] * x[5];
    if constexpr (N >= 6) sum = sum + c.b[6] * x[6];
    if constexpr (N >= 7) sum = sum + c.b[7] * x[7];
    if constexpr (N >= 8) sum = sum + c.b[8] * x[8];
    if constexpr (N >= 1) sum = sum - c.a[1] * y[1];
    if constexpr (N >= 2) sum = sum - c.a[2] * y[2];
    if constexpr (N >= 3) sum = sum - c.a[3] * y[3];
    if constexpr (N >= 4) sum = sum - c.a[4] * y[4];
    if constexpr (N >= 5) sum = sum - c.a[5] * y[5];
    if constexpr (N >= 6) sum = sum - c.a[6] * y[6];
    if constexpr (N >= 7) sum = sum - c.a[7] * y[7];
    if constexpr (N >= 8) sum = sum - c.a[8] * y[8];
    return sum;
}

// Two sections in cascade over `count` steps, second(j) needing first(j): the second runs
// k_cascade_skew steps behind the first. Its numerator sums from the first section's newest
// output, so one step behind it would still wait for that output; two steps behind, both
// recursions' chains run side by side (measured: 1.08x the bound of one chain, against 1.2x
// and more for one step).
constexpr int k_cascade_skew = 2;

template <class First, class Second>
void run_skewed(int count, First first, Second second) {
    const int lead = count < k_cascade_skew ? count : k_cascade_skew;
    for (int j = 0; j < lead; ++j)
        first(j);
    for (int j = lead; j < count; ++j) {
        first(j);
        second(j - k_cascade_skew);
    }
    for (int j = count - lead; j < count; ++j)
        second(j);
}

// x and y point at the block's first entry; the N entries before each hold the history.
template <int N>
void run_single(const float* a, const float* b, const float* x, float* y, int count) {
    const section_coefficients<N> c(a, b);
    delay_line<N> y_line = line_before<N>(y);
    for (int j = 0; j < count; ++j) {
        const float output = direct_form(c, buffer_view{x + j}, y_line);
        y[j] = output;
        y_line.push(output);
    }
}

} // namespace ns_audio_dsp::detail
