#include <dsp/libdspaudio>

#include "detail/butterworth.h"
#include <primitives/vector_trig.h>

#include <cmath>

namespace ns_audio_dsp {

namespace {

constexpr int k_bp_storage = 20; // band-pass poles and polynomials
constexpr int k_bp_max_order = k_bp_storage - 1;

// Below this imaginary part a prototype pole is treated as real.
constexpr double k_real_pole_threshold = 0.0001;

using detail::z_pole;

// The two roots of z^2 − α·(1 + p)·z + p, the images of prototype pole p under the
// low-pass to band-pass substitution z^−1 → −z^−1·(z^−1 − α) / (1 − α·z^−1).
void substitute_pole(const z_pole& p, double alpha, z_pole& z1, z_pole& z2) {
    if (std::fabs(p.im) < k_real_pole_threshold) {
        const double centre = 0.5 * alpha * (1.0 + p.re);
        const double d = centre * centre - p.re;
        if (d > 0.0) {
            z1 = {centre + std::sqrt(d), 0.0};
            z2 = {centre - std::sqrt(d), 0.0};
        } else {
            z1 = {centre, std::sqrt(std::fabs(d))};
            z2 = {centre, -std::sqrt(std::fabs(d))};
        }
        return;
    }
    const double centre_re = 0.5 * alpha * (1.0 + p.re);
    const double centre_im = 0.5 * alpha * p.im;
    const double d_re = centre_re * centre_re - p.re - centre_im * centre_im;
    const double d_im = 2.0 * centre_re * centre_im - p.im;
    // Principal square root of d = d_re + j·d_im.
    const double modulus = std::sqrt(d_re * d_re + d_im * d_im);
    const double root_re = std::sqrt(std::fabs(d_re + modulus) * 0.5);
    const double root_im = d_im / (2.0 * root_re);
    z1 = {centre_re + root_re, centre_im + root_im};
    z2 = {centre_re - root_re, centre_im - root_im};
}

// |V(e^jω0)| / |U(e^jω0)| for polynomials in z^−1 of degree n.
double magnitude_ratio(const double* v, const double* u, int n, double omega0) {
    double angles[k_bp_storage];
    double sines[k_bp_storage];
    double cosines[k_bp_storage];
    for (int k = 0; k <= n; ++k)
        angles[k] = static_cast<double>(k) * omega0;
    ns_primitives::vector_sin_cos(angles, n + 1, sines, cosines);
    double v_re = 0.0, v_im = 0.0, u_re = 0.0, u_im = 0.0;
    for (int k = 0; k <= n; ++k) {
        v_re += v[k] * cosines[k];
        v_im += v[k] * sines[k];
        u_re += u[k] * cosines[k];
        u_im += u[k] * sines[k];
    }
    return std::sqrt((v_re * v_re + v_im * v_im) / (u_re * u_re + u_im * u_im));
}

// The product with k_pi or k_two_pi rounded to float, as every design places its
// frequencies, then widened.
double single_turns(float x, float constant) {
    return static_cast<double>(x * constant);
}

} // namespace

void libdspaudio::butter_bp_design(float upper_cutoff, float lower_cutoff, int order, float* a,
                                   float* b) {
    if (order < 0 || order > k_bp_max_order) return;
    const int n = order;
    const int m = n / 2; // prototype order
    const int h = m / 2; // prototype conjugate pairs

    // The low-pass prototype's cut-off is the bandwidth.
    const double phi = single_turns(upper_cutoff - lower_cutoff, k_pi);
    const double w = std::sin(phi) / std::cos(phi);

    const double omega_upper = single_turns(upper_cutoff, k_two_pi);
    const double omega_lower = single_turns(lower_cutoff, k_two_pi);
    const double alpha =
        std::cos((omega_lower + omega_upper) * 0.5) / std::cos((omega_upper - omega_lower) * 0.5);

    // With m odd the last section takes a slot never filled: a pole pair at the origin.
    z_pole poles[k_bp_storage] = {};
    for (int i = 0; i < h; ++i) {
        const z_pole prototype =
            detail::bilinear_lowpass_pole(w, detail::butterworth_pole_angle(m, i));
        substitute_pole(prototype, alpha, poles[2 * i], poles[2 * i + 1]);
    }

    double numerator[k_bp_storage] = {1.0};
    double denominator[k_bp_storage] = {1.0};
    double scratch[k_bp_storage];
    for (int j = 0; j < m; ++j) {
        const z_pole& q = poles[j];
        detail::multiply_section(numerator, n, 0.0, -1.0, scratch); // zeros at z = 1 and z = −1
        detail::multiply_section(denominator, n, 2.0 * q.re, q.re * q.re + q.im * q.im, scratch);
    }

    const double omega0 = single_turns(upper_cutoff + lower_cutoff, k_pi);
    const float gain = static_cast<float>(magnitude_ratio(denominator, numerator, n, omega0));
    for (int k = 0; k <= n; ++k) {
        a[k] = static_cast<float>(denominator[k]);
        b[k] = static_cast<float>(numerator[k] * static_cast<double>(gain));
    }
}

void libdspaudio::biquad_lp_design(float cutoff, float* coefficients) {
    const double omega = single_turns(cutoff, k_two_pi);
    const double sine = std::sin(omega);
    const double cosine = std::cos(omega);
    const float alpha = static_cast<float>(0.5 * sine); // sin ω / (2Q) with Q = 1
    const float a0 = 1.0f + alpha;
    const double a0_wide = static_cast<double>(a0);
    const float outer_tap = static_cast<float>((1.0 - cosine) / static_cast<double>(2.0f * a0));
    coefficients[0] = a0;
    coefficients[1] = static_cast<float>(-2.0 * cosine / a0_wide);
    coefficients[2] = (1.0f - alpha) / a0;
    coefficients[3] = outer_tap;
    coefficients[4] = static_cast<float>((1.0 - cosine) / a0_wide);
    coefficients[5] = outer_tap;
}

} // namespace ns_audio_dsp
