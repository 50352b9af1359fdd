// Where each channel of a stream sounds, and the orders that depend on it.
//
// The channel library's fixed mixes take their layouts in its own order (5.1: C L R Ls Rs LFE;
// 7.1: C L R Lside Rside Ls Rs LFE); files keep theirs in another (a WAV's 5.1 is L R C LFE Ls
// Rs, Ogg's L C R Ls Rs LFE) and may say so in a channel map. INPUT's channels are brought into
// the library's order before --mix, and OUTPUT's into its container's order, declared where
// the container keeps a map. Positions are libsndfile's SF_CHANNEL_MAP_* values.
#pragma once

#include <string>
#include <vector>

namespace ns_audio_files {

// One position per channel; empty when nothing tells them.
using channel_positions = std::vector<int>;

// What INPUT's channels are: its channel map (`declared`, empty when it has none), else the
// fixed order of its container (FLAC, Ogg) for up to 8 channels, else nothing.
channel_positions input_positions(const channel_positions& declared, int container, int channels);

// The library's order of the fixed layout with `channels` channels (mono, stereo, 5.0, 5.1,
// 7.1); empty for any other count.
channel_positions library_positions(int channels);

// "C L R Ls Rs LFE".
std::string position_names(const channel_positions& positions);

// The WAV speaker mask of `positions` when they are in the mask's order, otherwise 0.
unsigned wav_channel_mask(const channel_positions& positions);

// A reordering of interleaved frames: channel k of the result is channel from[k].
class channel_order {
public:
    channel_order() = default; // keeps the order
    explicit channel_order(std::vector<int> from);

    bool keeps_order() const noexcept { return from_.empty(); }
    channel_positions applied_to(const channel_positions& positions) const;
    // The frames reordered; `interleaved` itself when the order is kept. The result stays
    // valid until the next call.
    const float* apply(const float* interleaved, long frames);
    // The same, in place.
    void apply_in_place(float* interleaved, long frames);

private:
    std::vector<int> from_;
    std::vector<float> reordered_;
};

// The reordering that puts channels at `positions` into the library's order of their layout,
// for a fixed --mix. Throws file_error(usage) when the positions are not that layout. Empty
// positions are taken to be in the library's order already: `assumed` then says so, for a
// count where the order matters.
channel_order order_for_mixing(const channel_positions& positions, int channels,
                               std::string& assumed);

// The reordering that puts channels at `positions` into the order OUTPUT's container keeps:
// Vorbis order for Ogg, the speaker mask's order (which FLAC shares) for every other. Keeps the
// order when a position has no place in it.
channel_order order_for_container(const channel_positions& positions, int container);

} // namespace ns_audio_files
