#pragma once

#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace zq_test {

// A library object with filter work buffers of 2000 floats, released at the end.
struct filter_library : ns_audio_dsp::libdspaudio {
    filter_library() { EXPECT_TRUE(filter_init(2000)); }
    ~filter_library() { filter_destroy(); }
};

// The polynomial c[0] + c[1]·z^-1 + ... + c[order]·z^-order at z = e^(j2πf), in double.
inline std::complex<double> polynomial_at(const float* c, int order, double f) {
    std::complex<double> sum = 0.0;
    for (int k = 0; k <= order; ++k)
        sum += static_cast<double>(c[k]) * std::polar(1.0, -2.0 * M_PI * f * k);
    return sum;
}

// |H| at the frequency f (a fraction of the sample rate) of the stored coefficients.
inline double gain(const float* a, const float* b, int order, double f) {
    return std::abs(polynomial_at(b, order, f) / polynomial_at(a, order, f));
}

// Reference values are quoted to six significant digits.
inline void expect_six_digits(const float* actual, const std::vector<double>& expected) {
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(actual[k], expected[k], 5.1e-6 * std::abs(expected[k]) + 1e-7) << "k " << k;
}

} // namespace zq_test
