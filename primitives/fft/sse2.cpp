#include <primitives/fft/paths.h>

#if defined(ZQ_SIMD_HAS_SSE2)
#include <primitives/fft/kernels.h>
#include <primitives/simd/sse2.h>

namespace ns_primitives::fft_paths {

void forward_sse2(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<simd_sse2::vec4, simd_sse2::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
