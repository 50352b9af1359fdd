// Changing the channel layout of the stream before the filter sees it: --mix through the
// standard down-mix (standard_downmix.h) where it applies, else the channel library's fixed
// layouts and pairwise down-mix; --route through the library's free 8 x 8 routing.
// The conversion runs in zq-filter, on the samples read from INPUT; the component then filters
// the converted channels, and OUTPUT holds as many channels as the conversion gives.
#pragma once

#include "standard_downmix.h"

#include <channel/audio_channel_api.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ns_audio_files {

// The channel count --mix LAYOUT names: mono 1, stereo 2, 5.0 5, 5.1 6, 7.1 8, or a plain
// count of 1 or more. Throws file_error(usage) for anything else.
int layout_channels(const std::string& layout);

// Which equations --mix takes down to stereo and mono from 5.0, 5.1 and 7.1: the standard
// down-mix, or the channel library's, which puts the centre, the surrounds and the LFE into
// both sides. Every other mix is the library's either way.
enum class mix_matrix { standard, library };

// "standard" and "library", in the enum's order.
std::vector<std::string> mix_matrix_names();
// Throws file_error(usage) for a name not in mix_matrix_names().
mix_matrix mix_matrix_named(const std::string& name);

// Whether --mix from in_channels to out_channels sums channel pairs (the factory's rule):
// stereo from an even count, with `pairs` or from 10 channels on, where no layout is fixed.
bool sums_channel_pairs(int in_channels, int out_channels, bool pairs);

struct channel_route {
    int input;  // 0-based channel of INPUT
    int output; // 0-based channel of the converted stream
};

// Parses --route: IN:OUT pairs separated by commas, both plain decimal channel numbers within
// the 8 x 8 routing map (0 .. 7). Throws file_error(usage) naming the offending pair for a
// malformed or empty pair, a number outside the map, or a pair given twice.
std::vector<channel_route> parse_routes(const std::string& routing);

struct converter_release {
    void operator()(ns_audio_channel::audio_channel_api* converter) const {
        ns_audio_channel::audio_channel_api::destroy(converter);
    }
};

class channel_conversion {
public:
    // Passes `channels` channels through untouched.
    explicit channel_conversion(int channels);

    // in_channels to out_channels through the standard down-mix when `matrix` asks for it and
    // it covers the pair without `pairs`, else through the factory's mixing converter,
    // `pairs` as its pairs flag. Equal counts pass through untouched, so a --mix over many
    // files leaves those already in the layout as they are. An unsupported combination throws
    // file_error(usage) listing the layouts that in_channels can be mixed to.
    static channel_conversion mix(int in_channels, int out_channels, bool pairs, mix_matrix matrix);
    // in_channels to (highest routed output + 1) channels through a mapping converter: an
    // output fed by several inputs is their average, one fed by none is silent. Throws
    // file_error(usage) when in_channels exceeds the map or a route names a channel INPUT
    // lacks.
    static channel_conversion route(int in_channels, const std::vector<channel_route>& routes);

    int output_channels() const noexcept { return out_channels_; }

    // Converts `frames` interleaved frames; the result stays valid, and the caller's to
    // overwrite, until the next call. A pass-through returns `interleaved` itself.
    float* convert(float* interleaved, long frames);

private:
    using converter_pointer =
        std::unique_ptr<ns_audio_channel::audio_channel_api, converter_release>;

    channel_conversion(converter_pointer converter, int out_channels);
    channel_conversion(standard_downmix downmix, int out_channels);

    converter_pointer converter_;
    std::optional<standard_downmix> downmix_;
    int out_channels_;
    std::vector<float> converted_;
};

} // namespace ns_audio_files
