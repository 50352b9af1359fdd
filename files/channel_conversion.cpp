#include "channel_conversion.h"

#include "file_error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <new>
#include <optional>
#include <utility>

namespace ns_audio_files {

namespace {

using ns_audio_channel::audio_channel_api;

struct named_layout {
    const char* name;
    int channels;
};

constexpr named_layout k_layouts[] = {
    {"mono", 1}, {"stereo", 2}, {"5.0", 5}, {"5.1", 6}, {"7.1", 8}};

constexpr const char* k_matrix_names[] = {"standard", "library"};

// The factory's fixed layouts and its stereo down-mix all lie within 1 .. 8 outputs.
constexpr int k_widest_mix = 8;
constexpr int k_map_size = 8;

std::string in_quotes(const std::string& text) {
    return "\"" + text + "\"";
}

// A plain decimal number (digits only: no sign, no spaces), or -1.
long plain_number(const std::string& text) {
    const auto is_digit = [](unsigned char c) { return std::isdigit(c) != 0; };
    if (text.empty() || !std::all_of(text.begin(), text.end(), is_digit)) return -1;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return errno == ERANGE ? LONG_MAX : value;
}

std::string layout_name(int channels) {
    for (const named_layout& layout : k_layouts)
        if (layout.channels == channels) return layout.name;
    return std::to_string(channels) + " channels";
}

// The standard down-mix, where it is asked for and covers the pair; --pairs asks for the
// library's sums instead where they apply.
std::optional<standard_downmix> standard_mix(int in_channels, int out_channels, bool pairs,
                                             mix_matrix matrix) {
    if (matrix != mix_matrix::standard || sums_channel_pairs(in_channels, out_channels, pairs))
        return std::nullopt;
    return standard_downmix::between(in_channels, out_channels);
}

// Asks the standard down-mix and the factory themselves, so the list cannot drift from what
// they build.
bool mixable(int in_channels, int out_channels, bool pairs, mix_matrix matrix) {
    if (standard_mix(in_channels, out_channels, pairs, matrix)) return true;
    const std::unique_ptr<audio_channel_api, converter_release> probe(
        audio_channel_api::create(audio_channel_api::mixing, in_channels, out_channels, pairs));
    return probe != nullptr;
}

std::string mixable_layouts(int in_channels, bool pairs, mix_matrix matrix) {
    std::string names;
    for (int out = 1; out <= k_widest_mix; ++out) {
        if (out != in_channels && mixable(in_channels, out, pairs, matrix))
            names +=
                (names.empty() ? "" : ", ") + layout_name(out) + " (" + std::to_string(out) + ")";
    }
    return names.empty() ? "none" : names;
}

[[noreturn]] void refuse_mix(int in_channels, int out_channels, bool pairs, mix_matrix matrix) {
    std::string message =
        "cannot mix " + std::to_string(in_channels) + " channels to " + layout_name(out_channels) +
        "; from " + std::to_string(in_channels) +
        " channels the supported layouts are: " + mixable_layouts(in_channels, pairs, matrix);
    if (!pairs && mixable(in_channels, out_channels, true, matrix))
        message += "; --pairs would sum its channel pairs to stereo";
    if (mixable(in_channels, out_channels, pairs, mix_matrix::standard))
        message += "; the standard down-mix (--mix-matrix standard) would take it";
    throw file_error(failure::usage, message);
}

int route_channel(const std::string& number, const std::string& pair, const std::string& origin) {
    const long channel = plain_number(number);
    if (channel < 0)
        throw file_error(failure::usage, origin + ": " + in_quotes(pair) +
                                             " is not IN:OUT (channel numbers from 0)");
    if (channel >= k_map_size)
        throw file_error(failure::usage, origin + ": " + in_quotes(pair) + " names channel " +
                                             number +
                                             "; the routing map is 8 x 8 (channels 0 .. 7)");
    return static_cast<int>(channel);
}

channel_route parse_route(const std::string& pair, const std::string& origin) {
    if (pair.empty())
        throw file_error(failure::usage,
                         origin + ": an empty pair; write IN:OUT pairs separated by commas");
    const std::size_t colon = pair.find(':');
    if (colon == std::string::npos)
        throw file_error(failure::usage, origin + ": " + in_quotes(pair) +
                                             " is not IN:OUT (channel numbers from 0)");
    return {route_channel(pair.substr(0, colon), pair, origin),
            route_channel(pair.substr(colon + 1), pair, origin)};
}

} // namespace

std::vector<std::string> mix_matrix_names() {
    return {std::begin(k_matrix_names), std::end(k_matrix_names)};
}

mix_matrix mix_matrix_named(const std::string& name) {
    const auto named = std::find(std::begin(k_matrix_names), std::end(k_matrix_names), name);
    if (named == std::end(k_matrix_names))
        throw file_error(failure::usage, "--mix-matrix " + name + ": " + in_quotes(name) +
                                             " is not a down-mix; use standard or library");
    return static_cast<mix_matrix>(named - std::begin(k_matrix_names));
}

bool sums_channel_pairs(int in_channels, int out_channels, bool pairs) {
    return out_channels == 2 && in_channels % 2 == 0 && (pairs || in_channels >= 10);
}

int layout_channels(const std::string& layout) {
    for (const named_layout& known : k_layouts)
        if (layout == known.name) return known.channels;
    const long count = plain_number(layout);
    if (count < 1 || count > INT_MAX)
        throw file_error(failure::usage, "--mix " + layout + ": " + in_quotes(layout) +
                                             " is not a layout; use mono, stereo, 5.0, 5.1, "
                                             "7.1 or a channel count");
    return static_cast<int>(count);
}

std::vector<channel_route> parse_routes(const std::string& routing) {
    const std::string origin = "--route " + routing;
    std::vector<channel_route> routes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(routing.find(',', start), routing.size());
        const std::string pair = routing.substr(start, comma - start);
        const channel_route route = parse_route(pair, origin);
        const auto same = [&route](const channel_route& other) {
            return other.input == route.input && other.output == route.output;
        };
        if (std::any_of(routes.begin(), routes.end(), same))
            throw file_error(failure::usage, origin + ": " + in_quotes(pair) + " given twice");
        routes.push_back(route);
        if (comma == routing.size()) return routes;
        start = comma + 1;
    }
}

