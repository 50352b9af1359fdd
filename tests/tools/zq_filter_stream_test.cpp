// zq-filter in pipelines: "-" for standard input and output, the container of a piped OUTPUT
// from --type, and standard output holding nothing but audio.
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
    const std::vector<float> expected = filter_with_library(read_sound(scratch.in), 300.0f, 0.0f);
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

} // namespace
} // namespace zq_tool_test
