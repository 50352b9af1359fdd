#include "hl_pass_plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace ns_hl_pass_plugin {

namespace {

using ns_filter_engine::cutoff_limits;
using ns_filter_engine::exact_verdict;
using ns_filter_engine::filter_engine;
using ns_filter_engine::filter_request;
using ns_filter_engine::limits_for;
using ns_filter_engine::realization;

// The range hosts show: every cut-off the Butterworth takes at 44.1 and 48 kHz, and most of
// what it takes at 96 kHz. Beyond the realization's limits at the actual rate, a cut-off is
// clamped.
constexpr float k_lowest_hz = 10.0f;
constexpr float k_highest_hz = 40000.0f;

constexpr double k_glide_seconds = 0.02;  // time constant of the log-frequency glide
constexpr double k_glide_arrived = 1e-3;  // natural-log distance at which a glide lands
constexpr double k_glide_fastest = 20;    // natural-log distance per second at most
constexpr double k_glide_per_hz = 0.5;    // and at most this per second per Hz of the cut-off
constexpr double k_settle_seconds = 0.01; // an incoming filter's unheard start
// The fade from the outgoing filter to it. A switch moves every steady tone from one filter's
// level and phase to the other's; the sidebands this spreads around the tone grow with the
// fade's curvature, which any fade of length T has at 4 / T^2 or more somewhere. Over 70 ms a
// change of order from 2 to 8 under a 3 kHz tone (high-pass at 500 Hz) keeps them 50 dB below
// it beyond 75 Hz from the tone; 50 ms could not.
constexpr double k_fade_seconds = 0.07;
constexpr double k_pi = 3.14159265358979323846;

bool switched_on(float control) {
    return control > 0.0f; // the toggle convention of both standards
}

float clamped(float value, double lowest, double highest) {
    if (!(value >= lowest)) return static_cast<float>(lowest);
    return value > highest ? static_cast<float>(highest) : value;
}

float clamped_high(float hz, const cutoff_limits& limits) {
    return clamped(hz, limits.high_min_hz, limits.high_max_hz);
}

float clamped_low(float hz, const cutoff_limits& limits) {
    return clamped(hz, limits.low_min_hz, limits.low_max_hz);
}

filter_request request_within(const cutoff_limits& limits,
                              const float (&controls)[k_control_ports]) {
    filter_request request;
    request.high_pass = switched_on(controls[port_hp]);
    request.high_hz = clamped_high(controls[port_hp_freq], limits);
    request.low_pass = switched_on(controls[port_lp]);
    request.low_hz = clamped_low(controls[port_lp_freq], limits);
    return request;
}

bool exact_takes(const cutoff_limits& limits, const filter_request& request) {
    const bool high_fits = !request.high_pass || (request.high_hz >= limits.high_min_hz &&
                                                  request.high_hz <= limits.high_max_hz);
    const bool low_fits = !request.low_pass || (request.low_hz >= limits.low_min_hz &&
                                                request.low_hz <= limits.low_max_hz);
    return high_fits && low_fits;
}

bool same_request(const filter_request& a, const filter_request& b) {
    return a.high_pass == b.high_pass && a.low_pass == b.low_pass && a.high_hz == b.high_hz &&
           a.low_hz == b.low_hz;
}

// Whether the history of a filter built for `a` can go on through the coefficients of `b`.
bool same_sections(const plugin_settings& a, const plugin_settings& b, double rate) {
    if (a.kind != b.kind || a.request.high_pass != b.request.high_pass ||
        a.request.low_pass != b.request.low_pass)
        return false;
    if (a.kind == realization::precise) return a.order == b.order;
    return ns_filter_engine::same_layout(ns_filter_engine::plan_for(a.request, rate),
                                         ns_filter_engine::plan_for(b.request, rate));
}

// One step of `seconds` of a one-pole glide in log-frequency; `keep` is the share of the
// distance left. The step's speed is capped, the lower the cut-off the harder: sections moved
// faster than their own time constants let their history swell.
float glided(float current, float target, double keep, double seconds) {
    if (current == target) return target;
    const double distance = std::log(double{current} / double{target});
    if (!(std::fabs(distance) > k_glide_arrived)) return target;
    const double most = seconds * std::min(k_glide_fastest, k_glide_per_hz * double{current});
    const double left = distance > 0 ? std::max(distance * keep, distance - most)
                                     : std::min(distance * keep, distance + most);
    return static_cast<float>(double{target} * std::exp(left));
}

long frames_of(double seconds, double rate) {
    return std::max(1L, std::lround(seconds * rate));
}

// The incoming filter's share, frame by frame: sin^2, whose curvature is near the least a
// smooth fade can have. The outgoing filter's share is the rest, for the two outputs are alike
// (equal power would swell them).
std::vector<float> fade_gains(double rate) {
    std::vector<float> gains(static_cast<std::size_t>(frames_of(k_fade_seconds, rate)));
    for (std::size_t i = 0; i < gains.size(); ++i) {
        const double rising =
            std::sin(k_pi / 2 * static_cast<double>(i + 1) / static_cast<double>(gains.size()));
        gains[i] = static_cast<float>(rising * rising);
    }
    return gains;
}

} // namespace

