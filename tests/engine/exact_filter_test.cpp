#include <engine/filter_engine.h>

#include <channel/audio_channel>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ns_filter_engine;
using ns_audio_channel::audio_channel_api;

using design = zq_test::section_design;

// What the component runs for a request: the designs of its two sections.
struct mode_row {
    const char* name;
    filter_request request;
    design first, second;
};

constexpr double k_rate = 48000.0;
constexpr long k_frames = 5000;

// Each channel designed and filtered in one call of the library's recursions.
std::vector<float> filtered_by_library(const mode_row& row, const std::vector<float>& samples,
                                       int channels) {
    const float high = static_cast<float>(row.request.high_hz / k_rate);
    const float low =
        static_cast<float>(double{1000.0f * khz_from_hz(row.request.low_hz)} / k_rate);
    return zq_test::filtered_as_designed(row.first, row.second, high, low, samples, channels);
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
    // At 48 kHz: a high-pass alone splits below 720 Hz (720 / 48000 is 0.015 exactly, but its
    // float, 0.0149999997, is below the threshold), a band's high-pass below 480 Hz, and a band
    // whose both edges lie below 240 Hz runs as its low-pass.
    const mode_row rows[] = {
        {"bypass", {}, design::none, design::none},
        {"low-pass", {false, 100.0, true, 4000.0}, design::low4, design::none},
        {"high-pass", {true, 1000.0f, false, 4000.0}, design::high4, design::none},
        {"low high-pass", {true, 500.0f, false, 4000.0}, design::high2, design::high2},
        {"high-pass at 720 Hz", {true, 720.0f, false, 4000.0}, design::high2, design::high2},
        {"high-pass at 721 Hz", {true, 721.0f, false, 4000.0}, design::high4, design::none},
        {"band", {true, 1000.0, true, 4000.0}, design::high4, design::low4},
        {"band, low high-pass", {true, 300.0, true, 4000.0}, design::high2, design::low4},
        {"band below 240 Hz", {true, 100.0, true, 200.0}, design::low4, design::none},
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
