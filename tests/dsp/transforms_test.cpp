#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

constexpr double k_float_epsilon = 1.0 / (1 << 24);
constexpr float k_sentinel = -12345.0f;
constexpr int k_mdct_sizes[] = {128, 256, 512, 2048};

class Transforms : public ::testing::Test {
protected:
    std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();
};

std::vector<float> random_floats(int count, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> values(static_cast<std::size_t>(count));
    for (float& value : values)
        value = uniform(engine);
    return values;
}

// X[m] = sum x[j] e^(-2 pi i jm/N), in double.
std::vector<std::complex<double>> direct_dft(const std::vector<float>& re,
                                             const std::vector<float>& im) {
    const std::size_t n = re.size();
    std::vector<std::complex<double>> result(n);
    for (std::size_t m = 0; m < n; ++m)
        for (std::size_t j = 0; j < n; ++j)
            result[m] += std::complex<double>(re[j], im[j]) *
                         std::polar(1.0, -2.0 * M_PI * static_cast<double>(j * m % n) /
                                             static_cast<double>(n));
    return result;
}

double rms(const std::vector<double>& values) {
    double power = 0.0;
    for (double value : values)
        power += value * value;
    return std::sqrt(power / static_cast<double>(values.size()));
}

// Largest deviation from `expected`, relative to its RMS.
double relative_error(const std::vector<float>& actual, const std::vector<double>& expected) {
    double worst = 0.0;
    for (std::size_t t = 0; t < expected.size(); ++t)
        worst = std::max(worst, std::abs(actual[t] - expected[t]));
    return worst / rms(expected);
}

double relative_error(const std::vector<float>& re, const std::vector<float>& im,
                      const std::vector<std::complex<double>>& expected) {
    double worst = 0.0;
    double power = 0.0;
    for (std::size_t m = 0; m < expected.size(); ++m) {
        worst = std::max(worst, std::abs(std::complex<double>(re[m], im[m]) - expected[m]));
        power += std::norm(expected[m]);
    }
    return worst / std::sqrt(power / static_cast<double>(expected.size()));
}

double fft_error_bound(int order) {
    return 2.0 * std::max(order, 1) * k_float_epsilon;
}

// The radix-2 kit's twiddles come from float-rounded angles, good to about two roundings.
double kit_error_bound(int order) {
    return 3.0 * order * k_float_epsilon;
}

// cos((2 pi/n)(j + 1/2 + n/4)(k + 1/2)), the kernel both MDCT directions share.
double mdct_kernel(int n, int j, int k) {
    return std::cos(2.0 * M_PI / n * (j + 0.5 + n / 4.0) * (k + 0.5));
}

// The single-precision twiddle rotation drifts by up to a rounding or two per step, over n/4
// steps.
double mdct_error_bound(int n) {
    return 2.0 * (n / 4 + 32) * k_float_epsilon;
}

TEST_F(Transforms, FftMatchesDirectDftForEveryOrder) {
    for (int order = 1; order < libdspaudio::k_fft_orders; ++order) {
        SCOPED_TRACE(order);
        std::vector<float> re = random_floats(1 << order, 1);
        std::vector<float> im = random_floats(1 << order, 2);
        const std::vector<std::complex<double>> expected = direct_dft(re, im);
        dsp->fft(re.data(), im.data(), order);
        EXPECT_LE(relative_error(re, im, expected), fft_error_bound(order));
    }
}

TEST_F(Transforms, ImpulseGivesAllOnesAndInverseGivesNTimesInput) {
    for (int order = 0; order < libdspaudio::k_fft_orders; ++order) {
        SCOPED_TRACE(order);
        const int n = 1 << order;
        std::vector<float> re(n, 0.0f);
        std::vector<float> im(n, 0.0f);
        re[0] = 1.0f;
        dsp->fft(re.data(), im.data(), order);
        EXPECT_EQ(re, std::vector<float>(n, 1.0f));
        EXPECT_EQ(im, std::vector<float>(n, 0.0f));

        const std::vector<float> input_re = random_floats(n, 3);
        const std::vector<float> input_im = random_floats(n, 4);
        re = input_re;
        im = input_im;
        dsp->fft(re.data(), im.data(), order);
        dsp->ffti(re.data(), im.data(), order);
        const double size = n;
        for (int t = 0; t < n; ++t) {
            EXPECT_NEAR(re[t], size * input_re[t], 1e-5 * size) << t;
            EXPECT_NEAR(im[t], size * input_im[t], 1e-5 * size) << t;
        }
    }
}

TEST_F(Transforms, RefusedOrdersLeaveArraysUntouched) {
    for (int order : {0, -1, -30, libdspaudio::k_fft_orders, 40}) {
        std::vector<float> re = {k_sentinel, 2.0f, 3.0f, 4.0f};
        std::vector<float> im = {5.0f, k_sentinel, 7.0f, 8.0f};
        const std::vector<float> original_re = re;
        const std::vector<float> original_im = im;
        dsp->fft(re.data(), im.data(), order);
        dsp->ffti(re.data(), im.data(), order);
        dsp->reorder(re.data(), order);
        dsp->check_tables(order);
        EXPECT_EQ(re, original_re) << order;
        EXPECT_EQ(im, original_im) << order;
    }
    for (int order = 1; order < libdspaudio::k_fft_orders; ++order) {
        EXPECT_EQ(dsp->cos_table[order], nullptr);
        EXPECT_EQ(dsp->bitrev_table[order], nullptr);
    }
}

