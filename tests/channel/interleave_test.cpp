#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using ns_audio_channel::audio_channel_api;

constexpr float k_sentinel = -12345.0f;
constexpr std::size_t k_guard = 4; // sentinel samples past the counted ones

// Distinct values that also exercise bit patterns arithmetic would not keep.
std::vector<float> distinct_samples(std::size_t count) {
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(i) + 0.25f;
    if (count > 0) samples[0] = -0.0f;
    return samples;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Index mapping written out directly: channel c of frame f lives at c*F + f in a planar block
// and at f*C + c in an interleaved buffer.
std::vector<float> reference_interleave(int channels, int frames, const std::vector<float>& in) {
    std::vector<float> out(in.size());
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < frames; ++f)
            out[static_cast<std::size_t>(f * channels + c)] =
                in[static_cast<std::size_t>(c * frames + f)];
    return out;
}

class InterleaveShapes : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(InterleaveShapes, MatchesIndexMappingAndRoundTripsExactly) {
    const auto [channels, frames] = GetParam();
    const std::size_t count = static_cast<std::size_t>(channels * frames);
    const std::vector<float> guard(k_guard, k_sentinel);
    std::vector<float> planar = distinct_samples(count);
    std::vector<float> interleaved(count + k_guard, k_sentinel);
    std::vector<float> restored(count + k_guard, k_sentinel);

    audio_channel_api::interleave(channels, frames, planar.data(), interleaved.data());
    std::vector<float> expected = reference_interleave(channels, frames, planar);
    expected.insert(expected.end(), guard.begin(), guard.end());
    EXPECT_TRUE(same_bits(interleaved, expected));

    audio_channel_api::deinterleave(channels, frames, interleaved.data(), restored.data());
    planar.insert(planar.end(), guard.begin(), guard.end());
    EXPECT_TRUE(same_bits(restored, planar));
}

// 2 channels take the stereo kernel, up to 8 a loop unrolled per count, 11 the tiled loop
// (frame counts on both sides of its 64-frame tile).
INSTANTIATE_TEST_SUITE_P(ChannelAndFrameCounts, InterleaveShapes,
                         testing::Combine(testing::Values(1, 2, 3, 5, 6, 8, 11),
                                          testing::Values(1, 2, 63, 64, 65, 200)));

TEST(Interleave, NonPositiveCountsWriteNothing) {
    const std::vector<float> source = distinct_samples(64);
    for (const auto& [channels, frames] :
         {std::pair{0, 8}, {-1, 8}, {2, 0}, {3, 0}, {2, -4}, {5, -1}, {0, 0}}) {
        SCOPED_TRACE(testing::Message() << channels << " channels, " << frames << " frames");
        std::vector<float> in = source;
        std::vector<float> out(64, k_sentinel);
        audio_channel_api::interleave(channels, frames, in.data(), out.data());
        EXPECT_TRUE(same_bits(out, std::vector<float>(64, k_sentinel)));
        audio_channel_api::deinterleave(channels, frames, in.data(), out.data());
        EXPECT_TRUE(same_bits(out, std::vector<float>(64, k_sentinel)));
    }
}

} // namespace