const control_description k_controls[k_control_ports] = {
    {"hp", "High-pass", control_kind::toggle, 0.0f, 1.0f, 0.0f},
    {"hp_freq", "High-pass cut-off", control_kind::frequency, k_lowest_hz, k_highest_hz, 100.0f},
    {"lp", "Low-pass", control_kind::toggle, 0.0f, 1.0f, 0.0f},
    {"lp_freq", "Low-pass cut-off", control_kind::frequency, k_lowest_hz, k_highest_hz, 4000.0f},
    {"exact", "Exact (component design)", control_kind::toggle, 0.0f, 1.0f, 0.0f},
    {"order", "Order", control_kind::order, 2.0f, 8.0f, 4.0f},
    {"enabled", "Enabled", control_kind::enable, 0.0f, 1.0f, 1.0f},
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

int order_of(float control) noexcept {
    int nearest = k_orders[1]; // 4, also where a value lies midway between it and 6
    for (int order : k_orders)
        if (std::fabs(control - static_cast<float>(order)) <
            std::fabs(control - static_cast<float>(nearest)))
            nearest = order;
    return nearest;
}

plugin_settings settle(const float (&controls)[k_control_ports], double rate) noexcept {
    filter_request request = request_within(limits_for(realization::precise, rate), controls);
    if (!switched_on(controls[port_enabled])) request.high_pass = request.low_pass = false;
    realization kind = realization::precise;
    if (switched_on(controls[port_exact]) &&
        exact_takes(limits_for(realization::exact, rate), request) &&
        exact_verdict(rate, request) != ns_filter_engine::verdict::unsound)
        kind = realization::exact;
    return {kind, order_of(controls[port_order]), request};
}

// A filter as one side of a fade: every engine it may need, built up front, and the one in use.
struct hl_pass_instance::slot {
    slot(double rate, int channels) {
        engines.push_back(std::make_unique<filter_engine>(
            rate, channels, ns_filter_engine::engine_settings{{}, realization::exact}));
        for (int order : k_orders)
            engines.push_back(std::make_unique<filter_engine>(
                rate, channels,
                ns_filter_engine::engine_settings{{}, realization::precise, order}));
        active = engines.front().get();
        settings = {realization::exact, k_orders[1], {}};
    }

    // Starts the filter `wanted` asks for from silence.
    void start(const plugin_settings& wanted) noexcept {
        const auto order = std::find(std::begin(k_orders), std::end(k_orders), wanted.order);
        active = wanted.kind == realization::exact
                     ? engines.front().get()
                     : engines[1 + static_cast<size_t>(order - std::begin(k_orders))].get();
        active->retune(wanted.request);
        active->reset();
        settings = wanted;
    }

    std::vector<std::unique_ptr<filter_engine>> engines; // exact, then precise per k_orders
    filter_engine* active;
    plugin_settings settings;
};

hl_pass_instance::hl_pass_instance(double rate, int channels)
    : rate_(rate), channels_(channels), limits_(limits_for(realization::precise, rate)),
      settle_frames_(frames_of(k_settle_seconds, rate)), fade_gains_(fade_gains(rate)) {
    if (!(limits_.high_min_hz <= limits_.high_max_hz && limits_.low_min_hz <= limits_.low_max_hz))
        throw std::invalid_argument("no cut-off fits below half the sample rate");
    for (auto& each : slots_)
        each = std::make_unique<slot>(rate, channels);
}

hl_pass_instance::~hl_pass_instance() = default;

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
    clear();
    started_ = false;
}

void hl_pass_instance::run(unsigned long frames) noexcept {
    float now[k_control_ports];
    read_controls(now);
    if (!started_) start(now);
    for (unsigned long offset = 0; offset < frames; offset += k_step) {
        const int step = static_cast<int>(std::min<unsigned long>(k_step, frames - offset));
        if (transition_ < 0) glide(now, step);
        if (transition_ < 0 && std::memcmp(glided_, followed_, sizeof glided_) != 0) {
            std::memcpy(followed_, glided_, sizeof glided_);
            follow(gliding_settings(now));
        }
        filter_step(offset, step);
    }
}

