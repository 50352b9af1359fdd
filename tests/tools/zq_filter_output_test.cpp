// zq-filter's output, checked against the engine and the channel library called directly: each
// filter mode, the channel conversions before it, any frame size, containers and sample formats.
#include "tool_test_support.h"

#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;
using ns_audio_channel::audio_channel_api;

std::vector<float> surround71_down_mixed_by_library(std::vector<float> input) {
    const std::unique_ptr<audio_channel_api, void (*)(audio_channel_api*)> converter(
        audio_channel_api::create(audio_channel_api::mixing, 8, 2, false),
        audio_channel_api::destroy);
    std::vector<float> output(input.size() / 4);
    converter->process(output.data(), input.data(), static_cast<uint32_t>(input.size() / 8));
    return output;
}

// L = x0 + x2 + ..., R = x1 + x3 + ..., summed from zero in channel order.
std::vector<float> twelve_summed_by_pairs(std::vector<float> input) {
    std::vector<float> output(input.size() / 6, 0.0f);
    for (std::size_t i = 0; i < input.size(); ++i)
        output[i / 12 * 2 + i % 2] += input[i];
    return output;
}

// --route 1:0,0:1,0:3,1:3,2:3 over three channels: a swap, a silent channel, the average of all.
std::vector<float> routed(std::vector<float> input) {
    std::vector<float> output;
    for (std::size_t i = 0; i < input.size(); i += 3) {
        const float sum = 0.0f + input[i] + input[i + 1] + input[i + 2];
        output.insert(output.end(), {input[i + 1], input[i], 0.0f, sum / 3.0f});
    }
    return output;
}

struct run_case {
    const char* name;
    const char* options;
    int in_channels, out_channels, rate;
    float high_hz, low_khz;     // 0 for none
    const char* component_says; // null where not checked
    // Channel conversion before the filter, none when null.
    std::vector<float> (*convert)(std::vector<float>) = nullptr;
    const char* warning = nullptr; // what zq-filter must say on standard error, if anything
};

const char k_fracts_100_4k[] = "fracts are 0.002083 and 0.083333 \n";

const run_case k_runs[] = {
    {"bypass", "", 2, 2, 48000, 0, 0, k_fracts_100_4k},
    {"low_pass", "--lowpass 4000", 2, 2, 48000, 0, 4, k_fracts_100_4k},
    {"high_pass_fourth_order_ten_channels", "--highpass 2000", 10, 10, 32000, 2000, 0,
     "fracts are 0.062500 and 0.125000 \n"},
    {"high_pass_in_two_sections", "--highpass 100", 2, 2, 48000, 100, 0, k_fracts_100_4k},
    {"band_of_fourth_order_sections", "--highpass 1000 --lowpass 4000", 2, 2, 48000, 1000, 4,
     "fracts are 0.020833 and 0.083333 \n"},
    {"band_with_padded_high_section_through_set",
     "--set hPass=1 --set hFrequency=250 --set lPass=1 --set lFrequency=5.5", 1, 1, 44100, 250,
     5.5f, "fracts are 0.005669 and 0.124717 \n"},
    {"band_too_low_runs_its_low_pass", "--highpass 100 --lowpass 200", 2, 2, 44100, 100, 0.2f,
     "fracts are 0.002268 and 0.004535 \ncheating because fracts were 0.002268 and 0.004535 \n",
     nullptr, "is built as a plain low-pass"},
    {"surround71_to_stereo_then_high_pass", "--mix stereo --highpass 80", 8, 2, 48000, 80, 0,
     nullptr, surround71_down_mixed_by_library},
    // Ten or more channels pair up without --pairs; odd blocks exercise the last one.
    {"twelve_channels_by_pairs_then_low_pass", "--mix stereo --lowpass 4000 --frames 333", 12, 2,
     48000, 0, 4, nullptr, twelve_summed_by_pairs},
    {"route_swaps_fans_out_and_averages", "--route 1:0,0:1,0:3,1:3,2:3 --frames 7", 3, 4, 48000, 0,
     0, nullptr, routed},
};

TEST(ZqFilter, WritesWhatTheLibrariesComputeAndKeepsTheStreamsApart) {
    const scratch_space scratch;
    for (const run_case& each : k_runs) {
        SCOPED_TRACE(each.name);
        // 5000 frames: several frames of 1024 and a shorter last one.
        write_sound(scratch.in, test_signal(each.in_channels, each.rate, 5000));
        const run_result result = scratch.filter(each.options);
        ASSERT_EQ(result.status, 0) << result.err;
        if (each.warning)
            EXPECT_NE(result.err.find(each.warning), std::string::npos) << result.err;
        else
            EXPECT_EQ(result.err, "");
        if (each.component_says) {
            EXPECT_EQ(result.out, each.component_says);
        }
        const sound written = read_sound(scratch.out);
        EXPECT_EQ(written.format, k_float_wav);
        EXPECT_EQ(written.rate, each.rate);
        ASSERT_EQ(written.channels, each.out_channels);
        sound expected = read_sound(scratch.in);
        expected.channels = each.out_channels;
        if (each.convert) expected.samples = each.convert(expected.samples);
        EXPECT_TRUE(
            same_bits(written.samples, filter_with_engine(expected, each.high_hz, each.low_khz)));
    }
}

