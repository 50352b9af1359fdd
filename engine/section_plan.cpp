#include "section_plan.h"

#include <algorithm>

namespace ns_filter_engine {

namespace {

// Below these fractions of the sample rate a fourth-order high-pass in single precision is
// too close to instability, so it is split into two second-order sections.
constexpr double k_split_high_pass_below = 0.015;
constexpr double k_split_band_high_section_below = 0.01;
// A band whose both edges sit this low is run as a plain low-pass.
constexpr double k_band_needs_fraction = 0.005;

section_design low_pass(int order, float fraction) {
    return {design_kind::low_pass, order, fraction};
}

section_design high_pass(int order, float fraction) {
    return {design_kind::high_pass, order, fraction};
}

} // namespace

float khz_from_hz(double hz) {
    return static_cast<float>(hz / 1000.0);
}

double hz_from_khz(float khz) {
    return 1000.0 * double{khz};
}

filter_request as_component_reads(const filter_request& request) {
    filter_request read = request;
    read.high_hz = static_cast<float>(request.high_hz);
    read.low_hz = hz_from_khz(khz_from_hz(request.low_hz));
    return read;
}

bool usable_rate(double rate) {
    // Truncating to int is defined below 2^31; NaN and infinity fail one of the comparisons.
    return rate > 0.0 && rate * 0.45 < 2147483648.0;
}

cutoff_bounds bounds_at(double rate) {
    return {50.0f, static_cast<float>(static_cast<int>(rate * 0.45)), 0.2f,
            static_cast<float>(rate * 0.00045)};
}

float high_fraction_of(float hz, double rate) {
    return static_cast<float>(double{hz} / rate);
}

float low_fraction_of(float khz, double rate) {
    const float hz = 1000.0f * khz;
    return static_cast<float>(double{hz} / rate);
}

int mode_of(int high_pass, int low_pass) {
    const long long mode = low_pass + 2LL * high_pass;
    return static_cast<int>(std::clamp(mode, -1LL, 4LL));
}

section_plan plan_sections(int mode, float high_fraction, float low_fraction) {
    section_plan plan;
    plan.high_fraction = high_fraction;
    plan.low_fraction = low_fraction;
    const double high = high_fraction;
    // Written as negated comparisons so that a NaN fraction counts as "not at least".
    if (mode == mode_band && !(high >= k_band_needs_fraction) &&
        !(double{low_fraction} >= k_band_needs_fraction)) {
        plan.band_fallback = true;
        mode = mode_low_pass;
    }
    plan.mode = mode;
    switch (mode) {
    case mode_bypass:
    case mode_low_pass:
        plan.bypass = mode == mode_bypass;
        plan.first = low_pass(4, low_fraction);
        break;
    case mode_high_pass:
        plan.design_second = true;
        if (high >= k_split_high_pass_below) {
            plan.first = plan.second = high_pass(4, high_fraction);
        } else {
            plan.two_stage = true;
            plan.order = 2;
            plan.first = plan.second = high_pass(2, high_fraction);
        }
        break;
    case mode_band:
        plan.two_stage = true;
        plan.design_second = true;
        plan.pad_first = !(high >= k_split_band_high_section_below);
        plan.first = high_pass(plan.pad_first ? 2 : 4, high_fraction);
        plan.second = low_pass(4, low_fraction);
        break;
    default:
        plan.known_mode = false;
        break;
    }
    return plan;
}

section_plan plan_for(const filter_request& request, double rate) {
    return plan_sections(mode_of(request.high_pass, request.low_pass),
                         high_fraction_of(static_cast<float>(request.high_hz), rate),
                         low_fraction_of(khz_from_hz(request.low_hz), rate));
}

bool same_layout(const section_plan& a, const section_plan& b) noexcept {
    // A band that falls back to a low-pass runs what a low-pass runs, so the fall-back itself
    // does not count.
    return a.mode == b.mode && a.known_mode == b.known_mode && a.two_stage == b.two_stage &&
           a.order == b.order && a.pad_first == b.pad_first && a.design_second == b.design_second &&
           a.first.kind == b.first.kind && a.first.order == b.first.order &&
           a.second.kind == b.second.kind && a.second.order == b.second.order;
}

} // namespace ns_filter_engine
