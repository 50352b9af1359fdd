// INPUT and OUTPUT given as "-": standard input and standard output, usually pipes.
//
// libsndfile reads only some containers without seeking and writes fewer; WAV, the usual
// container of a pipe, it cannot write to one at all. zq-filter writes that one itself: a
// header stating the length INPUT declares, or sox's mark of an unknown length, then the
// samples through libsndfile's headerless writer. A redirection to or from a regular file is
// seekable and takes every container.
#pragma once

#include <sndfile.h>

#include <string>

namespace ns_audio_files {

bool is_standard_stream(const std::string& path);

// Opens standard input; `streamed` tells whether it cannot seek (then the header's frame
// count means nothing). Throws file_error(input) for a container that cannot be read from a
// pipe, naming those that can.
SNDFILE* open_standard_input(SF_INFO& info, bool& streamed);

// Opens standard output for `info` (channels, rate, format, and the frames to come, 0 when not
// known). `channel_mask` is the WAV speaker mask of the channels, 0 when unknown. Throws
// file_error(output) for a terminal, and for a container that cannot be written to a pipe, naming
// those that can.
SNDFILE* open_standard_output(SF_INFO& info, unsigned channel_mask);

} // namespace ns_audio_files
