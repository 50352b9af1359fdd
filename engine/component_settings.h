// The four settings the component reads from its host, with their defaults, in the order it
// reads them: both switches, then the high-pass cut-off, then the low-pass one. A host that
// checks each value as it is asked for refuses the first bad one in this order.
#pragma once

#include "section_plan.h"

namespace ns_filter_engine {

constexpr const char* k_high_pass_key = "hPass";           // 0..1, default 0
constexpr const char* k_low_pass_key = "lPass";            // 0..1, default 0
constexpr const char* k_high_frequency_key = "hFrequency"; // Hz, k_default_high_hz
constexpr const char* k_low_frequency_key = "lFrequency";  // kHz, k_default_low_khz

// The settings as a host answered them: switches outside 0..1 and cut-offs outside their
// bounds are possible when the host checks nothing.
struct component_settings {
    int high_pass;
    int low_pass;
    float high_hz;
    float low_khz;
};

// Asks `config` (the host's settings object: getInt and getFloat with a default and bounds)
// for the four settings in the component's order, stating `bounds` for the cut-offs.
template <class configuration>
component_settings read_component_settings(configuration& config, const cutoff_bounds& bounds) {
    component_settings read{};
    read.high_pass = config.getInt(k_high_pass_key, 0, 0, 1);
    read.low_pass = config.getInt(k_low_pass_key, 0, 0, 1);
    read.high_hz = config.getFloat(k_high_frequency_key, k_default_high_hz, bounds.high_min_hz,
                                   bounds.high_max_hz);
    read.low_khz = config.getFloat(k_low_frequency_key, k_default_low_khz, bounds.low_min_khz,
                                   bounds.low_max_khz);
    return read;
}

} // namespace ns_filter_engine
