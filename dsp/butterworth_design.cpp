#include <dsp/libdspaudio>

#include "detail/butterworth.h"

#include <cmath>
#include <complex>
#include <cstdlib>

namespace ns_audio_dsp {

namespace {

constexpr int k_lp_storage = 10; // poles, zeros and polynomials of the low-pass design
constexpr int k_hp_storage = 20; // polynomials of the high-pass design
constexpr int k_lp_max_order = k_lp_storage - 1;
constexpr int k_hp_max_order = k_hp_storage - 1;

constexpr double k_pi_wide = static_cast<double>(libdspaudio::k_pi);
constexpr double k_zeros[k_lp_storage] = {-1.0, -1.0, -1.0, -1.0, -1.0,
                                          -1.0, -1.0, -1.0, -1.0, -1.0};

// Multiplies out Π (z − roots[k]) for k = 0 .. n−1, n >= 1; coeffs[k] receives the
// coefficient of z^k (coeffs[n] = 1). Shared by the complex denominator and the real numerator
// so both are expanded by the same recurrence.
template <typename T>
void expand_roots(const T* roots, int n, T* coeffs) {
    coeffs[0] = -roots[0];
    coeffs[1] = T(1.0);
    for (int m = 2; m <= n; ++m) {
        const T root = roots[m - 1];
        coeffs[m] = T(1.0);
        for (int j = m - 1; j >= 1; --j) {
            coeffs[j] = coeffs[j - 1] - root * coeffs[j];
        }
        coeffs[0] = -root * coeffs[0];
    }
}

} // namespace

void libdspaudio::butter_lp_design(float cutoff, int order, float* a, float* b) {
    if (order < 1 || order > k_lp_max_order) return;
    const int n = order;
    const int h = n / 2;

    // The product is rounded to float before widening, so low cut-offs keep their float
    // granularity in the pre-warp.
    const double phi = static_cast<double>(cutoff * k_pi);
    const double w = std::sin(phi) / std::cos(phi);

    std::complex<double> poles[k_lp_storage] = {};
    for (int i = 0; i < h; ++i) {
        const detail::z_pole p =
            detail::bilinear_lowpass_pole(w, detail::butterworth_pole_angle(n, i));
        poles[i] = {p.re, p.im};
        poles[h + i] = {p.re, -p.im};
    }

    std::complex<double> denominator[k_lp_storage];
    double numerator[k_lp_storage];
    expand_roots(poles, n, denominator);
    expand_roots(k_zeros, n, numerator);

    double denominator_sum = 0.0;
    double numerator_sum = 0.0;
    for (int k = 0; k <= n; ++k) {
        denominator_sum += denominator[k].real();
        numerator_sum += numerator[k];
    }
    // Both polynomials are in powers of z; the filters want powers of z^-1, hence n − k.
    for (int k = 0; k <= n; ++k) {
        a[k] = static_cast<float>(denominator[n - k].real());
        b[k] = static_cast<float>(numerator[n - k] * denominator_sum / numerator_sum);
    }
}

void libdspaudio::butter_hp_design(float cutoff, int order, float* a, float* b) {
    if (order < 1 || order > k_hp_max_order) return;
    const int n = order;
    const int h = n / 2;

    // Low-pass prototype at the mirrored cut-off 0.5 − cutoff, mapped by z → −z below.
    const double phi = (0.5 - static_cast<double>(cutoff)) * k_pi_wide;
    const double w = std::sin(phi) / std::cos(phi);

    double numerator[k_hp_storage] = {1.0};
    double denominator[k_hp_storage] = {1.0};
    double scratch[k_hp_storage];
    for (int i = 0; i < h; ++i) {
        const detail::z_pole lowpass =
            detail::bilinear_lowpass_pole(w, detail::butterworth_pole_angle(n, i));
        const double re = -lowpass.re; // z → −z; the sign of the imaginary part is irrelevant
        const double magnitude_squared = re * re + lowpass.im * lowpass.im;
        detail::multiply_section(numerator, n, 2.0, 1.0, scratch);
        detail::multiply_section(denominator, n, 2.0 * re, magnitude_squared, scratch);
    }

    // Scaling by the sums of magnitudes gives unit gain at half the sample rate whenever the
    // denominator's signs alternate (cut-offs up to a quarter of the sample rate).
    double denominator_magnitude = 0.0;
    double numerator_magnitude = 0.0;
    for (int k = 0; k <= n; ++k) {
        denominator_magnitude += std::abs(denominator[k]);
        numerator_magnitude += std::abs(numerator[k]);
    }
    for (int k = 0; k <= n; ++k) {
        a[k] = static_cast<float>(denominator[k]);
        b[k] = static_cast<float>(numerator[k] * denominator_magnitude / numerator_magnitude);
    }
}

} // namespace ns_audio_dsp
