#include "hl_pass_plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace ns_hl_pass_plugin {

namespace {

using ns_filter_engine::cutoff_limits;
using ns_filter_engine::exact_verdict;
using ns_filter_engine::filter_engine;
using ns_filter_engine::filter_request;
using ns_filter_engine::limits_for;
using ns_filter_engine::realization;

// The range hosts show: every cut-off either engine takes at 44.1 and 48 kHz, and most of what
// they take at 96 kHz. Beyond it, and beyond the engine's bounds at the actual rate, the
// cut-off is clamped.
constexpr float k_lowest_hz = 10.0f;
constexpr float k_highest_hz = 40000.0f;

bool switched_on(float control) {
    return control > 0.0f; // the toggle convention of both standards
}

float clamped(float value, double lowest, double highest) {
    if (!(value >= lowest)) return static_cast<float>(lowest);
    return value > highest ? static_cast<float>(highest) : value;
}

filter_request request_within(const cutoff_limits& limits,
                              const float (&controls)[k_control_ports]) {
    filter_request request;
    request.high_pass = switched_on(controls[port_hp]);
    request.high_hz = clamped(controls[port_hp_freq], limits.high_min_hz, limits.high_max_hz);
    request.low_pass = switched_on(controls[port_lp]);
    request.low_hz = clamped(controls[port_lp_freq], limits.low_min_hz, limits.low_max_hz);
    return request;
}

// Both sides off, with the engine's default order for precise.
ns_filter_engine::engine_settings bypass(realization kind) {
    return {filter_request{}, kind};
}

} // namespace

const control_description k_controls[k_control_ports] = {
    {"hp", "High-pass", true, 0.0f, 1.0f, 0.0f},
    {"hp_freq", "High-pass cut-off", false, k_lowest_hz, k_highest_hz, 100.0f},
    {"lp", "Low-pass", true, 0.0f, 1.0f, 0.0f},
    {"lp_freq", "Low-pass cut-off", false, k_lowest_hz, k_highest_hz, 4000.0f},
    {"precise", "Precise", true, 0.0f, 1.0f, 0.0f},
};

const plugin_kind k_kinds[k_plugin_kinds] = {
    {"urn:zq:hl-pass:mono",
     "zq_hl_pass_mono",
     5916673,
     "ZQ High/Low-Pass Filter (Mono)",
     1,
     {{"in", "In"}, {}},
     {{"out", "Out"}, {}}},
    {"urn:zq:hl-pass:stereo",
     "zq_hl_pass_stereo",
     5916674,
     "ZQ High/Low-Pass Filter (Stereo)",
     2,
     {{"in_l", "Left in"}, {"in_r", "Right in"}},
     {{"out_l", "Left out"}, {"out_r", "Right out"}}},
};

plugin_settings settle(const float (&controls)[k_control_ports], double rate) noexcept {
    realization kind =
        switched_on(controls[port_precise]) ? realization::precise : realization::exact;
    const filter_request request = request_within(limits_for(kind, rate), controls);
    // The exact bounds lie inside the precise ones, so the request needs no second clamping.
    if (kind == realization::exact &&
        exact_verdict(rate, request) == ns_filter_engine::verdict::unsound)
        kind = realization::precise;
    return {kind, request};
}

hl_pass_instance::hl_pass_instance(double rate, int channels)
    : rate_(rate), channels_(channels), exact_(rate, channels, bypass(realization::exact)),
      precise_(rate, channels, bypass(realization::precise)), active_(&exact_) {
    const cutoff_limits limits = limits_for(realization::exact, rate);
    if (!(limits.high_min_hz <= limits.high_max_hz && limits.low_min_hz <= limits.low_max_hz))
        throw std::invalid_argument("no cut-off fits below half the sample rate");
}

void hl_pass_instance::connect(unsigned long port, void* data) noexcept {
    if (port < k_control_ports) {
        controls_[port] = static_cast<const float*>(data);
        return;
    }
    const unsigned long audio = port - k_control_ports;
    const auto channels = static_cast<unsigned long>(channels_);
    if (audio < channels)
        inputs_[audio] = static_cast<const float*>(data);
    else if (audio < 2 * channels)
        outputs_[audio - channels] = static_cast<float*>(data);
}

void hl_pass_instance::activate() noexcept {
    exact_.reset();
    precise_.reset();
}

void hl_pass_instance::run(unsigned long frames) noexcept {
    follow_controls();
    for (int c = 0; c < channels_; ++c)
        if (inputs_[c] != outputs_[c]) std::copy_n(inputs_[c], frames, outputs_[c]);
    active_->process_planar(outputs_, static_cast<long>(frames));
    silence_if_not_finite(frames);
}

void hl_pass_instance::follow_controls() noexcept {
    float now[k_control_ports];
    for (unsigned port = 0; port < k_control_ports; ++port)
        now[port] = controls_[port] ? *controls_[port] : k_controls[port].default_value;
    // Compared bit for bit, so that a control left at NaN is not applied again at every block.
    if (followed_ && std::memcmp(now, applied_, sizeof now) == 0) return;
    std::memcpy(applied_, now, sizeof now);
    followed_ = true;

    const plugin_settings settings = settle(now, rate_);
    filter_engine& wanted = settings.kind == realization::exact ? exact_ : precise_;
    wanted.retune(settings.request);
    if (&wanted == active_) return;
    // Whatever history the other engine kept belongs to an earlier stretch of the stream.
    wanted.reset();
    active_ = &wanted;
}

void hl_pass_instance::silence_if_not_finite(unsigned long frames) noexcept {
    for (int c = 0; c < channels_; ++c) {
        const float* out = outputs_[c];
        if (std::all_of(out, out + frames, [](float x) { return std::isfinite(x); })) continue;
        for (int each = 0; each < channels_; ++each)
            std::fill_n(outputs_[each], frames, 0.0f);
        active_->reset();
        return;
    }
}

} // namespace ns_hl_pass_plugin
