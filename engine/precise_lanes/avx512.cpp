// Compiled with AVX-512 enabled (see zq_simd_sources); called only after the processor has been
// found to support it. Eight double lanes, four or two for the channels left over.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX512) && defined(__AVX512F__)
#include "kernels.h"

#include <primitives/simd/avx512.h>

namespace ns_filter_engine::precise_lanes {

using namespace ns_primitives::simd_avx512;

void filter_avx512(const block<float>& b) {
    filter_block<vec8d, vec4d, vec2d>(b);
}
void filter_avx512(const block<double>& b) {
    filter_block<vec8d, vec4d, vec2d>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
