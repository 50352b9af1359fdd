// Channel layouts that files declare: a 5.1 WAV made by sox in the standard order (L R C LFE Ls
// Rs, with its speaker mask) carries one tone per channel, and each tone must come out of
// --mix where the library's mixing equations put its channel, whatever the file's order.
#include "tool_test_support.h"

#include <gtest/gtest.h>

namespace zq_tool_test {
namespace {

constexpr double k_tones[] = {300, 500, 700, 100, 1100, 1300}; // one per channel of in.wav
constexpr double k_amplitude = 0.5;
// The gains of the 5.1 down-mix: the front pair's own, and the shared centre and surround one.
constexpr double k_front = 0.4143, k_shared = 0.3535;

struct layout_case {
    const char* input; // in.wav (declared L R C LFE Ls Rs) or plain.wav (same samples, no map)
    const char* options;
    const char* output;
    // For each channel of OUTPUT, the gain of each channel's tone of INPUT.
    std::vector<std::vector<double>> gains;
    std::vector<int> map; // declared by OUTPUT
    const char* note;     // on stderr
    double tolerance = 2e-3;
};

const layout_case k_layouts[] = {
    {"in.wav",
     "--mix stereo",
     "out.wav",
     {{k_front, 0, k_shared, k_shared, k_shared, k_shared},
      {0, k_front, k_shared, k_shared, k_shared, k_shared}},
     {},
     ""},
    {"plain.wav",
     "--mix stereo",
     "out.wav",
     {{k_shared, k_front, 0, k_shared, k_shared, k_shared},
      {k_shared, 0, k_front, k_shared, k_shared, k_shared}},
     {},
     "zq-filter: INPUT declares no channel layout; --mix takes its 6 channels in the order C L "
     "R Ls Rs LFE\n"},
    // 5.0 in WAV's order, declared: L R C Ls Rs.
    {"in.wav",
     "--mix 5.0",
     "out.wav",
     {{1, 0, 0, 0, 0, 0},
      {0, 1, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0},
      {0, 0, 0, 0, 1, 0},
      {0, 0, 0, 0, 0, 1}},
     {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_REAR_LEFT,
      SF_CHANNEL_MAP_REAR_RIGHT},
     ""},
    // Vorbis keeps 5.1 as L C R Ls Rs LFE; read back, the file's own order is restored (to
    // what precision the codec keeps a tone).
    {"in.wav", "", "out.ogg", {}, {}, ""},
    {"out.ogg",
     "",
     "out.caf",
     {{1, 0, 0, 0, 0, 0},
      {0, 1, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0},
      {0, 0, 0, 1, 0, 0},
      {0, 0, 0, 0, 1, 0},
      {0, 0, 0, 0, 0, 1}},
     {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
      SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT},
     "zq-filter: OUTPUT is 32 bit float: a CAF (Apple Core Audio File) file does not take "
     "INPUT's Vorbis (--format chooses another)\n",
     0.15},
};

std::vector<int> declared_map(const std::filesystem::path& path, int channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<int> map(static_cast<std::size_t>(channels));
    if (!sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                    static_cast<int>(map.size() * sizeof(int))))
        map.clear();
    sf_close(file);
    return map;
}

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
        SCOPED_TRACE(std::string(each.input) + " " + each.options + " " + each.output);
        const run_result result =
            scratch.shell(std::string("zq-filter ") + each.options + " " + each.input + " " +
                          each.output + " 2>&1 | " + "grep -v '^fracts\\|^zq-filter: wrote' >&2");
        EXPECT_EQ(result.err, each.note);
        const sound written = read_sound(scratch.work / each.output);
        EXPECT_EQ(declared_map(scratch.work / each.output, written.channels), each.map);
        ASSERT_EQ(written.channels, each.gains.empty() ? 6 : int(each.gains.size()));
        for (std::size_t out = 0; out < each.gains.size(); ++out)
            for (std::size_t in = 0; in < 6; ++in)
                EXPECT_NEAR(tone_amplitude(written, int(out), k_tones[in]),
                            k_amplitude * each.gains[out][in], each.tolerance)
                    << "tone of channel " << in << " in channel " << out;
    }
}

} // namespace
} // namespace zq_tool_test
