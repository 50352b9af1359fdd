#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
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

struct conversion {
    std::vector<float> output; // the frames written, then the guard
    int result;
};

// Converts the frames in `input` into a sentinel-filled output with a guard behind it.
conversion run(audio_channel_api& converter, std::vector<float> input, int in_channels,
               int out_channels) {
    const std::size_t frames = input.size() / static_cast<std::size_t>(in_channels);
    conversion done{std::vector<float>(frames * out_channels + k_guard, k_sentinel), 0};
    done.result =
        converter.process(done.output.data(), input.data(), static_cast<uint32_t>(frames));
    return done;
}

// --- Fixed layouts: the mixing matrix of each converter, written out per output channel. ---

using gain_matrix = std::vector<std::vector<float>>; // [output][input]

struct converter_case {
    const char* name;
    std::function<std::unique_ptr<audio_channel_api>()> make;
    int in;
    int out;
    gain_matrix gains;
    bool keeps_negative_zero; // false where outputs are sums starting from +0.0
};

template <typename Converter, typename... Args>
std::function<std::unique_ptr<audio_channel_api>()> maker(Args... args) {
    return [=] { return std::make_unique<Converter>(args...); };
}

constexpr float s = 0.3535f; // shared centre/surround/LFE gain
constexpr float f = 0.4143f; // 5.1 front gain
constexpr float h = 0.5f;
constexpr float g = 0.7f; // 7.1 -> 5.1 gain; its side share is (0.5 * g) in double
const float q = static_cast<float>(0.5 * static_cast<double>(0.7f));
constexpr float e = 0.125f;
constexpr float m = 0.166f;

const std::vector<converter_case> k_cases = {
    {"51_to_stereo",
     maker<mixdown_51_to_stereo>(),
     6,
     2,
     {{s, f, 0, s, s, s}, {s, 0, f, s, s, s}},
     true},
    {"50_to_stereo", maker<mixdown_50_to_stereo>(), 5, 2, {{s, h, 0, s, s}, {s, 0, h, s, s}}, true},
    {"71_to_stereo",
     maker<mixdown_71_to_stereo>(),
     8,
     2,
     {{s, h, 0, h, 0, s, s, s}, {s, 0, h, 0, h, s, s, s}},
     true},
    {"71_to_51",
     maker<mixdown_71_to_51>(),
     8,
     6,
     {{1, 0, 0, 0, 0, 0, 0, 0},
      {0, g, 0, q, 0, 0, 0, 0},
      {0, 0, g, 0, q, 0, 0, 0},
      {0, 0, 0, q, 0, g, 0, 0},
      {0, 0, 0, 0, q, 0, g, 0},
      {0, 0, 0, 0, 0, 0, 0, 1}},
     true},
    {"51_to_mono", maker<mixdown_51_to_mono>(), 6, 1, {{m, m, m, m, m, m}}, true},
    {"71_to_mono", maker<mixdown_71_to_mono>(), 8, 1, {{e, e, e, e, e, e, e, e}}, true},
    {"stereo_to_mono", maker<mixdown_stereo_to_mono>(), 2, 1, {{h, h}}, true},
    {"remove_lfe",
     maker<remove_lfe_channel>(6),
     6,
     5,
     {{1, 0, 0, 0, 0, 0},
      {0, 1, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0},
      {0, 0, 0, 1, 0, 0},
      {0, 0, 0, 0, 1, 0}},
     true},
    {"mono_to_stereo", maker<mixup_mono_to_stereo>(), 1, 2, {{1}, {1}}, true},
    {"mono_to_50", maker<mixup_mono_to_50>(), 1, 5, {{1}, {1}, {1}, {1}, {1}}, true},
    {"mono_to_51", maker<mixup_mono_to_51>(), 1, 6, {{1}, {1}, {1}, {1}, {1}, {0}}, true},
    {"mono_to_71", maker<mixup_mono_to_71>(), 1, 8, {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {0}}, true},
    {"stereo_to_50",
     maker<mixup_stereo_to_50>(),
     2,
     5,
     {{h, h}, {1, 0}, {0, 1}, {h, h}, {h, h}},
     true},
    {"stereo_to_51",
     maker<mixup_stereo_to_51>(),
     2,
     6,
     {{h, h}, {1, 0}, {0, 1}, {h, h}, {h, h}, {0, 0}},
     true},
    {"stereo_to_71",
     maker<mixup_stereo_to_71>(),
     2,
     8,
     {{h, h}, {1, 0}, {0, 1}, {1, 0}, {0, 1}, {h, h}, {h, h}, {0, 0}},
     true},
    {"51_to_71",
     maker<mixup_51_to_71>(),
     6,
     8,
     {{1, 0, 0, 0, 0, 0},
      {0, 1, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0},
      {0, h, 0, h, 0, 0},
      {0, 0, h, 0, h, 0},
      {0, 0, 0, 1, 0, 0},
      {0, 0, 0, 0, 1, 0},
      {0, 0, 0, 0, 0, 1}},
     true},
    {"pairs_2", maker<mixdown_stereo_pairs>(2), 2, 2, {{1, 0}, {0, 1}}, false},
    {"pairs_4", maker<mixdown_stereo_pairs>(4), 4, 2, {{1, 0, 1, 0}, {0, 1, 0, 1}}, false},
    {"pairs_10",
     maker<mixdown_stereo_pairs>(10),
     10,
     2,
     {{1, 0, 1, 0, 1, 0, 1, 0, 1, 0}, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1}},
     false},
};

