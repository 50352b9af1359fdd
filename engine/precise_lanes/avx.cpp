// Compiled with AVX enabled (see zq_simd_sources); called only after the processor has been
// found to support it. Four double lanes.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX) && defined(__AVX__)
#include "kernels.h"

namespace ns_filter_engine::precise_lanes {

void filter_avx(const block<float>& b) {
    filter_block<4, 8>(b);
}
void filter_avx(const block<double>& b) {
    filter_block<4, 8>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
