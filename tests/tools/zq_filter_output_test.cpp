// zq-filter's output, checked against the DSP library called directly: each filter mode,
// any frame size, integer and float files, the containers and sample formats it writes.
#include "library_reference.h"
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;

struct mode_case {
    const char* name;
    std::vector<std::string> options;
    cut_offs request;
    int channels;
    int rate;
    const char* component_says;
};

void PrintTo(const mode_case& mode, std::ostream* out) {
    *out << mode.name;
}

class zq_filter_mode : public testing::TestWithParam<mode_case> {};

TEST_P(zq_filter_mode, writes_what_the_library_computes_and_keeps_the_streams_apart) {
    const mode_case& mode = GetParam();
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    const fs::path output = scratch.work / "out.wav";
    // 5000 frames: several frames of 1024 and a shorter last one.
    write_sound(input, test_signal(mode.channels, mode.rate, 5000));

    const run_result result =
        run_program(ZQ_FILTER_PATH, with_files(mode.options, input, output), scratch.capture);

    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, mode.component_says);
    EXPECT_EQ(result.err, "");
    const sound written = read_sound(output);
    EXPECT_EQ(written.format, k_float_wav);
    EXPECT_EQ(written.channels, mode.channels);
    EXPECT_EQ(written.rate, mode.rate);
    EXPECT_TRUE(same_bits(written.samples, filter_with_library(read_sound(input), mode.request)));
}

INSTANTIATE_TEST_SUITE_P(
    each_mode, zq_filter_mode,
    testing::Values(mode_case{"bypass", {}, {}, 2, 48000, "fracts are 0.002083 and 0.083333 \n"},
                    mode_case{"low_pass",
                              {"--lowpass", "4000"},
                              {std::nullopt, 4.0f},
                              2,
                              48000,
                              "fracts are 0.002083 and 0.083333 \n"},
                    mode_case{"high_pass_fourth_order",
                              {"--highpass", "1000"},
                              {1000.0f, std::nullopt},
                              2,
                              48000,
                              "fracts are 0.020833 and 0.083333 \n"},
                    mode_case{"high_pass_in_two_sections",
                              {"--highpass", "100"},
                              {100.0f, std::nullopt},
                              2,
                              48000,
                              "fracts are 0.002083 and 0.083333 \n"},
                    mode_case{"band_of_fourth_order_sections",
                              {"--highpass", "1000", "--lowpass", "4000"},
                              {1000.0f, 4.0f},
                              2,
                              48000,
                              "fracts are 0.020833 and 0.083333 \n"},
                    mode_case{"band_with_padded_high_section",
                              {"--highpass", "300", "--lowpass", "4000"},
                              {300.0f, 4.0f},
                              2,
                              48000,
                              "fracts are 0.006250 and 0.083333 \n"},
                    mode_case{"band_too_low_runs_its_low_pass",
                              {"--highpass", "100", "--lowpass", "200"},
                              {100.0f, 0.2f},
                              2,
                              48000,
                              "fracts are 0.002083 and 0.004167 \n"
                              "cheating because fracts were 0.002083 and 0.004167 \n"},
                    mode_case{"mono_band_through_set",
                              {"--set", "hPass=1", "--set", "hFrequency=250", "--set", "lPass=1",
                               "--set", "lFrequency=5.5"},
                              {250.0f, 5.5f},
                              1,
                              44100,
                              "fracts are 0.005669 and 0.124717 \n"},
                    mode_case{"ten_channels",
                              {"--highpass", "2000"},
                              {2000.0f, std::nullopt},
                              10,
                              32000,
                              "fracts are 0.062500 and 0.125000 \n"}),
    [](const testing::TestParamInfo<mode_case>& each) { return each.param.name; });

