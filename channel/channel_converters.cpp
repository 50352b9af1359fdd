#include <channel/channel_converters.h>

#include <algorithm>
#include <cstddef>

namespace ns_audio_channel {

namespace {

// Applies `formula(x, y)` to each frame in increasing order, x pointing at the frame's `In`
// input samples and y at its `Out` output samples.
template <std::size_t In, std::size_t Out, typename Formula>
void for_each_frame(float* output, const float* input, uint32_t frames, Formula formula) {
    for (uint32_t f = 0; f < frames; ++f, input += In, output += Out)
        formula(input, output);
}

constexpr float k_shared_gain = 0.3535f;   // centre, surrounds and LFE into both sides
constexpr float k_front_gain_51 = 0.4143f; // fronts of a 5.1 down-mix
constexpr float k_half = 0.5f;
constexpr float k_sixth_51 = 0.166f;
constexpr float k_eighth = 0.125f;
constexpr float k_silent_lfe = 0.0f; // +0.0: the up-mixes add no low-frequency content
// The 7.1 -> 5.1 fold-down runs in double, with its gain the float 0.7 widened.
constexpr double k_fold_gain = static_cast<double>(0.7f);
constexpr double k_side_share = 0.5;

float fold_side(float target, float side) {
    return static_cast<float>((static_cast<double>(target) + k_side_share * side) * k_fold_gain);
}

// C, L, R, Ls, Rs of a stereo up-mix: the fronts pass through, the centre and surrounds
// carry the mid signal.
void stereo_to_50(const float* x, float* y) {
    const float mid = (x[0] + x[1]) * k_half;
    y[0] = mid;
    y[1] = x[0];
    y[2] = x[1];
    y[3] = mid;
    y[4] = mid;
}

} // namespace

int mixdown_51_to_stereo::process(float* output, float* input, uint32_t frames) {
    for_each_frame<6, 2>(output, input, frames, [](const float* x, float* y) {
        const float shared = (x[0] + x[3] + x[4] + x[5]) * k_shared_gain;
        y[0] = x[1] * k_front_gain_51 + shared;
        y[1] = x[2] * k_front_gain_51 + shared;
    });
    return 1;
}

int mixdown_50_to_stereo::process(float* output, float* input, uint32_t frames) {
    for_each_frame<5, 2>(output, input, frames, [](const float* x, float* y) {
        const float shared = (x[0] + x[3] + x[4]) * k_shared_gain;
        y[0] = x[1] * k_half + shared;
        y[1] = x[2] * k_half + shared;
    });
    return 1;
}

int mixdown_71_to_stereo::process(float* output, float* input, uint32_t frames) {
    for_each_frame<8, 2>(output, input, frames, [](const float* x, float* y) {
        const float shared = (x[0] + x[5] + x[6] + x[7]) * k_shared_gain;
        y[0] = (x[1] + x[3]) * k_half + shared;
        y[1] = (x[2] + x[4]) * k_half + shared;
    });
    return 1;
}

int mixdown_71_to_51::process(float* output, float* input, uint32_t frames) {
    for_each_frame<8, 6>(output, input, frames, [](const float* x, float* y) {
        y[0] = x[0];
        y[1] = fold_side(x[1], x[3]);
        y[2] = fold_side(x[2], x[4]);
        y[3] = fold_side(x[5], x[3]);
        y[4] = fold_side(x[6], x[4]);
        y[5] = x[7];
    });
    return 1;
}

int mixdown_51_to_mono::process(float* output, float* input, uint32_t frames) {
    for_each_frame<6, 1>(output, input, frames, [](const float* x, float* y) {
        y[0] = (x[0] + x[1] + x[2] + x[3] + x[4] + x[5]) * k_sixth_51;
    });
    return 1;
}

int mixdown_71_to_mono::process(float* output, float* input, uint32_t frames) {
    for_each_frame<8, 1>(output, input, frames, [](const float* x, float* y) {
        y[0] = (x[0] + x[1] + x[2] + x[3] + x[4] + x[5] + x[6] + x[7]) * k_eighth;
    });
    return 1;
}

int mixdown_stereo_to_mono::process(float* output, float* input, uint32_t frames) {
    return mix_down_stereo_to_1xmono_plain(4, static_cast<int>(frames * 8u), input, output);
}

mixdown_stereo_pairs::mixdown_stereo_pairs(int in_channel_count) {
    in_channels = in_channel_count;
}

int mixdown_stereo_pairs::process(float* output, float* input, uint32_t frames) {
    std::fill_n(output, std::size_t{2} * frames, 0.0f);
    const std::size_t stride = in_channels > 0 ? static_cast<std::size_t>(in_channels) : 0;
    for (uint32_t f = 0; f < frames; ++f) {
        const float* x = input + f * stride;
        float* y = output + std::size_t{2} * f;
        for (int c = 0; c + 1 < in_channels; c += 2) {
            y[0] += x[c];
            y[1] += x[c + 1];
        }
    }
    return 1;
}

remove_lfe_channel::remove_lfe_channel(int in_channel_count) {
    in_channels = in_channel_count;
}

int remove_lfe_channel::process(float* output, float* input, uint32_t frames) {
    const auto kept = static_cast<uint8_t>(in_channels - 1);
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint8_t i = 0; i < kept; ++i)
            *output++ = *input++;
        ++input; // the LFE
    }
    return 1;
}

