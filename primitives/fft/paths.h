// The FFT's code paths, one translation unit each, behind the dispatch in fft.cpp.
#pragma once

#include <primitives/simd/paths.h>

namespace ns_primitives::fft_paths {

// Vector paths need runs of at least four elements in every stage.
constexpr int k_min_vector_order = 4;

// Forward transform of 2^order points in place on (re, im), with the plan's twiddles and a
// work buffer of 2 * 2^order floats. The scalar path takes every order 0 to 11, the vector
// paths orders k_min_vector_order to 11.
void forward_scalar(int order, const float* twiddles, float* re, float* im, float* work);
void forward_sse2(int order, const float* twiddles, float* re, float* im, float* work);
void forward_avx(int order, const float* twiddles, float* re, float* im, float* work);
void forward_neon(int order, const float* twiddles, float* re, float* im, float* work);

} // namespace ns_primitives::fft_paths
