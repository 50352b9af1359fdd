// Audio files as zq-filter reads and writes them, through libsndfile.
//
// Samples always travel as interleaved 32-bit floats: integer files are scaled to -1 .. 1 on
// reading; on writing every format but float and double gets its samples clamped to full scale
// (encoders such as u-law and A-law cannot take anything beyond it). Float files pass through
// untouched, so a float file written as float holds exactly the samples the filter produced.
#pragma once

#include "metadata.h"
#include "standard_streams.h"
#include "stated_length.h"
#include "wav_samples.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ns_audio_files {

class sound_input {
public:
    // Opens `path`, or standard input for "-"; throws file_error(input) naming the path and
    // the problem (missing, unreadable, a directory, not audio libsndfile knows).
    explicit sound_input(const std::string& path);
    ~sound_input();
    sound_input(const sound_input&) = delete;
    sound_input& operator=(const sound_input&) = delete;

    const std::string& path() const noexcept { return path_; }
    int channels() const noexcept { return info_.channels; }
    int sample_rate() const noexcept { return info_.samplerate; }
    int format() const noexcept { return info_.format; }
    // As the file's header states it; formats without one may report a wrong count, and
    // standard input read from a pipe reports 0.
    sf_count_t frames() const noexcept { return info_.frames; }
    // Whether INPUT is a pipe, read once from start to end.
    bool streamed() const noexcept { return streamed_; }
    // The position of each channel as the file declares it (SF_CHANNEL_MAP_*), or empty.
    std::vector<int> channel_map() const;
    sound_metadata metadata() const { return read_metadata(file_); }

    // Reads up to `frames` frames into `interleaved` (frames × channels floats); returns how
    // many were read, 0 at the end. Throws file_error(input) on a read error and for a sample
    // that is not a finite number, naming its frame and channel.
    sf_count_t read(float* interleaved, sf_count_t frames);
    // How INPUT, read so far, falls short of what its container states, e.g. "its header
    // declares 3000 frames, it holds 1000"; empty when it is whole or states nothing to tell
    // (a pipe, a compressed encoding, MPEG's estimate).
    std::string shortfall() const;

    // Whether `path` names this very file (the same inode, whatever the spelling or links).
    bool is_same_file(const std::string& path) const;

private:
    std::string path_;
    SF_INFO info_{};
    struct stat identity_ {};
    int descriptor_ = -1; // -1 for standard input
    bool streamed_ = false;
    SNDFILE* file_ = nullptr;
    std::unique_ptr<wav_sample_reader> wav_samples_; // null: libsndfile reads the samples
    sf_count_t frames_read_ = 0;
    stated_length stated_;
};

// "a NaN sample at frame F, channel C" (or "an infinite ...") for the first sample of
// `interleaved` that is not a finite number, counting frames from `frames_before`; empty when
// all are finite.
std::string first_non_finite(const float* interleaved, sf_count_t frames, int channels,
                             sf_count_t frames_before);

// Names --format accepts, e.g. "float", "pcm16".
std::vector<std::string> sample_format_names();

struct output_encoding {
    int format;       // libsndfile's container | encoding
    std::string note; // why OUTPUT's encoding differs from INPUT's; empty when it does not
    int sample_rate;  // OUTPUT's: INPUT's unless the codec does not take it (codec_rate())
};

// The libsndfile format for OUTPUT. The container comes from `type` (--type) when given,
// otherwise from the extension of `path` (.ogg is Ogg Vorbis, .opus Ogg Opus, .mp3 MPEG layer
// III), and is WAV for "-". The encoding is `sample_format` from sample_format_names() when
// given, otherwise the codec of a lossy container, otherwise INPUT's when the container takes
// it, otherwise float (24 bits for FLAC). The rate is the codec's nearest to `sample_rate`
// where it takes only some. Throws file_error(usage) when the name is unknown, this
// libsndfile lacks the encoder, or the container cannot hold that encoding with this channel
// count and rate.
output_encoding output_format(const std::string& path, const std::string& type, int input_format,
                              const std::string& sample_format, int channels, int sample_rate);

// Bytes a WAV of `frames` frames leaves below the 4 GiB its 32-bit sizes reach; negative past
// it, where OUTPUT becomes RF64.
sf_count_t riff_bytes_left(int format, int channels, sf_count_t frames);

// Writes OUTPUT through a locked temporary file beside it (temporaries.h), unnamed where the file
// system allows, which becomes OUTPUT only in commit(): until then an existing OUTPUT is
// untouched, and a failure, destruction, terminating signal or crash before commit() leaves no
// temporary file. A symbolic link is written through: its target is replaced, beside itself. An
// existing OUTPUT that is not a regular file (a device, a FIFO) and OUTPUT "-", standard output,
// are written as the samples come. Throws file_error(output) on every failure, a write-protected
// OUTPUT included (EACCES). Samples must be finite; the caller stops any other before it gets
// here.
struct output_description {
    int format = 0; // from output_format()
    int channels = 0;
    int sample_rate = 0;
    sf_count_t frames = 0; // expected; 0 when not known (sizes the header of a piped WAV)
    // The position of each channel (SF_CHANNEL_MAP_*), declared where the container keeps a
    // map (a WAV of more than two channels becomes WAVE_FORMAT_EXTENSIBLE for it); empty for
    // none.
    std::vector<int> channel_map;
    sound_metadata metadata; // kept where the container can
    int bitrate = 0;         // kb/s from codec_bitrate(); 0 for the encoder's default
};

class sound_output {
public:
    sound_output(const std::string& path, const output_description& description);
    ~sound_output();
    sound_output(const sound_output&) = delete;
    sound_output& operator=(const sound_output&) = delete;

    // What OUTPUT's container could not keep of the metadata, for a note; empty when nothing.
    const std::string& metadata_lost() const noexcept { return metadata_lost_; }
    // Why OUTPUT's container is not the one asked for (RF64 for a WAV past 4 GiB); or empty.
    const std::string& container_note() const noexcept { return container_note_; }

    // True where the encoder's output may depend on how the samples are split among calls:
    // Vorbis shapes its blocks from what each call brings, so the same samples written in
    // larger pieces come out different, and the other lossy codecs get the same care. Linear
    // and FLAC encodings take any split.
    bool follows_call_sizes() const noexcept { return follows_call_sizes_; }

    // Also starts writing what is written to disk every few megabytes, so that commit() finds
    // little left to flush.
    void write(const float* interleaved, sf_count_t frames);
    // Flushes the file to disk, renames it to OUTPUT and flushes the rename.
    void commit();

private:
    bool open_existing_stream();
    void open_temporary_file();
    void discard() noexcept;
    void keep_name_durable() const;

    std::string path_;   // as the user gave it, for messages
    std::string target_; // what is replaced: path_ with its symbolic links followed
    std::string temporary_path_;
    std::string metadata_lost_;
    std::string container_note_;
    int channels_;
    int format_ = 0;
    std::optional<sf_count_t> riff_bytes_left_; // a WAV's, before the 4 GiB it cannot pass
    int descriptor_ = -1;                       // the temporary file; -1 for a stream
    int stream_descriptor_ = -1;                // an existing OUTPUT that is a device or a FIFO
    bool unnamed_ = false;                      // the temporary file has no name until commit()
    std::unique_ptr<wav_stream> wav_stream_;    // a WAV to a pipe goes through it
    SNDFILE* file_ = nullptr;
    bool clamps_ = false;
    bool follows_call_sizes_ = false;
    std::vector<float> clamped_;
    sf_count_t samples_since_writeback_ = 0;
};

} // namespace ns_audio_files
