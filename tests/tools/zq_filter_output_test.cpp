// zq-filter's output, checked against the engine called directly and plain mixing loops: each
// filter mode, the channel conversions and gain before it, any frame size, containers and sample
// formats, clipping and dither; and the exact design's soundness check.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace zq_tool_test {
namespace {

// The standard down-mix's -3 dB, 1/sqrt 2 in single precision.
const float k_g = static_cast<float>(M_SQRT1_2);

// 7.1 in the library's order, C L R Lside Rside Ls Rs LFE, from the equations:
// L' = L + g C + g Lside + g Ls, R' = R + g C + g Rside + g Rs, the LFE dropped.
std::vector<float> surround71_down_mixed_by_the_standard(std::vector<float> input) {
    std::vector<float> output;
    for (std::size_t i = 0; i < input.size(); i += 8) {
        const float* x = &input[i];
        output.push_back(x[1] + k_g * x[0] + k_g * x[3] + k_g * x[5]);
        output.push_back(x[2] + k_g * x[0] + k_g * x[4] + k_g * x[6]);
    }
    return output;
}

// 5.0, C L R Ls Rs, to mono: M = (L' + R') * 0.5, L' = L + g C + g Ls, R' = R + g C + g Rs.
std::vector<float> surround50_to_mono_by_the_standard(std::vector<float> input) {
    std::vector<float> output;
    for (std::size_t i = 0; i < input.size(); i += 5) {
        const float* x = &input[i];
        const float left = x[1] + k_g * x[0] + k_g * x[3];
        const float right = x[2] + k_g * x[0] + k_g * x[4];
        output.push_back((left + right) * 0.5f);
    }
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

// --gain -6: the decibels' definition, one product per sample.
std::vector<float> six_db_down(std::vector<float> input) {
    const auto factor = static_cast<float>(std::pow(10.0, -6.0 / 20.0));
    for (float& sample : input)
        sample *= factor;
    return input;
}

struct run_case {
    const char* name;
    const char* options;
    int in_channels, out_channels, rate;
    float high_hz, low_khz; // 0 for none
    // Channel conversion before the filter, none when null.
    std::vector<float> (*convert)(std::vector<float>) = nullptr;
    const char* warning = nullptr; // what zq-filter must say on standard error, if anything
    // Several frames of 1024 and a shorter last one; 150000 stereo frames span three of the
    // blocks zq-filter reads and writes at once, the last one short.
    int frames = 5000;
    // exact: the component (--exact); precise: the default filter.
    realization kind = realization::exact;
};

const run_case k_runs[] = {
    {"bypass", "", 2, 2, 48000, 0, 0},
    {"low_pass", "--lowpass 4000 --frames 4096", 2, 2, 48000, 0, 4},
    {"high_pass_fourth_order_ten_channels", "--highpass 2000", 10, 10, 32000, 2000, 0},
    {"sixteen_channels_through_the_default_filter", "--highpass 300", 16, 16, 48000, 300, 0,
     nullptr, nullptr, 2000, realization::precise},
    {"band_of_fourth_order_sections", "--highpass 1kHz --lowpass 4k --frames 1", 2, 2, 48000, 1000,
     4},
    {"band_with_padded_high_section_through_set",
     "--set hPass=1 --set hFrequency=250 --set lPass=1 --set lFrequency=5.5", 1, 1, 44100, 250,
     5.5f},
    {"band_too_low_runs_its_low_pass", "--highpass 100 --lowpass 200", 2, 2, 44100, 100, 0.2f,
     nullptr, "is built as a plain low-pass"},
    {"surround71_to_stereo_then_high_pass", "--mix stereo --highpass 80", 8, 2, 48000, 80, 0,
     surround71_down_mixed_by_the_standard},
    {"surround50_to_mono_in_odd_blocks", "--mix mono --lowpass 4000 --frames 333", 5, 1, 48000, 0,
     4, surround50_to_mono_by_the_standard},
    // Ten or more channels pair up without --pairs; odd blocks exercise the last one.
    {"twelve_channels_by_pairs_then_low_pass", "--mix stereo --lowpass 4000 --frames 333", 12, 2,
     48000, 0, 4, twelve_summed_by_pairs},
    {"route_swaps_fans_out_and_averages", "--route 1:0,0:1,0:3,1:3,2:3 --frames 7", 3, 4, 48000, 0,
     0, routed},
    {"gain_before_the_filter_over_several_blocks", "--gain -6 --lowpass 4000", 2, 2, 48000, 0, 4,
     six_db_down, nullptr, 150000},
};

// What the component prints of its design is its own tests' business; here it shows that the
// component ran and printed to standard error, standard output being kept for audio.
TEST(ZqFilter, WritesWhatTheLibrariesComputeAndKeepsTheStreamsApart) {
    const scratch_space scratch;
    for (const run_case& each : k_runs) {
        SCOPED_TRACE(each.name);
        write_sound(scratch.in, test_signal(each.in_channels, each.rate, each.frames));
        const bool exact = each.kind == realization::exact;
        const run_result result =
            scratch.shell(std::string("zq-filter ") + (exact ? "--exact " : "") + each.options +
                          " in.wav out.wav");
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "");
        for (const char* said : {each.warning, exact ? "fracts are " : nullptr}) {
            if (said) {
                EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
            }
        }
        const sound written = read_sound(scratch.out);
        EXPECT_EQ(written.format, k_float_wav);
        EXPECT_EQ(written.rate, each.rate);
        ASSERT_EQ(written.channels, each.out_channels);
        sound expected = read_sound(scratch.in);
        expected.channels = each.out_channels;
        if (each.convert) expected.samples = each.convert(expected.samples);
        EXPECT_TRUE(
            same_bits(written.samples, filter_with_engine(expected, each.high_hz,
                                                          1000.0 * each.low_khz, each.kind)));
    }
}

struct format_case {
    const char* format;
    const char* extension;
    int clamps; // 1 to full scale, 0 keeps every bit, -1 lossy
};

const format_case k_formats[] = {
    {"float", "wav", 0},   {"double", "wav", 0}, {"pcm16", "wav", 1},   {"pcm16", "flac", 1},
    {"pcm24", "wav", 1},   {"pcm32", "wav", 1},  {"s8", "aiff", 1},     {"u8", "wav", 1},
    {"ulaw", "wav", 1},    {"alaw", "wav", 1},   {"vorbis", "oga", -1}, {"opus", "oga", -1},
    {"vorbis", "ogg", -1}, {"opus", "opus", -1},
};

// Every sample clipped; the way out rounds the peak of 105 (40.4 dB) up.
const char k_clip_report[] =
    "zq-filter: clipped 9600 samples (1e+02%); use --gain -41 or a float format\n";

// Every sample format and the Ogg extensions, with samples an encoder may choke on: each run
// succeeds with finite samples, clamped to full scale (never wrapped around) and counted where
// the format has one. Non-finite input never gets this far: reading refuses it, whatever the
// format. OUTPUT names are as long as a file name may be: the temporary file must fit too.
TEST(ZqFilter, EveryFormatTakesAnySampleWithoutDying) {
    const scratch_space scratch;
    sound normal = test_signal(2, 48000, 4800), loud = normal;
    for (std::size_t i = 0; i < loud.samples.size(); ++i)
        loud.samples[i] = i % 3 == 0 ? 105.0f : -100.0f;
    for (const format_case& each : k_formats) {
        for (const sound* input : {&normal, &loud}) {
            SCOPED_TRACE(std::string(each.format) + " ." + each.extension +
                         (input == &loud ? ", loud" : ""));
            write_sound(scratch.in, *input);
            const std::string out =
                std::string(254 - std::strlen(each.extension), 'n') + "." + each.extension;
            const run_result result = scratch.shell(std::string("zq-filter -q --format ") +
                                                    each.format + " in.wav " + out);
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(std::distance(fs::directory_iterator(scratch.work), {}), 2);
            const std::vector<float> written = read_sound(scratch.work / out).samples;
            fs::remove(scratch.work / out);
            ASSERT_TRUE(std::all_of(written.begin(), written.end(),
                                    [](float sample) { return std::isfinite(sample); }));
            if (each.clamps < 0) continue;
            EXPECT_EQ(result.err, input == &loud && each.clamps ? k_clip_report : "");
            if (each.clamps == 0) {
                EXPECT_TRUE(same_bits(written, input->samples));
                continue;
            }
            for (std::size_t i = 0; i < written.size(); ++i) {
                ASSERT_LE(std::abs(written[i]), 1.0f) << i;
                if (input == &loud) {
                    ASSERT_GE(written[i] * input->samples[i], 95.0f) << i;
                }
            }
        }
    }
}

// Vorbis shapes its blocks from what each call brings, so it must get the filter's pieces one by
// one, not the blocks zq-filter writes everything else in.
TEST(ZqFilter, HandsAVorbisEncoderEachPieceTheFilterEmitted) {
    const scratch_space scratch;
    sound content = test_signal(2, 48000, 150000);
    write_sound(scratch.in, content);
    ASSERT_EQ(scratch.shell("zq-filter -q --lowpass 4000 --frames 1000 in.wav out.ogg").status, 0);
    content.samples = filter_with_engine(content, 0, 4000, realization::precise);
    content.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    write_sound(scratch.work / "pieces.ogg", content, 1000);
    EXPECT_TRUE(same_bits(read_sound(scratch.work / "out.ogg").samples,
                          read_sound(scratch.work / "pieces.ogg").samples));
}

TEST(ZqFilter, DithersAReductionTo16BitsAndNothingElse) {
    // A 1 kHz tone 2.5 steps of 16 bits high: rounded plainly, its error repeats with the tone
    // and piles up at the odd harmonics; dithered, it spreads into noise.
    const scratch_space scratch;
    sound tone{1, 48000, k_float_wav, std::vector<float>(48000)};
    for (std::size_t i = 0; i < tone.samples.size(); ++i)
        tone.samples[i] =
            static_cast<float>(2.5 / 32768 * std::sin(2 * M_PI * 1000 * double(i) / 48000.0));
    write_sound(scratch.in, tone);
    const auto third_harmonic = [&](const char* options) {
        EXPECT_EQ(scratch.filter(options).status, 0);
        return 20.0 * std::log10(tone_amplitude(read_sound(scratch.out), 0, 3000));
    };
    EXPECT_LT(third_harmonic("--format pcm16"), third_harmonic("--format pcm16 --no-dither") - 20);

    // Nothing is dithered where no bits are lost: 24-bit OUTPUT, or 16 bits from 16.
    const auto undithered = [&](const char* options) {
        EXPECT_EQ(scratch.filter(options).status, 0);
        const std::vector<float> plain = read_sound(scratch.out).samples;
        EXPECT_EQ(scratch.filter(std::string(options) + " --no-dither").status, 0);
        return same_bits(read_sound(scratch.out).samples, plain);
    };
    EXPECT_TRUE(undithered("--format pcm24"));
    tone.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write_sound(scratch.in, tone);
    EXPECT_TRUE(undithered(""));
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
    const std::vector<std::string> arguments{"--quiet", "--exact", scratch.in.string(),
                                             scratch.out.string()};
    EXPECT_EQ(scratch.run(arguments, program).status, 0);
    const run_result version = scratch.run({"--version"}, program);
    EXPECT_EQ(version.status, 0);
    // This build's own description first; the module's fixed banner after it.
    const std::string described = "zq-filter " ZQ_FILTER_VERSION "\nbuilt 20";
    EXPECT_EQ(version.out.rfind(described, 0), 0u) << version.out;
    EXPECT_NE(version.out.find(" by "), std::string::npos) << version.out;
    EXPECT_NE(version.out.find("zq.filter.audio.hl-pass-0.1: "), std::string::npos) << version.out;

    fs::remove(module);
    const run_result missing = scratch.run(arguments, program);
    EXPECT_EQ(missing.status, 4);
    EXPECT_NE(missing.err.find(module.string()), std::string::npos) << missing.err;
}

// Where the component's single-precision design (--exact) breaks down: refused, or warned about,
// before any audio is written, pointing to the default; and the default filtering the same
// settings soundly. Which settings break down
// is the engine's to tell; here each kind of verdict reaches the user.
struct soundness_case {
    int rate;
    const char* options;
    double high_hz, low_hz; // as the options give them, 0 for none
    bool warned;            // rather than refused
    const char* message;
};

const soundness_case k_cases[] = {
    {96000, "--lowpass 200", 0, 200, false,
     "at 96000 Hz a 200 Hz low-pass is unstable in the exact single-precision design (pole "
     "radius 1.00"},
    {48000, "--highpass 20000", 20000, 0, false, "20000 Hz high-pass boosts by +45"},
    {48000, "--highpass 490 --lowpass 4000", 490, 4000, true,
     "at 48000 Hz a 490 Hz .. 4000 Hz band-pass: stopband at"},
};

TEST(ZqFilter, RefusesOrWarnsWhereTheExactDesignBreaksDownAndPreciseDoesNot) {
    const scratch_space scratch;
    for (const soundness_case& each : k_cases) {
        SCOPED_TRACE(each.options);
        const sound noise = test_signal(1, each.rate, each.rate / 8);
        write_sound(scratch.in, noise);
        fs::remove(scratch.out);
        const run_result exact = scratch.filter(std::string("--exact ") + each.options);
        EXPECT_EQ(exact.status, each.warned ? 0 : 1);
        EXPECT_EQ(fs::exists(scratch.out), each.warned);
        EXPECT_NE(exact.err.find(each.message), std::string::npos) << exact.err;
        EXPECT_NE(exact.err.find("drop --exact for the Butterworth design"), std::string::npos)
            << exact.err;
        if (each.warned) {
            EXPECT_EQ(exact.err.rfind("zq-filter: warning: ", 0), 0u) << exact.err;
            EXPECT_EQ(scratch.filter(std::string(each.options) + " --exact --strict").status, 1);
        }
        const run_result precise = scratch.filter(each.options);
        ASSERT_EQ(precise.status, 0) << precise.err;
        EXPECT_EQ(precise.err, "");
        const std::vector<float> written = read_sound(scratch.out).samples;
        EXPECT_TRUE(std::all_of(written.begin(), written.end(),
                                [](float sample) { return std::isfinite(sample); }));
        EXPECT_TRUE(same_bits(
            written, filter_with_engine(noise, each.high_hz, each.low_hz, realization::precise)));
    }
}

TEST(ZqFilter, ShowsTheResponseOfBothRealizationsWithoutAudio) {
    const scratch_space scratch;
    const run_result table = scratch.run(words("--response --rate 96000 --lowpass 200"));
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("precise runs\n\n                               precise"),
              std::string::npos)
        << table.out;
    for (const char* shown :
         {"-3 dB at", "gain at DC", "gain at 200 Hz", "gain at 48000 Hz (Nyquist)",
          "slope 400 .. 800 Hz", "unsound", "sound", "pole radius"})
        EXPECT_NE(table.out.find(shown), std::string::npos) << shown << "\n" << table.out;

    // INPUT's rate, the component's design first.
    write_sound(scratch.in, test_signal(1, 44100, 10));
    const run_result csv = scratch.run(
        {"--response=csv", "--exact", "--highpass", "300", "--lowpass", "4k", scratch.in.string()});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("frequency_hz,exact_db,precise_db\n10,", 0), 0u) << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 201);
    EXPECT_NE(csv.out.find("\n22050,"), std::string::npos) << csv.out;
}

} // namespace
} // namespace zq_tool_test
