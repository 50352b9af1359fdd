// zq-filter's --mix and --route: the channels are converted before the filter, so OUTPUT must
// equal the conversion (the channel library's converter, or a plain loop where the result is
// simple enough to state) followed by the library's filtering of the converted channels.
#include "library_reference.h"
#include "tool_test_support.h"

#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;
using ns_audio_channel::audio_channel_api;

using conversion = std::function<std::vector<float>(const std::vector<float>& interleaved)>;

conversion mixed_by_library(int in_channels, int out_channels) {
    return [=](const std::vector<float>& input) {
        const std::unique_ptr<audio_channel_api, void (*)(audio_channel_api*)> converter(
            audio_channel_api::create(audio_channel_api::mixing, in_channels, out_channels, false),
            audio_channel_api::destroy);
        const auto frames = input.size() / static_cast<std::size_t>(in_channels);
        std::vector<float> output(frames * static_cast<std::size_t>(out_channels));
        std::vector<float> source = input;
        converter->process(output.data(), source.data(), static_cast<uint32_t>(frames));
        return output;
    };
}

// L = x0 + x2 + ..., R = x1 + x3 + ..., summed from zero in channel order.
conversion summed_by_pairs(int in_channels) {
    return [=](const std::vector<float>& input) {
        std::vector<float> output;
        for (std::size_t frame = 0; frame < input.size(); frame += in_channels) {
            float left = 0.0f, right = 0.0f;
            for (int c = 0; c < in_channels; c += 2) {
                left += input[frame + c];
                right += input[frame + c + 1];
            }
            output.insert(output.end(), {left, right});
        }
        return output;
    };
}

std::vector<float> unchanged(const std::vector<float>& input) {
    return input;
}

std::vector<float> swapped(const std::vector<float>& input) {
    std::vector<float> output(input.size());
    for (std::size_t i = 0; i < input.size(); i += 2) {
        output[i] = input[i + 1];
        output[i + 1] = input[i];
    }
    return output;
}

// --route 0:0,0:2,1:2,2:2 over three channels: a copy, a silent channel, and the average of all.
std::vector<float> fanned_out_and_averaged(const std::vector<float>& input) {
    std::vector<float> output;
    for (std::size_t i = 0; i < input.size(); i += 3) {
        const float sum = 0.0f + input[i] + input[i + 1] + input[i + 2];
        output.insert(output.end(), {input[i], 0.0f, sum / 3.0f});
    }
    return output;
}

struct conversion_case {
    const char* name;
    std::vector<std::string> options;
    int in_channels;
    int out_channels;
    conversion convert;
    cut_offs filter;
};

void PrintTo(const conversion_case& each, std::ostream* out) {
    *out << each.name;
}

class zq_filter_channels : public testing::TestWithParam<conversion_case> {};

TEST_P(zq_filter_channels, writes_the_conversion_filtered_by_the_library) {
    const conversion_case& each = GetParam();
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    const fs::path output = scratch.work / "out.wav";
    write_sound(input, test_signal(each.in_channels, 48000, 5000));

    const run_result result =
        run_program(ZQ_FILTER_PATH, with_files(each.options, input, output), scratch.capture);

    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const sound written = read_sound(output);
    ASSERT_EQ(written.channels, each.out_channels);
    const sound read = read_sound(input);
    const sound converted{each.out_channels, read.rate, read.format, each.convert(read.samples)};
    EXPECT_TRUE(same_bits(written.samples, filter_with_library(converted, each.filter)));
}

INSTANTIATE_TEST_SUITE_P(
    mix_and_route, zq_filter_channels,
    testing::Values(
        conversion_case{"surround71_to_stereo_then_high_pass",
                        {"--mix", "stereo", "--highpass", "80"},
                        8,
                        2,
                        mixed_by_library(8, 2),
                        {80.0f, std::nullopt}},
        // Ten or more channels pair up without --pairs; odd blocks exercise the last one.
        conversion_case{"twelve_channels_by_pairs_then_low_pass",
                        {"--mix", "stereo", "--lowpass", "4000", "--frames", "333"},
                        12,
                        2,
                        summed_by_pairs(12),
                        {std::nullopt, 4.0f}},
        conversion_case{
            "surround51_by_pairs", {"--mix", "stereo", "--pairs"}, 6, 2, summed_by_pairs(6), {}},
        conversion_case{
            "surround51_down_mixed", {"--mix", "stereo"}, 6, 2, mixed_by_library(6, 2), {}},
        conversion_case{"mono_up_to_a_count_of_six_then_band",
                        {"--mix", "6", "--highpass", "300", "--lowpass", "4000"},
                        1,
                        6,
                        mixed_by_library(1, 6),
                        {300.0f, 4.0f}},
        conversion_case{"layout_already_there_passes_through",
                        {"--mix", "stereo", "--lowpass", "4000"},
                        2,
                        2,
                        unchanged,
                        {std::nullopt, 4.0f}},
        conversion_case{"route_swaps_left_and_right", {"--route", "1:0,0:1"}, 2, 2, swapped, {}},
        conversion_case{"route_fans_out_and_averages",
                        {"--route", "0:0,0:2,1:2,2:2", "--frames", "7"},
                        3,
                        3,
                        fanned_out_and_averaged,
                        {}}),
    [](const testing::TestParamInfo<conversion_case>& each) { return each.param.name; });

} // namespace
} // namespace zq_tool_test
