// What the plugins make of their controls: switches, cut-offs clamped to the running
// engine's bounds at the host's rate, and the engine that runs.
#include "hl_pass_plugin.h"

#include <gtest/gtest.h>

#include <limits>

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

} // namespace
