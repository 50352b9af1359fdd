// The channel-layout converters. Each turns `frames` interleaved frames of its input layout
// into interleaved frames of its output layout (see audio_channel_api::process); buffers
// must not overlap, and the caller sizes them (frames x channels samples each). process
// allocates nothing, keeps no history and, for frames = 0, writes nothing.
//
// Channel order of the fixed layouts (index within a frame):
//   mono    M
//   stereo  L R
//   5.0     C L R Ls Rs
//   5.1     C L R Ls Rs LFE
//   7.1     C L R Lside Rside Ls Rs LFE
//
// Arithmetic is single precision unless a converter says otherwise; sums run left to right
// and each product with a gain is formed before it is added. The gains are the float values
// of the decimals shown: 0.3535 (-9.03 dB, not 1/(2*sqrt 2)), 0.4143 (-7.65 dB, not
// sqrt 2 - 1), 0.166 (not 1/6). Samples passed through without arithmetic are bit-exact
// copies, and the LFE an up-mix adds is +0.0. "Worst case" is the largest output for inputs
// of magnitude 1 and equal sign: above 1, a full-scale input can exceed full scale.
#pragma once

#include <channel/audio_channel.h>
#include <channel/export.h>

#include <cstdint>

namespace ns_audio_channel {

// 5.1 -> stereo. s = (C + Ls + Rs + LFE) * 0.3535
//   L' = L * 0.4143 + s          R' = R * 0.4143 + s
// Worst case 1.8283 (+5.24 dB).
class ZQ_CHANNEL_API mixdown_51_to_stereo : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 5.0 -> stereo. s = (C + Ls + Rs) * 0.3535
//   L' = L * 0.5 + s             R' = R * 0.5 + s
// Worst case 1.5605 (+3.87 dB).
class ZQ_CHANNEL_API mixdown_50_to_stereo : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 7.1 -> stereo. s = (C + Ls + Rs + LFE) * 0.3535
//   L' = (L + Lside) * 0.5 + s   R' = (R + Rside) * 0.5 + s
// Worst case 2.414 (+7.65 dB).
class ZQ_CHANNEL_API mixdown_71_to_stereo : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 7.1 -> 5.1, computed in double precision with g = 0.7f widened (0.699999988079071), each
// result rounded to float once:
//   C' = C                       LFE' = LFE                 (bit-exact copies)
//   L'  = (L  + 0.5 Lside) g     R'  = (R  + 0.5 Rside) g
//   Ls' = (Ls + 0.5 Lside) g     Rs' = (Rs + 0.5 Rside) g
// Worst case 1.05 (+0.42 dB). Not the inverse of mixup_51_to_71.
class ZQ_CHANNEL_API mixdown_71_to_51 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 5.1 -> mono. M = (C + L + R + Ls + Rs + LFE) * 0.166
// Worst case 0.996 (-0.03 dB): six equal inputs of 1 give 0.99599993, not 1.
class ZQ_CHANNEL_API mixdown_51_to_mono : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 7.1 -> mono. M = (C + L + R + Lside + Rside + Ls + Rs + LFE) * 0.125
// Worst case 1 (0 dB).
class ZQ_CHANNEL_API mixdown_71_to_mono : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Stereo -> mono. M = (L + R) * 0.5, through mix_down_stereo_to_1xmono_plain; returns its
// result (1). Worst case 1. frames * 8 must fit in an int.
class ZQ_CHANNEL_API mixdown_stereo_to_mono : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// N channels -> stereo by pairs, without gain:
//   L' = x0 + x2 + ... + x(N-2)  R' = x1 + x3 + ... + x(N-1)
// Worst case N / 2 (+14 dB for N = 10). N = 2 copies stereo; N <= 0 gives silence. N is meant
// to be even; the last channel of an odd N is skipped.
class ZQ_CHANNEL_API mixdown_stereo_pairs : public audio_channel {
public:
    explicit mixdown_stereo_pairs(int in_channel_count);
    int process(float* output, float* input, uint32_t frames) override;
};

// 5.1 -> 5.0: copies the first in_channels - 1 samples of each frame and skips the last (the
// LFE). The kept count is an 8-bit value, (in_channels - 1) mod 256: keep in_channels within
// 1..256 (the factory passes 6).
class ZQ_CHANNEL_API remove_lfe_channel : public audio_channel {
public:
    explicit remove_lfe_channel(int in_channel_count);
    int process(float* output, float* input, uint32_t frames) override;
};

// Mono -> stereo. L' = R' = M (copies).
class ZQ_CHANNEL_API mixup_mono_to_stereo : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Mono -> 5.0. C' = L' = R' = Ls' = Rs' = M (copies).
class ZQ_CHANNEL_API mixup_mono_to_50 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Mono -> 5.1. C' = L' = R' = Ls' = Rs' = M (copies); LFE' = +0.0.
class ZQ_CHANNEL_API mixup_mono_to_51 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Mono -> 7.1. C' = L' = R' = Lside' = Rside' = Ls' = Rs' = M (copies); LFE' = +0.0.
class ZQ_CHANNEL_API mixup_mono_to_71 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Stereo -> 5.0. m = (L + R) * 0.5
//   C' = m   L' = L   R' = R   Ls' = m   Rs' = m
// Worst case 1.
class ZQ_CHANNEL_API mixup_stereo_to_50 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Stereo -> 5.1: as mixup_stereo_to_50, and LFE' = +0.0.
class ZQ_CHANNEL_API mixup_stereo_to_51 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Stereo -> 7.1. m = (L + R) * 0.5
//   C' = m   L' = Lside' = L   R' = Rside' = R   Ls' = Rs' = m   LFE' = +0.0
// Worst case 1.
class ZQ_CHANNEL_API mixup_stereo_to_71 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// 5.1 -> 7.1. C, L, R, Ls, Rs, LFE copied to their places;
//   Lside' = (L + Ls) * 0.5      Rside' = (R + Rs) * 0.5
// Worst case 1.
class ZQ_CHANNEL_API mixup_51_to_71 : public audio_channel {
public:
    int process(float* output, float* input, uint32_t frames) override;
};

// Free routing of up to 8 inputs to up to 8 outputs. Output j is the sum of the inputs routed
// to it, divided (a true division) by the number of routes counted for it when that is above
// 1; an output fed by one input equals it, one fed by none is silent (+0.0), and an input
// routed to several outputs reaches each at full level. Outputs start from +0.0 and inputs
// are added in increasing order, so a -0.0 input arrives as +0.0. Worst case 1.
//
// Counts above 8 are not refused here (the factory refuses them): channels beyond the 8 x 8
// map are never routed and their outputs stay silent. process returns `frames`.
class ZQ_CHANNEL_API map_channels : public audio_channel {
public:
    static constexpr int k_max_channels = 8;

    map_channels(uint32_t in_channel_count, uint32_t out_channel_count);
    // Reads rows 0..in_channels-1 (inputs) and columns 0..out_channels-1 (outputs) of `map`
    // and replaces those routes. The per-output route counts are added to, never reset: a
    // second call with the same single route makes that output the copy divided by 2. Does
    // nothing when either count is 0 or less. Not to be called while process runs.
    void configure_map(bool (*map)[8]) override;
    int process(float* output, float* input, uint32_t frames) override;

private:
    int32_t routing[k_max_channels][k_max_channels] = {}; // [input][output], non-zero routes
    int32_t sources[k_max_channels] = {};                 // routes counted per output
};

} // namespace ns_audio_channel
