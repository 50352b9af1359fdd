// Internal to the library: the direct-form-I kernel shared by every recursive filter
// (arma_filter, arma_filter_2stage, butter_lp), so all of them run the same taps in the same
// order. Not installed.
#pragma once

namespace ns_audio_dsp::detail {

constexpr int k_direct_form_max_order = 8;

// The last N outputs of a recursion, held in locals once inlined: they are the loop-carried
// chain, so they stay in registers, while the inputs are read back from the work buffer.
// at[k] is the output k steps back (at[0] unused). Built from a work buffer whose N entries
// before `block` hold them.
template <int N>
struct delay_line {
    static_assert(N >= 1 && N <= k_direct_form_max_order);

    explicit delay_line(const float* block) {
        for (int k = 1; k <= N; ++k) {
            at[k] = block[-k];
        }
    }
    void push(float newest) {
        for (int k = N; k > 1; --k) {
            at[k] = at[k - 1];
        }
        at[1] = newest;
    }

    float at[N + 1] = {};
};

template <int N>
struct section_coefficients {
    section_coefficients(const float* a_in, const float* b_in) {
        for (int k = 0; k <= N; ++k) {
            a[k] = a_in[k]; // a[0] is never used: the recurrence takes it as 1
            b[k] = b_in[k];
        }
    }

    float a[N + 1];
    float b[N + 1];
};

// One output of a direct-form-I section of order N; x points at the current input in a work
// buffer whose entries before it are the earlier inputs. Each tap is its own line and the taps
// beyond N are discarded at compile time, so every order runs exactly its own terms in the
// fixed order: numerator from delay 0 up, added left to right, then the denominator from
// delay 1 up, subtracted one by one.
template <int N>
float direct_form(const section_coefficients<N>& c, const float* x, const delay_line<N>& y) {
    float sum = c.b[0] * x[0];
    if constexpr (N >= 1) sum = sum + c.b[1] * x[-1];
    if constexpr (N >= 2) sum = sum + c.b[2] * x[-2];
    if constexpr (N >= 3) sum = sum + c.b[3] * x[-3];
    if constexpr (N >= 4) sum = sum + c.b[4] * x[-4];
    if constexpr (N >= 5) sum = sum + c.b[5] * x[-5];
    if constexpr (N >= 6) sum = sum + c.b[6] * x[-6];
    if constexpr (N >= 7) sum = sum + c.b[7] * x[-7];
    if constexpr (N >= 8) sum = sum + c.b[8] * x[-8];
    if constexpr (N >= 1) sum = sum - c.a[1] * y.at[1];
    if constexpr (N >= 2) sum = sum - c.a[2] * y.at[2];
    if constexpr (N >= 3) sum = sum - c.a[3] * y.at[3];
    if constexpr (N >= 4) sum = sum - c.a[4] * y.at[4];
    if constexpr (N >= 5) sum = sum - c.a[5] * y.at[5];
    if constexpr (N >= 6) sum = sum - c.a[6] * y.at[6];
    if constexpr (N >= 7) sum = sum - c.a[7] * y.at[7];
    if constexpr (N >= 8) sum = sum - c.a[8] * y.at[8];
    return sum;
}

// x and y point at the block's first entry; the N entries before each hold the history.
template <int N>
void run_single(const float* a, const float* b, const float* x, float* y, int count) {
    const section_coefficients<N> c(a, b);
    delay_line<N> y_line(y);
    for (int j = 0; j < count; ++j) {
        const float output = direct_form(c, x + j, y_line);
        y[j] = output;
        y_line.push(output);
    }
}

} // namespace ns_audio_dsp::detail
