#include "response.h"

#include "detail/section_response.h"

#include <cmath>
#include <limits>

namespace ns_filter_engine {

namespace {

double exact_gain(const detail::exact_section_set& set, double fraction) {
    double gain = 1.0;
    for (int s = 0; s < set.count; ++s)
        gain *= detail::magnitude(set.sections[s], fraction);
    return gain;
}

double precise_gain(const std::vector<biquad>& sections, double fraction) {
    double gain = 1.0;
    for (const biquad& section : sections)
        gain *= detail::magnitude(section, fraction);
    return gain;
}

std::vector<biquad> precise_sections(double rate, const engine_settings& settings) {
    const filter_request& r = settings.request;
    std::vector<biquad> all;
    auto append = [&](design_kind kind, double hz) {
        const std::vector<biquad> side =
            butterworth_sections(kind, settings.precise_order, hz, rate);
        all.insert(all.end(), side.begin(), side.end());
    };
    if (r.high_pass) append(design_kind::high_pass, r.high_hz);
    if (r.low_pass) append(design_kind::low_pass, r.low_hz);
    return all;
}

double decibels(double gain) {
    return gain > 0.0 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
}

} // namespace

std::vector<double> magnitude_db(double rate, const engine_settings& settings,
                                 const std::vector<double>& frequencies_hz) {
    std::vector<double> levels;
    levels.reserve(frequencies_hz.size());
    if (settings.kind == realization::exact) {
        const detail::exact_section_set set =
            detail::exact_sections_of(plan_for(settings.request, rate));
        for (const double hz : frequencies_hz)
            levels.push_back(decibels(exact_gain(set, hz / rate)));
    } else {
        const std::vector<biquad> sections = precise_sections(rate, settings);
        for (const double hz : frequencies_hz)
            levels.push_back(decibels(precise_gain(sections, hz / rate)));
    }
    return levels;
}

} // namespace ns_filter_engine
