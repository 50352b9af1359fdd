// The samples of a WAV file read straight from its data chunk, a whole block in one read(2),
// turned into floats exactly as libsndfile's sf_readf_float turns them. libsndfile reads linear
// PCM a few kilobytes per system call, whose kernel time outweighs the filter's; it still parses
// the header, so the two never disagree on where the samples are.
#pragma once

#include <sndfile.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace ns_audio_files {

// Bytes per sample of a libsndfile `format`'s encoding; 0 for one whose size varies (ADPCM,
// GSM, FLAC, the lossy codecs).
int bytes_per_sample(int format);

class wav_sample_reader {
public:
    // A reader for `file`, which libsndfile has just opened on `descriptor` and not yet read;
    // null unless it is a little-endian WAV of float or 16-, 24- or 32-bit PCM whose samples
    // lie whole within the file (the others stay with libsndfile).
    static std::unique_ptr<wav_sample_reader> open(SNDFILE* file, int descriptor,
                                                   const SF_INFO& info);

    // Reads up to `frames` frames into `interleaved`; fewer only at the end of the samples
    // (or of the file, if it shrank since it was opened), 0 there. -1 with errno set on a
    // read error.
    sf_count_t read(float* interleaved, sf_count_t frames);

private:
    wav_sample_reader(int descriptor, int encoding, int channels, off_t start, sf_count_t frames);
    // Reads `bytes` into `into` from the current position; how many it read (less only at the
    // end of the file), -1 on an error.
    ssize_t read_bytes(void* into, std::size_t bytes);

    int descriptor_;
    int encoding_; // SF_FORMAT_FLOAT or SF_FORMAT_PCM_*
    int channels_;
    int frame_bytes_;
    off_t position_;
    sf_count_t frames_left_;
    std::vector<unsigned char> encoded_; // PCM on its way to floats
};

} // namespace ns_audio_files
