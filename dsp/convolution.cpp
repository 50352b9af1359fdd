#include <dsp/libdspaudio>

#include <primitives/convolution.h>

#include <algorithm>
#include <cstdint>

namespace ns_audio_dsp {

namespace {

// out[i] = Σ_{k=0}^{nh−1} padded(nh − 1 + i − k)·h[k] for i = 0 .. nx + nh − 2, summed from 0
// in increasing k, where padded(j) is x with nh − 1 zeros on either side.
template <typename Padded>
void padded_sums(int nx, int nh, const float* h, Padded padded, float* out) {
    for (int i = 0; i < nx + nh - 1; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < nh; ++k)
            sum += padded(nh - 1 + i - k) * h[k];
        out[i] = sum;
    }
}

// The direct full convolution in `pad` (pad_length floats) when x and its zeros fit there;
// otherwise the same sums, zeros and all, read straight from x. An x of nx <= 0 values is
// all zeros: nh - 1 + nx outputs of 0 when that count is positive.
void direct_full(int nx, const float* x, int nh, const float* h, float* pad, int pad_length,
                 float* out) {
    if (int64_t{nx} + nh - 1 < 1) return;
    const int64_t padded_length = int64_t{nx} + 2 * int64_t{nh} - 2;
    if (padded_length <= pad_length) {
        std::fill(pad, pad + padded_length, 0.0f);
        std::copy_n(x, std::max(nx, 0), pad + nh - 1);
        padded_sums(
            nx, nh, h, [pad](int j) { return pad[j]; }, out);
        return;
    }
    const auto from_x = [x, nx, nh](int j) {
        const int i = j - (nh - 1);
        return i >= 0 && i < nx ? x[i] : 0.0f;
    };
    padded_sums(nx, nh, h, from_x, out);
}

// Correlation of x with h over the positions where h lies wholly inside x.
void valid_sums(int nx, const float* x, int nh, const float* h, float* out) {
    for (int i = 0; i <= nx - nh; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < nh; ++k)
            sum += x[i + k] * h[k];
        out[i] = sum;
    }
}

} // namespace

int libdspaudio::convolution(int nx, float const* x, int nh, float const* h, int* out_len,
                             float* out, convolution_type type) {
    // Without any h, and for the transform without any x, there is no result to report.
    if ((type == convolution_fast && nx < 1) ||
        ((type == convolution_fast || type == convolution_full) && nh < 1)) {
        *out_len = 0;
        return 1;
    }
    switch (type) {
    case convolution_fast:
        *out_len = nx;
        ns_primitives::linear_convolution(x, nx, h, nh, out, fft_plan);
        return 1;
    case convolution_full:
        *out_len = nx + nh - 1;
        direct_full(nx, x, nh, h, conv_pad, k_scratch_length, out);
        return 1;
    case convolution_valid:
        *out_len = std::max(nx - nh + 1, 0);
        valid_sums(nx, x, nh, h, out);
        return 1;
    }
    return 0;
}

} // namespace ns_audio_dsp