TEST(zq_filter_frames, every_frame_size_writes_the_same_file) {
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    write_sound(input, test_signal(3, 44100, 5000));
    const std::vector<float> expected = filter_with_library(read_sound(input), {300.0f, 4.0f});

    std::string first_file;
    for (const char* frames : {"1", "7", "1024", "4096"}) {
        const fs::path output = scratch.work / (std::string("out-") + frames + ".wav");
        const run_result result =
            run_program(ZQ_FILTER_PATH,
                        with_files({"--frames", frames, "--highpass", "300", "--lowpass", "4000"},
                                   input, output),
                        scratch.capture);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(same_bits(read_sound(output).samples, expected)) << "--frames " << frames;
        if (first_file.empty()) first_file = file_bytes(output);
        EXPECT_TRUE(file_bytes(output) == first_file) << "--frames " << frames;
    }
}

TEST(zq_filter_formats, integer_samples_are_filtered_as_float_and_clipped_on_the_way_back) {
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    const fs::path output = scratch.work / "out.wav";
    // A full-scale square wave: the low-pass rings past full scale after every edge.
    sound square{1, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, std::vector<float>(4800)};
    for (std::size_t i = 0; i < square.samples.size(); ++i)
        square.samples[i] = (i / 100) % 2 == 0 ? 1.0f : -1.0f;
    write_sound(input, square);

    const run_result result = run_program(
        ZQ_FILTER_PATH, with_files({"--lowpass", "2000"}, input, output), scratch.capture);

    ASSERT_EQ(result.status, 0) << result.err;
    const sound written = read_sound(output);
    EXPECT_EQ(written.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::vector<float> expected =
        filter_with_library(read_sound(input), {std::nullopt, 2.0f});
    ASSERT_EQ(written.samples.size(), expected.size());
    ASSERT_GT(*std::max_element(expected.begin(), expected.end()), 1.0f);
    // Only saturation is checked to the sample: libsndfile's rounding of the last bit depends on
    // how it converts, but a wrapped-around value would be off by the whole range.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const float limited = std::clamp(expected[i] * 32768.0f, -32768.0f, 32767.0f);
        ASSERT_NEAR(written.samples[i] * 32768.0f, limited, 1.5f) << "sample " << i;
    }
}

TEST(zq_filter_formats, container_follows_the_extension_and_samples_follow_format_option) {
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    write_sound(input, test_signal(2, 48000, 2000));
    const struct {
        std::vector<std::string> options;
        const char* output;
        int format;
    } cases[] = {
        {{"--format", "pcm24"}, "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {{}, "out.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {{"--format", "pcm16"}, "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    };
    for (const auto& each : cases) {
        const fs::path output = scratch.work / each.output;
        const run_result result =
            run_program(ZQ_FILTER_PATH, with_files(each.options, input, output), scratch.capture);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(read_sound(output).format & ~SF_FORMAT_ENDMASK, each.format) << each.output;
    }
}

TEST(zq_filter_module, is_found_beside_the_executable_wherever_the_tree_is_moved) {
    const scratch_space scratch;
    const fs::path input = scratch.work / "in.wav";
    const fs::path output = scratch.work / "out.wav";
    write_sound(input, test_signal(2, 48000, 1000));
    const fs::path built(ZQ_FILTER_PATH);
    const fs::path module_from_bindir = fs::relative(ZQ_MODULE_PATH, built.parent_path());
    const fs::path program = scratch.root / "moved" / "bin" / "zq-filter";
    const fs::path module = (program.parent_path() / module_from_bindir).lexically_normal();
    fs::create_directories(program.parent_path());
    fs::create_directories(module.parent_path());
    fs::copy_file(built, program);
    fs::copy_file(ZQ_MODULE_PATH, module);

    const std::vector<std::string> arguments = with_files({"--lowpass", "4000"}, input, output);
    EXPECT_EQ(run_program(program, arguments, scratch.capture).status, 0);

    fs::remove(module);
    const run_result missing = run_program(program, arguments, scratch.capture);
    EXPECT_EQ(missing.status, 4);
    EXPECT_NE(missing.err.find(module.string()), std::string::npos) << missing.err;
}

TEST(zq_filter_module, version_names_the_tool_and_the_module_banner) {
    const scratch_space scratch;
    const run_result result = run_program(ZQ_FILTER_PATH, {"--version"}, scratch.capture);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("zq-filter ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("zq.filter.audio.hl-pass-0.1: "), std::string::npos) << result.out;
}

} // namespace
} // namespace zq_tool_test
