// The channel lanes' code paths, one translation unit each, behind the dispatch in
// arma_lanes.cpp. Each takes a checked request: orders and channels within the routines'
// limits, at least one frame.
#pragma once

#include <dsp/arma_lanes.h>
#include <primitives/simd/paths.h>

namespace ns_audio_dsp::lanes {

struct request {
    const arma_sections& sections;
    libdspaudio::channel_history* histories; // of channels 0 .. channels - 1
    float* samples;
    int frames;
    int channels;
};

void filter_scalar(const request& r);
void filter_sse2(const request& r);
void filter_avx(const request& r);
void filter_neon(const request& r);
void filter_avx512(const request& r);

} // namespace ns_audio_dsp::lanes
