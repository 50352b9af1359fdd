// Channels side by side: the recursions of arma_filter and arma_filter_2stage for the channels
// of an interleaved block, run at once, one channel per vector lane. Each lane performs
// exactly the operations of the channel-by-channel routines in the same order, so the outputs
// and every carried history are bit for bit theirs; the block is filtered in place, without the
// de-interleave and interleave around a per-channel filter.
// Bit for bit means every value that is a number, infinities and signed zeros included. Where
// NaN or infinite input makes NaNs, the same samples are NaN on every path, but the payload
// and sign bits of those NaNs are the processor's and may differ between paths.
//
// The channel-by-channel routines stay the reference ("literal") path. The process uses the
// fastest vector path the processor runs (literal without one) unless lane_path_select, an
// internal entry point for tests and benchmarks, picks another.
#pragma once

#include <dsp/export.h>
#include <dsp/libdspaudio>

namespace ns_audio_dsp {

// The filter as arma_filter (two_stage false: a1, b1) or arma_filter_2stage (a1, b1, a2, b2)
// takes it: orders 1..8 for one section, 1..4 for two.
struct arma_sections {
    bool two_stage;
    int order;
    float* a1;
    float* b1;
    float* a2;
    float* b2;
};

// `scalar` is the portable emulation of the vector lanes, there on every processor. The paths
// after literal are the instruction sets of primitives/instruction_set.h, in its order.
enum class lane_path { literal, scalar, sse2, avx, neon, avx512 };

// Whether this build contains `path` and the processor can run it (literal always can).
ZQ_DSP_API bool lane_path_supported(lane_path path);
// The path filtering uses when the caller names none.
ZQ_DSP_API lane_path lane_path_chosen();
// Makes `path` the chosen one for the whole process, when supported (else false, no change).
// For tests and benchmarks, before filtering starts: filters that took their path keep it.
ZQ_DSP_API bool lane_path_select(lane_path path);
ZQ_DSP_API const char* lane_path_name(lane_path path);
// The path lane_path_name calls `name`, into `path`; false, `path` unchanged, for no path.
ZQ_DSP_API bool lane_path_named(const char* name, lane_path& path);

// Filters `frames` interleaved frames of `channels` channels in place (channel c of frame f
// at samples[f * channels + c]), channel c continuing histories[c], one of `channels` histories
// the caller owns: the samples and histories that arma_filter / arma_filter_2stage would leave,
// channel by channel. Any channel count from 1 on. Allocates nothing. Returns false, touching
// nothing, for the literal path or one not supported, no channel or an order the routines
// refuse: the caller then filters channel by channel.
ZQ_DSP_API bool arma_filter_lanes(libdspaudio::channel_history* histories,
                                  const arma_sections& sections, float* samples, int frames,
                                  int channels, lane_path path = lane_path_chosen());
// The same on the histories of `dsp` (filter_state), which carries channels 1..10 (false for
// more); none of dsp's work buffers are used.
ZQ_DSP_API bool arma_filter_lanes(libdspaudio& dsp, const arma_sections& sections, float* samples,
                                  int frames, int channels, lane_path path = lane_path_chosen());

} // namespace ns_audio_dsp
