// Transfer functions of the realizations' sections, evaluated in double precision, shared by
// the soundness check and the response display.
#pragma once

#include "../precise_filter.h"
#include "../section_plan.h"

#include <complex>

namespace ns_filter_engine::detail {

// One direct-form section as the exact realization runs it: coefficients 0..order, a[0] = 1.
struct float_section {
    int order = 0;
    double a[9] = {};
    double b[9] = {};
};

// The sections the exact realization filters with (one, or two for a cascade); none in bypass
// or for an impossible mode. Allocation-free.
struct exact_section_set {
    int count = 0;
    float_section sections[2];
};
exact_section_set exact_sections_of(const section_plan& plan);

// Polynomial c[0] + c[1] z^-1 + ... + c[order] z^-order at z = e^(j 2 pi fraction).
std::complex<double> polynomial_at(const double* c, int order, double fraction);

// |H| of a section at a fraction of the sample rate.
double magnitude(const float_section& section, double fraction);
double magnitude(const biquad& section, double fraction);

// |H| of the Butterworth design the section stands for, computed in double precision.
double butterworth_magnitude(const section_design& design, double fraction);

// |H| of the whole plan as designed in double precision (the exact realization's target).
double planned_magnitude(const section_plan& plan, double fraction);

// Largest modulus among the roots of z^order + a[1] z^(order-1) + ... + a[order].
double largest_pole_radius(const float_section& section);

} // namespace ns_filter_engine::detail
