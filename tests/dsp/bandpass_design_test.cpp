#include <dsp/libdspaudio>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;
using zq_test::expect_six_digits;
using zq_test::filter_library;
using zq_test::gain;

// Band 0.1 to 0.2. Order 2 has no poles at all: an odd prototype order leaves its last section
// an empty pole slot.
TEST(ButterBpDesign, WorkedValuesAndGains) {
    const std::vector<double> cases[][2] = {
        {{0.0674612, 0, -0.134922, 0, 0.0674612}, {1, -1.94247, 2.1192, -1.21665, 0.412802}},
        {{0.00482434, 0, -0.0192974, 0, 0.0289461, 0, -0.0192974, 0, 0.00482434},
         {1, -3.93658, 8.26039, -11.2174, 10.7836, -7.39144, 3.5765, -1.11505, 0.187379}},
        {{0.618034, 0, -0.618034}, {1, 0, 0}},
    };
    const auto dsp = std::make_unique<libdspaudio>();
    float a[21], b[21];
    for (const auto& [expected_b, expected_a] : cases) {
        const int order = static_cast<int>(expected_a.size()) - 1;
        SCOPED_TRACE(testing::Message() << "order " << order);
        a[order + 1] = b[order + 1] = 42.0f;
        dsp->butter_bp_design(0.2f, 0.1f, order, a, b);
        expect_six_digits(a, expected_a);
        expect_six_digits(b, expected_b);
        EXPECT_TRUE(a[order + 1] == 42.0f && b[order + 1] == 42.0f);
        if (order % 4 == 0) {
            EXPECT_NEAR(gain(a, b, order, 0.15), 1.0, 1e-5);
        }
    }
    dsp->butter_bp_design(0.2f, 0.1f, 4, a, b);
    EXPECT_TRUE(b[1] == 0.0f && b[3] == 0.0f);
    EXPECT_NEAR(std::pow(gain(a, b, 4, 0.1), 2), 0.50009, 1e-5);
    EXPECT_NEAR(std::pow(gain(a, b, 4, 0.2), 2), 0.50009, 1e-5);
    EXPECT_LT(gain(a, b, 4, 0.0) + gain(a, b, 4, 0.5), 1e-6);
    for (int refused : {-1, 20}) {
        a[0] = 42.0f;
        dsp->butter_bp_design(0.2f, 0.1f, refused, a, b);
        EXPECT_EQ(a[0], 42.0f);
    }
}

TEST(BiquadLpDesign, WorkedValuesAndGains) {
    float c[6];
    std::make_unique<libdspaudio>()->biquad_lp_design(0.1f, c);
    expect_six_digits(c, {1.29389, -1.25052, 0.545723, 0.0738017, 0.147603, 0.0738017});
    const float a[3] = {1.0f, c[1], c[2]}; // element 0 holds a0 itself
    EXPECT_NEAR(gain(a, c + 3, 2, 0.0), 1.0, 1e-6);
    EXPECT_NEAR(gain(a, c + 3, 2, 0.1), 1.0, 1e-6);
}

// arma_filter, itself checked against the plain difference equation, runs the same recursion
// on the same history at order 8, so history carries across blocks. One block goes beyond
// the 2092-sample buffer.
TEST(ButterLp, MatchesArmaFilterInAnyBlocks) {
    const auto dsp = std::make_unique<filter_library>();
    std::vector<float> input(5000), whole(5000), split(5000);
    for (std::size_t i = 0; i < input.size(); ++i) // a tone far above the cut-off, on DC
        input[i] = std::sin(2.0f * static_cast<float>(i)) + 0.5f;
    float a[9], b[9];
    dsp->butter_lp_design(0.05f, 8, a, b);
    const float* expected = dsp->arma_filter(input.data(), 5000, a, b, 8, 0);
    dsp->butter_lp(input.data(), 0.05f, 5000, whole.data(), 1);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), expected));
    int first = 0;
    for (int n : {100, 100, 1000, 1000, 1000, 1000, 800}) {
        dsp->butter_lp(input.data() + first, 0.05f, n, split.data() + first, 2);
        first += n;
    }
    EXPECT_EQ(split, whole);
    std::vector<float> untouched(5, 9.0f);
    dsp->butter_lp(input.data(), 0.05f, 5, untouched.data(), 10); // no such channel
    EXPECT_EQ(untouched, std::vector<float>(5, 9.0f));
    EXPECT_EQ(dsp->filter_state[3].x_history[7], 0.0f) << "an unused channel was touched";
}

} // namespace
