// ns_audio_channel::audio_channel_api — interface of every channel converter, the
// planar/interleaved conversions and the converter factory.
//
// Buffers hold 32-bit float samples. An interleaved buffer of C channels and F frames (a frame
// is one sampling instant) holds channel c of frame f at f*C + c; a planar buffer holds the
// same samples as one block, channel after channel, at c*F + f. Conversions are out of place:
// source and destination must not overlap, and the caller sizes both; nothing here allocates
// or checks sizes.
//
// Threads: the static functions touch no shared state. A converter is used by one thread at a
// time, and configure_map must not overlap process on the same converter.
#pragma once

#include <channel/export.h>

#include <cstdint>

namespace ns_audio_channel {

class ZQ_CHANNEL_API audio_channel_api {
public:
    // Kind of converter `create` builds. Any value other than `mixing` behaves as `mapping`.
    enum type : int32_t {
        mapping = 0, // free routing of up to 8 inputs to up to 8 outputs (map_channels)
        mixing = 1   // fixed layouts with fixed mixing equations
    };

    // Virtual slots, in this order for binary callers: process, configure_map, the destructor.
    // Converts `frames` interleaved frames of the converter's input layout read from `input`
    // into `frames` interleaved frames of its output layout written to `output`. Each call is
    // independent: no history is carried. Returns 1, or `frames` for map_channels.
    virtual int process(float* output, float* input, uint32_t frames) = 0;
    // Routing for converters that take one (rows of 8 bools, row = input, column = output);
    // the default ignores it.
    virtual void configure_map(bool (*map)[8]);
    virtual ~audio_channel_api();

    // Planar block to interleaved buffer. Writes nothing for channels < 1 or frames < 1;
    // copies every sample bit for bit and allocates nothing. channels * frames * 4 must fit in
    // an int.
    static void interleave(int channels, int frames, float* planar, float* interleaved);
    // Interleaved buffer to planar block; the mirror image of interleave.
    static void deinterleave(int channels, int frames, float* interleaved, float* planar);

    // Builds the converter for a conversion on the heap; the caller owns it and releases it
    // with destroy. The first matching rule wins:
    //   1. `t` is not `mixing`: a map_channels(in_channels, out_channels). Counts outside
    //      0..8 (the routing map is 8 x 8) are refused with a null pointer.
    //   2. `out_channels` is 2, `in_channels` is even, and `pairs` is set or `in_channels` is
    //      10 or more: mixdown_stereo_pairs(in_channels), which sums the input pairs.
    //   3. The fixed layouts (mono 1, stereo 2, 5.0 5, 5.1 6, 7.1 8), by (in, out):
    //        1->2, 1->5, 1->6, 1->8, 2->1, 2->5, 2->6, 2->8, 5->2, 6->1, 6->2,
    //        6->5 (drops the LFE), 6->8, 8->1, 8->2, 8->6.
    //      Any other pair gives a null pointer.
    // Nothing is thrown for an unsupported combination or a failed allocation: both give null.
    static audio_channel_api* create(type t, int in_channels, int out_channels, bool pairs);
    // Deletes a converter obtained from create; a null pointer is ignored.
    static void destroy(audio_channel_api* converter);
};

} // namespace ns_audio_channel
