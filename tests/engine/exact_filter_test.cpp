#include <engine/filter_engine.h>

#include <channel/audio_channel>
#include <dsp/libdspaudio>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ns_filter_engine;
using ns_audio_channel::audio_channel_api;
using ns_audio_dsp::libdspaudio;

enum class design { none, low4, high4, high2 };

// What the component runs for a request: the designs of the two sections (a second-order
// high-pass in the first of a two-stage cascade of order 4 has its higher coefficients zero).
// A second section makes the cascade two-stage; two second-order high-passes make it order 2.
struct mode_row {
    const char* name;
    filter_request request;
    design first, second;
};

constexpr double k_rate = 48000.0;
constexpr long k_frames = 5000;

void design_into(libdspaudio& dsp, design d, const filter_request& r, float* a, float* b) {
    const float high = static_cast<float>(double{r.high_hz} / k_rate);
    const float low = static_cast<float>(double{1000.0f * r.low_khz} / k_rate);
    if (d == design::low4) dsp.butter_lp_design(low, 4, a, b);
    if (d == design::high4) dsp.butter_hp_design(high, 4, a, b);
    if (d == design::high2) dsp.butter_hp_design(high, 2, a, b);
}

// Each channel designed and filtered in one call of the library's recursions.
std::vector<float> filtered_by_library(const mode_row& row, std::vector<float> samples,
                                       int channels) {
    if (row.first == design::none) return samples;
    zq_test::filter_library dsp;
    float a1[9] = {}, b1[9] = {}, a2[5] = {}, b2[5] = {};
    design_into(dsp, row.first, row.request, a1, b1);
    design_into(dsp, row.second, row.request, a2, b2);
    const int order = row.second == design::high2 ? 2 : 4;
    zq_test::filter_each_channel(dsp, {row.second != design::none, order, a1, b1, a2, b2}, samples,
                                 channels);
    return samples;
}

// Interleaved frames through process_planar, one array per channel.
void process_as_planar(filter_engine& engine, float* interleaved, long frames) {
    const int channels = engine.channels();
    std::vector<float> planar(frames * channels);
    std::vector<float*> channel_data;
    for (int c = 0; c < channels; ++c)
        channel_data.push_back(planar.data() + c * frames);
    audio_channel_api::deinterleave(channels, int(frames), interleaved, planar.data());
    engine.process_planar(channel_data.data(), frames);
    audio_channel_api::interleave(channels, int(frames), planar.data(), interleaved);
}

TEST(ExactFilter, EngineFiltersEachModeAsTheLibraryDoes) {
    // At 48 kHz: a high-pass alone splits below 720 Hz, a band's high-pass below 480 Hz, and a
    // band whose both edges lie below 240 Hz runs as its low-pass.
    const mode_row rows[] = {
        {"bypass", {}, design::none, design::none},
        {"low-pass", {false, 100.0f, true, 4.0f}, design::low4, design::none},
        {"high-pass", {true, 1000.0f, false, 4.0f}, design::high4, design::none},
        {"low high-pass", {true, 500.0f, false, 4.0f}, design::high2, design::high2},
        {"band", {true, 1000.0f, true, 4.0f}, design::high4, design::low4},
        {"band, low high-pass", {true, 300.0f, true, 4.0f}, design::high2, design::low4},
        {"band below 240 Hz", {true, 100.0f, true, 0.2f}, design::low4, design::none},
    };
    const long splits[] = {1, 7, 1000, 1500, 2492}; // adds up to k_frames
    for (const mode_row& row : rows)
        for (const int channels : {1, 2, 3}) {
            const std::vector<float> input = zq_test::random_floats(k_frames * channels, 9u);
            filter_engine engine(k_rate, channels, {row.request});
            std::vector<float> output = input;
            float* block = output.data();
            bool planar = false; // the blocks alternate between the two entry points
            for (const long frames : splits) {
                if (planar)
                    process_as_planar(engine, block, frames);
                else
                    engine.process_interleaved(block, frames);
                planar = !planar;
                block += frames * channels;
            }
            EXPECT_TRUE(zq_test::same_bits(output, filtered_by_library(row, input, channels)))
                << row.name << ", " << channels << " channels";
        }
}

} // namespace