class FixedLayout : public testing::TestWithParam<converter_case> {};

// Frame i carries 1 on input channel i only, so output j of frame i is gains[j][i] exactly,
// and a wrong gain, channel index or frame stride shows.
TEST_P(FixedLayout, OneHotFramesGiveTheGainMatrix) {
    const converter_case& c = GetParam();
    std::vector<float> input(static_cast<std::size_t>(c.in * c.in), 0.0f);
    for (int i = 0; i < c.in; ++i)
        input[static_cast<std::size_t>(i * c.in + i)] = 1.0f;

    const std::unique_ptr<audio_channel_api> converter = c.make();
    const conversion done = run(*converter, input, c.in, c.out);
    EXPECT_EQ(done.result, 1);
    for (int i = 0; i < c.in; ++i)
        for (int j = 0; j < c.out; ++j)
            EXPECT_EQ(bits(done.output[static_cast<std::size_t>(i * c.out + j)]),
                      bits(c.gains[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]))
                << "input " << i << ", output " << j;
    EXPECT_EQ(std::vector<float>(done.output.end() - k_guard, done.output.end()),
              std::vector<float>(k_guard, k_sentinel));

    std::vector<float> untouched(8, k_sentinel);
    EXPECT_EQ(converter->process(untouched.data(), input.data(), 0), 1);
    EXPECT_EQ(untouched, std::vector<float>(8, k_sentinel));
}