void hl_pass_instance::read_controls(float (&now)[k_control_ports]) const noexcept {
    for (unsigned port = 0; port < k_control_ports; ++port)
        now[port] = controls_[port] ? *controls_[port] : k_controls[port].default_value;
}

void hl_pass_instance::targets_of(const float (&now)[k_control_ports],
                                  float (&target)[k_control_ports]) const noexcept {
    std::memcpy(target, now, sizeof target);
    target[port_hp_freq] = clamped_high(now[port_hp_freq], limits_);
    target[port_lp_freq] = clamped_low(now[port_lp_freq], limits_);
}

void hl_pass_instance::start(const float (&now)[k_control_ports]) noexcept {
    targets_of(now, glided_);
    std::memcpy(followed_, glided_, sizeof glided_);
    slots_[heard_]->start(settle(glided_, rate_));
    transition_ = -1;
    started_ = true;
}

void hl_pass_instance::glide(const float (&now)[k_control_ports], int frames) noexcept {
    const double keep = std::exp(-frames / (k_glide_seconds * rate_));
    const double seconds = frames / rate_;
    float target[k_control_ports];
    targets_of(now, target);
    for (const control_port port : {port_hp_freq, port_lp_freq})
        target[port] = glided(glided_[port], target[port], keep, seconds);
    std::memcpy(glided_, target, sizeof glided_);
}

// The exact design's single-precision sections do not take coefficients that move under their
// history, so a glide runs on the Butterworth and the exact design fades in once it lands.
plugin_settings
hl_pass_instance::gliding_settings(const float (&now)[k_control_ports]) const noexcept {
    float target[k_control_ports];
    targets_of(now, target);
    plugin_settings wanted = settle(glided_, rate_);
    if (glided_[port_hp_freq] != target[port_hp_freq] ||
        glided_[port_lp_freq] != target[port_lp_freq])
        wanted.kind = realization::precise;
    return wanted;
}

void hl_pass_instance::follow(const plugin_settings& wanted) noexcept {
    slot& heard = *slots_[heard_];
    if (same_sections(heard.settings, wanted, rate_)) {
        if (!same_request(heard.settings.request, wanted.request))
            heard.active->retune(wanted.request);
        heard.settings = wanted;
        return;
    }
    slots_[1 - heard_]->start(wanted);
    transition_ = 0;
}

void hl_pass_instance::filter_step(unsigned long offset, int frames) noexcept {
    // Every input is read before any output is written: hosts may cross or share the buffers.
    float input[2][k_step] = {};
    float heard[2][k_step];
    float incoming[2][k_step];
    float* heard_data[2] = {heard[0], heard[1]};
    float* incoming_data[2] = {incoming[0], incoming[1]};
    for (int c = 0; c < channels_; ++c) {
        if (inputs_[c]) std::copy_n(inputs_[c] + offset, frames, input[c]);
        std::copy_n(input[c], frames, heard[c]);
    }
    slots_[heard_]->active->process_planar(heard_data, frames);
    if (transition_ >= 0) {
        for (int c = 0; c < channels_; ++c)
            std::copy_n(input[c], frames, incoming[c]);
        slots_[1 - heard_]->active->process_planar(incoming_data, frames);
        fade(heard, incoming, frames);
    }
    bool finite = true;
    for (int c = 0; c < channels_; ++c)
        finite = finite &&
                 std::all_of(heard[c], heard[c] + frames, [](float x) { return std::isfinite(x); });
    if (!finite) {
        for (auto& channel : heard)
            std::fill_n(channel, frames, 0.0f);
        clear();
    }
    for (int c = 0; c < channels_; ++c)
        if (outputs_[c]) std::copy_n(heard[c], frames, outputs_[c] + offset);
}

// Counted in frames, so that the fade takes as long at blocks of one frame as at any other.
void hl_pass_instance::fade(float (&heard)[2][k_step], const float (&incoming)[2][k_step],
                            int frames) noexcept {
    const long fade_frames = static_cast<long>(fade_gains_.size());
    for (int i = 0; i < frames; ++i) {
        const long into = transition_ + i - settle_frames_;
        if (into < 0) continue;
        const float gain = into < fade_frames ? fade_gains_[static_cast<std::size_t>(into)] : 1.0f;
        for (int c = 0; c < channels_; ++c)
            heard[c][i] += gain * (incoming[c][i] - heard[c][i]);
    }
    transition_ += frames;
    if (transition_ >= settle_frames_ + fade_frames) {
        heard_ = 1 - heard_;
        transition_ = -1;
    }
}

void hl_pass_instance::clear() noexcept {
    for (auto& each : slots_)
        each->active->reset();
    transition_ = -1;
}

} // namespace ns_hl_pass_plugin
