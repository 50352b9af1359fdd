// Compiled with AVX enabled (see zq_simd_sources); called only after the processor has been
// found to support it. Four double lanes, two for the channels left over.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX) && defined(__AVX__)
#include "kernels.h"

#include <primitives/simd/avx.h>

namespace ns_filter_engine::precise_lanes {

using namespace ns_primitives::simd_avx;

void filter_avx(const block<float>& b) {
    filter_block<vec4d, vec2d>(b);
}
void filter_avx(const block<double>& b) {
    filter_block<vec4d, vec2d>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
