// What the plugins make of their controls: switches, cut-offs clamped to the running
// engine's bounds at the host's rate, the engine that runs, and the history kept across a
// change of controls unless the sections change.
#include "hl_pass_plugin.h"

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

using ns_filter_engine::realization;
using ns_hl_pass_plugin::settle;

constexpr float k_nan = std::numeric_limits<float>::quiet_NaN();

struct settle_case {
    const char* what;
    double rate;
    float controls[ns_hl_pass_plugin::k_control_ports]; // hp, hp_freq, lp, lp_freq, precise
    bool high_pass, low_pass;
    float high_hz, low_khz;
    realization kind;
};

const settle_case k_cases[] = {
    {"inside the bounds", 48000, {1, 300, 1, 4000, 0}, true, true, 300, 4.0f, realization::exact},
    {"switches on above zero",
     48000,
     {0.5f, 300, -1, 4000, 0},
     true,
     false,
     300,
     4.0f,
     realization::exact},
    {"exact, below the bounds", 8000, {1, 5, 1, 100, 0}, true, true, 50, 0.2f, realization::exact},
    {"exact, above the bounds",
     8000,
     {0, 100, 1, 30000, 0},
     false,
     true,
     100,
     3.6f,
     realization::exact},
    {"precise, below the bounds",
     48000,
     {1, 5, 1, 5, 1},
     true,
     true,
     10,
     0.01f,
     realization::precise},
    {"precise, above the bounds",
     48000,
     {1, 30000, 1, 30000, 1},
     true,
     true,
     23520,
     23.52f,
     realization::precise},
    // Where the exact design is unsound the request, clamped for exact, runs precise.
    {"unsound low-pass", 96000, {0, 100, 1, 200, 0}, false, true, 100, 0.2f, realization::precise},
    {"unsound high-pass, clamped",
     48000,
     {1, 30000, 0, 4000, 0},
     true,
     false,
     21600,
     4.0f,
     realization::precise},
    // Degraded (a band fallen back to its low-pass) stays exact, as zq-filter runs it.
    {"not numbers", 44100, {1, k_nan, 1, k_nan, 0}, true, true, 50, 0.2f, realization::exact},
};

TEST(Settle, ClampsToTheRunningEngineAtTheHostsRate) {
    for (const settle_case& each : k_cases) {
        SCOPED_TRACE(each.what);
        const ns_hl_pass_plugin::plugin_settings got = settle(each.controls, each.rate);
        EXPECT_EQ(got.kind, each.kind);
        EXPECT_EQ(got.request.high_pass, each.high_pass);
        EXPECT_EQ(got.request.low_pass, each.low_pass);
        EXPECT_EQ(got.request.high_hz, each.high_hz);
        EXPECT_EQ(got.request.low_khz, each.low_khz);
    }
}

std::vector<float> noise(unsigned seed) {
    std::vector<float> samples = zq_test::random_floats(3000, seed);
    for (float& x : samples)
        x *= 0.5f;
    return samples;
}

struct change_case {
    const char* what;
    float before[ns_hl_pass_plugin::k_control_ports], after[ns_hl_pass_plugin::k_control_ports];
    bool history_goes_on;
};

const change_case k_changes[] = {
    {"cut-offs moved", {1, 300, 1, 4000, 0}, {1, 400, 1, 5000, 0}, true},
    {"precise cut-offs moved", {1, 300, 1, 4000, 1}, {1, 400, 1, 5000, 1}, true},
    {"high-pass switched on", {0, 300, 1, 4000, 0}, {1, 300, 1, 4000, 0}, false},
    {"precise switched on", {1, 300, 1, 4000, 0}, {1, 300, 1, 4000, 1}, false},
};

TEST(Instance, KeepsTheHistoryAcrossAChangeUnlessTheSectionsChange) {
    constexpr double rate = 48000;
    for (const change_case& each : k_changes) {
        SCOPED_TRACE(each.what);
        ns_hl_pass_plugin::hl_pass_instance instance(rate, 1);
        float controls[ns_hl_pass_plugin::k_control_ports];
        std::vector<float> first = noise(1), got = noise(2);
        for (unsigned port = 0; port < ns_hl_pass_plugin::k_control_ports; ++port)
            instance.connect(port, &controls[port]);
        instance.activate();
        std::copy(std::begin(each.before), std::end(each.before), controls);
        instance.connect(5, first.data());
        instance.connect(6, first.data());
        instance.run(first.size());
        std::copy(std::begin(each.after), std::end(each.after), controls);
        instance.connect(5, got.data());
        instance.connect(6, got.data());
        instance.run(got.size());

        // The engine the settings ask for, fresh or carried through a retune.
        const ns_hl_pass_plugin::plugin_settings before = settle(each.before, rate);
        const ns_hl_pass_plugin::plugin_settings after = settle(each.after, rate);
        ns_filter_engine::filter_engine engine(
            rate, 1, {each.history_goes_on ? before.request : after.request, after.kind});
        std::vector<float> expected_first = noise(1), expected = noise(2);
        if (each.history_goes_on) {
            engine.process_interleaved(expected_first.data(), 3000);
            engine.retune(after.request);
        }
        engine.process_interleaved(expected.data(), 3000);
        EXPECT_EQ(got, expected);
    }
}

} // namespace