channel_conversion::channel_conversion(int channels) : out_channels_(channels) {}

channel_conversion::channel_conversion(converter_pointer converter, int out_channels)
    : converter_(std::move(converter)), out_channels_(out_channels) {}

channel_conversion::channel_conversion(standard_downmix downmix, int out_channels)
    : downmix_(downmix), out_channels_(out_channels) {}

channel_conversion channel_conversion::mix(int in_channels, int out_channels, bool pairs,
                                           mix_matrix matrix) {
    if (in_channels == out_channels) return channel_conversion(in_channels);
    if (const std::optional<standard_downmix> standard =
            standard_mix(in_channels, out_channels, pairs, matrix))
        return {*standard, out_channels};
    converter_pointer converter(
        audio_channel_api::create(audio_channel_api::mixing, in_channels, out_channels, pairs));
    if (!converter) refuse_mix(in_channels, out_channels, pairs, matrix);
    return {std::move(converter), out_channels};
}

channel_conversion channel_conversion::route(int in_channels,
                                             const std::vector<channel_route>& routes) {
    if (in_channels > k_map_size)
        throw file_error(failure::usage, "--route takes INPUT of at most 8 channels (the "
                                         "routing map is 8 x 8); INPUT has " +
                                             std::to_string(in_channels));
    bool map[k_map_size][k_map_size] = {};
    int out_channels = 0;
    for (const channel_route& each : routes) {
        if (each.input >= in_channels)
            throw file_error(failure::usage,
                             "--route " + std::to_string(each.input) + ":" +
                                 std::to_string(each.output) + ": INPUT has no channel " +
                                 std::to_string(each.input) + " (its channels are 0 .. " +
                                 std::to_string(in_channels - 1) + ")");
        map[each.input][each.output] = true;
        out_channels = std::max(out_channels, each.output + 1);
    }
    converter_pointer converter(
        audio_channel_api::create(audio_channel_api::mapping, in_channels, out_channels, false));
    if (!converter) throw std::bad_alloc(); // the counts are within the map, so only memory ran out
    converter->configure_map(map);
    return {std::move(converter), out_channels};
}

float* channel_conversion::convert(float* interleaved, long frames) {
    if (!converter_ && !downmix_) return interleaved;
    const std::size_t samples = static_cast<std::size_t>(frames) * out_channels_;
    if (converted_.size() < samples) converted_.resize(samples);
    if (downmix_)
        downmix_->process(converted_.data(), interleaved, frames);
    else
        converter_->process(converted_.data(), interleaved, static_cast<uint32_t>(frames));
    return converted_.data();
}

} // namespace ns_audio_files
