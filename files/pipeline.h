// zq-filter's stream in three stages at once, each on its own thread: reading and decoding the
// next block, filtering the current one, encoding and writing the previous one. The blocks
// travel in order through two small queues of reused buffers, so memory stays a few blocks
// whatever the stream's length. The filter gets exactly the pieces it would get if the stages
// ran one after another, and the writer readies the same pieces in the same order and encodes
// the same samples (a block at a time where the encoder takes any split), so OUTPUT's bytes do
// not change. The threads leave signals alone: zq-filter's handler ends the run wherever it
// stands.
#pragma once

#include "stream_filter.h"

#include <functional>
#include <vector>

namespace ns_audio_files {

struct pipeline_stages {
    // A buffer of `frames` frames of `channels` samples, for the queues (before any thread).
    std::function<std::vector<float>(int frames, int channels)> allocate;
    // Reader thread: up to `frames` frames into `block`; returns how many, 0 at the end.
    std::function<long(float* block, long frames)> read;
    // This thread: one piece of at most the piece length, its outputs handed to `emit`.
    std::function<void(float* piece, long frames, const stream_filter::sink& emit)> filter;
    // This thread, after the last piece: whatever the filter still holds, to `emit`.
    std::function<void(const stream_filter::sink& emit)> finish;
    // Writer thread: one piece the filter emitted, readied for OUTPUT in place.
    std::function<void(float* piece, long frames)> prepare;
    // Writer thread: a block of readied pieces, in order (a few large writes cost the kernel
    // far less than many small ones), or each piece on its own when the shape asks.
    std::function<void(const float* block, long frames)> write;
};

struct pipeline_shape {
    int read_channels;     // channels of the blocks read
    int filter_channels;   // channels of the pieces the filter emits
    long piece_frames;     // frames per piece handed to the filter (the last may be shorter)
    bool write_each_piece; // for encoders that follow call sizes: each piece its own write
};

// Runs the stages until the reader reaches the end; returns the frames read. `progress` is
// told the frames filtered so far after each block. The first exception any stage throws stops
// the others and is rethrown here once all threads are done.
long long run_pipeline(const pipeline_stages& stages, const pipeline_shape& shape,
                       const std::function<void(long long frames_done)>& progress);

} // namespace ns_audio_files
