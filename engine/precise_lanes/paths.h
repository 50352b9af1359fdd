// The precise realization's code paths, one translation unit per instruction set, behind the
// dispatch in precise_filter.cpp. The scalar path is the reference: channel after channel,
// section after section. Every other path performs each channel's operations in the same
// order, so that its outputs and states are the reference's bit for bit.
#pragma once

#include "../precise_filter.h"

#include <primitives/simd/paths.h>

namespace ns_filter_engine::precise_lanes {

// Channel c's samples start at planes[c] (planar) or at interleaved + c, one every `stride`
// elements. Its state is the 2 * count doubles from states + 2 * count * c.
template <typename sample>
struct block {
    const biquad* sections;
    int count; // 1 .. 8
    // Section k has b0 = b2 = 1 unless k is a multiple of this: count (one side of the filter),
    // count / 2 (both) or 1 (no such promise).
    int gain_period;
    double* states;
    sample* const* planes; // nullptr: interleaved
    sample* interleaved;
    long stride;
    int channels;
    long frames;

    sample* start(int c) const { return planes != nullptr ? planes[c] : interleaved + c; }
};

template <typename sample>
using kernel = void (*)(const block<sample>&);

void filter_scalar(const block<float>& b);
void filter_scalar(const block<double>& b);
void filter_sse2(const block<float>& b);
void filter_sse2(const block<double>& b);
void filter_avx(const block<float>& b);
void filter_avx(const block<double>& b);
void filter_avx512(const block<float>& b);
void filter_avx512(const block<double>& b);
void filter_neon(const block<float>& b);
void filter_neon(const block<double>& b);

} // namespace ns_filter_engine::precise_lanes
