#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace {

using namespace ns_audio_channel;
using api = audio_channel_api;

// What the factory builds, with the counts its process reads. Which fixed layout it picks is
// checked by the converter test, which builds every layout through the factory.
std::string created(api::type t, int in, int out, bool pairs) {
    api* converter = api::create(t, in, out, pairs);
    std::string kind = converter == nullptr ? "null" : "fixed";
    if (const auto* map = dynamic_cast<map_channels*>(converter))
        kind = "map " + std::to_string(map->in_channels) + " " + std::to_string(map->out_channels);
    if (const auto* sum = dynamic_cast<mixdown_stereo_pairs*>(converter))
        kind = "pairs " + std::to_string(sum->in_channels);
    api::destroy(converter);
    return kind;
}

const std::set<std::pair<int, int>> k_fixed_layouts = {
    {1, 2}, {1, 5}, {1, 6}, {1, 8}, {2, 1}, {2, 5}, {2, 6}, {2, 8},
    {5, 2}, {6, 1}, {6, 2}, {6, 5}, {6, 8}, {8, 1}, {8, 2}, {8, 6}};

// Mixing prefers the stereo pairs, then the fixed layouts; any other type maps counts 0..8.
std::string wanted(api::type t, int in, int out, bool pairs) {
    const std::set<int> paired = pairs ? std::set{0, 2, 4, 6, 8, 10, 12} : std::set{10, 12};
    if (t != api::mixing && in >= 0 && in <= 8 && out >= 0 && out <= 8)
        return "map " + std::to_string(in) + " " + std::to_string(out);
    if (t == api::mixing && out == 2 && paired.count(in) != 0) return "pairs " + std::to_string(in);
    return t == api::mixing && k_fixed_layouts.count({in, out}) != 0 ? "fixed" : "null";
}

TEST(ChannelFactory, FollowsTheDecisionRulesForCountsUpToTwelve) {
    for (const auto t :
         {api::mixing, api::mapping, static_cast<api::type>(2), static_cast<api::type>(-1)}) {
        for (const bool pairs : {false, true}) {
            for (int in = -1; in <= 12; ++in) {
                for (int out = -1; out <= 12; ++out) {
                    EXPECT_EQ(created(t, in, out, pairs), wanted(t, in, out, pairs))
                        << "type " << t << ", " << in << " -> " << out << ", pairs " << pairs;
                }
            }
        }
    }
    api::destroy(nullptr); // ignored
}

} // namespace
