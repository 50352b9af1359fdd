// Two double lanes; a lone channel's sections pipelined four at a time in pairs of registers.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_NEON)
#include "kernels.h"

#include <primitives/simd/neon.h>

namespace ns_filter_engine::precise_lanes {

using ns_primitives::simd_neon::vec2d;

void filter_neon(const block<float>& b) {
    filter_block<vec2d>(b);
}
void filter_neon(const block<double>& b) {
    filter_block<vec2d>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
