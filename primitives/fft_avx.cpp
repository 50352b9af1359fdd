// Compiled with AVX enabled (see CMakeLists.txt); called only after the processor has been
// found to support it.
#include <primitives/fft_paths.h>

#if defined(ZQ_FFT_HAS_AVX) && defined(__AVX__)
#include <primitives/fft_kernels.h>
#include <primitives/fft_simd_avx.h>

namespace ns_primitives::fft_paths {

void forward_avx(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<fft_avx::vec8, fft_avx::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
