#include "component_harness.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using hl_pass_test::Host;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;

enum Design { none, low4, high4, high2, high2_padded };

// The coefficients a section must hold, designed straight through the library; entries the
// design leaves alone keep the marker -7.
std::vector<float> expected(Design design, float high, float low, bool numerator) {
    std::vector<float> a(9, -7.0f), b(9, -7.0f);
    ns_audio_dsp::libdspaudio dsp;
    if (design == low4) dsp.butter_lp_design(low, 4, a.data(), b.data());
    if (design == high4) dsp.butter_hp_design(high, 4, a.data(), b.data());
    if (design == high2_padded) a[3] = a[4] = b[3] = b[4] = 0.0f;
    if (design == high2 || design == high2_padded)
        dsp.butter_hp_design(high, 2, a.data(), b.data());
    return numerator ? b : a;
}

template <std::size_t N>
std::vector<float> held(const float (&coefficients)[N]) {
    return std::vector<float>(coefficients, coefficients + N);
}

std::vector<float> first(std::vector<float> v, std::size_t n) {
    v.resize(n);
    return v;
}

TEST(Configure, ChoosesModeOrderAndSectionsByTheTable) {
    struct Row {
        const char* name;
        Settings settings;
        bool bypass, two_stage;
        int order;
        Design first, second;
        const char* printed;
    };
    const char* defaults = "fracts are 0.002083 and 0.083333 \n";
    const char* high_1k = "fracts are 0.020833 and 0.083333 \n";
    const char* band_300 = "fracts are 0.006250 and 0.083333 \n";
    const char* low_band = "fracts are 0.002083 and 0.004167 \ncheating because fracts were "
                           "0.002083 and 0.004167 \n";
    const Row rows[] = {
        {"no settings", {}, true, false, 4, low4, none, defaults},
        {"low-pass", {-1, 1, 0, 0}, false, false, 4, low4, none, defaults},
        {"high-pass 100 Hz", {1, -1, 100, 0}, false, true, 2, high2, high2, defaults},
        {"high-pass 1 kHz", {1, -1, 1000, 0}, false, false, 4, high4, high4, high_1k},
        {"band 300 Hz", {1, 1, 300, 4}, false, true, 4, high2_padded, low4, band_300},
        {"band 1 kHz", {1, 1, 1000, 4}, false, true, 4, high4, low4, high_1k},
        {"band below 0.005: low-pass", {1, 1, 100, 0.2f}, false, false, 4, low4, none, low_band},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        pass_filter filter;
        std::fill(std::begin(filter.a2), std::end(filter.a2), -7.0f);
        std::fill(std::begin(filter.b2), std::end(filter.b2), -7.0f);
        Host host(filter);
        std::string printed;
        ASSERT_EQ(host.configure(row.settings, 2, 48000.0, 4, &printed), 0);
        EXPECT_EQ(printed, row.printed);
        EXPECT_EQ(filter.bypass, row.bypass);
        EXPECT_EQ(filter.two_stage, row.two_stage);
        EXPECT_EQ(filter.order, row.order);

        const float hz = row.settings.h_frequency > 0 ? row.settings.h_frequency : 100.0f;
        const float khz = row.settings.l_frequency > 0 ? row.settings.l_frequency : 4.0f;
        const float high = static_cast<float>(double{hz} / 48000.0);
        const float low = static_cast<float>(double{1000.0f * khz} / 48000.0);
        const std::size_t used = row.first == high2 ? 3 : 5;
        EXPECT_EQ(first(held(filter.a1), used), first(expected(row.first, high, low, false), used));
        EXPECT_EQ(first(held(filter.b1), used), first(expected(row.first, high, low, true), used));
        EXPECT_EQ(held(filter.a2), first(expected(row.second, high, low, false), 5));
        EXPECT_EQ(held(filter.b2), first(expected(row.second, high, low, true), 5));
    }
}

// The host is trusted to keep the bounds; a value it lets through still ends in a configured
// component, with the message that says the mode was impossible. Nothing is designed for it, so
// frames pass through untouched, on a fresh component and on one configured before.
TEST(Configure, ImpossibleModeIsReportedAndFramesPassUntouched) {
    for (const bool configured_before : {false, true}) {
        pass_filter filter;
        Host host(filter);
        if (configured_before) {
            ASSERT_EQ(host.configure({1, 1, 1000, 4}, 2), 0);
        }
        std::string printed;
        ASSERT_EQ(host.configure({2, 0, 0, 0}, 2, 48000.0, 4, &printed), 0);
        EXPECT_EQ(printed, "fracts are 0.002083 and 0.083333 \nThis was not supposed to "
                           "happen.\n\n\n\n\n\n\n\n\n   Damn.");
        EXPECT_FALSE(filter.two_stage);
        EXPECT_EQ(filter.order, configured_before ? 4 : 0);
        EXPECT_EQ(filter.getStatus().state, 2);
        const std::vector<float> signal = zq_test::random_floats(2 * 300);
        EXPECT_EQ(host.run(signal, 2 * 100), signal);
    }
}

// A host that logs or checks its settings sees them asked for in the table's order.
TEST(Configure, ReadsTheSettingsInTheTablesOrder) {
    struct Logging : ZQ::CM::RFilterConfiguration {
        int getInt(const char* key, int value, int minimum, int maximum) override {
            keys.emplace_back(key);
            return RFilterConfiguration::getInt(key, value, minimum, maximum);
        }
        float getFloat(const char* key, float value, float minimum, float maximum) override {
            keys.emplace_back(key);
            return RFilterConfiguration::getFloat(key, value, minimum, maximum);
        }
        std::vector<std::string> keys;
    } config;
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(config, 1), 0);
    EXPECT_EQ(config.keys,
              (std::vector<std::string>{"hPass", "lPass", "hFrequency", "lFrequency"}));
}

// 720 / 48000 is 0.015 exactly, but its float, 0.0149999997, is below the threshold.
TEST(Configure, SplitThresholdComparesTheRoundedFraction) {
    for (const auto& [hz, split] : {std::pair{719.0f, true}, {720.0f, true}, {721.0f, false}}) {
        pass_filter filter;
        Host host(filter);
        ASSERT_EQ(host.configure({1, 0, hz, 0}, 1, 48000.0), 0);
        EXPECT_EQ(filter.two_stage, split) << hz;
        EXPECT_EQ(filter.order, split ? 2 : 4) << hz;
    }
}

} // namespace
