#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {

using namespace ns_audio_channel;
using api = audio_channel_api;

struct converter_deleter {
    void operator()(api* converter) const { api::destroy(converter); }
};
using converter_ptr = std::unique_ptr<api, converter_deleter>;

converter_ptr create(api::type t, int in, int out, bool pairs) {
    return converter_ptr(api::create(t, in, out, pairs));
}

struct expectation {
    std::type_index type;
    int in_channels; // the counts the converter carries
    int out_channels;
};

// The fixed layouts `mixing` knows, keyed by (in, out).
const std::map<std::pair<int, int>, expectation> k_fixed_layouts = {
    {{1, 2}, {typeid(mixup_mono_to_stereo), 0, 0}},   {{1, 5}, {typeid(mixup_mono_to_50), 0, 0}},
    {{1, 6}, {typeid(mixup_mono_to_51), 0, 0}},       {{1, 8}, {typeid(mixup_mono_to_71), 0, 0}},
    {{2, 1}, {typeid(mixdown_stereo_to_mono), 0, 0}}, {{2, 5}, {typeid(mixup_stereo_to_50), 0, 0}},
    {{2, 6}, {typeid(mixup_stereo_to_51), 0, 0}},     {{2, 8}, {typeid(mixup_stereo_to_71), 0, 0}},
    {{5, 2}, {typeid(mixdown_50_to_stereo), 0, 0}},   {{6, 1}, {typeid(mixdown_51_to_mono), 0, 0}},
    {{6, 2}, {typeid(mixdown_51_to_stereo), 0, 0}},   {{6, 5}, {typeid(remove_lfe_channel), 6, 0}},
    {{6, 8}, {typeid(mixup_51_to_71), 0, 0}},         {{8, 1}, {typeid(mixdown_71_to_mono), 0, 0}},
    {{8, 2}, {typeid(mixdown_71_to_stereo), 0, 0}},   {{8, 6}, {typeid(mixdown_71_to_51), 0, 0}},
};

// Input counts that sum pairs into stereo, with and without the pairing flag.
const std::set<int> k_paired_with_flag = {0, 2, 4, 6, 8, 10, 12};
const std::set<int> k_paired_without_flag = {10, 12};

void expect_converter(const converter_ptr& converter, const expectation& want) {
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(std::type_index(typeid(*converter)), want.type);
    const auto* counted = dynamic_cast<const audio_channel*>(converter.get());
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(counted->in_channels, want.in_channels);
    EXPECT_EQ(counted->out_channels, want.out_channels);
}

TEST(ChannelFactory, MixingFollowsTheDecisionRulesForCountsUpToTwelve) {
    for (const bool pairs : {false, true}) {
        for (int in = 0; in <= 12; ++in) {
            for (int out = 0; out <= 12; ++out) {
                SCOPED_TRACE(testing::Message() << in << " -> " << out << ", pairs " << pairs);
                const converter_ptr converter = create(api::mixing, in, out, pairs);
                const std::set<int>& paired = pairs ? k_paired_with_flag : k_paired_without_flag;
                if (out == 2 && paired.count(in) != 0) {
                    expect_converter(converter, {typeid(mixdown_stereo_pairs), in, 0});
                } else if (const auto fixed = k_fixed_layouts.find({in, out});
                           fixed != k_fixed_layouts.end()) {
                    expect_converter(converter, fixed->second);
                } else {
                    EXPECT_EQ(converter, nullptr);
                }
            }
        }
    }
}

TEST(ChannelFactory, EveryOtherTypeMapsCountsZeroToEightAndRefusesTheRest) {
    for (const auto t : {api::mapping, static_cast<api::type>(2), static_cast<api::type>(-1)}) {
        for (const bool pairs : {false, true}) {
            for (int in = -1; in <= 12; ++in) {
                for (int out = -1; out <= 12; ++out) {
                    SCOPED_TRACE(testing::Message() << "type " << t << ", " << in << " -> " << out
                                                    << ", pairs " << pairs);
                    const converter_ptr converter = create(t, in, out, pairs);
                    if (in >= 0 && in <= 8 && out >= 0 && out <= 8)
                        expect_converter(converter, {typeid(map_channels), in, out});
                    else
                        EXPECT_EQ(converter, nullptr);
                }
            }
        }
    }
}

TEST(ChannelFactory, CreatedConvertersConvert) {
    std::vector<float> stereo = {0.25f, -0.5f};
    std::vector<float> out(2);
    create(api::mixing, 2, 2, true)->process(out.data(), stereo.data(), 1);
    EXPECT_EQ(out, stereo);

    std::vector<float> five_one = {1, 2, 3, 4, 5, 6};
    std::vector<float> five_zero(6, -1.0f);
    create(api::mixing, 6, 5, false)->process(five_zero.data(), five_one.data(), 1);
    EXPECT_EQ(five_zero, (std::vector<float>{1, 2, 3, 4, 5, -1}));

    std::vector<float> mapped(2, -1.0f);
    create(api::mapping, 2, 2, false)->process(mapped.data(), stereo.data(), 1);
    EXPECT_EQ(mapped, (std::vector<float>{0, 0}));
}

TEST(ChannelFactory, DestroyIgnoresNull) {
    api::destroy(nullptr);
}

} // namespace
