#include "filter_engine.h"

#include <channel/audio_channel>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ns_filter_engine {

namespace {

constexpr long k_block = exact_filter::k_block;
constexpr double k_precise_lowest_hz = 10.0;
constexpr double k_precise_highest_fraction = 0.49;

std::string hz_text(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", hz);
    return text;
}

std::string range_text(double low_hz, double high_hz) {
    return hz_text(low_hz) + " .. " + hz_text(high_hz);
}

std::string check_cutoff(const char* side, double hz, double low_hz, double high_hz, double rate) {
    if (hz >= low_hz && hz <= high_hz) return {};
    return "the " + std::string(side) + " cut-off " + hz_text(hz) + " is outside " +
           range_text(low_hz, high_hz) + " at " + hz_text(rate);
}

// The exact realization's bounds hold for the cut-offs the component reads; the band's edges
// are compared as typed, so that one rule holds for every realization and every value.
std::string check_cutoffs(double rate, const engine_settings& settings) {
    const filter_request& typed = settings.request;
    const filter_request r =
        settings.kind == realization::exact ? as_component_reads(typed) : typed;
    const cutoff_limits limits = limits_for(settings.kind, rate);
    std::string why;
    if (r.high_pass)
        why = check_cutoff("high-pass", r.high_hz, limits.high_min_hz, limits.high_max_hz, rate);
    if (why.empty() && r.low_pass)
        why = check_cutoff("low-pass", r.low_hz, limits.low_min_hz, limits.low_max_hz, rate);
    if (why.empty() && r.high_pass && r.low_pass && !(typed.high_hz < typed.low_hz))
        why = "the band is inverted: the high-pass cut-off " + hz_text(typed.high_hz) +
              " is not below the low-pass cut-off " + hz_text(typed.low_hz);
    return why;
}

} // namespace

cutoff_limits limits_for(realization kind, double rate) noexcept {
    if (kind == realization::exact) {
        const cutoff_bounds bounds = bounds_at(rate);
        return {bounds.high_min_hz, bounds.high_max_hz, hz_from_khz(bounds.low_min_khz),
                hz_from_khz(bounds.low_max_khz)};
    }
    const double highest_hz = k_precise_highest_fraction * rate;
    return {k_precise_lowest_hz, highest_hz, k_precise_lowest_hz, highest_hz};
}

std::string check_settings(double rate, int channels, const engine_settings& settings) {
    if (!usable_rate(rate))
        return "the sample rate must be a positive finite number of Hz below 4.77e9, not " +
               hz_text(rate);
    if (channels < 1 || channels > k_max_channels)
        return "the filter takes 1 to " + std::to_string(k_max_channels) + " channels, not " +
               std::to_string(channels);
    if (settings.kind == realization::precise &&
        (settings.precise_order < 2 || settings.precise_order > 8 ||
         settings.precise_order % 2 != 0))
        return "the precise order must be 2, 4, 6 or 8, not " +
               std::to_string(settings.precise_order);
    if (settings.kind == realization::exact && settings.flush_subnormals)
        return "subnormal numbers are flushed to zero by the precise realization only; the "
               "exact one keeps the component's arithmetic";
    return check_cutoffs(rate, settings);
}

filter_engine::filter_engine(double rate, int channels, const engine_settings& settings)
    : rate_(rate), channels_(channels), settings_(settings) {
    const std::string why = check_settings(rate, channels, settings);
    if (!why.empty()) throw std::invalid_argument(why);
    if (settings.kind == realization::exact)
        exact_ = std::make_unique<exact_filter>(plan_for(settings.request, rate), channels);
    else {
        precise_ = std::make_unique<precise_filter>(
            rate, channels, settings.request, settings.precise_order, settings.flush_subnormals);
        precise_->save_history(saved_); // the one allocation of saved_
    }
    // Only the exact realization de-interleaves (the blocks its lanes decline).
    if (exact_ && channels > 1) {
        planar_.resize(static_cast<std::size_t>(channels) * k_block);
        channel_data_.resize(static_cast<std::size_t>(channels));
    }
}

filter_engine::~filter_engine() = default;

bool filter_engine::filters() const noexcept {
    return settings_.request.high_pass || settings_.request.low_pass;
}

void filter_engine::process_planar(float* const* channel_data, long frames) {
    if (exact_)
        exact_->process_planar(channel_data, frames);
    else
        precise_->process_planar(channel_data, frames);
}

void filter_engine::process_interleaved(float* samples, long frames) {
    if (exact_ && exact_->process_interleaved(samples, frames)) return;
    // The precise lanes read interleaved frames as they are.
    if (precise_) return precise_->process_interleaved(samples, frames);
    if (channels_ == 1) {
        process_planar(&samples, frames);
        return;
    }
    using ns_audio_channel::audio_channel_api;
    for (long done = 0; done < frames; done += k_block) {
        const int n = static_cast<int>(std::min(k_block, frames - done));
        float* block = samples + done * channels_;
        for (int c = 0; c < channels_; ++c)
            channel_data_[c] = planar_.data() + c * n;
        audio_channel_api::deinterleave(channels_, n, block, planar_.data());
        process_planar(channel_data_.data(), n);
        audio_channel_api::interleave(channels_, n, planar_.data(), block);
    }
}

void filter_engine::process_interleaved(double* samples, long frames) {
    if (!precise_) throw std::logic_error("the exact realization filters float samples only");
    precise_->process_interleaved(samples, frames);
}

void filter_engine::retune(const filter_request& request) noexcept {
    settings_.request = request;
    if (exact_)
        exact_->retune(plan_for(request, rate_));
    else
        precise_->retune(request);
}

void filter_engine::reset() {
    if (exact_)
        exact_->reset();
    else
        precise_->reset();
}

bool filter_engine::save_history() {
    if (!precise_) return false;
    precise_->save_history(saved_);
    return true;
}

void filter_engine::restore_history() {
    if (precise_) precise_->restore_history(saved_);
}

} // namespace ns_filter_engine
