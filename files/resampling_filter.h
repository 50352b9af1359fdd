// A filter whose output is resampled for a codec that takes only some rates (Opus, MP3), with
// libsoxr's high-quality preset: the filter runs at INPUT's rate, the resampler after it.
#pragma once

#include "stream_filter.h"

#include <memory>
#include <vector>

struct soxr;

namespace ns_audio_files {

class resampling_filter : public stream_filter {
public:
    // Throws file_error(output) when libsoxr cannot resample between the rates.
    resampling_filter(std::unique_ptr<stream_filter> inner, int channels, int from_rate,
                      int to_rate);
    ~resampling_filter() override;
    resampling_filter(const resampling_filter&) = delete;
    resampling_filter& operator=(const resampling_filter&) = delete;

    void filter(float* interleaved, long frames, const sink& output) override;
    // Flushes the inner filter, then the resampler's delay line.
    void finish(const sink& output) override;

private:
    // Resamples `frames` frames (null and 0 at the end, to drain it) into `output`.
    void resample(const float* interleaved, long frames, const sink& output);

    std::unique_ptr<stream_filter> inner_;
    int channels_;
    double ratio_;
    soxr* resampler_ = nullptr;
    std::vector<float> resampled_;
};

// The rate a codec takes nearest to `sample_rate` from above (the highest it takes when none
// is as high): Opus's 8, 12, 16, 24 or 48 kHz, MP3's 8 to 48 kHz in nine steps; any rate for
// the others.
int codec_rate(int format, int sample_rate);

// Frames at `to_rate` for `frames` at `from_rate`, rounded; 0 (not known) for a count no file
// holds.
long long resampled_frames(long long frames, int from_rate, int to_rate);

} // namespace ns_audio_files
