// What zq-filter runs the audio through: the component loaded as a host loads it (the exact
// realization), or the filter engine's precise realization.
#pragma once

#include <functional>

namespace ns_audio_files {

class stream_filter {
public:
    using sink = std::function<void(const float* interleaved, long frames)>;

    virtual ~stream_filter() = default;
    // Filters `frames` interleaved frames and hands what comes out, in order, to `output`.
    // The samples are the filter's to overwrite: filtering in place spares a copy of the stream.
    virtual void filter(float* interleaved, long frames, const sink& output) = 0;
    // The stream has ended: hands over anything still held.
    virtual void finish(const sink& output) = 0;
};

} // namespace ns_audio_files
