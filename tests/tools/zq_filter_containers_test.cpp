// How audio gets in and out of zq-filter: pipelines ("-" for standard input and output, the
// container of a piped OUTPUT from --type, standard output holding nothing but audio), the
// containers and encodings that OUTPUT's name chooses, the metadata carried across, and the
// channel layouts that files declare.
#include "tool_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>

namespace zq_tool_test {
namespace {

struct stream_case {
    const char* command; // bash, in the directory holding in.wav, in16.wav and in.mp3
    int status;
    const char* note;    // in zq-filter's notes on stderr, "" for none
    const char* written; // the file to check, null for none
    int format;          // of `written`
    double tolerance;    // per sample, against the library; 0 for the same bits, -1 unchecked
};

const stream_case k_streams[] = {
    {"cat in.wav | zq-filter -q --highpass 300 - - | cat > out.wav", 0, "", "out.wav", k_float_wav,
     0},
    {"zq-filter --highpass 300 in.wav - | zq-filter -q - - | cat > out.wav", 0, "", "out.wav",
     k_float_wav, 0},
    // sox moves each float sample by up to an ulp, which the narrow high-pass magnifies.
    {"sox in.wav -t wav - | zq-filter -q --highpass 300 - - | sox -t wav - out.flac", 0, "",
     "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 5e-5},
    {"cat in.wav | zq-filter -q --highpass 300 --type flac - - | cat > out.flac", 0, "", "out.flac",
     SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.2e-7},
    {"zq-filter -q --highpass 300 -t caf in.wav - > out.caf", 0, "", "out.caf",
     SF_FORMAT_CAF | SF_FORMAT_FLOAT, 0},
    {"cat in.wav | zq-filter -q -t aiff - - | cat > out.aiff", 3,
     "types that stream: wav, flac, ogg, opus, mp3, au", nullptr, 0, 0},
    {"cat in.flac | zq-filter -q - out.wav", 2,
     "from a pipe libsndfile reads WAV, AIFF, AU, W64, Ogg (Vorbis, Opus) and MP3", nullptr, 0, 0},
    {"zq-filter in.wav out.ogg", 0, "", "out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, -1},
    {"zq-filter in.wav out.opus", 0, "", "out.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, -1},
    {"zq-filter in.wav out.mp3", 0, "", "out.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, -1},
    {"zq-filter in.wav out.aif", 0, "", "out.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, -1},
    {"zq-filter in16.wav out.flac", 0, "", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, -1},
    {"zq-filter in.wav out.flac", 0,
     "zq-filter: OUTPUT is Signed 24 bit PCM: a FLAC (Free Lossless Audio Codec) file does not "
     "take INPUT's 32 bit float (--format chooses another)\n",
     "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, -1},
    {"zq-filter in.mp3 out.wav", 0,
     "zq-filter: OUTPUT is 32 bit float: a WAV (Microsoft) file does not take INPUT's MPEG "
     "Layer III (--format chooses another)\n",
     "out.wav", k_float_wav, -1},
    {"zq-filter --format pcm24 in.mp3 out.wav", 0, "", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24,
     -1},
};

TEST(ZqFilter, StreamsThroughPipesAndWritesTheContainerItsNameOrTypeAsksFor) {
    const scratch_space scratch;
    sound signal = test_signal(2, 48000, 5000);
    write_sound(scratch.in, signal);
    signal.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    write_sound(scratch.work / "in16.wav", signal);
    ASSERT_EQ(scratch.shell("zq-filter -q in.wav in.mp3 && zq-filter -q in.wav in.flac").status, 0);
    const std::vector<float> expected =
        filter_with_engine(read_sound(scratch.in), 300.0, 0.0, realization::precise);
    for (const stream_case& each : k_streams) {
        SCOPED_TRACE(each.command);
        const run_result result = scratch.shell(each.command);
        EXPECT_EQ(result.status, each.status) << result.err;
        EXPECT_NE(notes(result.err).find(each.note), std::string::npos) << result.err;
        EXPECT_EQ(notes(result.err).empty(), *each.note == '\0') << result.err;
        if (!each.written) continue;
        const sound written = read_sound(scratch.work / each.written);
        EXPECT_EQ(written.format, each.format);
        if (each.tolerance == 0) {
            EXPECT_TRUE(same_bits(written.samples, expected));
        }
        if (each.tolerance <= 0) continue;
        ASSERT_EQ(written.samples.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(written.samples[i], expected[i], each.tolerance) << "sample " << i;
    }
}

// A reader that tells the type from its first read (sox) must find the whole header there: a
// packet-mode pipe hands each write to one read, so the first read shows the first write.
TEST(ZqFilter, SendsAPipedWavHeaderInOneWriteWithTheFirstSamples) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 5000));
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_DIRECT | O_CLOEXEC), 0);
    const pid_t child =
        scratch.start({"-q", scratch.in.string(), "-"}, [&ends] { dup2(ends[1], STDOUT_FILENO); });
    close(ends[1]);
    std::string first(PIPE_BUF, '\0');
    first.resize(std::max<ssize_t>(0, read(ends[0], first.data(), first.size())));
    for (char rest[PIPE_BUF]; read(ends[0], rest, sizeof rest) > 0;) {
    }
    close(ends[0]);
    EXPECT_EQ(scratch.finish(child).status, 0);
    ASSERT_EQ(first.rfind("RIFF", 0), 0u);
    const std::size_t data = first.find("data");
    ASSERT_NE(data, std::string::npos);
    EXPECT_GT(first.size(), data + 8) << "the header went out alone";
}

// Half full scale tones at 1 kHz and 8 kHz in both channels, `seconds` long.
sound two_tones(int rate, int seconds) {
    sound tones{2, rate, k_float_wav, std::vector<float>(std::size_t(2 * rate * seconds))};
    for (std::size_t i = 0; i < tones.samples.size(); ++i) {
        const double t = double(i / 2) / rate;
        tones.samples[i] =
            float(0.25 * std::sin(2 * M_PI * 1000 * t) + 0.25 * std::sin(2 * M_PI * 8000 * t));
    }
    return tones;
}

struct codec_rate_case {
    int input_rate;
    const char* output;
};

// Rates that Opus (8, 12, 16, 24, 48 kHz) and MP3 (8 .. 48 kHz) do not take.
const codec_rate_case k_codec_rates[] = {{44100, "out.opus"}, {96000, "out.mp3"}};

// Bitrates as measured from the file's size, and Opus and MP3 at a rate they take with the
// filter's effect intact.
TEST(ZqFilter, EncodesLossyCodecsAtTheirBitrateAndARateTheyTake) {
    const scratch_space scratch;
    constexpr int k_seconds = 4;
    write_sound(scratch.in, test_signal(2, 44100, 44100 * k_seconds));
    const std::pair<const char*, double> asked[] = {
        {"zq-filter -q in.wav out.mp3", 128},
        {"zq-filter -q --bitrate 64 in.wav out.mp3", 64},
        {"zq-filter -q --bitrate 160 in.wav out.opus", 160}};
    for (const auto& [command, kbps] : asked) {
        SCOPED_TRACE(command);
        ASSERT_EQ(scratch.shell(command).status, 0);
        const auto bytes = double(file_bytes(scratch.work / words(command).back()).size());
        EXPECT_NEAR(bytes * 8 / k_seconds / 1000, kbps, kbps / 10);
    }

    for (const codec_rate_case& each : k_codec_rates) {
        SCOPED_TRACE(each.output);
        write_sound(scratch.work / "tones.wav", two_tones(each.input_rate, 2));
        const run_result run =
            scratch.shell(std::string("zq-filter --lowpass 2k tones.wav ") + each.output);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(notes(run.err), "zq-filter: OUTPUT's codec takes 48000 Hz: resampled from " +
                                      std::to_string(each.input_rate) + " Hz after the filter\n");
        const sound written = read_sound(scratch.work / each.output);
        EXPECT_EQ(written.rate, 48000);
        EXPECT_NEAR(double(written.samples.size() / 2), 2 * 48000, 2 * 100); // a frame per 10 ms
        for (const int channel : {0, 1}) {
            EXPECT_NEAR(tone_amplitude(written, channel, 1000), 0.25, 0.02);
            EXPECT_LT(tone_amplitude(written, channel, 8000), 0.005);
        }
    }
}

// Title/artist/comment, then the bext description and time reference, then the cue offsets.
std::string tags_of(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::string tags;
    for (const int kind : {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_COMMENT}) {
        const char* text = sf_get_string(file, kind);
        tags += std::string(text ? text : "") + "/";
    }
    SF_BROADCAST_INFO bext{};
    if (sf_command(file, SFC_GET_BROADCAST_INFO, &bext, sizeof bext))
        tags +=
            std::string(" bext ") + bext.description + " at " +
            std::to_string(bext.time_reference_low | std::uint64_t{bext.time_reference_high} << 32);
    SF_CUES cues{};
    if (sf_command(file, SFC_GET_CUE, &cues, sizeof cues))
        for (std::uint32_t k = 0; k < cues.cue_count; ++k)
            tags += " cue " + std::to_string(cues.cue_points[k].sample_offset);
    sf_close(file);
    return tags;
}

// The time reference needs its high word.
const char k_tags[] = "Take 3/The band/rough mix/ bext desk A at 4467767296 cue 100 cue 2000";

void write_tagged(const fs::path& path) {
    SF_INFO info{1, 48000, 1, k_float_wav, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_set_string(file, SF_STR_TITLE, "Take 3");
    sf_set_string(file, SF_STR_ARTIST, "The band");
    sf_set_string(file, SF_STR_COMMENT, "rough mix");
    SF_BROADCAST_INFO bext{};
    std::strcpy(bext.description, "desk A");
    bext.time_reference_low = 172800000;
    bext.time_reference_high = 1;
    sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
    SF_CUES cues{2, {{1, 100, 0x61746164, 0, 0, 100, ""}, {2, 2000, 0x61746164, 0, 0, 2000, ""}}};
    sf_command(file, SFC_SET_CUE, &cues, sizeof cues);
    const std::vector<float> silence(4800);
    sf_writef_float(file, silence.data(), 4800);
    sf_close(file);
}

TEST(ZqFilter, CarriesStringsBextAndCuePointsWhereTheContainerKeepsThem) {
    const scratch_space scratch;
    write_tagged(scratch.in);
    const std::pair<const char*, const char*> kept_and_lost[][2] = {
        {{"out.wav", k_tags}, {"", ""}},
        {{"out.aiff", "Take 3/The band/rough mix/ cue 100 cue 2000"},
         {"AIFF (Apple/SGI), does not keep INPUT's broadcast extension (bext)", ""}},
        {{"out.flac", "Take 3/The band/rough mix/"},
         {"FLAC (Free Lossless Audio Codec), does not keep INPUT's broadcast extension (bext), "
          "cue points",
          ""}},
    };
    for (const auto& [kept, lost] : kept_and_lost) {
        SCOPED_TRACE(kept.first);
        const run_result result =
            scratch.shell(std::string("zq-filter --format pcm24 in.wav ") + kept.first);
        EXPECT_NE(result.err.find(lost.first), std::string::npos) << result.err;
        EXPECT_EQ(tags_of(scratch.work / kept.first), kept.second);
    }
}

// A 5.1 WAV made by sox in the standard order (L R C LFE Ls Rs, with its speaker mask) carries
// one tone per channel; each tone must come out of --mix where the mixing equations put its
// channel, whatever the file's order. The matrices themselves, bit for bit, are the channel
// library's tests and zq-filter's output test's.
constexpr double k_tones[] = {300, 500, 700, 100, 1100, 1300};
constexpr double k_amplitude = 0.5;
// The standard down-mix's -3 dB.
constexpr double k_g = M_SQRT1_2;

// The gains of channel `k` alone.
std::vector<double> only(int k) {
    std::vector<double> gains(6);
    gains[std::size_t(k)] = 1;
    return gains;
}

struct layout_case {
    const char* command;
    // For each channel of OUTPUT, the gain of each channel's tone of INPUT.
    std::vector<std::vector<double>> gains;
    std::vector<int> map; // declared by OUTPUT
    const char* note;
    double tolerance = 2e-3;
};

// The standard down-mix peaks above full scale: float OUTPUT keeps it.
const layout_case k_layouts[] = {
    {"zq-filter --mix stereo --format float in.wav out.wav",
     {{1, 0, k_g, 0, k_g, 0}, {0, 1, k_g, 0, 0, k_g}},
     {},
     ""},
    // plain.wav: the same samples, no layout declared.
    {"zq-filter --mix stereo --format float plain.wav out.wav",
     {{k_g, 1, 0, k_g, 0, 0}, {k_g, 0, 1, 0, k_g, 0}},
     {},
     "zq-filter: INPUT declares no channel layout; --mix takes its 6 channels in the order C L "
     "R Ls Rs LFE\n"},
    // 5.0 in WAV's order, declared: L R C Ls Rs.
    {"zq-filter --mix 5.0 in.wav out.wav",
     {only(0), only(1), only(2), only(4), only(5)},
     {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_REAR_LEFT,
      SF_CHANNEL_MAP_REAR_RIGHT},
     ""},
    // Vorbis keeps 5.1 as L C R Ls Rs LFE; read back, the file's own order is restored (to
    // what precision the codec keeps a tone).
    {"zq-filter -q in.wav out.ogg && zq-filter out.ogg out.caf",
     {only(0), only(1), only(2), only(3), only(4), only(5)},
     {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
      SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT},
     "zq-filter: OUTPUT is 32 bit float: a CAF (Apple Core Audio File) file does not take "
     "INPUT's Vorbis (--format chooses another)\n",
     0.15},
};

TEST(ZqFilter, MixesEachChannelFromWhereTheFileDeclaresIt) {
    const scratch_space scratch;
    ASSERT_EQ(scratch
                  .shell("sox -n -r 48000 -b 24 -c 6 in.wav synth 1 sine 300 sine 500 sine 700 "
                         "sine 100 sine 1100 sine 1300 vol 0.5 2>/dev/null")
                  .status,
              0);
    sound plain = read_sound(scratch.in);
    plain.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    write_sound(scratch.work / "plain.wav", plain);
    for (const layout_case& each : k_layouts) {
        SCOPED_TRACE(each.command);
        const run_result result = scratch.shell(each.command);
        EXPECT_EQ(notes(result.err), each.note);
        const fs::path output = scratch.work / words(each.command).back();
        const sound written = read_sound(output);
        ASSERT_EQ(written.channels, int(each.gains.size()));
        std::vector<int> map(each.gains.size());
        SF_INFO info{};
        SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
        if (!sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(), int(map.size() * sizeof(int))))
            map.clear();
        sf_close(file);
        EXPECT_EQ(map, each.map);
        for (std::size_t out = 0; out < each.gains.size(); ++out)
            for (std::size_t in = 0; in < 6; ++in)
                EXPECT_NEAR(tone_amplitude(written, int(out), k_tones[in]),
                            k_amplitude * each.gains[out][in], each.tolerance)
                    << "tone of channel " << in << " in channel " << out;
    }
}

} // namespace
} // namespace zq_tool_test
