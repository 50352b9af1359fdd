#pragma once
// What a container's header states of the length of its audio, read straight from the file:
// libsndfile's reading stops at the end of the file, hiding a header that promised more.
#include <sndfile.h>

namespace ns_audio_files {

struct stated_length {
    bool cut = false;      // the file ends before the audio its container states
    sf_count_t frames = 0; // the frames its header declares; 0 where it states none (Ogg)
};

// For the file open at `descriptor`, of `info`'s container and encoding. Nothing is found cut
// but a regular file (a pipe has no size to compare with), and nothing but WAV, RF64, W64, AIFF
// and AU of a fixed frame size, and Ogg.
stated_length read_stated_length(int descriptor, const SF_INFO& info);

} // namespace ns_audio_files
