#include "codec_bitrate.h"

#include "file_error.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <string>

namespace ns_audio_files {

namespace {

constexpr int k_mp3_default_kbps = 128;
constexpr int k_opus_mono_kbps = 64;
constexpr int k_opus_channel_kbps = 48;

struct kbps_range {
    int low, high;
};

// libsndfile's compression level runs from 0 (best) to 1 (smallest) over each codec's range
// and refuses anything outside; its bitrate is a whole number truncated from the level, so the
// level aims half a unit above the figure to land on it.

// LAME's bitrates for MPEG-1 (32 kHz and up), MPEG-2 (16 kHz and up) and MPEG-2.5.
kbps_range mp3_range(int sample_rate) {
    if (sample_rate >= 32000) return {32, 320};
    if (sample_rate >= 16000) return {8, 160};
    return {8, 64};
}

double mp3_level(int kbps, int sample_rate) {
    const kbps_range range = mp3_range(sample_rate);
    return std::clamp((range.high - (kbps + 0.5)) / (range.high - range.low), 0.0, 1.0);
}

// libsndfile sets 6 .. 256 kb/s a channel, in bits per second.
constexpr kbps_range k_opus_channel_range{6, 256};

kbps_range opus_range(int channels) {
    return {k_opus_channel_range.low * channels, k_opus_channel_range.high * channels};
}

double opus_level(int kbps, int channels) {
    const double bits_per_channel = kbps * 1000.0 / channels + 0.5;
    return std::clamp(1.0 - (bits_per_channel - 1000.0 * k_opus_channel_range.low) /
                                (1000.0 * (k_opus_channel_range.high - k_opus_channel_range.low)),
                      0.0, 1.0);
}

// libvorbis's nominal bitrate of `quality` (0 .. 1) in bits per second; 0 where it cannot
// encode that rate and channel count.
long vorbis_nominal(int channels, int sample_rate, double quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    const bool set =
        vorbis_encode_setup_vbr(&info, channels, sample_rate, static_cast<float>(quality)) == 0 &&
        vorbis_encode_setup_init(&info) == 0;
    const long nominal = set ? info.bitrate_nominal : 0;
    vorbis_info_clear(&info);
    return nominal;
}

kbps_range vorbis_range(int channels, int sample_rate) {
    return {static_cast<int>((vorbis_nominal(channels, sample_rate, 0.0) + 999) / 1000),
            static_cast<int>(vorbis_nominal(channels, sample_rate, 1.0) / 1000)};
}

// The quality whose nominal bitrate is `kbps`: the nominal rises with the quality, in steps,
// so halving the interval finds the lowest quality that reaches it.
double vorbis_level(int kbps, int channels, int sample_rate) {
    double low = 0.0, high = 1.0;
    for (int step = 0; step < 30; ++step) {
        const double middle = (low + high) / 2;
        (vorbis_nominal(channels, sample_rate, middle) >= kbps * 1000L ? high : low) = middle;
    }
    return 1.0 - high;
}

// The codec's range at this rate and channel count; {0, 0} for an encoding without a bitrate.
kbps_range range_of(int encoding, int channels, int sample_rate) {
    switch (encoding) {
    case SF_FORMAT_MPEG_LAYER_III:
        return mp3_range(sample_rate);
    case SF_FORMAT_OPUS:
        return opus_range(channels);
    case SF_FORMAT_VORBIS:
        return vorbis_range(channels, sample_rate);
    default:
        return {0, 0};
    }
}

int default_kbps(int encoding, int channels, int sample_rate) {
    switch (encoding) {
    case SF_FORMAT_MPEG_LAYER_III:
        return std::min(k_mp3_default_kbps, mp3_range(sample_rate).high);
    case SF_FORMAT_OPUS:
        return channels == 1 ? k_opus_mono_kbps : k_opus_channel_kbps * channels;
    default:
        return 0;
    }
}

} // namespace

int codec_bitrate(int format, int channels, int sample_rate, int asked) {
    const int encoding = format & SF_FORMAT_SUBMASK;
    if (asked == 0) return default_kbps(encoding, channels, sample_rate);
    const kbps_range range = range_of(encoding, channels, sample_rate);
    if (range.high == 0)
        throw file_error(failure::usage,
                         "--bitrate applies to MP3, Opus and Vorbis OUTPUTs only; choose one of "
                         "those or drop --bitrate");
    if (asked < range.low || asked > range.high)
        throw file_error(failure::usage,
                         "--bitrate " + std::to_string(asked) + ": at " +
                             std::to_string(sample_rate) + " Hz with " + std::to_string(channels) +
                             " channels this codec takes " + std::to_string(range.low) + " .. " +
                             std::to_string(range.high) + " kb/s");
    return asked;
}

bool set_codec_bitrate(SNDFILE* file, int format, int channels, int sample_rate, int kbps) {
    if (kbps == 0) return true;
    const auto set_level = [file](double level) {
        return sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE;
    };
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_MPEG_LAYER_III: {
        // The mode reads the level anew, and refuses without one.
        int constant = SF_BITRATE_MODE_CONSTANT;
        return set_level(mp3_level(kbps, sample_rate)) &&
               sf_command(file, SFC_SET_BITRATE_MODE, &constant, sizeof constant) == SF_TRUE;
    }
    case SF_FORMAT_OPUS:
        return set_level(opus_level(kbps, channels));
    default:
        return set_level(vorbis_level(kbps, channels, sample_rate));
    }
}

} // namespace ns_audio_files
