#include <channel/channel_converters.h>

#include <algorithm>
#include <cstddef>

namespace ns_audio_channel {

namespace {

// Channels of a count that the 8 x 8 tables can route.
int routable(int32_t channels) {
    return std::clamp(channels, 0, map_channels::k_max_channels);
}

std::size_t frame_stride(int32_t channels) {
    return channels > 0 ? static_cast<std::size_t>(channels) : 0;
}

} // namespace

map_channels::map_channels(uint32_t in_channel_count, uint32_t out_channel_count) {
    in_channels = static_cast<int32_t>(in_channel_count);
    out_channels = static_cast<int32_t>(out_channel_count);
}

void map_channels::configure_map(bool (*map)[8]) {
    if (in_channels <= 0 || out_channels <= 0) return;
    for (int i = 0; i < routable(in_channels); ++i) {
        for (int j = 0; j < routable(out_channels); ++j) {
            routing[i][j] = map[i][j] ? 1 : 0;
            sources[j] += routing[i][j];
        }
    }
}

int map_channels::process(float* output, float* input, uint32_t frames) {
    const std::size_t in_stride = frame_stride(in_channels);
    const std::size_t out_stride = frame_stride(out_channels);
    std::fill_n(output, out_stride * frames, 0.0f);
    for (uint32_t f = 0; f < frames; ++f) {
        const float* x = input + f * in_stride;
        float* y = output + f * out_stride;
        for (int j = 0; j < routable(out_channels); ++j) {
            for (int i = 0; i < routable(in_channels); ++i)
                if (routing[i][j] != 0) y[j] += x[i];
            if (sources[j] > 1) y[j] /= static_cast<float>(sources[j]);
        }
    }
    return static_cast<int>(frames);
}

} // namespace ns_audio_channel
