// Full linear convolution of two real float sequences.
#pragma once

#include <primitives/fft.h>

namespace ns_primitives {

// Writes the nx + nh - 1 values out[i] = sum over k of x[i - k] * h[k] (terms with x outside
// 0..nx-1 omitted), in single precision and unscaled. Needs nx >= 1 and nh >= 1; if either is
// smaller, nothing is written. out holds nx + nh - 1 floats and must not overlap x or h.
//
// The shorter sequence serves as the kernel. Short kernels are summed directly, each output in
// increasing kernel index, with no allocation. Longer ones go through overlap-add on the
// complex FFT of <primitives/fft.h>: two real input blocks share one complex transform, and a
// kernel longer than half the largest transform (2048 points) is cut into uniform segments
// whose products are summed in the frequency domain. Each output then costs O(log nh) while
// the kernel fits half a transform, and about nh / 1024 complex multiply-adds beyond, where
// the transform length stops growing.
//
// Switch point: the routine estimates both costs from per-operation timings measured with
// bench_convolution (direct multiply-add, transform, frequency-domain multiply-add, plan
// building) and takes the cheaper. Measured on x86-64 with the SSE FFT, the direct sum wins
// for kernels up to about 16 taps on long inputs, and for equal lengths up to about 72 with
// given plans (about 140 when the routine builds its own).
//
// Allocation: the direct path allocates nothing. The FFT path allocates the spectra, a
// transform work buffer and, without given plans, one plan: at most about 6·min(nx, nh) +
// 16·N floats for transforms of N <= 2048 points. All of it is freed before returning;
// std::bad_alloc passes through when the heap cannot supply it. Reentrant: no shared state.
//
// plans: null, or k_max_fft_order + 1 plans built for orders 0..k_max_fft_order (for instance
// those of a libdspaudio object). They are only read, so a shared set serves concurrent calls.
// Without them the FFT path builds the one plan it needs on every call, which moves the
// switch point towards longer kernels.
void linear_convolution(const float* x, int nx, const float* h, int nh, float* out,
                        const fft_plan* plans = nullptr);

} // namespace ns_primitives