int mixup_mono_to_stereo::process(float* output, float* input, uint32_t frames) {
    for_each_frame<1, 2>(output, input, frames, [](const float* x, float* y) {
        y[0] = x[0];
        y[1] = x[0];
    });
    return 1;
}

int mixup_mono_to_50::process(float* output, float* input, uint32_t frames) {
    for_each_frame<1, 5>(output, input, frames,
                         [](const float* x, float* y) { std::fill_n(y, 5, x[0]); });
    return 1;
}

int mixup_mono_to_51::process(float* output, float* input, uint32_t frames) {
    for_each_frame<1, 6>(output, input, frames, [](const float* x, float* y) {
        std::fill_n(y, 5, x[0]);
        y[5] = k_silent_lfe;
    });
    return 1;
}

int mixup_mono_to_71::process(float* output, float* input, uint32_t frames) {
    for_each_frame<1, 8>(output, input, frames, [](const float* x, float* y) {
        std::fill_n(y, 7, x[0]);
        y[7] = k_silent_lfe;
    });
    return 1;
}

int mixup_stereo_to_50::process(float* output, float* input, uint32_t frames) {
    for_each_frame<2, 5>(output, input, frames, stereo_to_50);
    return 1;
}

int mixup_stereo_to_51::process(float* output, float* input, uint32_t frames) {
    for_each_frame<2, 6>(output, input, frames, [](const float* x, float* y) {
        stereo_to_50(x, y);
        y[5] = k_silent_lfe;
    });
    return 1;
}

int mixup_stereo_to_71::process(float* output, float* input, uint32_t frames) {
    for_each_frame<2, 8>(output, input, frames, [](const float* x, float* y) {
        const float mid = (x[0] + x[1]) * k_half;
        y[0] = mid;
        y[1] = x[0];
        y[2] = x[1];
        y[3] = x[0];
        y[4] = x[1];
        y[5] = mid;
        y[6] = mid;
        y[7] = k_silent_lfe;
    });
    return 1;
}

int mixup_51_to_71::process(float* output, float* input, uint32_t frames) {
    for_each_frame<6, 8>(output, input, frames, [](const float* x, float* y) {
        y[0] = x[0];
        y[1] = x[1];
        y[2] = x[2];
        y[3] = (x[1] + x[3]) * k_half;
        y[4] = (x[2] + x[4]) * k_half;
        y[5] = x[3];
        y[6] = x[4];
        y[7] = x[5];
    });
    return 1;
}

} // namespace ns_audio_channel
