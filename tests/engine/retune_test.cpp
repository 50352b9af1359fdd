// Retuning an exact engine between blocks: against the literal path (the library's recursions
// with coefficients rewritten between two calls, the history left in place), and against a
// fresh engine when the sections change.
#include "../support/reference.h"

#include <engine/filter_engine>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ns_filter_engine;

constexpr double k_rate = 48000.0;
constexpr int k_channels = 2;
// Longer than the engine's blocks, so both parts are split inside it.
constexpr int k_part_frames = 1500;

filter_request high(float hz) {
    return {true, hz, false, 4.0f};
}
filter_request low(float hz) {
    return {false, 100.0f, true, khz_from_hz(hz)};
}
filter_request band(float high_hz, float low_hz) {
    return {true, high_hz, true, khz_from_hz(low_hz)};
}

// Channel c of an interleaved block, filtered on through the literal path: the plan's
// coefficients designed into arrays the library reads, history carried by `dsp`.
void filter_literally(ns_audio_dsp::libdspaudio& dsp, const filter_request& request,
                      std::vector<float>& interleaved) {
    float a1[k_first_section_length] = {}, b1[k_first_section_length] = {};
    float a2[k_second_section_length] = {}, b2[k_second_section_length] = {};
    const section_plan plan = plan_for(request, k_rate);
    design_exact(dsp, plan, a1, b1, a2, b2);
    if (plan.bypass) return;
    const exact_sections sections{plan.two_stage, plan.order, a1, b1, a2, b2};
    std::vector<float> channel(k_part_frames);
    for (int c = 0; c < k_channels; ++c) {
        for (int f = 0; f < k_part_frames; ++f)
            channel[f] = interleaved[f * k_channels + c];
        const float* out = filter_exact_channel(dsp, sections, channel.data(), k_part_frames, c);
        for (int f = 0; f < k_part_frames; ++f)
            interleaved[f * k_channels + c] = out[f];
    }
}

struct retune_case {
    const char* what;
    filter_request before, after;
    bool history_goes_on;
};

const retune_case k_cases[] = {
    {"high-pass moved", high(1000), high(2000), true},
    {"low-pass moved", low(4000), low(8000), true},
    {"padded band moved", band(300, 4000), band(400, 3000), true},
    {"band fallen back to a low-pass, then a low-pass", band(100, 220), low(4000), true},
    {"high-pass split into two sections", high(1000), high(300), false},
    {"band's high side unpadded", band(300, 4000), band(500, 6000), false},
    {"high-pass switched on", low(4000), band(300, 4000), false},
    {"from bypass", filter_request{}, low(4000), false},
};

TEST(Retune, HistoryGoesOnOnlyWhileTheSectionsStayTheSame) {
    const std::vector<float> first = zq_test::random_floats(k_part_frames * k_channels, 1);
    const std::vector<float> second = zq_test::random_floats(k_part_frames * k_channels, 2);
    for (const retune_case& each : k_cases) {
        SCOPED_TRACE(each.what);
        filter_engine engine(k_rate, k_channels, {each.before});
        std::vector<float> got_first = first, got = second;
        engine.process_interleaved(got_first.data(), k_part_frames);
        engine.retune(each.after);
        engine.process_interleaved(got.data(), k_part_frames);

        std::vector<float> expected = second;
        ns_audio_dsp::libdspaudio dsp;
        dsp.filter_init(2000);
        if (each.history_goes_on) {
            std::vector<float> expected_first = first;
            filter_literally(dsp, each.before, expected_first);
        }
        filter_literally(dsp, each.after, expected);
        dsp.filter_destroy();
        EXPECT_EQ(got, expected);
        EXPECT_EQ(engine.settings().request.low_khz, each.after.low_khz);
    }
}

} // namespace
