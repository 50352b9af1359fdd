#include <primitives/fft_paths.h>

#if defined(ZQ_FFT_HAS_SSE2)
#include <primitives/fft_kernels.h>
#include <primitives/fft_simd_sse.h>

namespace ns_primitives::fft_paths {

void forward_sse2(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<fft_sse::vec4, fft_sse::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
