#include "soundness.h"

#include "detail/section_response.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace ns_filter_engine {

namespace {

using detail::exact_section_set;
using detail::float_section;

// A pole this close to the unit circle is beyond what single precision holds apart from it.
constexpr double k_pole_margin = 1e-6;
constexpr double k_largest_boost_db = 1.0;
constexpr double k_largest_passband_error_db = 1.0;
// A stopband that rounding leaves above this level, and at least k_stopband_excess_db above
// the design's own response there, is degraded.
constexpr double k_stopband_floor_db = -60.0;
constexpr double k_stopband_excess_db = 10.0;
// Deeper than this the design's response is quoted as "below" it (and rounding noise in any
// float output is near this level anyway).
constexpr double k_quoted_depth_db = -120.0;
// Probes: DC, Nyquist and this many log-spaced fractions from k_lowest_probe to 0.5.
constexpr int k_log_probes = 400;
constexpr double k_lowest_probe = 1e-6;
// Rounding-noise model of a single-precision direct-form section with a full-scale input:
// the error of each output, u x sum |b_k| scaled by a factor measured on the exact filters
// (within a few dB of their output for DC and hum at low cut-offs), amplified by 1 / |A|.
constexpr double k_unit_roundoff = 0x1p-24;
constexpr double k_noise_scale = 1.0 / 16.0;

double to_db(double gain) {
    return gain > 0.0 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
}

double probe_fraction(int index) {
    if (index == 0) return 0.0;
    if (index > k_log_probes) return 0.5;
    return k_lowest_probe *
           std::pow(0.5 / k_lowest_probe, double(index - 1) / double(k_log_probes - 1));
}

double rounding_noise(const float_section& section, double fraction) {
    double numerator = 0.0;
    for (int k = 0; k <= section.order; ++k)
        numerator += std::fabs(section.b[k]);
    const double denominator = std::abs(detail::polynomial_at(section.a, section.order, fraction));
    return k_noise_scale * k_unit_roundoff * numerator / denominator;
}

// What comes out for a full-scale input at `fraction`: the float coefficients' response plus
// the rounding noise each section adds, carried through the sections after it.
double realized_level(const exact_section_set& set, double fraction, double* response) {
    double level = 1.0, gain = 1.0;
    for (int s = 0; s < set.count; ++s) {
        const double section_gain = detail::magnitude(set.sections[s], fraction);
        gain *= section_gain;
        level = level * section_gain + rounding_noise(set.sections[s], fraction);
    }
    *response = gain;
    return level;
}

struct exact_analysis {
    bool valid = true;
    double pole_radius = 0.0;
    double boost_db = -std::numeric_limits<double>::infinity();
    double boost_fraction = 0.0;
    double passband_error_db = 0.0;
    double passband_fraction = 0.0;
    double stopband_excess_db = -std::numeric_limits<double>::infinity();
    double stopband_fraction = 0.0;
    double stopband_level_db = 0.0;
    double stopband_planned_db = 0.0;
};

void probe(const section_plan& plan, const exact_section_set& set, double fraction,
           exact_analysis& found) {
    double response = 0.0;
    const double level_db = to_db(realized_level(set, fraction, &response));
    const double response_db = to_db(response);
    const double planned_db = to_db(detail::planned_magnitude(plan, fraction));
    if (std::isnan(response_db) || std::isnan(level_db)) found.valid = false;
    if (response_db > found.boost_db) {
        found.boost_db = response_db;
        found.boost_fraction = fraction;
    }
    if (planned_db >= -3.0 && std::fabs(response_db - planned_db) > found.passband_error_db) {
        found.passband_error_db = std::fabs(response_db - planned_db);
        found.passband_fraction = fraction;
    }
    const double excess = level_db - std::fmax(planned_db, k_quoted_depth_db);
    if (level_db > k_stopband_floor_db && planned_db < k_stopband_floor_db &&
        excess > found.stopband_excess_db) {
        found.stopband_excess_db = excess;
        found.stopband_fraction = fraction;
        found.stopband_level_db = level_db;
        found.stopband_planned_db = planned_db;
    }
}

exact_analysis analyse(const section_plan& plan) {
    exact_analysis found;
    const exact_section_set set = detail::exact_sections_of(plan);
    for (int s = 0; s < set.count; ++s)
        found.pole_radius =
            std::fmax(found.pole_radius, detail::largest_pole_radius(set.sections[s]));
    if (set.count == 0) return found;
    for (int index = 0; index <= k_log_probes + 1; ++index)
        probe(plan, set, probe_fraction(index), found);
    return found;
}

bool unstable(const exact_analysis& found) {
    return !found.valid || !(found.pole_radius < 1.0 - k_pole_margin);
}

bool boosts(const exact_analysis& found) {
    return found.boost_db > k_largest_boost_db;
}

bool passband_off(const exact_analysis& found) {
    return found.passband_error_db > k_largest_passband_error_db;
}

bool stopband_degraded(const exact_analysis& found) {
    return found.stopband_excess_db >= k_stopband_excess_db;
}

verdict verdict_of(const section_plan& plan, const exact_analysis& found) {
    if (unstable(found) || boosts(found) || passband_off(found)) return verdict::unsound;
    if (plan.band_fallback || stopband_degraded(found)) return verdict::degraded;
    return verdict::sound;
}

std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string frequency_text(double fraction, double rate) {
    return fraction == 0.0 ? std::string("DC") : printed("%.0f Hz", fraction * rate);
}

std::string level_text(double db) {
    return db < k_quoted_depth_db ? printed("below %.0f dB", k_quoted_depth_db)
                                  : printed("%.1f dB", db);
}

std::string filter_text(const filter_request& request, double rate) {
    const std::string at = printed("at %g Hz a ", rate);
    if (request.high_pass && request.low_pass)
        return at + printed("%g Hz", request.high_hz) +
               printed(" .. %g Hz band-pass", request.low_hz);
    if (request.high_pass) return at + printed("%g Hz high-pass", request.high_hz);
    return at + printed("%g Hz low-pass", request.low_hz);
}

void add(soundness_report& report, verdict severity, std::string message) {
    if (severity > report.overall) report.overall = severity;
    report.findings.push_back({severity, std::move(message)});
}

void describe(const filter_request& request, double rate, const section_plan& plan,
              const exact_analysis& found, soundness_report& report) {
    const std::string filter = filter_text(request, rate);
    const std::string in_exact = " in the exact single-precision design";
    if (unstable(found))
        add(report, verdict::unsound,
            filter + " is unstable" + in_exact + printed(" (pole radius %.7f)", found.pole_radius));
    if (boosts(found))
        add(report, verdict::unsound,
            filter + " boosts " +
                (std::isinf(found.boost_db) ? std::string("without bound")
                                            : printed("by %+.1f dB", found.boost_db)) +
                " at " + frequency_text(found.boost_fraction, rate) + in_exact);
    if (passband_off(found) && !boosts(found))
        add(report, verdict::unsound,
            filter + printed(" is %.1f dB off its passband response at ", found.passband_error_db) +
                frequency_text(found.passband_fraction, rate) + in_exact);
    if (plan.band_fallback)
        add(report, verdict::degraded,
            filter + " is built as a plain low-pass: both cut-offs are below " +
                printed("%g Hz (0.005 x rate)", 0.005 * rate));
    if (stopband_degraded(found))
        add(report, verdict::degraded,
            filter + ": stopband at " + frequency_text(found.stopband_fraction, rate) +
                " only about " + printed("%.0f dB", found.stopband_level_db) + " down" + in_exact +
                ", where the design gives " + level_text(found.stopband_planned_db));
}

} // namespace

verdict exact_verdict(double rate, const filter_request& request) noexcept {
    const section_plan plan = plan_for(request, rate);
    return verdict_of(plan, analyse(plan));
}

soundness_report assess_exact(double rate, const filter_request& request) {
    const section_plan plan = plan_for(request, rate);
    soundness_report report;
    describe(request, rate, plan, analyse(plan), report);
    return report;
}

} // namespace ns_filter_engine
