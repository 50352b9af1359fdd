#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace ns_audio_channel;

constexpr float k_sentinel = -12345.0f;
constexpr std::size_t k_guard = 3; // sentinel samples past the output frames

uint32_t bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

// Runs `input` through the converter into a sentinel-filled output with a guard behind it.
std::vector<float> run(audio_channel_api& converter, std::vector<float> input, std::size_t in,
                       std::size_t out) {
    const std::size_t frames = input.size() / in;
    std::vector<float> output(frames * out + k_guard, k_sentinel);
    converter.process(output.data(), input.data(), static_cast<uint32_t>(frames));
    return output;
}

// Gain letters: s 0.3535, f 0.4143, h 0.5, g 0.7, q the 7.1 side share 0.5 * 0.7f in double
// rounded to float, e 0.125, m 0.166; p is a unit gain in a sum begun at +0.0, so a -0.0 input
// leaves as +0.0.
float gain(char letter) {
    const float values[] = {0.3535f, 0.4143f, 0.5f, 0.7f, 0.3499999940395355f,
                            0.125f,  0.166f,  0.0f, 1.0f, 1.0f};
    return values[std::string_view("sfhgqem01p").find(letter)];
}

// The mixing matrix of every fixed layout: one word per output channel, one letter per input
// channel. Rows with p are the stereo pairs, which the factory builds when asked to pair.
// clang-format off
constexpr std::string_view k_matrices[] = {
    "sf0sss s0fsss", "sh0ss s0hss", "sh0h0sss s0h0hsss", "mmmmmm", "eeeeeeee", "hh",
    "10000000 0g0q0000 00g0q000 000q0g00 0000q0g0 00000001",
    "100000 010000 001000 000100 000010",
    "1 1", "1 1 1 1 1", "1 1 1 1 1 0", "1 1 1 1 1 1 1 0",
    "hh 10 01 hh hh", "hh 10 01 hh hh 00", "hh 10 01 10 01 hh hh 00",
    "100000 010000 001000 0h0h00 00h0h0 000100 000010 000001",
    "p0 0p", "p0p0 0p0p", "p0p0p0p0p0 0p0p0p0p0p"};
// clang-format on

// Frame i carries 1 on input i only, so output j of frame i is gain j, i exactly and a wrong
// gain, channel index or frame stride shows. A frame of -0.0 then checks that copied samples
// keep their bits and that silent outputs (the up-mixed LFE) are +0.0.
TEST(FixedLayouts, OneHotFramesGiveTheGainMatrix) {
    for (const std::string_view matrix : k_matrices) {
        SCOPED_TRACE(matrix);
        const std::size_t in = std::min(matrix.find(' '), matrix.size());
        const std::size_t out = (matrix.size() + 1) / (in + 1);
        const auto converter =
            audio_channel_api::create(audio_channel_api::mixing, static_cast<int>(in),
                                      static_cast<int>(out), matrix.find('p') != matrix.npos);
        ASSERT_NE(converter, nullptr);
        std::vector<float> input(in * in + in, 0.0f);
        for (std::size_t i = 0; i < in; ++i) {
            input[i * in + i] = 1.0f;
            input[in * in + i] = -0.0f;
        }
        const std::vector<float> output = run(*converter, input, in, out);
        for (std::size_t j = 0; j < out; ++j) {
            const std::string_view row = matrix.substr(j * (in + 1), in);
            for (std::size_t i = 0; i < in; ++i)
                EXPECT_EQ(bits(output[i * out + j]), bits(gain(row[i]))) << i << "->" << j;
            const std::size_t first = row.find_first_not_of('0'), last = row.find_last_not_of('0');
            const bool silent = first == row.npos || row[first] == 'p';
            if (silent || (first == last && row[first] == '1')) {
                EXPECT_EQ(bits(output[in * out + j]), silent ? 0u : bits(-0.0f)) << "output " << j;
            }
        }
        EXPECT_EQ(std::vector<float>(output.end() - k_guard, output.end()),
                  std::vector<float>(k_guard, k_sentinel));
        std::vector<float> untouched(8, k_sentinel);
        EXPECT_EQ(converter->process(untouched.data(), input.data(), 0), 1);
        EXPECT_EQ(untouched, std::vector<float>(8, k_sentinel));
        audio_channel_api::destroy(converter);
    }
}

TEST(FixedLayouts, MonoGainIsAFloatDecimalAndSevenOneToFiveOneRoundsOnceFromDouble) {
    mixdown_51_to_mono to_mono;
    EXPECT_EQ(static_cast<double>(run(to_mono, {1, 1, 1, 1, 1, 1}, 6, 1)[0]), 0.9959999322891235);
    // Worked offline in double; float arithmetic gives 0.10500000417232513,
    // 0.49000003933906555, 0.24500001966953278 and 0.8400000333786011 instead.
    mixdown_71_to_51 to_51;
    const std::vector<float> mixed = run(to_51, {5, 0.1f, 0.4f, 0.1f, 0.6f, 0.3f, 0.9f, 7}, 8, 6);
    EXPECT_EQ(std::vector<double>(mixed.begin(), mixed.end() - k_guard),
              (std::vector<double>{5, 0.10499999672174454, 0.49000000953674316, 0.24500000476837158,
                                   0.8399999737739563, 7}));
}

// Routes given as (input, output) pairs.
void configure(map_channels& router, std::initializer_list<std::pair<int, int>> routes) {
    bool map[8][8] = {};
    for (const auto& [from, to] : routes)
        map[from][to] = true;
    router.configure_map(map);
}

TEST(MapChannels, RoutesRowsToColumnsAveragingByTrueDivisionOverAccumulatedCounts) {
    map_channels router(9, 9);
    std::vector<float> frames = {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<float> output(18, k_sentinel);
    EXPECT_EQ(router.process(output.data(), frames.data(), 2), 2);
    EXPECT_EQ(output, std::vector<float>(18, 0.0f)); // silent until configured
    // Fan-out copies at full level; the ninth channel lies beyond the 8 x 8 map.
    configure(router, {{0, 4}, {1, 1}, {1, 2}, {2, 0}, {7, 7}});
    router.process(output.data(), frames.data(), 2);
    EXPECT_EQ(std::vector<float>(output.begin() + 9, output.end()),
              (std::vector<float>{3, 2, 2, 0, 1, 0, 0, 8, 0}));

    map_channels three_to_one(3, 1);
    configure(three_to_one, {{0, 0}, {1, 0}, {2, 0}});
    const float sum = 5.0f;                     // 1 + 1.5 + 2.5, exact
    ASSERT_NE(sum / 3.0f, sum * (1.0f / 3.0f)); // a reciprocal would show
    EXPECT_EQ(run(three_to_one, {1.0f, 1.5f, 2.5f}, 3, 1)[0], sum / 3.0f);

    map_channels two_to_one(2, 1);
    configure(two_to_one, {{0, 0}});
    configure(two_to_one, {{0, 0}});
    EXPECT_EQ(run(two_to_one, {3.0f, 5.0f}, 2, 1)[0], 1.5f);
    configure(two_to_one, {{1, 0}});
    EXPECT_EQ(run(two_to_one, {3.0f, 6.0f}, 2, 1)[0], 2.0f); // the first route is gone: 6 / 3
}

} // namespace
