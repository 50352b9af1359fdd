// Two double lanes; a lone channel's sections pipelined four at a time in pairs of registers.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_SSE2)
#include "kernels.h"

namespace ns_filter_engine::precise_lanes {

void filter_sse2(const block<float>& b) {
    filter_block<2, 4>(b);
}
void filter_sse2(const block<double>& b) {
    filter_block<2, 4>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
