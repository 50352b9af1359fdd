// Audio files as zq-filter reads and writes them, through libsndfile.
//
// Samples always travel as interleaved 32-bit floats: integer files are scaled to -1 .. 1 on
// reading; on writing every format but float and double gets its samples clamped to full scale
// (encoders such as u-law and A-law cannot take anything beyond it). Float files pass through
// untouched, so a float file written as float holds exactly the samples the filter produced.
#pragma once

#include <sndfile.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace zq_tool {

class sound_input {
public:
    // Opens `path`; throws tool_error(input) naming the path and the problem (missing,
    // unreadable, a directory, not audio libsndfile knows).
    explicit sound_input(const std::string& path);
    ~sound_input();
    sound_input(const sound_input&) = delete;
    sound_input& operator=(const sound_input&) = delete;

    const std::string& path() const noexcept { return path_; }
    int channels() const noexcept { return info_.channels; }
    int sample_rate() const noexcept { return info_.samplerate; }
    int format() const noexcept { return info_.format; }
    // As the file's header states it; formats without one may report a wrong count.
    sf_count_t frames() const noexcept { return info_.frames; }

    // Reads up to `frames` frames into `interleaved` (frames × channels floats); returns how
    // many were read, 0 at the end. Throws tool_error(input) on a read error and for a sample
    // that is not a finite number, naming its frame and channel.
    sf_count_t read(float* interleaved, sf_count_t frames);
    // Frames the header declared beyond those read so far; 0 when it declared none (a pipe,
    // a format without a count) or no more.
    sf_count_t frames_missing() const noexcept;

    // Whether `path` names this very file (the same inode, whatever the spelling or links).
    bool is_same_file(const std::string& path) const;

private:
    std::string path_;
    SF_INFO info_{};
    struct stat identity_ {};
    int descriptor_ = -1;
    SNDFILE* file_ = nullptr;
    sf_count_t frames_read_ = 0;
};

// "a NaN sample at frame F, channel C" (or "an infinite ...") for the first sample of
// `interleaved` that is not a finite number, counting frames from `frames_before`; empty when
// all are finite.
std::string first_non_finite(const float* interleaved, sf_count_t frames, int channels,
                             sf_count_t frames_before);

// Names --format accepts, e.g. "float", "pcm16".
std::vector<std::string> sample_format_names();

// The libsndfile format for OUTPUT: the container its extension names, and `sample_format`
// from sample_format_names(), or the input's sample format when it is empty. Throws
// tool_error(output) when the extension is unknown or the container cannot hold that sample
// format with this channel count and rate.
int output_format(const std::string& path, int input_format, const std::string& sample_format,
                  int channels, int sample_rate);

// Writes OUTPUT through a temporary file beside it (".NAME.XXXXXX", NAME shortened so that the
// temporary name is no longer than OUTPUT's own may be), which becomes OUTPUT only in commit():
// until then an existing OUTPUT is untouched, and a failure, destruction or terminating signal
// before commit() removes the temporary file. Throws tool_error(output) on every failure.
// Samples must be finite; the caller stops any other before it gets here.
class sound_output {
public:
    sound_output(const std::string& path, int format, int channels, int sample_rate);
    ~sound_output();
    sound_output(const sound_output&) = delete;
    sound_output& operator=(const sound_output&) = delete;

    void write(const float* interleaved, sf_count_t frames);
    // Flushes the file to disk and renames it to OUTPUT.
    void commit();

private:
    void discard() noexcept;

    std::string path_;
    std::string temporary_path_;
    int channels_;
    int descriptor_ = -1;
    SNDFILE* file_ = nullptr;
    bool clamps_ = false;
    std::vector<float> clamped_;
};

} // namespace zq_tool
