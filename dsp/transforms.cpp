#include <dsp/libdspaudio>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

// The radix-2 kit and the MDCT fix their single-precision arithmetic: table angles are
// rounded to float before their cosine and sine are taken in double, and the MDCT's twiddle is
// advanced by a single-precision rotation rather than evaluated afresh. Only the plans' FFT is
// free in how it computes.
namespace ns_audio_dsp {
namespace {

bool is_table_order(int order) {
    return order >= 0 && order < libdspaudio::k_fft_orders;
}

bool is_power_of_two(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// The order of the quarter-length FFT behind an MDCT of `n` samples, or -1 for a frame size
// the transforms do not take.
int mdct_fft_order(int n) {
    switch (n) {
    case 128:
        return 5;
    case 256:
        return 6;
    case 512:
        return 7;
    case 2048:
        return 9;
    default:
        return -1;
    }
}

float double_cos(float angle) {
    return static_cast<float>(std::cos(static_cast<double>(angle)));
}

float double_sin(float angle) {
    return static_cast<float>(std::sin(static_cast<double>(angle)));
}

// e^(-i theta_k) with theta_k = alpha (k + 1/8), stepped from k to k + 1 by a rotation through
// alpha in single precision.
class mdct_twiddle {
public:
    explicit mdct_twiddle(float alpha)
        : c_(double_cos(alpha / 8)), s_(double_sin(alpha / 8)), step_c_(double_cos(alpha)),
          step_s_(double_sin(alpha)) {}

    float c() const { return c_; }
    float s() const { return s_; }

    void advance() {
        const float next_c = c_ * step_c_ - s_ * step_s_;
        const float next_s = s_ * step_c_ + c_ * step_s_;
        c_ = next_c;
        s_ = next_s;
    }

private:
    float c_;
    float s_;
    float step_c_;
    float step_s_;
};

uint16_t* build_bit_reversal(int order) {
    const int n = 1 << order;
    uint16_t* table = new uint16_t[n];
    for (int t = 0; t < n; ++t) {
        int reversed = 0;
        for (int bit = 0, rest = t; bit < order; ++bit, rest >>= 1)
            reversed = (reversed << 1) | (rest & 1);
        table[t] = static_cast<uint16_t>(reversed);
    }
    return table;
}

} // namespace

void libdspaudio::fft(float* re, float* im, int order) {
    if (order <= 0 || order >= k_fft_orders) return;
    ns_primitives::fft_forward(fft_plan[order], re, im, fft_buffer);
}

// Exchanging real and imaginary parts around a forward DFT gives the unscaled inverse.
void libdspaudio::ffti(float* re, float* im, int order) {
    fft(im, re, order);
}

void libdspaudio::check_tables(int order) {
    if (!is_table_order(order) || cos_table[order] != nullptr) return;
    const int n = 1 << order;
    auto cosines = std::make_unique<float[]>(n / 2);
    auto negated_sines = std::make_unique<float[]>(n / 2);
    for (int t = 0; t < n / 2; ++t) {
        const float angle = k_two_pi * static_cast<float>(t) / static_cast<float>(n);
        cosines[t] = double_cos(angle);
        negated_sines[t] = -double_sin(angle);
    }
    cos_table[order] = cosines.release();
    sin_table[order] = negated_sines.release();
}

void libdspaudio::reorder(float* data, int order) {
    if (!is_table_order(order)) return;
    if (bitrev_table[order] == nullptr) bitrev_table[order] = build_bit_reversal(order);
    const uint16_t* reversed = bitrev_table[order];
    for (int t = 0; t < (1 << order); ++t)
        if (reversed[t] > t) std::swap(data[t], data[reversed[t]]);
}

void libdspaudio::fft_proc(float* re, float* im, float* cos_t, float* sin_t, int n) {
    if (n <= 1 || !is_power_of_two(n)) return;
    for (int span = 1, stride = n / 2; span < n; span *= 2, stride /= 2) {
        for (int block = 0; block < n; block += 2 * span) {
            for (int m = 0; m < span; ++m) {
                const int j = block + m;
                const float wr = cos_t[m * stride];
                const float wi = sin_t[m * stride];
                const float t_re = re[j + span] * wr - im[j + span] * wi;
                const float t_im = im[j + span] * wr + re[j + span] * wi;
                re[j + span] = re[j] - t_re;
                re[j] = re[j] + t_re;
                im[j + span] = im[j] - t_im;
                im[j] = im[j] + t_im;
            }
        }
    }
}

void libdspaudio::mdct(float* x, int n) {
    const int order = mdct_fft_order(n);
    if (order < 0) return;
    const int n2 = n / 2;
    const int n4 = n / 4;
    const int n8 = n / 8;
    const float alpha = k_two_pi / static_cast<float>(n);

    // Fold the frame into n/4 complex values and rotate each by e^(-i theta_k).
    mdct_twiddle pre(alpha);
    for (int k = 0; k < n4; ++k) {
        float r;
        float q;
        if (k < n8) {
            r = x[3 * n4 - 1 - 2 * k] + x[3 * n4 + 2 * k];
            q = x[n4 + 2 * k] - x[n4 - 1 - 2 * k];
        } else {
            r = x[3 * n4 - 1 - 2 * k] - x[2 * k - n4];
            q = x[n4 + 2 * k] + x[5 * n4 - 1 - 2 * k];
        }
        mdct_re[k] = r * pre.c() + q * pre.s();
        mdct_im[k] = q * pre.c() - r * pre.s();
        pre.advance();
    }

    fft(mdct_re, mdct_im, order);

    mdct_twiddle post(alpha);
    for (int k = 0; k < n4; ++k) {
        const float re = mdct_re[k];
        const float im = mdct_im[k];
        const float y1 = 2.0f * (post.c() * re + post.s() * im);
        const float y2 = 2.0f * (post.c() * im - post.s() * re);
        x[2 * k] = -y1;
        x[n2 - 1 - 2 * k] = y2;
        x[n2 + 2 * k] = -y2;
        x[n - 1 - 2 * k] = y1;
        post.advance();
    }
}

void libdspaudio::imdct(float* x, int n) {
    const int order = mdct_fft_order(n);
    if (order < 0) return;
    const int n2 = n / 2;
    const int n4 = n / 4;
    const int n8 = n / 8;
    const float alpha = static_cast<float>(static_cast<double>(k_two_pi) / n);
    const float gain = static_cast<float>(2.0 / n);

    std::vector<float> a(static_cast<std::size_t>(n4));
    std::vector<float> b(static_cast<std::size_t>(n4));
    mdct_twiddle pre(alpha);
    for (int k = 0; k < n4; ++k) {
        const float u = -x[2 * k];
        const float v = x[n2 - 1 - 2 * k];
        a[k] = v * pre.c() + u * pre.s();
        b[k] = u * pre.c() - v * pre.s();
        pre.advance();
    }

    fft(a.data(), b.data(), order);

    // Unfold: every one of the n outputs is written exactly once.
    mdct_twiddle post(alpha);
    for (int k = 0; k < n4; ++k) {
        const float p = gain * (post.c() * b[k] - post.s() * a[k]);
        const float q = gain * (post.c() * a[k] + post.s() * b[k]);
        x[3 * n4 - 1 - 2 * k] = p;
        if (k < n8)
            x[3 * n4 + 2 * k] = p;
        else
            x[2 * k - n4] = -p;
        x[n4 + 2 * k] = q;
        if (k < n8)
            x[n4 - 1 - 2 * k] = -q;
        else
            x[5 * n4 - 1 - 2 * k] = q;
        post.advance();
    }
}

} // namespace ns_audio_dsp
