#include <engine/filter_engine.h>

#include <channel/audio_channel>

#include "../support/exact_modes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ns_filter_engine;
using ns_audio_channel::audio_channel_api;

constexpr long k_frames = 5000;

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
    const long splits[] = {1, 7, 1000, 1500, 2492}; // adds up to k_frames
    for (const zq_test::mode_case& mode : zq_test::k_exact_modes)
        for (const int channels : {1, 2, 3}) {
            const std::vector<float> input = zq_test::random_floats(k_frames * channels, 9u);
            filter_engine engine(zq_test::k_mode_rate, channels, {mode.request});
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
            EXPECT_TRUE(
                zq_test::same_bits(output, zq_test::filtered_by_library(mode, input, channels)))
                << mode.name << ", " << channels << " channels";
        }
}

} // namespace