TEST_F(Transforms, TablesAreBuiltOnceWithForwardTwiddles) {
    dsp->check_tables(0);
    float* const empty_cos = dsp->cos_table[0];
    EXPECT_NE(empty_cos, nullptr);
    EXPECT_NE(dsp->sin_table[0], nullptr);
    dsp->check_tables(0);
    EXPECT_EQ(dsp->cos_table[0], empty_cos);

    dsp->check_tables(3);
    const float expected_cos[] = {1.0f, 0.7071068f, 0.0f, -0.7071068f};
    const float expected_sin[] = {0.0f, -0.7071068f, -1.0f, -0.7071068f};
    for (int t = 0; t < 4; ++t) {
        EXPECT_NEAR(dsp->cos_table[3][t], expected_cos[t], 1e-7) << t;
        EXPECT_NEAR(dsp->sin_table[3][t], expected_sin[t], 1e-7) << t;
    }

    // Angles are rounded to float before the double-precision cosine: half an ulp of pi.
    constexpr int order = 11;
    dsp->check_tables(order);
    for (int t = 0; t < 1024; ++t) {
        const double angle = 2.0 * M_PI * t / 2048;
        ASSERT_NEAR(dsp->cos_table[order][t], std::cos(angle), 2.5e-7) << t;
        ASSERT_NEAR(dsp->sin_table[order][t], -std::sin(angle), 2.5e-7) << t;
    }
}

TEST_F(Transforms, ReorderIsTheBitReversalInvolution) {
    std::vector<float> data = {0, 1, 2, 3, 4, 5, 6, 7};
    dsp->reorder(data.data(), 3);
    EXPECT_EQ(data, (std::vector<float>{0, 4, 2, 6, 1, 5, 3, 7}));
    dsp->reorder(data.data(), 3);
    EXPECT_EQ(data, (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7}));

    std::vector<float> single = {k_sentinel};
    dsp->reorder(single.data(), 0);
    EXPECT_EQ(single[0], k_sentinel);
    EXPECT_EQ(dsp->bitrev_table[0][0], 0);

    // 0b00000000011 <-> 0b11000000000 among 2048 positions.
    std::vector<float> ramp(2048);
    for (int t = 0; t < 2048; ++t)
        ramp[t] = static_cast<float>(t);
    const std::vector<float> original = ramp;
    dsp->reorder(ramp.data(), 11);
    EXPECT_EQ(ramp[3], 1536.0f);
    EXPECT_EQ(ramp[1536], 3.0f);
    EXPECT_EQ(ramp[1], 1024.0f);
    dsp->reorder(ramp.data(), 11);
    EXPECT_EQ(ramp, original);
}

TEST_F(Transforms, FftProcAfterReorderAgreesWithFft) {
    for (int order = 1; order < libdspaudio::k_fft_orders; ++order) {
        SCOPED_TRACE(order);
        std::vector<float> re = random_floats(1 << order, 5);
        std::vector<float> im = random_floats(1 << order, 6);
        const std::vector<std::complex<double>> expected = direct_dft(re, im);
        dsp->check_tables(order);
        dsp->reorder(re.data(), order);
        dsp->reorder(im.data(), order);
        dsp->fft_proc(re.data(), im.data(), dsp->cos_table[order], dsp->sin_table[order],
                      1 << order);
        EXPECT_LE(relative_error(re, im, expected), kit_error_bound(order));
    }
}

TEST_F(Transforms, FftProcRefusesLengthsItCannotTransform) {
    dsp->check_tables(4);
    for (int n : {-8, 0, 1, 3, 6, 12}) {
        std::vector<float> re(16, k_sentinel);
        std::vector<float> im(16, 2.0f);
        dsp->fft_proc(re.data(), im.data(), dsp->cos_table[4], dsp->sin_table[4], n);
        EXPECT_EQ(re, std::vector<float>(16, k_sentinel)) << n;
        EXPECT_EQ(im, std::vector<float>(16, 2.0f)) << n;
    }
}

TEST_F(Transforms, MdctMatchesDirectSumWithMirroredUpperHalf) {
    for (int n : k_mdct_sizes) {
        SCOPED_TRACE(n);
        std::vector<float> x = random_floats(n, 7);
        std::vector<double> expected(n / 2);
        for (int k = 0; k < n / 2; ++k)
            for (int j = 0; j < n; ++j)
                expected[k] += 2.0 * x[j] * mdct_kernel(n, j, k);
        dsp->mdct(x.data(), n);
        EXPECT_LE(relative_error(x, expected), mdct_error_bound(n));
        for (int k = 0; k < n / 2; ++k)
            ASSERT_EQ(x[n - 1 - k], -x[k]) << k;
    }
}

TEST_F(Transforms, ImdctMatchesDirectSum) {
    for (int n : k_mdct_sizes) {
        SCOPED_TRACE(n);
        std::vector<float> x = random_floats(n / 2, 8);
        x.resize(n, k_sentinel);
        std::vector<double> expected(n);
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n / 2; ++k)
                expected[j] += 2.0 / n * x[k] * mdct_kernel(n, j, k);
        dsp->imdct(x.data(), n);
        EXPECT_LE(relative_error(x, expected), mdct_error_bound(n));
    }
}

TEST_F(Transforms, RefusedMdctSizesLeaveFrameUntouched) {
    for (int n : {-128, 0, 8, 64, 1024, 4096}) {
        std::vector<float> x(4096, k_sentinel);
        dsp->mdct(x.data(), n);
        dsp->imdct(x.data(), n);
        EXPECT_EQ(x, std::vector<float>(4096, k_sentinel)) << n;
    }
}

} // namespace
