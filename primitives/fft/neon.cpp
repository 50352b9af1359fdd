#include <primitives/fft/paths.h>

#if defined(ZQ_SIMD_HAS_NEON)
#include <primitives/fft/kernels.h>
#include <primitives/simd/neon.h>

namespace ns_primitives::fft_paths {

void forward_neon(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<simd_neon::vec4, simd_neon::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