TEST(ZqFilter, FrameSizeDoesNotChangeABit) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(3, 44100, 5000));
    const std::vector<float> expected = filter_with_engine(read_sound(scratch.in), 300.0f, 4.0f);
    for (const char* frames : {"1", "7", "4096"}) {
        const run_result result =
            scratch.filter(std::string("--highpass 300 --lowpass 4000 --frames ") + frames);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(same_bits(read_sound(scratch.out).samples, expected)) << "--frames " << frames;
    }
}

struct format_case {
    const char* format;
    const char* extension;
    bool known_container; // false: the extension may still be refused (exit 3)
    float loud;           // what a sample of ±100 reads back as: kept, full scale, 0 unchecked
};

const format_case k_formats[] = {
    {"float", "wav", true, 100}, {"double", "wav", true, 100}, {"pcm16", "wav", true, 1},
    {"pcm16", "flac", true, 1},  {"pcm24", "wav", true, 1},    {"pcm32", "wav", true, 1},
    {"s8", "aiff", true, 1},     {"u8", "wav", true, 1},       {"ulaw", "wav", true, 1},
    {"alaw", "wav", true, 1},    {"vorbis", "oga", true, 0},   {"opus", "oga", true, 0},
    {"vorbis", "ogg", false, 0}, {"opus", "opus", false, 0},
};

// Every sample format and the Ogg extensions, with samples an encoder may choke on: each run
// ends in an exit status, finite samples are written (clamped to full scale, never wrapped
// around, where the format has one) and a non-finite one stops the run before anything is
// written. OUTPUT names are as long as a file name may be: the temporary file must fit too.
TEST(ZqFilter, EveryFormatTakesAnySampleWithoutDying) {
    const scratch_space scratch;
    sound normal = test_signal(2, 48000, 4800), loud = normal, nan = normal, inf = normal;
    for (std::size_t i = 0; i < loud.samples.size(); ++i)
        loud.samples[i] = i % 3 == 0 ? 100.0f : -100.0f;
    nan.samples[1001] = std::nanf("");
    inf.samples[77] = std::numeric_limits<float>::infinity();
    const std::pair<const char*, const sound*> inputs[] = {
        {"normal", &normal}, {"loud", &loud}, {"NaN", &nan}, {"infinite", &inf}};
    for (const format_case& each : k_formats) {
        for (const auto& [kind, input] : inputs) {
            SCOPED_TRACE(std::string(each.format) + " ." + each.extension + ", " + kind);
            write_sound(scratch.in, *input);
            const std::string extension = each.extension;
            const fs::path out =
                scratch.work / (std::string(254 - extension.size(), 'n') + "." + extension);
            fs::remove(out);
            const run_result result = scratch.run(
                {"--quiet", "--format", each.format, scratch.in.string(), out.string()});
            const bool finite = input == &normal || input == &loud;
            ASSERT_LT(result.status, 128) << "killed by a signal";
            if (finite && each.known_container) {
                ASSERT_EQ(result.status, 0) << result.err;
            }
            EXPECT_EQ(std::distance(fs::directory_iterator(scratch.work), {}),
                      result.status == 0 ? 2 : 1);
            if (result.status != 0) continue;
            const std::vector<float> written = read_sound(out).samples;
            for (std::size_t i = 0; i < written.size(); ++i) {
                ASSERT_TRUE(std::isfinite(written[i])) << i;
                if (each.loud == 0) continue;
                ASSERT_LE(std::abs(written[i]), each.loud) << i;
                if (input == &loud) {
                    ASSERT_GE(written[i] * input->samples[i] / 100.0f, 0.95f * each.loud) << i;
                }
            }
        }
    }
}

TEST(ZqFilter, FindsItsModuleBesideTheExecutableAndShowsItsBanner) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 1000));
    const fs::path built(ZQ_FILTER_PATH);
    const fs::path program = scratch.root / "moved" / "bin" / "zq-filter";
    const fs::path module =
        (program.parent_path() / fs::relative(ZQ_MODULE_PATH, built.parent_path()))
            .lexically_normal();
    fs::create_directories(program.parent_path());
    fs::create_directories(module.parent_path());
    fs::copy_file(built, program);
    fs::copy_file(ZQ_MODULE_PATH, module);
    const std::vector<std::string> arguments{"--quiet", scratch.in.string(), scratch.out.string()};
    EXPECT_EQ(scratch.run(arguments, program).status, 0);
    const run_result version = scratch.run({"--version"}, program);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zq-filter ", 0), 0u) << version.out;
    EXPECT_NE(version.out.find("zq.filter.audio.hl-pass-0.1: "), std::string::npos) << version.out;

    fs::remove(module);
    const run_result missing = scratch.run(arguments, program);
    EXPECT_EQ(missing.status, 4);
    EXPECT_NE(missing.err.find(module.string()), std::string::npos) << missing.err;
}

} // namespace
} // namespace zq_tool_test
