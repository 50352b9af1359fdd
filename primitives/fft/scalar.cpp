#include <primitives/fft/kernels.h>
#include <primitives/fft/paths.h>
#include <primitives/simd/scalar.h>

namespace ns_primitives::fft_paths {

void forward_scalar(int order, const float* twiddles, float* re, float* im, float* work) {
    if (order == 0) return;
    if (order == 1) {
        const float re0 = re[0];
        const float im0 = im[0];
        re[0] = re0 + re[1];
        im[0] = im0 + im[1];
        re[1] = re0 - re[1];
        im[1] = im0 - im[1];
        return;
    }
    fft_kernels::forward<simd_scalar::lane, simd_scalar::lane>(order, twiddles, re, im, work);
}

} // namespace ns_primitives::fft_paths
