// The bitrate of OUTPUT's lossy codec: what --bitrate asks for, checked against what the codec
// can give, or the default a listener would choose, and its setting in libsndfile's terms.
//
// MP3 is constant bitrate, by default 128 kb/s (what sox, ffmpeg and LAME itself give, and
// transparent for most music), capped by the MPEG version the rate implies. Opus is its
// encoder's variable bitrate aimed at the figure, by default 64 kb/s for mono and 48 kb/s a
// channel above it (96 kb/s stereo, where Opus is transparent for most music). Vorbis takes the
// quality whose nominal bitrate is the figure; by default libsndfile's quality 4 (about
// 128 kb/s for stereo at 44.1 kHz).
#pragma once

#include <sndfile.h>

namespace ns_audio_files {

// The kb/s to set for `format` (container | encoding), `asked` being --bitrate (0 when not
// given); 0 leaves the encoder's default. Throws file_error(usage) for --bitrate with an
// encoding that has none, or beyond what the codec gives at that rate and channel count.
int codec_bitrate(int format, int channels, int sample_rate, int asked);

// Sets `kbps` from codec_bitrate() on `file`, just opened for writing; nothing for 0. Returns
// false when libsndfile refuses it.
bool set_codec_bitrate(SNDFILE* file, int format, int channels, int sample_rate, int kbps);

} // namespace ns_audio_files
