#include "engine_filter.h"

#include "file_error.h"

namespace ns_audio_files {

namespace {

const ns_filter_engine::engine_settings& accepted(double sample_rate, int channels,
                                                  const ns_filter_engine::engine_settings& chosen) {
    require_filter_channels(channels);
    const std::string refusal = ns_filter_engine::check_settings(sample_rate, channels, chosen);
    if (!refusal.empty()) throw file_error(failure::usage, refusal);
    return chosen;
}

} // namespace

void require_filter_channels(int channels) {
    if (channels < 1 || channels > ns_filter_engine::k_max_channels)
        throw file_error(failure::input, "INPUT has " + std::to_string(channels) +
                                             " channels; the filter handles 1 to " +
                                             std::to_string(ns_filter_engine::k_max_channels));
}

engine_filter::engine_filter(double sample_rate, int channels,
                             const ns_filter_engine::engine_settings& chosen)
    : engine_(sample_rate, channels, accepted(sample_rate, channels, chosen)) {}

void engine_filter::filter(float* interleaved, long frames, const sink& output) {
    engine_.process_interleaved(interleaved, frames);
    output(interleaved, frames);
}

} // namespace ns_audio_files
