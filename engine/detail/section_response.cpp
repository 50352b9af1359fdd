#include "section_response.h"

#include "../exact_filter.h"

#include <algorithm>
#include <cmath>

namespace ns_filter_engine::detail {

namespace {

// The designs read nothing of the library object, so one shared object serves every thread.
ns_audio_dsp::libdspaudio& designer() {
    static ns_audio_dsp::libdspaudio dsp;
    return dsp;
}

// Building the object allocates, so it is built when the library is loaded rather than at the
// first check: a real-time host's first call of exact_verdict must not allocate either.
[[maybe_unused]] ns_audio_dsp::libdspaudio& g_designer_built_at_load = designer();

float_section widened(int order, const float* a, const float* b) {
    float_section section;
    section.order = order;
    for (int k = 0; k <= order; ++k) {
        section.a[k] = a[k];
        section.b[k] = b[k];
    }
    section.a[0] = 1.0; // the filters take it as 1 whatever the array holds
    return section;
}

} // namespace

exact_section_set exact_sections_of(const section_plan& plan) {
    exact_section_set set;
    if (!plan.known_mode || plan.bypass) return set;
    float a1[k_first_section_length] = {}, b1[k_first_section_length] = {};
    float a2[k_second_section_length] = {}, b2[k_second_section_length] = {};
    design_exact(designer(), plan, a1, b1, a2, b2);
    set.sections[set.count++] = widened(plan.order, a1, b1);
    if (plan.two_stage) set.sections[set.count++] = widened(plan.order, a2, b2);
    return set;
}

std::complex<double> polynomial_at(const double* c, int order, double fraction) {
    const std::complex<double> step = std::polar(1.0, -2.0 * M_PI * fraction);
    std::complex<double> power = 1.0, sum = 0.0;
    for (int k = 0; k <= order; ++k, power *= step)
        sum += c[k] * power;
    return sum;
}

double magnitude(const float_section& section, double fraction) {
    return std::abs(polynomial_at(section.b, section.order, fraction)) /
           std::abs(polynomial_at(section.a, section.order, fraction));
}

double magnitude(const biquad& s, double fraction) {
    const double a[3] = {1.0, s.a1, s.a2}, b[3] = {s.b0, s.b1, s.b2};
    return std::abs(polynomial_at(b, 2, fraction)) / std::abs(polynomial_at(a, 2, fraction));
}

double butterworth_magnitude(const section_design& design, double fraction) {
    if (fraction <= 0.0) return design.kind == design_kind::low_pass ? 1.0 : 0.0;
    if (fraction >= 0.5) return design.kind == design_kind::low_pass ? 0.0 : 1.0;
    // Bilinear transform with pre-warping: the analogue ratio is tan(pi f) / tan(pi fc).
    double ratio = std::tan(M_PI * fraction) / std::tan(M_PI * double{design.fraction});
    if (design.kind == design_kind::high_pass) ratio = 1.0 / ratio;
    return 1.0 / std::sqrt(1.0 + std::pow(ratio, 2.0 * design.order));
}

double planned_magnitude(const section_plan& plan, double fraction) {
    if (!plan.known_mode || plan.bypass) return 1.0;
    double gain = butterworth_magnitude(plan.first, fraction);
    if (plan.two_stage) gain *= butterworth_magnitude(plan.second, fraction);
    return gain;
}

double largest_pole_radius(const float_section& section) {
    // Durand-Kerner on the monic polynomial; orders are at most 8, so fixed arrays suffice.
    const int n = section.order;
    std::complex<double> roots[8];
    const std::complex<double> seed(0.4, 0.9);
    for (int i = 0; i < n; ++i)
        roots[i] = std::pow(seed, i);
    auto p = [&](std::complex<double> z) {
        std::complex<double> value = 1.0;
        for (int k = 1; k <= n; ++k)
            value = value * z + section.a[k];
        return value;
    };
    for (int iteration = 0; iteration < 500; ++iteration) {
        double largest_step = 0.0;
        for (int i = 0; i < n; ++i) {
            std::complex<double> denominator = 1.0;
            for (int j = 0; j < n; ++j)
                if (j != i) denominator *= roots[i] - roots[j];
            const std::complex<double> step = p(roots[i]) / denominator;
            roots[i] -= step;
            largest_step = std::max(largest_step, std::abs(step));
        }
        if (largest_step < 1e-15) break;
    }
    double radius = 0.0;
    for (int i = 0; i < n; ++i)
        radius = std::max(radius, std::abs(roots[i]));
    return radius;
}

} // namespace ns_filter_engine::detail
