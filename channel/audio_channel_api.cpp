#include <channel/audio_channel.h>

#include "detail/plane_copy.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace ns_audio_channel {

namespace {

// Channel counts whose loops unroll over a constant count: mono and 3 to 8 channels (7.1).
using unrolled_counts = std::index_sequence<1, 3, 4, 5, 6, 7, 8>;

// Calls body(std::integral_constant<std::size_t, channels>) when `channels` is among `N`;
// false, without calling, otherwise.
template <typename Body, std::size_t... N>
bool with_unrolled_count(int channels, std::index_sequence<N...>, Body&& body) {
    const auto try_count = [&](auto count) {
        if (channels != static_cast<int>(decltype(count)::value)) return false;
        body(count);
        return true;
    };
    return (try_count(std::integral_constant<std::size_t, N>{}) || ...);
}

// Start of each channel's run inside a planar block.
template <typename Pointer, std::size_t N>
std::array<Pointer, N> plane_starts(float* planar, int frames) {
    std::array<Pointer, N> starts{};
    for (std::size_t c = 0; c < N; ++c)
        starts[c] = planar + c * static_cast<std::size_t>(frames);
    return starts;
}

// Larger counts walk the frames in tiles, so that the strided side of the copy stays in the
// L1 cache while every channel of the tile is copied.
constexpr std::ptrdiff_t k_tile_frames = 64;

struct layout {
    std::ptrdiff_t channel_step;
    std::ptrdiff_t frame_step;
};

void copy_tiled(int channels, int frames, const float* from, layout source, float* to,
                layout destination) {
    for (std::ptrdiff_t first = 0; first < frames; first += k_tile_frames) {
        const std::ptrdiff_t last = std::min<std::ptrdiff_t>(frames, first + k_tile_frames);
        for (std::ptrdiff_t c = 0; c < channels; ++c) {
            const float* in = from + c * source.channel_step;
            float* out = to + c * destination.channel_step;
            for (std::ptrdiff_t f = first; f < last; ++f)
                out[f * destination.frame_step] = in[f * source.frame_step];
        }
    }
}

layout planar_layout(int frames) {
    return {frames, 1};
}
layout interleaved_layout(int channels) {
    return {1, channels};
}

} // namespace

audio_channel_api::~audio_channel_api() = default;

void audio_channel_api::configure_map(bool (*)[8]) {}

void audio_channel_api::interleave(int channels, int frames, float* planar, float* interleaved) {
    // Before any pointer or byte count is computed from the counts.
    if (channels < 1 || frames < 1) return;
    if (channels == 2) {
        audio_channel::interleave_2xmono_to_stereo(4, channels * frames * 4, planar,
                                                   planar + frames, interleaved);
        return;
    }
    const bool unrolled = with_unrolled_count(channels, unrolled_counts{}, [&](auto count) {
        constexpr std::size_t n = decltype(count)::value;
        detail::interleave_planes<uint32_t, n>(frames, plane_starts<const void*, n>(planar, frames),
                                               interleaved);
    });
    if (!unrolled)
        copy_tiled(channels, frames, planar, planar_layout(frames), interleaved,
                   interleaved_layout(channels));
}

void audio_channel_api::deinterleave(int channels, int frames, float* interleaved, float* planar) {
    if (channels < 1 || frames < 1) return;
    if (channels == 2) {
        audio_channel::deinterleave_stereo_to_2xmono(4, channels * frames * 4, interleaved, planar,
                                                     planar + frames);
        return;
    }
    const bool unrolled = with_unrolled_count(channels, unrolled_counts{}, [&](auto count) {
        constexpr std::size_t n = decltype(count)::value;
        detail::deinterleave_planes<uint32_t, n>(frames, interleaved,
                                                 plane_starts<void*, n>(planar, frames));
    });
    if (!unrolled)
        copy_tiled(channels, frames, interleaved, interleaved_layout(channels), planar,
                   planar_layout(frames));
}

} // namespace ns_audio_channel
