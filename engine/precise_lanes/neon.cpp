// Two double lanes; a lone channel's sections pipelined four at a time in pairs of registers.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_NEON)
#include "kernels.h"

namespace ns_filter_engine::precise_lanes {

void filter_neon(const block<float>& b) {
    filter_block<2, 4>(b);
}
void filter_neon(const block<double>& b) {
    filter_block<2, 4>(b);
}

} // namespace ns_filter_engine::precise_lanes
#endif
