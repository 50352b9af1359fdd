// Compiled with AVX enabled (see zq_simd_sources); called only after the processor has been
// found to support it.
#include <primitives/fft/paths.h>

#if defined(ZQ_SIMD_HAS_AVX) && defined(__AVX__)
#include <primitives/fft/kernels.h>
#include <primitives/simd/avx.h>

namespace ns_primitives::fft_paths {

void forward_avx(int order, const float* twiddles, float* re, float* im, float* work) {
    fft_kernels::forward<simd_avx::vec8, simd_avx::vec4>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
#endif
