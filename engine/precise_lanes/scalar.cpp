#include "kernels.h"

namespace ns_filter_engine::precise_lanes {

// The reference: one channel at a time, its sections one after another.
void filter_scalar(const block<float>& b) {
    filter_block<>(b);
}
void filter_scalar(const block<double>& b) {
    filter_block<>(b);
}

} // namespace ns_filter_engine::precise_lanes
