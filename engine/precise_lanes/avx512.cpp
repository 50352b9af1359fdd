// Compiled with AVX-512 enabled (see zq_simd_sources); called only after the processor has been
// found to support it. Eight double lanes.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX512) && defined(__AVX512F__)
#include "kernels.h"

namespace ns_filter_engine::precise_lanes {

void filter_avx512(const block<float>& b) {
    filter_block<8, 8>(b);
}
void filter_avx512(const block<double>& b) {
    filter_block<8, 8>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
