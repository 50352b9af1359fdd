// What the test suites share: the seeded noise signal, bit-for-bit comparison, the literal
// per-channel filter path, and plain double-precision references for the filters, transforms
// and convolutions.
#pragma once

#include <dsp/arma_lanes.h>
#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace zq_test {

constexpr double k_float_epsilon = 1.0 / (1 << 24);
constexpr float k_sentinel = -12345.0f;

// Uniform noise in [-1, 1), the same for the same seed: the one test signal of the suites.
inline std::vector<float> random_floats(std::size_t count, unsigned seed = 1) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& value : values)
        value = uniform(engine);
    return values;
}

struct split_complex {
    std::vector<float> re;
    std::vector<float> im;
};

inline split_complex random_complex(int count, unsigned seed) {
    return {random_floats(count, seed), random_floats(count, seed + 1000u)};
}

// X[m] = sum x[j] e^(sign 2 pi i jm/N), in double.
inline std::vector<std::complex<double>> direct_dft(const split_complex& x, int sign) {
    const std::size_t n = x.re.size();
    std::vector<std::complex<double>> result(n);
    for (std::size_t m = 0; m < n; ++m)
        for (std::size_t j = 0; j < n; ++j)
            result[m] += std::complex<double>(x.re[j], x.im[j]) *
                         std::polar(1.0, sign * 2.0 * M_PI * static_cast<double>(j * m % n) /
                                             static_cast<double>(n));
    return result;
}

// Largest deviation from `expected`, relative to its RMS magnitude.
inline double relative_error(const split_complex& actual,
                             const std::vector<std::complex<double>>& expected) {
    double worst = 0.0;
    double power = 0.0;
    for (std::size_t m = 0; m < expected.size(); ++m) {
        worst = std::max(worst,
                         std::abs(std::complex<double>(actual.re[m], actual.im[m]) - expected[m]));
        power += std::norm(expected[m]);
    }
    return worst / std::sqrt(power / static_cast<double>(expected.size()));
}

// Float rounding grows about linearly with the number of passes over the data.
inline double fft_error_bound(int order) {
    return 2.0 * std::max(order, 1) * k_float_epsilon;
}

// Checks out[i] against sum x[i - k] h[k] in double, within `roundings` roundings of |x|·|h|
// (which bounds every output and every sum of |x[i - k] h[k]|), and that the float after the
// nx + nh - 1 outputs still holds k_sentinel.
inline void expect_convolution(const std::vector<float>& x, const std::vector<float>& h,
                               const std::vector<float>& out, double roundings) {
    std::vector<double> expected(x.size() + h.size() - 1, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t k = 0; k < h.size(); ++k)
            expected[i + k] += static_cast<double>(x[i]) * h[k];
    const double x_energy = std::inner_product(x.begin(), x.end(), x.begin(), 0.0);
    const double h_energy = std::inner_product(h.begin(), h.end(), h.begin(), 0.0);
    const double tolerance = roundings * k_float_epsilon * std::sqrt(x_energy * h_energy);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(out[i], expected[i], tolerance)
            << "nx " << x.size() << " nh " << h.size() << " i " << i;
    EXPECT_EQ(out[expected.size()], k_sentinel) << "wrote past the end";
}

// Whether two signals hold the same floats bit for bit, naming the first that differs.
inline testing::AssertionResult same_bits(const std::vector<float>& got,
                                          const std::vector<float>& expected) {
    if (got.size() != expected.size())
        return testing::AssertionFailure()
               << got.size() << " samples, expected " << expected.size();
    for (std::size_t i = 0; i < got.size(); ++i)
        if (std::memcmp(&got[i], &expected[i], sizeof(float)) != 0)
            return testing::AssertionFailure()
                   << "sample " << i << " is " << got[i] << ", expected " << expected[i];
    return testing::AssertionSuccess();
}

// A library object with filter work buffers of 2000 floats, released at the end.
struct filter_library : ns_audio_dsp::libdspaudio {
    filter_library() { EXPECT_TRUE(filter_init(2000)); }
    ~filter_library() { filter_destroy(); }
};

// Each channel of an interleaved block filtered in turn by arma_filter or arma_filter_2stage,
// channel c going on from filter_state[c]: the literal path every faster one must reproduce.
inline void filter_each_channel(ns_audio_dsp::libdspaudio& dsp,
                                const ns_audio_dsp::arma_sections& s,
                                std::vector<float>& interleaved, int channels) {
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    const int n = static_cast<int>(frames);
    std::vector<float> channel(frames);
    for (int c = 0; c < channels; ++c) {
        for (std::size_t f = 0; f < frames; ++f)
            channel[f] = interleaved[f * channels + c];
        const float* out = s.two_stage ? dsp.arma_filter_2stage(channel.data(), n, s.a1, s.b1, s.a2,
                                                                s.b2, s.order, c)
                                       : dsp.arma_filter(channel.data(), n, s.a1, s.b1, s.order, c);
        for (std::size_t f = 0; f < frames; ++f)
            interleaved[f * channels + c] = out[f];
    }
}

// What a section of the exact filter holds: a Butterworth design of order 4 or 2.
enum class section_design { none, low4, high4, high2 };

// Interleaved channels through the literal recursions of sections designed straight through
// the library, at cut-offs given as fractions of the rate. A second section makes the cascade
// two-stage, two second-order high-passes make it order 2; a second-order first section of an
// order-4 cascade has its higher coefficients zero.
inline std::vector<float> filtered_as_designed(section_design first, section_design second,
                                               float high, float low,
                                               std::vector<float> interleaved, int channels) {
    if (first == section_design::none) return interleaved;
    filter_library dsp;
    float a1[9] = {}, b1[9] = {}, a2[5] = {}, b2[5] = {};
    const auto design = [&](section_design d, float* a, float* b) {
        if (d == section_design::low4) dsp.butter_lp_design(low, 4, a, b);
        if (d == section_design::high4) dsp.butter_hp_design(high, 4, a, b);
        if (d == section_design::high2) dsp.butter_hp_design(high, 2, a, b);
    };
    design(first, a1, b1);
    design(second, a2, b2);
    const int order = second == section_design::high2 ? 2 : 4;
    filter_each_channel(dsp, {second != section_design::none, order, a1, b1, a2, b2}, interleaved,
                        channels);
    return interleaved;
}

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
