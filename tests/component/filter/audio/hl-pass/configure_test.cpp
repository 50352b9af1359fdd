#include "component_harness.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using hl_pass_test::Host;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;

enum class Design { none, low4, high4, high2, high2_padded };

struct Row {
    const char* name;
    Settings settings;
    bool bypass;
    bool two_stage;
    int order;
    Design first;
    Design second;
    std::string printed;
};

// Independent evaluation of the coefficients a configuration must hold.
void expected_design(Design design, float fraction, float* a, float* b, std::size_t size) {
    std::fill(a, a + size, -7.0f);
    std::fill(b, b + size, -7.0f);
    ns_audio_dsp::libdspaudio dsp;
    switch (design) {
    case Design::none:
        break;
    case Design::low4:
        dsp.butter_lp_design(fraction, 4, a, b);
        break;
    case Design::high4:
        dsp.butter_hp_design(fraction, 4, a, b);
        break;
    case Design::high2:
        dsp.butter_hp_design(fraction, 2, a, b);
        break;
    case Design::high2_padded:
        a[3] = a[4] = b[3] = b[4] = 0.0f;
        dsp.butter_hp_design(fraction, 2, a, b);
        break;
    }
}

float fraction_for(Design design, float high, float low) {
    return design == Design::low4 ? low : high;
}

template <std::size_t N>
void expect_coefficients(const float (&got)[N], const std::array<float, 9>& want, int count) {
    for (int k = 0; k < count; ++k)
        EXPECT_EQ(got[k], want[static_cast<std::size_t>(k)]) << "coefficient " << k;
}

// Fractions as the component hands them to the designs, at 48 kHz.
constexpr float k_100_hz = static_cast<float>(100.0 / 48000.0);
constexpr float k_300_hz = static_cast<float>(300.0 / 48000.0);
constexpr float k_1000_hz = static_cast<float>(1000.0 / 48000.0);
constexpr float k_200_hz_low = static_cast<float>(200.0 / 48000.0);
constexpr float k_4000_hz_low = static_cast<float>(4000.0 / 48000.0);

TEST(Configure, ChoosesModeOrderAndSectionsByTheTable) {
    const std::string defaults = "fracts are 0.002083 and 0.083333 \n";
    const Row rows[] = {
        {"no settings: bypass", {}, true, false, 4, Design::low4, Design::none, defaults},
        {"low-pass only", {-1, 1, 0, 0}, false, false, 4, Design::low4, Design::none, defaults},
        {"high-pass 100 Hz: split",
         {1, -1, 100, 0},
         false,
         true,
         2,
         Design::high2,
         Design::high2,
         defaults},
        {"high-pass 1 kHz: one section",
         {1, -1, 1000, 0},
         false,
         false,
         4,
         Design::high4,
         Design::high4,
         "fracts are 0.020833 and 0.083333 \n"},
        {"band 300 Hz - 4 kHz: padded high section",
         {1, 1, 300, 4},
         false,
         true,
         4,
         Design::high2_padded,
         Design::low4,
         "fracts are 0.006250 and 0.083333 \n"},
        {"band 1 kHz - 4 kHz",
         {1, 1, 1000, 4},
         false,
         true,
         4,
         Design::high4,
         Design::low4,
         "fracts are 0.020833 and 0.083333 \n"},
        {"band 100 Hz - 200 Hz: cheating",
         {1, 1, 100, 0.2f},
         false,
         false,
         4,
         Design::low4,
         Design::none,
         "fracts are 0.002083 and 0.004167 \ncheating because fracts were 0.002083 and "
         "0.004167 \n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        pass_filter filter;
        Host host(filter);
        std::fill(std::begin(filter.a2), std::end(filter.a2), -7.0f);
        std::fill(std::begin(filter.b2), std::end(filter.b2), -7.0f);
        std::string printed;
        ASSERT_EQ(host.configure(row.settings, 2, 48000.0, 4, &printed), 0);
        EXPECT_EQ(printed, row.printed);
        EXPECT_EQ(filter.bypass, row.bypass);
        EXPECT_EQ(filter.two_stage, row.two_stage);
        EXPECT_EQ(filter.order, row.order);

        const float high_fraction = row.settings.h_frequency == 300    ? k_300_hz
                                    : row.settings.h_frequency == 1000 ? k_1000_hz
                                                                       : k_100_hz;
        const float low_fraction = row.settings.l_frequency == 0.2f ? k_200_hz_low : k_4000_hz_low;
        std::array<float, 9> a{}, b{};
        expected_design(row.first, fraction_for(row.first, high_fraction, low_fraction), a.data(),
                        b.data(), 9);
        expect_coefficients(filter.a1, a, row.first == Design::high2 ? 3 : 5);
        expect_coefficients(filter.b1, b, row.first == Design::high2 ? 3 : 5);
        expected_design(row.second, fraction_for(row.second, high_fraction, low_fraction), a.data(),
                        b.data(), 5);
        expect_coefficients(filter.a2, a, 5);
        expect_coefficients(filter.b2, b, 5);
    }
}

TEST(Configure, FractionsAreRoundedTwiceFromTheSettings) {
    pass_filter filter;
    Host host(filter);
    std::string printed;
    ASSERT_EQ(host.configure({1, 1, 1234.5f, 3.21f}, 1, 44100.0, 4, &printed), 0);
    char expected[96];
    const float high = static_cast<float>(1234.5 / 44100.0);
    const float low = static_cast<float>(double{1000.0f * 3.21f} / 44100.0);
    std::snprintf(expected, sizeof expected, "fracts are %f and %f \n", double{high}, double{low});
    EXPECT_EQ(printed, expected);
    float a[9], b[9];
    filter.dsp->butter_hp_design(high, 4, a, b);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(filter.b1[k], b[k]);
}

// The host is trusted to keep the bounds; a value it lets through unchecked still ends in a
// configured component with the message that says the mode was impossible.
TEST(Configure, ImpossibleModeIsReportedAndConfigurationGoesOn) {
    pass_filter filter;
    Host host(filter);
    std::string printed;
    ASSERT_EQ(host.configure({2, 0, 0, 0}, 1, 48000.0, 4, &printed), 0);
    EXPECT_EQ(printed, "fracts are 0.002083 and 0.083333 \nThis was not supposed to "
                       "happen.\n\n\n\n\n\n\n\n\n   Damn.");
    EXPECT_FALSE(filter.two_stage);
    EXPECT_EQ(filter.getStatus().state, 2);
}

TEST(Configure, ThresholdsCompareTheRoundedFractions) {
    // 720 Hz at 48 kHz is exactly the 0.015 split point (as a float it lies just above).
    struct Case {
        float hz;
        bool split;
    };
    for (const Case c : {Case{719.0f, true}, Case{721.0f, false}}) {
        pass_filter filter;
        Host host(filter);
        ASSERT_EQ(host.configure({1, 0, c.hz, 0}, 1), 0);
        EXPECT_EQ(filter.two_stage, c.split) << c.hz;
        EXPECT_EQ(filter.order, c.split ? 2 : 4) << c.hz;
    }
    const float at_split = static_cast<float>(720.0 / 48000.0);
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure({1, 0, 720.0f, 0}, 1), 0);
    EXPECT_EQ(filter.two_stage, !(double{at_split} >= 0.015));
}

} // namespace
