#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

class Analysis : public ::testing::Test {
protected:
    std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();
};

TEST_F(Analysis, AutocorrelationLagsAndShortInputs) {
    float x[4] = {1, 2, -3, 4};
    float r[5];
    dsp->autocorrelation(4, 4, x, r);
    const float expected[5] = {30, 2 - 6 - 12, -3 + 8, 4, 0};
    for (int l = 0; l < 5; ++l)
        EXPECT_EQ(r[l], expected[l]) << l;

    float one = -3.0f;
    dsp->autocorrelation(2, 1, &one, r);
    EXPECT_TRUE(r[0] == 9.0f && r[1] == 0.0f && r[2] == 0.0f);
    dsp->autocorrelation(-1, 1, x, r);
    EXPECT_EQ(r[0], 9.0f);
}

// The textbook recursion in double from the same single-precision autocorrelation, so that
// only the recursion's own rounding separates it from the library's.
double reference_levinson(const std::vector<float>& r, std::vector<double>& reflection) {
    const std::size_t order = r.size() - 1;
    std::vector<double> p(r.size(), 0.0);
    p[0] = 1.0;
    double error = r[0];
    reflection.assign(r.size(), 0.0);
    for (std::size_t i = 1; i <= order; ++i) {
        double acc = 0.0;
        for (std::size_t j = 0; j < i; ++j)
            acc += p[j] * r[i - j];
        const double k = -acc / error;
        const std::vector<double> old = p;
        for (std::size_t j = 1; j < i; ++j)
            p[j] = old[j] + k * old[i - j];
        p[i] = reflection[i] = k;
        error *= 1.0 - k * k;
    }
    return r[0] / error;
}

TEST_F(Analysis, LevinsonDurbinAgreesWithDoubleRecursion) {
    // A resonant AR(2) process: strongly predictable, still well conditioned.
    std::mt19937 engine(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> x(4000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = noise(engine) + (i >= 2 ? 1.6f * x[i - 1] - 0.8f * x[i - 2] : 0.0f);
    for (int order : {1, 2, 10, 20}) {
        std::vector<float> r(static_cast<std::size_t>(order) + 1);
        dsp->autocorrelation(order, 4000, x.data(), r.data());
        std::vector<double> reflection;
        const double expected_gain = reference_levinson(r, reflection);
        std::vector<float> a(r.size());
        const double gain = dsp->levinson_durbin(order, 4000, x.data(), a.data());
        EXPECT_NEAR(gain, expected_gain, 1e-5 * expected_gain) << "order " << order;
        EXPECT_EQ(a[0], 1.0f);
        for (int i = 1; i <= order; ++i)
            EXPECT_NEAR(a[i], reflection[i], 1e-5) << "order " << order << " i " << i;
    }
}

TEST_F(Analysis, LevinsonDurbinEdgeCases) {
    float zeros[6] = {};
    float a[22] = {9, 9, 9, 9};
    EXPECT_EQ(dsp->levinson_durbin(3, 6, zeros, a), 0.0);
    EXPECT_TRUE(a[0] == 1.0f && a[1] == 0.0f && a[3] == 0.0f);

    float x[3] = {1, 2, 3}; // r0 = 14, r1 = 8
    a[1] = 9.0f;
    EXPECT_EQ(dsp->levinson_durbin(0, 3, x, a), 1.0);
    EXPECT_EQ(a[1], 9.0f);
    const float k = static_cast<float>(-8.0 / 14.0);
    const float error = static_cast<float>(14.0 * (1.0 - static_cast<double>(k) * k));
    EXPECT_EQ(dsp->levinson_durbin(1, 3, x, a), 14.0 / static_cast<double>(error));
    EXPECT_EQ(a[1], k);

    a[0] = 5.0f;
    EXPECT_EQ(dsp->levinson_durbin(21, 3, x, a), 0.0); // beyond the fixed work space
    EXPECT_EQ(a[0], 5.0f);
}

TEST_F(Analysis, MovingAverage) {
    std::vector<float> x(1000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = std::cos(0.01f * static_cast<float>(i)) + 1.0f;
    std::vector<float> out(x.size(), 0.0f);
    int length = -1;
    for (int w : {1, 31, 1000}) {
        EXPECT_EQ(dsp->average(1000, x.data(), w, &length, out.data()), 1);
        ASSERT_EQ(length, 1000 - w + 1);
        for (int j = 0; j < length; ++j) {
            double sum = 0.0;
            for (int i = j; i < j + w; ++i)
                sum += x[i];
            // The recursive update carries one rounding per step along the array.
            ASSERT_NEAR(out[j], sum / w, 1e-4) << "w " << w << " j " << j;
        }
    }
    out[0] = 7.0f;
    EXPECT_EQ(dsp->average(3, x.data(), 0, &length, out.data()), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(dsp->average(3, x.data(), 4, &length, out.data()), 0);
    EXPECT_EQ(out[0], 7.0f);
}

TEST_F(Analysis, Downsample) {
    float data[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    float out[12] = {};
    EXPECT_EQ(dsp->downsample(data, out, 3, 10, 1, libdspaudio::stereo_planar), 4);
    EXPECT_TRUE(out[0] == 0 && out[1] == 3 && out[2] == 6 && out[3] == 9);
    EXPECT_EQ(dsp->downsample(data, out, 2, 8, 2, libdspaudio::stereo_interleaved), 4);
    EXPECT_TRUE(out[0] == 0 && out[1] == 1 && out[2] == 4 && out[3] == 5);
    // Any non-zero storage type is planar.
    EXPECT_EQ(
        dsp->downsample(data, out, 1, 10, 2, static_cast<libdspaudio::stereo_storage_type>(7)), 10);
    // Refusals, and a trailing partial frame that is not read.
    EXPECT_EQ(dsp->downsample(data, out, 0, 12, 1, libdspaudio::stereo_planar), 0);
    EXPECT_EQ(dsp->downsample(data, out, 2, 0, 1, libdspaudio::stereo_planar), 0);
    EXPECT_EQ(dsp->downsample(data, out, 2, 8, 0, libdspaudio::stereo_interleaved), 0);
    EXPECT_EQ(dsp->downsample(data, out, 1, 5, 2, libdspaudio::stereo_interleaved), 4);

    EXPECT_EQ(dsp->downsample(data, data, 2, 12, 3, libdspaudio::stereo_interleaved), 6);
    const float in_place[6] = {0, 1, 2, 6, 7, 8};
    EXPECT_TRUE(std::equal(in_place, in_place + 6, data));
}

} // namespace
