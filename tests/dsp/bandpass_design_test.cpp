#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

constexpr double k_pi = 3.14159265358979323846;

// H(e^j2πf) of the stored coefficients, evaluated in double.
double gain(const float* a, const float* b, int order, double f) {
    std::complex<double> numerator, denominator;
    for (int k = 0; k <= order; ++k) {
        const std::complex<double> z_k = std::polar(1.0, -2.0 * k_pi * f * k);
        numerator += static_cast<double>(b[k]) * z_k;
        denominator += static_cast<double>(a[k]) * z_k;
    }
    return std::abs(numerator / denominator);
}

// Reference values are given to six significant digits.
void expect_six_digits(const float* actual, std::initializer_list<double> expected) {
    int k = 0;
    for (double value : expected) {
        EXPECT_NEAR(actual[k], value, 5e-6 * std::fabs(value) + 1e-7) << "k " << k;
        ++k;
    }
}

class BandPassDesign : public ::testing::Test {
protected:
    std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();
    float a[21];
    float b[21];

    void SetUp() override {
        std::fill(std::begin(a), std::end(a), 42.0f);
        std::fill(std::begin(b), std::end(b), 42.0f);
    }
};

TEST_F(BandPassDesign, OrdersFourAndEightOverTheBand) {
    dsp->butter_bp_design(0.2f, 0.1f, 4, a, b);
    expect_six_digits(b, {0.0674612, 0, -0.134922, 0, 0.0674612});
    expect_six_digits(a, {1, -1.94247, 2.1192, -1.21665, 0.412802});
    EXPECT_EQ(b[1], 0.0f);
    EXPECT_EQ(b[3], 0.0f);
    EXPECT_EQ(a[5], 42.0f);
    EXPECT_EQ(b[5], 42.0f);
    EXPECT_NEAR(std::pow(gain(a, b, 4, 0.1), 2), 0.50009, 1e-5);
    EXPECT_NEAR(std::pow(gain(a, b, 4, 0.2), 2), 0.50009, 1e-5);
    EXPECT_NEAR(gain(a, b, 4, 0.15), 1.0, 1e-5);
    EXPECT_LT(gain(a, b, 4, 0.0), 1e-6);
    EXPECT_LT(gain(a, b, 4, 0.5), 1e-6);

    dsp->butter_bp_design(0.2f, 0.1f, 8, a, b);
    expect_six_digits(b, {0.00482434, 0, -0.0192974, 0, 0.0289461, 0, -0.0192974, 0, 0.00482434});
    expect_six_digits(
        a, {1, -3.93658, 8.26039, -11.2174, 10.7836, -7.39144, 3.5765, -1.11505, 0.187379});
    EXPECT_NEAR(gain(a, b, 8, 0.15), 1.0, 1e-5);
}

// A Butterworth band-pass has the same poles whichever route designs it. Denominator from
// scipy 1.10: signal.butter(6, [0.1, 0.6], 'bandpass'), edges relative to half the sample rate.
TEST_F(BandPassDesign, OrderTwelveDenominatorMatchesScipy) {
    dsp->butter_bp_design(0.3f, 0.05f, 12, a, b);
    expect_six_digits(a, {1, -3.85224, 6.5038, -7.11508, 6.70342, -5.60689, 3.55097, -1.69993,
                          0.743836, -0.276804, 0.057901, -0.00674498, 0.00175093});
    EXPECT_NEAR(gain(a, b, 12, 0.175), 1.0, 1e-5);
}

// An odd prototype order leaves its last section an empty pole slot: two zeros, no poles.
TEST_F(BandPassDesign, OrdersOfTheFormFourKPlusTwo) {
    dsp->butter_bp_design(0.2f, 0.1f, 2, a, b);
    expect_six_digits(a, {1, 0, 0});
    expect_six_digits(b, {0.618034, 0, -0.618034});

    dsp->butter_bp_design(0.2f, 0.1f, 6, a, b);
    EXPECT_EQ(a[5], 0.0f);
    EXPECT_EQ(a[6], 0.0f);
    EXPECT_NEAR(gain(a, b, 6, 0.15), 1.0, 1e-5);
}

TEST_F(BandPassDesign, OrdersOutsideTheWorkingStorageWriteNothing) {
    dsp->butter_bp_design(0.2f, 0.1f, -1, a, b);
    dsp->butter_bp_design(0.2f, 0.1f, 20, a, b);
    for (int k = 0; k < 21; ++k)
        EXPECT_TRUE(a[k] == 42.0f && b[k] == 42.0f) << k;
}

