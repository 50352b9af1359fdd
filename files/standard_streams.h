// INPUT and OUTPUT given as "-": standard input and standard output, usually pipes.
//
// libsndfile reads only some containers without seeking and writes fewer; WAV, the usual
// container of a pipe, it cannot write to one at all. zq-filter writes that one itself: a
// header stating the length INPUT declares, or sox's mark of an unknown length, then the
// samples through libsndfile's headerless writer. A redirection to or from a regular file is
// seekable and takes every container.
#pragma once

#include <sndfile.h>

#include <memory>
#include <string>

namespace ns_audio_files {

bool is_standard_stream(const std::string& path);

// Opens standard input; `streamed` tells whether it cannot seek (then the header's frame
// count means nothing). Throws file_error(input) for a container that cannot be read from a
// pipe, naming those that can.
SNDFILE* open_standard_input(SF_INFO& info, bool& streamed);

// Standard output as the pipe of a WAV stream. The header is held back and leaves in the same
// write as the first samples: a reader that tells the type from its first read (sox) would
// otherwise find a header alone, or part of one. libsndfile writes the samples through io().
class wav_stream {
public:
    // Writes to `descriptor`, which stays the caller's.
    wav_stream(std::string header, int descriptor);
    wav_stream(const wav_stream&) = delete;
    wav_stream& operator=(const wav_stream&) = delete;

    SF_VIRTUAL_IO& io() noexcept { return io_; }
    // Sends the header if no sample took it along (a stream without samples). Throws
    // file_error(output) when standard output cannot be written.
    void finish();
    // After libsndfile failed to write: throws file_error(output) with the system's reason, if
    // the failure was writing the descriptor.
    void report_failure() const;

private:
    sf_count_t write(const void* bytes, sf_count_t count) noexcept;

    SF_VIRTUAL_IO io_{};
    std::string held_;        // the header until it goes out
    sf_count_t position_ = 0; // bytes libsndfile has written, the header not counted
    int descriptor_;
    int system_error_ = 0; // errno of a failed write, 0 for none
};

// Opens `descriptor`, standard output or an OUTPUT that is a device or a FIFO, named `name` in
// messages ("standard output", "OUTPUT \"f\""), for `info` (channels, rate, format, and the
// frames to come, 0 when not known). `channel_mask` is the WAV speaker mask of the channels, 0
// when unknown. A WAV to a pipe goes through `stream`, which must outlive the returned file.
// Throws file_error(output) for a terminal, and for a container that cannot be written to a
// pipe, naming those that can.
SNDFILE* open_output_stream(int descriptor, const std::string& name, SF_INFO& info,
                            unsigned channel_mask, std::unique_ptr<wav_stream>& stream);

} // namespace ns_audio_files
