#include <channel/audio_channel>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {

using ns_audio_channel::audio_channel_api;
using zq_test::k_sentinel;
using zq_test::same_bits;

constexpr std::size_t k_guard = 4; // sentinel samples past the counted ones

// 2 channels take the stereo kernel, up to 8 a loop unrolled per count, 11 the tiled loop
// (frame counts on both sides of its 64-frame tile).
TEST(Interleave, MatchesTheIndexFormulaAndRoundTripsBitForBit) {
    for (const std::size_t channels : {1, 2, 3, 5, 6, 8, 11}) {
        for (const std::size_t frames : {1, 2, 63, 64, 65, 200}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << frames << " frames");
            std::vector<float> planar(channels * frames + k_guard, k_sentinel);
            std::vector<float> expected = planar, interleaved = planar, restored = planar;
            for (std::size_t c = 0; c < channels; ++c) {
                for (std::size_t f = 0; f < frames; ++f) {
                    planar[c * frames + f] = static_cast<float>(c * frames + f) - 0.25f;
                    expected[f * channels + c] = planar[c * frames + f];
                }
            }
            planar[0] = expected[0] = -0.0f; // a bit pattern arithmetic would not keep
            const int c = static_cast<int>(channels), f = static_cast<int>(frames);
            audio_channel_api::interleave(c, f, planar.data(), interleaved.data());
            EXPECT_TRUE(same_bits(interleaved, expected));
            audio_channel_api::deinterleave(c, f, interleaved.data(), restored.data());
            EXPECT_TRUE(same_bits(restored, planar));
        }
    }
}

// Negative frame counts are refused before any pointer or byte count is computed from them.
TEST(Interleave, NonPositiveCountsWriteNothing) {
    std::vector<float> in(64, 1.0f), out(64, k_sentinel);
    const int lowest = std::numeric_limits<int>::min();
    const int cases[][2] = {{0, 8},  {-1, 8}, {2, 0},      {3, 0},     {2, -4},
                            {5, -1}, {0, 0},  {2, lowest}, {3, lowest}};
    for (const auto& [channels, frames] : cases) {
        audio_channel_api::interleave(channels, frames, in.data(), out.data());
        audio_channel_api::deinterleave(channels, frames, in.data(), out.data());
        audio_channel_api::interleave(channels, frames, nullptr, nullptr);
        audio_channel_api::deinterleave(channels, frames, nullptr, nullptr);
    }
    EXPECT_EQ(out, std::vector<float>(64, k_sentinel));
}

// A pointer to a virtual member function holds the byte offset of its slot: plus 1 in the
// Itanium C++ ABI, as is in ARM's variant, which marks it virtual in the adjustment's low bit.
template <typename Member>
std::ptrdiff_t slot_of(Member member) {
    struct {
        std::ptrdiff_t pointer, adjustment;
    } raw;
    static_assert(sizeof member == sizeof raw);
    std::memcpy(&raw, &member, sizeof raw);
    const std::ptrdiff_t offset = (raw.adjustment & 1) != 0 ? raw.pointer : raw.pointer - 1;
    return offset / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// Binary callers find process, then configure_map, then the destructor.
TEST(ConverterInterface, VirtualSlotsComeInTheirPublishedOrder) {
    EXPECT_EQ(slot_of(&audio_channel_api::process), 0);
    EXPECT_EQ(slot_of(&audio_channel_api::configure_map), 1);
}

} // namespace
