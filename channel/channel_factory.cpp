#include <channel/channel_converters.h>

#include <new>

namespace ns_audio_channel {

namespace {

struct fixed_layout_converter {
    int in_channels;
    int out_channels;
    audio_channel_api* (*make)();
};

template <typename Converter>
audio_channel_api* make_converter() {
    return new (std::nothrow) Converter();
}

audio_channel_api* make_remove_lfe() {
    return new (std::nothrow) remove_lfe_channel(6);
}

constexpr fixed_layout_converter k_fixed_layouts[] = {
    {1, 2, make_converter<mixup_mono_to_stereo>},   {1, 5, make_converter<mixup_mono_to_50>},
    {1, 6, make_converter<mixup_mono_to_51>},       {1, 8, make_converter<mixup_mono_to_71>},
    {2, 1, make_converter<mixdown_stereo_to_mono>}, {2, 5, make_converter<mixup_stereo_to_50>},
    {2, 6, make_converter<mixup_stereo_to_51>},     {2, 8, make_converter<mixup_stereo_to_71>},
    {5, 2, make_converter<mixdown_50_to_stereo>},   {6, 1, make_converter<mixdown_51_to_mono>},
    {6, 2, make_converter<mixdown_51_to_stereo>},   {6, 5, make_remove_lfe},
    {6, 8, make_converter<mixup_51_to_71>},         {8, 1, make_converter<mixdown_71_to_mono>},
    {8, 2, make_converter<mixdown_71_to_stereo>},   {8, 6, make_converter<mixdown_71_to_51>},
};

bool routable(int channels) {
    return channels >= 0 && channels <= map_channels::k_max_channels;
}

// Even counts pair up into stereo when asked to, and always from 10 channels on, where no
// fixed layout exists.
bool sums_stereo_pairs(int in_channels, int out_channels, bool pairs) {
    return out_channels == 2 && in_channels % 2 == 0 && (pairs || in_channels > 9);
}

audio_channel_api* make_fixed_layout(int in_channels, int out_channels) {
    for (const fixed_layout_converter& entry : k_fixed_layouts)
        if (entry.in_channels == in_channels && entry.out_channels == out_channels)
            return entry.make();
    return nullptr;
}

} // namespace

audio_channel_api* audio_channel_api::create(type t, int in_channels, int out_channels,
                                             bool pairs) {
    if (t != mixing) {
        if (!routable(in_channels) || !routable(out_channels)) return nullptr;
        return new (std::nothrow)
            map_channels(static_cast<uint32_t>(in_channels), static_cast<uint32_t>(out_channels));
    }
    if (sums_stereo_pairs(in_channels, out_channels, pairs))
        return new (std::nothrow) mixdown_stereo_pairs(in_channels);
    return make_fixed_layout(in_channels, out_channels);
}

void audio_channel_api::destroy(audio_channel_api* converter) {
    delete converter;
}

} // namespace ns_audio_channel
