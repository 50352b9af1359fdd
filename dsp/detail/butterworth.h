// Internal to the Butterworth designs (low-pass, high-pass, band-pass): the analogue pole
// angles and their images under the pre-warped bilinear transform. Not part of the library's
// interface and not installed.
#pragma once

#include <dsp/libdspaudio>

#include <cmath>

namespace ns_audio_dsp::detail {

// Angle of pole i (0 <= i < order / 2) of the analogue Butterworth prototype of `order`, in
// the left half plane: (order + 1 + 2i)·π / (2·order). Formed in single precision with the
// single-precision π, each step rounded to float, so every design places its poles on the
// same float angles; widened only at the end.
inline double butterworth_pole_angle(int order, int i) {
    const float turns = static_cast<float>(order + 1 + 2 * i) * libdspaudio::k_pi;
    return static_cast<double>(turns / static_cast<float>(2 * order));
}

struct z_pole {
    double re;
    double im;
};

// Digital low-pass pole for the analogue pole w·e^(j·theta): its image (1 + s) / (1 − s)
// under the bilinear transform, w being the pre-warped tan(π·cutoff).
inline z_pole bilinear_lowpass_pole(double w, double theta) {
    const double w_squared = w * w;
    const double d = 1.0 + w_squared - 2.0 * w * std::cos(theta);
    return {(1.0 - w_squared) / d, 2.0 * w * std::sin(theta) / d};
}

// poly *= (1 − c1·z^−1 + c2·z^−2), keeping the terms up to z^−n; poly[0] stays as it is.
// The new terms are formed from the old ones in `scratch` before they replace them.
inline void multiply_section(double* poly, int n, double c1, double c2, double* scratch) {
    for (int k = 1; k <= n; ++k) {
        const double older = k >= 2 ? poly[k - 2] : 0.0;
        scratch[k] = poly[k] - c1 * poly[k - 1] + c2 * older;
    }
    for (int k = 1; k <= n; ++k)
        poly[k] = scratch[k];
}

} // namespace ns_audio_dsp::detail
