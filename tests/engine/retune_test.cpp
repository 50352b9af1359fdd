// Retuning an engine between blocks. While the sections stay the same, against plain
// references that carry the history through new coefficients: for exact the library's
// recursions with the coefficients rewritten between two calls, for precise a transposed
// direct form II loop in double. When the sections change, against a fresh engine. A precise
// history saved before the retune and put back after a block goes on just the same.
#include "../support/exact_modes.h"

#include <engine/filter_engine>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ns_filter_engine;
using zq_test::asked;

constexpr double k_rate = 48000.0;
constexpr int k_channels = 2;
// Longer than the engine's blocks, so both parts are split inside it.
constexpr int k_part_frames = 1500;

// An interleaved block filtered on through the literal path: the plan's coefficients designed
// into arrays the library reads, history carried by `dsp`.
void filter_literally(ns_audio_dsp::libdspaudio& dsp, const filter_request& request,
                      std::vector<float>& interleaved) {
    float a1[k_first_section_length] = {}, b1[k_first_section_length] = {};
    float a2[k_second_section_length] = {}, b2[k_second_section_length] = {};
    const section_plan plan = plan_for(request, k_rate);
    design_exact(dsp, plan, a1, b1, a2, b2);
    if (!plan.bypass)
        zq_test::filter_each_channel(dsp, {plan.two_stage, plan.order, a1, b1, a2, b2}, interleaved,
                                     k_channels);
}

std::vector<biquad> precise_chain(const filter_request& request) {
    std::vector<biquad> chain;
    const auto add = [&](design_kind kind, double hz) {
        const std::vector<biquad> side = butterworth_sections(kind, 4, hz, k_rate);
        chain.insert(chain.end(), side.begin(), side.end());
    };
    if (request.high_pass) add(design_kind::high_pass, request.high_hz);
    if (request.low_pass) add(design_kind::low_pass, request.low_hz);
    return chain;
}

// The precise chain for `request`, run over an interleaved block with the state in `state`.
void filter_in_double(const filter_request& request, std::vector<double>& state,
                      std::vector<float>& interleaved) {
    const std::vector<biquad> chain = precise_chain(request);
    state.resize(2 * chain.size() * k_channels);
    for (int f = 0; f < k_part_frames; ++f) {
        for (int c = 0; c < k_channels; ++c) {
            double x = interleaved[f * k_channels + c];
            double* s = &state[2 * chain.size() * c];
            for (const biquad& q : chain) {
                const double y = q.b0 * x + s[0];
                s[0] = q.b1 * x - q.a1 * y + s[1];
                s[1] = q.b2 * x - q.a2 * y;
                x = y;
                s += 2;
            }
            interleaved[f * k_channels + c] = static_cast<float>(x);
        }
    }
}

// Both parts through the plain reference of `kind`, the history carried across.
std::vector<float> filtered_on(realization kind, const filter_request& before,
                               const filter_request& after, std::vector<float> first,
                               std::vector<float> second) {
    if (kind == realization::precise) {
        std::vector<double> state;
        filter_in_double(before, state, first);
        filter_in_double(after, state, second);
        return second;
    }
    zq_test::filter_library dsp;
    filter_literally(dsp, before, first);
    filter_literally(dsp, after, second);
    return second;
}

struct retune_case {
    const char* what;
    realization kind;
    filter_request before, after;
    bool history_goes_on;
};

constexpr realization k_exact = realization::exact;
constexpr realization k_precise = realization::precise;

const retune_case k_cases[] = {
    {"high-pass moved", k_exact, asked(1000, 0), asked(2000, 0), true},
    {"low-pass moved", k_exact, asked(0, 4000), asked(0, 8000), true},
    {"padded band moved", k_exact, asked(300, 4000), asked(400, 3000), true},
    {"band fallen back to a low-pass, then a low-pass", k_exact, asked(100, 220), asked(0, 4000),
     true},
    {"high-pass split into two sections", k_exact, asked(1000, 0), asked(300, 0), false},
    {"band's high side unpadded", k_exact, asked(300, 4000), asked(500, 6000), false},
    {"high-pass switched on", k_exact, asked(0, 4000), asked(300, 4000), false},
    {"from bypass", k_exact, asked(0, 0), asked(0, 4000), false},
    {"precise band moved", k_precise, asked(30, 4000), asked(3000, 20000), true},
    {"precise high-pass switched on", k_precise, asked(0, 4000), asked(300, 4000), false},
    {"precise band to a high-pass", k_precise, asked(300, 4000), asked(300, 0), false},
};

TEST(Retune, HistoryGoesOnOnlyWhileTheSectionsStayTheSame) {
    const std::vector<float> first = zq_test::random_floats(k_part_frames * k_channels, 1);
    const std::vector<float> second = zq_test::random_floats(k_part_frames * k_channels, 2);
    for (const retune_case& each : k_cases) {
        SCOPED_TRACE(each.what);
        filter_engine engine(k_rate, k_channels, {each.before, each.kind});
        std::vector<float> got_first = first, got = second;
        engine.process_interleaved(got_first.data(), k_part_frames);
        const bool saved = engine.save_history();
        engine.retune(each.after);
        engine.process_interleaved(got.data(), k_part_frames);

        std::vector<float> expected = second;
        if (each.history_goes_on) {
            expected = filtered_on(each.kind, each.before, each.after, first, second);
        } else {
            filter_engine fresh(k_rate, k_channels, {each.after, each.kind});
            fresh.process_interleaved(expected.data(), k_part_frames);
        }
        EXPECT_TRUE(zq_test::same_bits(got, expected));
        if (!saved) continue; // exact
        // The history saved before the retune, put back, goes on as the retune left it.
        std::vector<float> again = second;
        engine.restore_history();
        engine.process_interleaved(again.data(), k_part_frames);
        EXPECT_TRUE(zq_test::same_bits(again, expected));
    }
}

} // namespace
