#include "resampling_filter.h"

#include "file_error.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

namespace ns_audio_files {

namespace {

constexpr int k_opus_rates[] = {8000, 12000, 16000, 24000, 48000};
// MPEG-1, 2 and 2.5's: libsndfile refuses any other for MP3 (and LAME keeps what it allocated).
constexpr int k_mp3_rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// The lowest of `rates` (ascending) at or above `sample_rate`, else the highest.
template <std::size_t count>
int rate_at_or_above(const int (&rates)[count], int sample_rate) {
    const int* const above = std::find_if(std::begin(rates), std::end(rates),
                                          [sample_rate](int rate) { return rate >= sample_rate; });
    return above == std::end(rates) ? *std::prev(above) : *above;
}
// Room for the frames a piece makes beyond its share, and what a drain hands over at a time.
constexpr long k_spare_frames = 1024;

} // namespace

resampling_filter::resampling_filter(std::unique_ptr<stream_filter> inner, int channels,
                                     int from_rate, int to_rate)
    : inner_(std::move(inner)), channels_(channels),
      ratio_(static_cast<double>(to_rate) / from_rate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(from_rate, to_rate, static_cast<unsigned>(channels), &error, &io,
                             &quality, nullptr);
    if (error)
        throw file_error(failure::output, "cannot resample " + std::to_string(from_rate) +
                                              " Hz to " + std::to_string(to_rate) +
                                              " Hz: " + error);
}

resampling_filter::~resampling_filter() {
    soxr_delete(resampler_);
}

void resampling_filter::filter(float* interleaved, long frames, const sink& output) {
    inner_->filter(interleaved, frames,
                   [&](const float* filtered, long count) { resample(filtered, count, output); });
}

void resampling_filter::finish(const sink& output) {
    inner_->finish([&](const float* filtered, long count) { resample(filtered, count, output); });
    resample(nullptr, 0, output);
}

void resampling_filter::resample(const float* interleaved, long frames, const sink& output) {
    const long room =
        static_cast<long>(std::ceil(static_cast<double>(frames) * ratio_)) + k_spare_frames;
    resampled_.resize(static_cast<std::size_t>(room) * channels_);
    // Until the input is taken, or at the end until a call gives nothing more.
    for (;;) {
        std::size_t taken = 0, made = 0;
        const soxr_error_t error =
            soxr_process(resampler_, interleaved, static_cast<std::size_t>(frames), &taken,
                         resampled_.data(), static_cast<std::size_t>(room), &made);
        if (error) throw file_error(failure::filter, std::string("cannot resample: ") + error);
        if (made > 0) output(resampled_.data(), static_cast<long>(made));
        if (interleaved) {
            interleaved += taken * channels_;
            frames -= static_cast<long>(taken);
            if (frames == 0 && made < static_cast<std::size_t>(room)) return;
        } else if (made == 0) {
            return;
        }
    }
}

int codec_rate(int format, int sample_rate) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_OPUS:
        return rate_at_or_above(k_opus_rates, sample_rate);
    case SF_FORMAT_MPEG_LAYER_III:
        return rate_at_or_above(k_mp3_rates, sample_rate);
    default:
        return sample_rate;
    }
}

long long resampled_frames(long long frames, int from_rate, int to_rate) {
    if (from_rate == to_rate) return frames;
    const double scaled = static_cast<double>(frames) * to_rate / from_rate;
    // Beyond any real count, a header's mark of "unknown" stays unknown.
    return scaled < 0x1p62 ? std::llround(scaled) : 0;
}

} // namespace ns_audio_files
