// How audio gets in and out of zq-filter: pipelines ("-" for standard input and output, the
// container of a piped OUTPUT from --type, standard output holding nothing but audio) and the
// containers and encodings that OUTPUT's name chooses.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zq_tool_test {
namespace {

struct pipe_case {
    const char* command; // bash, in the directory holding in.wav
    int status;
    const char* says;    // expected in stderr; "" for nothing at all
    const char* written; // the file to check, null for none
    int format;          // of `written`
    double tolerance;    // per sample, against the library; 0 for the same bits
};

const pipe_case k_pipes[] = {
    {"cat in.wav | zq-filter -q --highpass 300 - - | cat > out.wav", 0, "", "out.wav", k_float_wav,
     0},
    {"zq-filter -q --highpass 300 in.wav - | zq-filter -q - - | cat > out.wav", 0, "", "out.wav",
     k_float_wav, 0},
    // sox reads the stream without a warning; the component's line goes to stderr. sox moves
    // each float sample by up to an ulp, which the narrow high-pass magnifies.
    {"sox in.wav -t wav - | zq-filter --highpass 300 - - | sox -t wav - out.flac", 0,
     "fracts are 0.006250 and 0.083333 \n", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 5e-5},
    {"cat in.wav | zq-filter -q --highpass 300 --type flac - - | cat > out.flac", 0, "", "out.flac",
     SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.2e-7},
    {"zq-filter -q --highpass 300 -t caf in.wav - > out.caf", 0, "", "out.caf",
     SF_FORMAT_CAF | SF_FORMAT_FLOAT, 0},
    {"cat in.wav | zq-filter -q -t aiff - - | cat > out.aiff", 3,
     "types that stream: wav, flac, ogg, opus, mp3, au", nullptr, 0, 0},
    {"zq-filter -q in.wav in.flac && cat in.flac | zq-filter -q - out.wav", 2,
     "from a pipe libsndfile reads WAV, AIFF, AU, W64, Ogg (Vorbis, Opus) and MP3", nullptr, 0, 0},
};

TEST(zq_filter, reads_and_writes_pipes_keeping_standard_output_for_audio) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 5000));
    const std::vector<float> expected = filter_with_engine(read_sound(scratch.in), 300.0f, 0.0f);
    for (const pipe_case& each : k_pipes) {
        SCOPED_TRACE(each.command);
        const run_result result = scratch.shell(each.command);
        EXPECT_EQ(result.status, each.status) << result.err;
        if (*each.says == '\0') {
            EXPECT_EQ(result.err, "");
        } else {
            EXPECT_NE(result.err.find(each.says), std::string::npos) << result.err;
        }
        if (!each.written) continue;
        const sound written = read_sound(scratch.work / each.written);
        EXPECT_EQ(written.format, each.format);
        if (each.tolerance == 0) {
            EXPECT_TRUE(same_bits(written.samples, expected));
            continue;
        }
        ASSERT_EQ(written.samples.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(written.samples[i], expected[i], each.tolerance) << "sample " << i;
    }
}

struct container_case {
    const char* input; // in.wav (float), in16.wav (16-bit) or in.mp3
    const char* output;
    const char* options;
    int format;       // what OUTPUT must hold
    const char* note; // expected on stderr; "" for nothing at all
};

const container_case k_containers[] = {
    {"in.wav", "out.ogg", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS, ""},
    {"in.wav", "out.opus", "", SF_FORMAT_OGG | SF_FORMAT_OPUS, ""},
    {"in.wav", "out.mp3", "", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, ""},
    {"in.wav", "out.aif", "", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, ""},
    {"in16.wav", "out.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ""},
    {"in.wav", "out.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
     "zq-filter: OUTPUT is Signed 24 bit PCM: a FLAC (Free Lossless Audio Codec) file does not "
     "take "
     "INPUT's 32 bit float (--format chooses another)\n"},
    {"in.mp3", "out.wav", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT,
     "zq-filter: OUTPUT is 32 bit float: a WAV (Microsoft) file does not take INPUT's MPEG "
     "Layer III (--format chooses another)\n"},
    {"in.mp3", "out.wav", "--format pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, ""},
};

TEST(zq_filter, names_containers_by_their_usual_extensions_and_picks_an_encoding_that_fits) {
    const scratch_space scratch;
    sound signal = test_signal(2, 48000, 4800);
    write_sound(scratch.in, signal);
    signal.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write_sound(scratch.work / "in16.wav", signal);
    ASSERT_EQ(scratch.shell("zq-filter -q in.wav in.mp3").status, 0);
    for (const container_case& each : k_containers) {
        SCOPED_TRACE(std::string(each.input) + " -> " + each.output + " " + each.options);
        const run_result result =
            scratch.shell(std::string("zq-filter ") + each.options + " " + each.input + " " +
                          each.output + " 2>&1 | " + "grep -v '^fracts\\|^zq-filter: wrote' >&2");
        EXPECT_EQ(result.err, each.note);
        EXPECT_EQ(read_sound(scratch.work / each.output).format, each.format);
    }
}

} // namespace
} // namespace zq_tool_test
