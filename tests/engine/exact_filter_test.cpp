#include <engine/exact_filter.h>
#include <engine/filter_engine.h>

#include <channel/audio_channel>

#include "../support/exact_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace ns_filter_engine;
using ns_audio_channel::audio_channel_api;
using ns_audio_dsp::lane_path;

constexpr long k_frames = 5000;

// Interleaved frames through process_planar, one array per channel.
template <class Filter>
void process_as_planar(Filter& filter, int channels, float* interleaved, long frames) {
    std::vector<float> planar(frames * channels);
    std::vector<float*> channel_data;
    for (int c = 0; c < channels; ++c)
        channel_data.push_back(planar.data() + c * frames);
    audio_channel_api::deinterleave(channels, int(frames), interleaved, planar.data());
    filter.process_planar(channel_data.data(), frames);
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
                    process_as_planar(engine, channels, block, frames);
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

// Beyond the channels the library object carries, the filter keeps the histories itself: on
// every path each channel comes out as it would alone, its history carried into a second
// block taken through the other entry point.
TEST(ExactFilter, ChannelsBeyondTheLibrarysOwnComeOutAsEachAlone) {
    constexpr long first_frames = 1499;
    const lane_path chosen = ns_audio_dsp::lane_path_chosen();
    for (const zq_test::mode_case& mode : zq_test::k_exact_modes)
        for (const int channels : {11, 16}) {
            const std::vector<float> input = zq_test::random_floats(k_frames * channels, 4u);
            std::vector<float> expected(input.size());
            for (int c = 0; c < channels; ++c) {
                std::vector<float> alone(k_frames);
                for (long f = 0; f < k_frames; ++f)
                    alone[f] = input[f * channels + c];
                alone = zq_test::filtered_by_library(mode, alone, 1);
                for (long f = 0; f < k_frames; ++f)
                    expected[f * channels + c] = alone[f];
            }
            for (const lane_path path : {lane_path::literal, lane_path::scalar, lane_path::sse2,
                                         lane_path::avx, lane_path::neon, lane_path::avx512}) {
                if (!ns_audio_dsp::lane_path_select(path)) continue;
                exact_filter filter(plan_for(mode.request, zq_test::k_mode_rate), channels);
                std::vector<float> output = input;
                if (!filter.process_interleaved(output.data(), first_frames))
                    process_as_planar(filter, channels, output.data(), first_frames);
                process_as_planar(filter, channels, output.data() + first_frames * channels,
                                  k_frames - first_frames);
                // After a reset the stream starts again from silence.
                filter.reset();
                std::copy_n(input.begin(), first_frames * channels, output.begin());
                process_as_planar(filter, channels, output.data(), first_frames);
                EXPECT_TRUE(zq_test::same_bits(output, expected))
                    << mode.name << ", " << channels << " channels, "
                    << ns_audio_dsp::lane_path_name(path);
            }
        }
    ns_audio_dsp::lane_path_select(chosen);
}

} // namespace
