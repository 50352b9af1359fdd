#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "../support/reference.h"

namespace {

using ns_audio_dsp::libdspaudio;
using namespace zq_test;

// Order 0 is refused by fft and ffti and a no-op for the kit, which for a single point is the
// identity the DFT asks for anyway. The kit's twiddles come from float-rounded angles, good to
// about two roundings.
TEST(Transforms, FftFftiAndFftProcMatchDirectDftForEveryOrder) {
    const auto dsp = std::make_unique<libdspaudio>();
    for (int order = 0; order < libdspaudio::k_fft_orders; ++order) {
        SCOPED_TRACE(order);
        const split_complex input = random_complex(1 << order, 1u);
        split_complex forward = input;
        split_complex inverse = input;
        split_complex kit = input;
        dsp->fft(forward.re.data(), forward.im.data(), order);
        dsp->ffti(inverse.re.data(), inverse.im.data(), order);
        dsp->check_tables(order);
        dsp->reorder(kit.re.data(), order);
        dsp->reorder(kit.im.data(), order);
        dsp->fft_proc(kit.re.data(), kit.im.data(), dsp->cos_table[order], dsp->sin_table[order],
                      1 << order);
        const std::vector<std::complex<double>> expected = direct_dft(input, -1);
        EXPECT_LE(relative_error(forward, expected), fft_error_bound(order));
        EXPECT_LE(relative_error(inverse, direct_dft(input, +1)), fft_error_bound(order));
        EXPECT_LE(relative_error(kit, expected), 3.0 * order * k_float_epsilon);
    }
}

TEST(Transforms, RefusalsLeaveMemoryUntouched) {
    const auto dsp = std::make_unique<libdspaudio>();
    std::vector<float> re(4096, k_sentinel);
    std::vector<float> im = re;
    const std::vector<float> original = re;
    for (int order : {-1, libdspaudio::k_fft_orders, 40}) {
        dsp->fft(re.data(), im.data(), order);
        dsp->ffti(re.data(), im.data(), order);
        dsp->reorder(re.data(), order);
        dsp->check_tables(order);
        EXPECT_TRUE(re == original && im == original) << "order " << order;
    }
    const int last = libdspaudio::k_fft_orders - 1;
    EXPECT_TRUE(!dsp->cos_table[last] && !dsp->bitrev_table[last]) << "order clamped";

    dsp->check_tables(4);
    for (int n : {-8, 0, 1, 3, 6, 12}) {
        dsp->fft_proc(re.data(), im.data(), dsp->cos_table[4], dsp->sin_table[4], n);
        EXPECT_TRUE(re == original && im == original) << "fft_proc n " << n;
    }
    for (int n : {-128, 0, 8, 64, 1024, 4096}) {
        dsp->mdct(re.data(), n);
        dsp->imdct(re.data(), n);
        EXPECT_EQ(re, original) << "mdct n " << n;
    }
}

// The single-precision twiddle rotation drifts by up to a rounding or two per step, over n/4
// steps. imdct reads only the lower half, so the random upper half must not matter.
TEST(Transforms, MdctAndImdctMatchDirectSums) {
    const auto dsp = std::make_unique<libdspaudio>();
    for (int n : {128, 256, 512, 2048}) {
        SCOPED_TRACE(n);
        const std::vector<float> input = random_floats(n, 7u);
        std::vector<std::complex<double>> coefficients(n / 2);
        std::vector<std::complex<double>> samples(n);
        for (int k = 0; k < n / 2; ++k)
            for (int j = 0; j < n; ++j) {
                const double kernel = std::cos(2.0 * M_PI / n * (j + 0.5 + n / 4.0) * (k + 0.5));
                coefficients[k] += 2.0 * input[j] * kernel;
                samples[j] += 2.0 / n * input[k] * kernel;
            }
        const double bound = 2.0 * (n / 4 + 32) * k_float_epsilon;
        split_complex mdct{input, std::vector<float>(n)};
        split_complex imdct = mdct;
        dsp->mdct(mdct.re.data(), n);
        dsp->imdct(imdct.re.data(), n);
        EXPECT_LE(relative_error(mdct, coefficients), bound);
        EXPECT_LE(relative_error(imdct, samples), bound);
        for (int k = 0; k < n / 2; ++k)
            ASSERT_EQ(mdct.re[n - 1 - k], -mdct.re[k]) << k;
    }
}

} // namespace
