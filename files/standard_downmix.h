// The standard down-mix of surround to stereo and mono (ITU-R BS.775), which sox and ffmpeg
// users expect from "--mix stereo": each side keeps its own front and surrounds, the centre
// goes to both, nothing crosses sides and the LFE is dropped. With g = 1/sqrt 2 (the float
// 0.70710677, -3.01 dB), in the channel library's orders (5.0 C L R Ls Rs, 5.1 the same and
// LFE, 7.1 C L R Lside Rside Ls Rs LFE):
//   5.0, 5.1  L' = L + g C + g Ls              R' = R + g C + g Rs
//   7.1       L' = L + g C + g Lside + g Ls    R' = R + g C + g Rside + g Rs
//   mono      M  = (L' + R') * 0.5             (the stereo down-mix's own mono)
// Single precision, sums left to right, each product formed before it is added. Nothing is
// scaled to keep full scale: the worst case is 1 + 2g = 2.414 (+7.66 dB) from 5.0 and 5.1 and
// 1 + 3g = 3.121 (+9.89 dB) from 7.1, for stereo and mono alike.
#pragma once

#include <optional>

namespace ns_audio_files {

class standard_downmix {
public:
    // The down-mix from in_channels (5, 6 or 8) to out_channels (1 or 2); none for any other
    // pair, which the standard leaves to the channel library.
    static std::optional<standard_downmix> between(int in_channels, int out_channels);

    // `frames` interleaved frames of the input layout from `input` into `output`, which must
    // not overlap it. Allocates nothing and keeps no history.
    void process(float* output, const float* input, long frames) const noexcept;

private:
    // The channels a side sums: its front first, then those at -3 dB.
    struct side {
        int front;
        int attenuated[3];
        int attenuated_count;
    };

    standard_downmix(int in_channels, int out_channels, side left, side right)
        : in_channels_(in_channels), out_channels_(out_channels), left_(left), right_(right) {}

    static float sum(const side& taken, const float* frame) noexcept;

    int in_channels_;
    int out_channels_;
    side left_;
    side right_;
};

} // namespace ns_audio_files
