// What the plugins make of their controls: switches, cut-offs clamped to the running
// engine's bounds at the host's rate, the engine that runs, and what a change of controls
// does to the history.
#include "hl_pass_plugin.h"

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

using namespace ns_hl_pass_plugin;
using controls = float[k_control_ports]; // hp, hp_freq, lp, lp_freq, precise

constexpr float k_nan = std::numeric_limits<float>::quiet_NaN();

struct settle_case {
    const char* what;
    double rate;
    controls given, settled; // settled: the request and the engine that runs, as controls
};

const settle_case k_cases[] = {
    {"inside the bounds", 48000, {1, 300, 1, 4000, 0}, {1, 300, 1, 4000, 0}},
    {"switches on above zero", 48000, {0.5f, 300, -1, 4000, 0}, {1, 300, 0, 4000, 0}},
    {"exact, below the bounds", 8000, {1, 5, 1, 100, 0}, {1, 50, 1, 200, 0}},
    {"exact, above the bounds", 8000, {0, 100, 1, 30000, 0}, {0, 100, 1, 3600, 0}},
    {"precise, below the bounds", 48000, {1, 5, 1, 5, 1}, {1, 10, 1, 10, 1}},
    {"precise, above the bounds", 48000, {1, 30000, 1, 30000, 1}, {1, 23520, 1, 23520, 1}},
    // Where the exact design is unsound the request, clamped for exact, runs precise.
    {"unsound low-pass", 96000, {0, 100, 1, 200, 0}, {0, 100, 1, 200, 1}},
    {"unsound high-pass, clamped", 48000, {1, 30000, 0, 4000, 0}, {1, 21600, 0, 4000, 1}},
    // Degraded (a band fallen back to its low-pass) stays exact, as zq-filter runs it.
    {"not numbers", 44100, {1, k_nan, 1, k_nan, 0}, {1, 50, 1, 200, 0}},
};

TEST(Settle, ClampsToTheRunningEngineAtTheHostsRate) {
    for (const settle_case& each : k_cases) {
        SCOPED_TRACE(each.what);
        const plugin_settings got = settle(each.given, each.rate);
        EXPECT_EQ(got.kind == ns_filter_engine::realization::precise, each.settled[4] == 1);
        EXPECT_EQ(got.request.high_pass, each.settled[0] == 1);
        EXPECT_EQ(got.request.low_pass, each.settled[2] == 1);
        EXPECT_EQ(got.request.high_hz, each.settled[1]);
        EXPECT_EQ(got.request.low_hz, each.settled[3]);
    }
}

// The engine's retune decides whether history goes on; the instance must hand it the change
// rather than start afresh, and must not carry history across a switch of engine.
TEST(Instance, RetunesItsEngineAndRestartsOnASwitchOfEngine) {
    constexpr double rate = 48000;
    constexpr long frames = 3000;
    const struct {
        controls before, after;
        bool history_goes_on;
    } changes[] = {{{1, 300, 1, 4000, 0}, {1, 400, 1, 5000, 0}, true},
                   {{1, 300, 1, 4000, 0}, {1, 300, 1, 4000, 1}, false}};
    for (const auto& each : changes) {
        hl_pass_instance instance(rate, 1);
        float knobs[k_control_ports];
        for (unsigned port = 0; port < k_control_ports; ++port)
            instance.connect(port, &knobs[port]);
        std::vector<float> got;
        for (const float* set : {each.before, each.after}) {
            std::copy_n(set, k_control_ports, knobs);
            got = zq_test::random_floats(frames, set == each.before ? 1u : 2u);
            instance.connect(5, got.data());
            instance.connect(6, got.data());
            instance.run(frames);
        }
        const plugin_settings before = settle(each.before, rate), after = settle(each.after, rate);
        ns_filter_engine::filter_engine engine(
            rate, 1, {each.history_goes_on ? before.request : after.request, after.kind});
        std::vector<float> first = zq_test::random_floats(frames, 1u);
        std::vector<float> expected = zq_test::random_floats(frames, 2u);
        if (each.history_goes_on) {
            engine.process_interleaved(first.data(), frames);
            engine.retune(after.request);
        }
        engine.process_interleaved(expected.data(), frames);
        EXPECT_TRUE(zq_test::same_bits(got, expected)) << each.history_goes_on;
    }
}

} // namespace