// Rows with a single unit gain pass their input through untouched (subnormals, NaN payloads,
// and -0.0 unless the output is a sum begun at +0.0), and rows without any gain (the up-mixed
// LFE) are +0.0 whatever comes in.
TEST_P(FixedLayout, CopiedSamplesKeepTheirBitsAndSilentOnesArePositiveZero) {
    const converter_case& c = GetParam();
    const float specials[] = {-0.0f, std::numeric_limits<float>::denorm_min(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(), -1.0f - 0x1p-23f};
    std::vector<float> input;
    for (const float special : specials)
        input.insert(input.end(), static_cast<std::size_t>(c.in), special);

    const std::unique_ptr<audio_channel_api> converter = c.make();
    const conversion done = run(*converter, input, c.in, c.out);
    for (std::size_t k = 0; k < std::size(specials); ++k) {
        for (std::size_t j = 0; j < c.gains.size(); ++j) {
            const auto& row = c.gains[j];
            const auto units = std::count(row.begin(), row.end(), 1.0f);
            const auto zeros = std::count(row.begin(), row.end(), 0.0f);
            const uint32_t got = bits(done.output[k * c.gains.size() + j]);
            const bool kept = c.keeps_negative_zero || bits(specials[k]) != bits(-0.0f);
            if (zeros == static_cast<std::ptrdiff_t>(row.size())) {
                EXPECT_EQ(got, 0u) << "output " << j;
            } else if (units == 1 && zeros + 1 == static_cast<std::ptrdiff_t>(row.size())) {
                EXPECT_EQ(got, kept ? bits(specials[k]) : 0u) << "output " << j;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, FixedLayout, testing::ValuesIn(k_cases),
                         [](const testing::TestParamInfo<converter_case>& param) {
                             return std::string(param.param.name);
                         });

TEST(FixedLayoutValues, GainsAreTheFloatDecimalsNotTheExactRatios) {
    mixdown_51_to_mono to_mono;
    EXPECT_EQ(static_cast<double>(run(to_mono, {1, 1, 1, 1, 1, 1}, 6, 1).output[0]),
              0.9959999322891235);
    mixdown_71_to_51 to_51;
    const conversion side = run(to_51, {0, 0, 0, 1, 0, 0, 0, 0}, 8, 6);
    EXPECT_EQ(static_cast<double>(side.output[1]), 0.3499999940395355);
    EXPECT_EQ(static_cast<double>(side.output[3]), 0.3499999940395355);
}

TEST(FixedLayoutValues, SevenOneToFiveOneRoundsOnceFromDouble) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> input(8 * 1000);
    for (auto& x : input)
        x = sample(random);

    mixdown_71_to_51 converter;
    const conversion done = run(converter, input, 8, 6);
    int differs_from_float = 0;
    for (std::size_t k = 0; k < 1000; ++k) {
        const float* x = &input[8 * k];
        const float want = static_cast<float>((static_cast<double>(x[1]) + 0.5 * x[3]) *
                                              static_cast<double>(0.7f));
        EXPECT_EQ(bits(done.output[6 * k + 1]), bits(want));
        differs_from_float += want != (x[1] + 0.5f * x[3]) * 0.7f;
    }
    EXPECT_GT(differs_from_float, 0); // the data would expose a float evaluation
}

// --- map_channels. ---

using route_map = bool[8][8];

TEST(MapChannels, SilentBeforeConfigurationOrWithAnEmptyMap) {
    map_channels router(3, 2);
    const conversion before = run(router, {1, 2, 3, 4, 5, 6}, 3, 2);
    EXPECT_EQ(before.result, 2);
    EXPECT_EQ(std::vector<float>(before.output.begin(), before.output.end() - k_guard),
              std::vector<float>(4, 0.0f));
    route_map none = {};
    router.configure_map(none);
    EXPECT_EQ(run(router, {1, 2, 3}, 3, 2).output[1], 0.0f);

    float output[2] = {k_sentinel, k_sentinel};
    EXPECT_EQ(router.process(output, nullptr, 0), 0);
    EXPECT_EQ(output[0], k_sentinel);
}

TEST(MapChannels, RowsAreInputsColumnsAreOutputsAndFanOutCopies) {
    // in0 -> out4, in1 -> out1 and out2, in2 -> out0; out3 unfed.
    map_channels router(3, 5);
    route_map map = {};
    map[0][4] = map[1][1] = map[1][2] = map[2][0] = true;
    router.configure_map(map);
    const conversion done = run(router, {10, 0.1f, 30, -1, 1e-40f, -3}, 3, 5);
    const std::vector<float> expected = {30, 0.1f, 0.1f, 0, 10, -3, 1e-40f, 1e-40f, 0, -1};
    EXPECT_EQ(std::vector<float>(done.output.begin(), done.output.end() - k_guard), expected);
}

TEST(MapChannels, SeveralSourcesAreAveragedByTrueDivision) {
    map_channels two_to_one(2, 1);
    route_map both = {};
    both[0][0] = both[1][0] = true;
    two_to_one.configure_map(both);
    EXPECT_EQ(run(two_to_one, {1.0f, 2.0f}, 2, 1).output[0], 1.5f);

    map_channels three_to_one(3, 1);
    route_map all = {};
    all[0][0] = all[1][0] = all[2][0] = true;
    three_to_one.configure_map(all);
    const float sum = 5.0f;                     // 1 + 1.5 + 2.5, exact
    ASSERT_NE(sum / 3.0f, sum * (1.0f / 3.0f)); // a reciprocal would show
    EXPECT_EQ(run(three_to_one, {1.0f, 1.5f, 2.5f}, 3, 1).output[0], sum / 3.0f);
}

TEST(MapChannels, ASecondMapReplacesRoutesButAddsToTheCounts) {
    map_channels router(2, 1);
    route_map first = {};
    first[0][0] = true;
    router.configure_map(first);
    router.configure_map(first);
    EXPECT_EQ(run(router, {3.0f, 5.0f}, 2, 1).output[0], 1.5f);

    route_map second = {};
    second[1][0] = true;
    router.configure_map(second);
    EXPECT_EQ(run(router, {3.0f, 6.0f}, 2, 1).output[0], 2.0f); // 6 / 3 routes counted
}

TEST(MapChannels, ChannelsBeyondTheEightByEightMapStaySilent) {
    map_channels wide(10, 10);
    route_map identity = {};
    for (int i = 0; i < 8; ++i)
        identity[i][i] = true;
    wide.configure_map(identity);
    std::vector<float> frames(20);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<float>(i % 10 + 1);
    const conversion done = run(wide, frames, 10, 10);
    const std::vector<float> second = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0};
    EXPECT_EQ(std::vector<float>(done.output.begin() + 10, done.output.begin() + 20), second);
}

} // namespace
