#include <dsp/libdspaudio>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

// The textbook recursion in double from the same single-precision autocorrelation, so that
// only the recursion's own rounding separates it from the library's. Returns the gain.
double reference_levinson(const std::vector<float>& r, std::vector<double>& reflection) {
    std::vector<double> p(r.size(), 0.0);
    p[0] = 1.0;
    double error = r[0];
    reflection.assign(r.size(), 0.0);
    for (std::size_t i = 1; i < r.size(); ++i) {
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

TEST(Analysis, LevinsonDurbinAgreesWithADoubleRecursion) {
    const auto dsp = std::make_unique<libdspaudio>();
    // A resonant AR(2) process: strongly predictable, still well conditioned.
    std::vector<float> x = zq_test::random_floats(4000, 5);
    for (std::size_t i = 2; i < x.size(); ++i)
        x[i] += 1.6f * x[i - 1] - 0.8f * x[i - 2];
    for (int order : {1, 2, 10, 20}) {
        std::vector<float> r(static_cast<std::size_t>(order) + 1), a(r.size());
        dsp->autocorrelation(order, 4000, x.data(), r.data());
        std::vector<double> reflection;
        const double expected_gain = reference_levinson(r, reflection);
        const double gain = dsp->levinson_durbin(order, 4000, x.data(), a.data());
        EXPECT_NEAR(gain, expected_gain, 1e-5 * expected_gain) << "order " << order;
        EXPECT_EQ(a[0], 1.0f);
        for (int i = 1; i <= order; ++i)
            EXPECT_NEAR(a[i], reflection[i], 1e-5) << "order " << order << " i " << i;
    }
}

TEST(Analysis, AutocorrelationAndLevinsonDurbinWorkedValuesSilenceAndRefusals) {
    const auto dsp = std::make_unique<libdspaudio>();
    float y[4] = {1, 2, -3, 4};
    float r[5];
    dsp->autocorrelation(4, 4, y, r);
    const float expected[5] = {30, 2 - 6 - 12, -3 + 8, 4, 0};
    EXPECT_TRUE(std::equal(r, r + 5, expected));
    dsp->autocorrelation(-1, 1, y, r);
    EXPECT_EQ(r[0], 30.0f);
    float zeros[6] = {}, x[3] = {1, 2, 3};
    float a[22] = {9, 9, 9, 9};
    EXPECT_EQ(dsp->levinson_durbin(3, 6, zeros, a), 0.0);
    EXPECT_TRUE(a[0] == 1.0f && a[1] == 0.0f && a[3] == 0.0f);
    a[1] = 9.0f;
    EXPECT_EQ(dsp->levinson_durbin(0, 3, x, a), 1.0);
    EXPECT_EQ(a[1], 9.0f);
    a[0] = 5.0f;
    EXPECT_EQ(dsp->levinson_durbin(21, 3, x, a), 0.0); // beyond the fixed work space
    EXPECT_EQ(a[0], 5.0f);
}

TEST(Analysis, MovingAverageAgainstPlainSumsAndRefusedWindows) {
    const auto dsp = std::make_unique<libdspaudio>();
    std::vector<float> x(1000), out(1000, 7.0f);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = std::cos(0.01f * static_cast<float>(i)) + 1.0f;
    int length = -1;
    EXPECT_TRUE(dsp->average(3, x.data(), 0, &length, out.data()) == 0 && length == 0);
    EXPECT_TRUE(dsp->average(3, x.data(), 4, &length, out.data()) == 0 && out[0] == 7.0f);
    for (int w : {1, 31, 1000}) {
        EXPECT_EQ(dsp->average(1000, x.data(), w, &length, out.data()), 1);
        ASSERT_EQ(length, 1001 - w);
        // The recursive update carries one rounding per step along the array.
        for (int j = 0; j < length; ++j)
            ASSERT_NEAR(out[j], std::accumulate(&x[j], &x[j] + w, 0.0) / w, 1e-4) << w << " " << j;
    }
}

TEST(Analysis, DownsampleFramesRefusalsAndInPlace) {
    const auto dsp = std::make_unique<libdspaudio>();
    float data[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    float out[12] = {};
    EXPECT_EQ(dsp->downsample(data, out, 3, 10, 1, libdspaudio::stereo_planar), 4);
    EXPECT_TRUE(out[0] == 0 && out[1] == 3 && out[2] == 6 && out[3] == 9);
    EXPECT_EQ(dsp->downsample(data, out, 2, 8, 2, libdspaudio::stereo_interleaved), 4);
    EXPECT_TRUE(out[0] == 0 && out[1] == 1 && out[2] == 4 && out[3] == 5);
    // Refusals, and a trailing partial frame that is not read.
    EXPECT_EQ(dsp->downsample(data, out, 0, 12, 1, libdspaudio::stereo_planar), 0);
    EXPECT_EQ(dsp->downsample(data, out, 2, 8, 0, libdspaudio::stereo_interleaved), 0);
    EXPECT_EQ(dsp->downsample(data, out, 1, 5, 2, libdspaudio::stereo_interleaved), 4);
    EXPECT_EQ(dsp->downsample(data, data, 2, 12, 3, libdspaudio::stereo_interleaved), 6);
    const float in_place[6] = {0, 1, 2, 6, 7, 8};
    EXPECT_TRUE(std::equal(in_place, in_place + 6, data));
}

} // namespace