TEST(BiquadLowPassDesign, WorkedValuesAndGains) {
    const auto dsp = std::make_unique<libdspaudio>();
    float c[6];
    dsp->biquad_lp_design(0.1f, c);
    expect_six_digits(c, {1.29389, -1.25052, 0.545723, 0.0738017, 0.147603, 0.0738017});
    const float a[3] = {1.0f, c[1], c[2]}; // element 0 holds a0 itself
    EXPECT_NEAR(gain(a, c + 3, 2, 0.0), 1.0, 1e-6);
    EXPECT_NEAR(gain(a, c + 3, 2, 0.1), 1.0, 1e-6);
    // The analogue peak of Q = 1 lies at the cut-off over sqrt(2), pre-warped.
    const double peak = std::atan(std::tan(k_pi * 0.1) / std::sqrt(2.0)) / k_pi;
    EXPECT_NEAR(gain(a, c + 3, 2, peak), 2.0 / std::sqrt(3.0), 1e-5);
}

// ---- One-shot eighth-order low-pass --------------------------------------------------------

class OneShotLowPass : public ::testing::Test {
protected:
    std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();
    std::vector<float> input = std::vector<float>(5000);

    void SetUp() override {
        ASSERT_TRUE(dsp->filter_init(2000));
        for (std::size_t i = 0; i < input.size(); ++i) // a tone far above the cut-off, on DC
            input[i] = std::sin(2.0f * static_cast<float>(i)) + 0.5f;
    }
    void TearDown() override { dsp->filter_destroy(); }
};

TEST_F(OneShotLowPass, HistoryKeepsTheLastEightSamplesOldestFirst) {
    libdspaudio::channel_history& history = dsp->filter_state[3];
    for (int k = 0; k < 8; ++k) {
        history.x_history[k] = static_cast<float>(k);
        history.y_history[k] = static_cast<float>(10 + k);
    }
    float output[5] = {9, 9, 9, 9, 9};
    dsp->butter_lp(input.data(), 0.1f, 5, output, 10); // refused channel
    EXPECT_EQ(output[0], 9.0f);
    dsp->butter_lp(input.data(), 0.1f, 5, output, 3);

    const float expected_y[3] = {15, 16, 17};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(history.x_history[k], k < 3 ? static_cast<float>(5 + k) : input[k - 3]);
        EXPECT_EQ(history.y_history[k], k < 3 ? expected_y[k] : output[k - 3]);
    }
    EXPECT_EQ(dsp->filter_state[4].x_history[7], 0.0f) << "another channel was touched";
}

TEST_F(OneShotLowPass, BlockSplitsDoNotChangeTheOutput) {
    std::vector<float> whole(input.size());
    std::vector<float> split(input.size());
    dsp->butter_lp(input.data(), 0.05f, 200, whole.data(), 0);
    dsp->butter_lp(input.data(), 0.05f, 100, split.data(), 1);
    dsp->butter_lp(input.data() + 100, 0.05f, 100, split.data() + 100, 1);
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 200, split.begin()));

    // Beyond one buffer (2092 samples) the block is filtered piecewise, to the same samples.
    dsp->butter_lp(input.data(), 0.05f, 5000, whole.data(), 2);
    for (int first = 0; first < 5000; first += 1000)
        dsp->butter_lp(input.data() + first, 0.05f, 1000, split.data() + first, 5);
    EXPECT_EQ(whole, split);
    EXPECT_NEAR(whole.back(), 0.5f, 0.01f);
}

TEST_F(OneShotLowPass, MatchesTheDesignedFilterRunInDouble) {
    float a[9];
    float b[9];
    dsp->butter_lp_design(0.1f, 8, a, b);
    std::vector<float> output(600);
    dsp->butter_lp(input.data(), 0.1f, 600, output.data(), 9);
    std::vector<double> y(output.size(), 0.0);
    for (std::size_t t = 0; t < y.size(); ++t) {
        for (std::size_t k = 0; k <= 8 && k <= t; ++k)
            y[t] += static_cast<double>(b[k]) * input[t - k] -
                    (k > 0 ? static_cast<double>(a[k]) * y[t - k] : 0.0);
        // Poles close to z = 1 amplify the float rounding of the recursion.
        ASSERT_NEAR(output[t], y[t], 1e-3) << t;
    }
}

} // namespace
