// How audio gets in and out of zq-filter: pipelines ("-" for standard input and output, the
// container of a piped OUTPUT from --type, standard output holding nothing but audio) and the
// containers and encodings that OUTPUT's name chooses, and the metadata carried across.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

TEST(ZqFilter, ReadsAndWritesPipesKeepingStandardOutputForAudio) {
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

TEST(ZqFilter, NamesContainersByTheirUsualExtensionsAndPicksAnEncodingThatFits) {
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

struct metadata {
    std::string title, artist, comment;
    std::string bext_description; // empty for no bext
    std::uint64_t time_reference = 0;
    std::vector<std::uint32_t> cue_offsets;
};

void write_metadata(const std::filesystem::path& path, const metadata& tags) {
    SF_INFO info{1, 48000, 1, k_float_wav, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_set_string(file, SF_STR_TITLE, tags.title.c_str());
    sf_set_string(file, SF_STR_ARTIST, tags.artist.c_str());
    sf_set_string(file, SF_STR_COMMENT, tags.comment.c_str());
    SF_BROADCAST_INFO bext{};
    std::strcpy(bext.description, tags.bext_description.c_str());
    bext.time_reference_low = static_cast<std::uint32_t>(tags.time_reference);
    bext.time_reference_high = static_cast<std::uint32_t>(tags.time_reference >> 32);
    sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
    SF_CUES cues{};
    for (const std::uint32_t offset : tags.cue_offsets)
        cues.cue_points[cues.cue_count++] = {
            int(cues.cue_count), offset, 0x61746164, 0, 0, offset, ""};
    sf_command(file, SFC_SET_CUE, &cues, sizeof cues);
    const std::vector<float> silence(4800);
    sf_writef_float(file, silence.data(), 4800);
    sf_close(file);
}

metadata read_metadata(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    const auto text = [file](int kind) {
        const char* found = sf_get_string(file, kind);
        return std::string(found ? found : "");
    };
    metadata tags{text(SF_STR_TITLE), text(SF_STR_ARTIST), text(SF_STR_COMMENT), "", 0, {}};
    SF_BROADCAST_INFO bext{};
    if (sf_command(file, SFC_GET_BROADCAST_INFO, &bext, sizeof bext)) {
        tags.bext_description = bext.description;
        tags.time_reference = bext.time_reference_low | std::uint64_t{bext.time_reference_high}
                                                            << 32;
    }
    SF_CUES cues{};
    if (sf_command(file, SFC_GET_CUE, &cues, sizeof cues))
        for (std::uint32_t k = 0; k < cues.cue_count; ++k)
            tags.cue_offsets.push_back(cues.cue_points[k].sample_offset);
    sf_close(file);
    return tags;
}

struct metadata_case {
    const char* output;
    bool bext, cues; // kept besides the strings
    const char* lost;
};

const metadata_case k_metadata[] = {
    {"out.wav", true, true, ""},
    {"out.aiff", false, true, "AIFF (Apple/SGI), does not keep INPUT's broadcast extension (bext)"},
    {"out.flac", false, false,
     "FLAC (Free Lossless Audio Codec), does not keep INPUT's broadcast extension (bext), cue "
     "points"},
};

TEST(ZqFilter, CarriesStringsBextAndCuePointsWhereTheContainerKeepsThem) {
    const scratch_space scratch;
    const metadata tags{
        "Take 3",   "The band", "rough mix", "desk A", (std::uint64_t{1} << 32) + 172800000,
        {100, 2000}};
    write_metadata(scratch.in, tags);
    for (const metadata_case& each : k_metadata) {
        SCOPED_TRACE(each.output);
        const run_result result = scratch.shell(std::string("zq-filter --format pcm24 in.wav ") +
                                                each.output + " 2>&1 | grep -v '^fracts' >&2");
        EXPECT_NE(result.err.find(each.lost), std::string::npos) << result.err;
        const metadata kept = read_metadata(scratch.work / each.output);
        EXPECT_EQ(kept.title + "/" + kept.artist + "/" + kept.comment,
                  tags.title + "/" + tags.artist + "/" + tags.comment);
        EXPECT_EQ(kept.bext_description, each.bext ? tags.bext_description : "");
        EXPECT_EQ(kept.time_reference, each.bext ? tags.time_reference : 0);
        EXPECT_EQ(kept.cue_offsets, each.cues ? tags.cue_offsets : std::vector<std::uint32_t>{});
    }
}

} // namespace
} // namespace zq_tool_test
