#include "standard_downmix.h"

#include <cmath>

namespace ns_audio_files {

namespace {

const float k_minus_3_db = static_cast<float>(1.0 / std::sqrt(2.0));

} // namespace

std::optional<standard_downmix> standard_downmix::between(int in_channels, int out_channels) {
    if (out_channels != 1 && out_channels != 2) return std::nullopt;
    switch (in_channels) {
    case 5: // C L R Ls Rs
    case 6: // C L R Ls Rs LFE
        return standard_downmix(in_channels, out_channels, {1, {0, 3}, 2}, {2, {0, 4}, 2});
    case 8: // C L R Lside Rside Ls Rs LFE
        return standard_downmix(in_channels, out_channels, {1, {0, 3, 5}, 3}, {2, {0, 4, 6}, 3});
    default:
        return std::nullopt;
    }
}

float standard_downmix::sum(const side& taken, const float* frame) noexcept {
    float total = frame[taken.front];
    for (int k = 0; k < taken.attenuated_count; ++k)
        total += k_minus_3_db * frame[taken.attenuated[k]];
    return total;
}

void standard_downmix::process(float* output, const float* input, long frames) const noexcept {
    for (long f = 0; f < frames; ++f) {
        const float* frame = input + f * in_channels_;
        const float left = sum(left_, frame);
        const float right = sum(right_, frame);
        if (out_channels_ == 2) {
            output[2 * f] = left;
            output[2 * f + 1] = right;
        } else {
            output[f] = (left + right) * 0.5f;
        }
    }
}

} // namespace ns_audio_files
