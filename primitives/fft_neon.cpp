#include <primitives/fft_paths.h>

#if defined(ZQ_FFT_HAS_NEON)
#include <primitives/fft_kernels.h>
#include <primitives/fft_simd_neon.h>

namespace ns_primitives::fft_paths {

void forward_neon(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<fft_neon::vec4, fft_neon::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
