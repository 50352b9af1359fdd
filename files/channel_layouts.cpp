#include "channel_layouts.h"

#include "file_error.h"

#include <sndfile.h>

#include <algorithm>
#include <numeric>
#include <utility>

namespace ns_audio_files {

namespace {

struct named_position {
    int position;
    const char* name;
};

// The library's names (the 7.1 side pair is Lside, Rside; the rear pair Ls, Rs).
constexpr named_position k_position_names[] = {
    {SF_CHANNEL_MAP_MONO, "M"},
    {SF_CHANNEL_MAP_LEFT, "L"},
    {SF_CHANNEL_MAP_RIGHT, "R"},
    {SF_CHANNEL_MAP_CENTER, "C"},
    {SF_CHANNEL_MAP_LFE, "LFE"},
    {SF_CHANNEL_MAP_REAR_LEFT, "Ls"},
    {SF_CHANNEL_MAP_REAR_RIGHT, "Rs"},
    {SF_CHANNEL_MAP_REAR_CENTER, "Cs"},
    {SF_CHANNEL_MAP_SIDE_LEFT, "Lside"},
    {SF_CHANNEL_MAP_SIDE_RIGHT, "Rside"},
    {SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER, "Lc"},
    {SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER, "Rc"},
};

// WAVE_FORMAT_EXTENSIBLE's speaker bits, lowest first, as libsndfile names them.
constexpr int k_mask_order[] = {SF_CHANNEL_MAP_LEFT,
                                SF_CHANNEL_MAP_RIGHT,
                                SF_CHANNEL_MAP_CENTER,
                                SF_CHANNEL_MAP_LFE,
                                SF_CHANNEL_MAP_REAR_LEFT,
                                SF_CHANNEL_MAP_REAR_RIGHT,
                                SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER,
                                SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
                                SF_CHANNEL_MAP_REAR_CENTER,
                                SF_CHANNEL_MAP_SIDE_LEFT,
                                SF_CHANNEL_MAP_SIDE_RIGHT,
                                SF_CHANNEL_MAP_TOP_CENTER,
                                SF_CHANNEL_MAP_TOP_FRONT_LEFT,
                                SF_CHANNEL_MAP_TOP_FRONT_CENTER,
                                SF_CHANNEL_MAP_TOP_FRONT_RIGHT,
                                SF_CHANNEL_MAP_TOP_REAR_LEFT,
                                SF_CHANNEL_MAP_TOP_REAR_CENTER,
                                SF_CHANNEL_MAP_TOP_REAR_RIGHT};

// Vorbis I's order for 1 to 8 channels (Opus's mapping family 1 shares it).
constexpr int k_vorbis_order[] = {SF_CHANNEL_MAP_MONO,        SF_CHANNEL_MAP_LEFT,
                                  SF_CHANNEL_MAP_CENTER,      SF_CHANNEL_MAP_RIGHT,
                                  SF_CHANNEL_MAP_SIDE_LEFT,   SF_CHANNEL_MAP_SIDE_RIGHT,
                                  SF_CHANNEL_MAP_REAR_LEFT,   SF_CHANNEL_MAP_REAR_RIGHT,
                                  SF_CHANNEL_MAP_REAR_CENTER, SF_CHANNEL_MAP_LFE};

// The speakers of the usual layout of each count, 1 to 8 channels, in mask order: what a FLAC
// or Ogg file of that many channels holds, each in its own order.
const channel_positions k_usual_layouts[] = {
    {SF_CHANNEL_MAP_MONO},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_REAR_LEFT,
     SF_CHANNEL_MAP_REAR_RIGHT},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_REAR_LEFT,
     SF_CHANNEL_MAP_REAR_RIGHT},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
     SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
     SF_CHANNEL_MAP_REAR_CENTER, SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
     SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT, SF_CHANNEL_MAP_SIDE_LEFT,
     SF_CHANNEL_MAP_SIDE_RIGHT},
};

// The library's fixed layouts: mono, stereo, 5.0, 5.1, 7.1.
const channel_positions k_library_layouts[] = {
    {SF_CHANNEL_MAP_MONO},
    {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT},
    {SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_REAR_LEFT,
     SF_CHANNEL_MAP_REAR_RIGHT},
    {SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_REAR_LEFT,
     SF_CHANNEL_MAP_REAR_RIGHT, SF_CHANNEL_MAP_LFE},
    {SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_SIDE_LEFT,
     SF_CHANNEL_MAP_SIDE_RIGHT, SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT,
     SF_CHANNEL_MAP_LFE},
};

// One spelling for each place: libsndfile reads a WAV's front speakers as LEFT, RIGHT and
// CENTER, an Apple layout's as FRONT_*; a lone centre is the mono channel.
channel_positions normalised(channel_positions positions) {
    for (int& position : positions) {
        if (position == SF_CHANNEL_MAP_FRONT_LEFT) position = SF_CHANNEL_MAP_LEFT;
        if (position == SF_CHANNEL_MAP_FRONT_RIGHT) position = SF_CHANNEL_MAP_RIGHT;
        if (position == SF_CHANNEL_MAP_FRONT_CENTER) position = SF_CHANNEL_MAP_CENTER;
    }
    if (positions.size() == 1 && positions[0] == SF_CHANNEL_MAP_CENTER)
        positions[0] = SF_CHANNEL_MAP_MONO;
    // A 5.x whose surround pair sits at the sides (WAV's "5.1 side") is the same 5.x.
    const auto has = [&positions](int position) {
        return std::count(positions.begin(), positions.end(), position) > 0;
    };
    if ((positions.size() == 5 || positions.size() == 6) && !has(SF_CHANNEL_MAP_REAR_LEFT) &&
        !has(SF_CHANNEL_MAP_REAR_RIGHT))
        for (int& position : positions) {
            if (position == SF_CHANNEL_MAP_SIDE_LEFT) position = SF_CHANNEL_MAP_REAR_LEFT;
            if (position == SF_CHANNEL_MAP_SIDE_RIGHT) position = SF_CHANNEL_MAP_REAR_RIGHT;
        }
    return positions;
}

template <std::size_t count>
int rank_in(const int (&order)[count], int position) {
    const auto found = std::find(std::begin(order), std::end(order), position);
    return found == std::end(order) ? -1 : static_cast<int>(found - std::begin(order));
}

// The indices of `positions` sorted by their rank in `order`; empty when one has no rank.
template <std::size_t count>
std::vector<int> sorted_by(const int (&order)[count], const channel_positions& positions) {
    std::vector<int> from(positions.size());
    std::iota(from.begin(), from.end(), 0);
    for (const int position : positions)
        if (rank_in(order, position) < 0) return {};
    std::stable_sort(from.begin(), from.end(), [&](int a, int b) {
        return rank_in(order, positions[a]) < rank_in(order, positions[b]);
    });
    return from;
}

} // namespace

channel_positions input_positions(const channel_positions& declared, int container, int channels) {
    if (!declared.empty()) return normalised(declared);
    const bool own_order = container == SF_FORMAT_FLAC || container == SF_FORMAT_OGG;
    if (!own_order || channels < 1 || channels > 8) return {};
    const channel_positions& usual = k_usual_layouts[channels - 1];
    const std::vector<int> from = container == SF_FORMAT_OGG ? sorted_by(k_vorbis_order, usual)
                                                             : sorted_by(k_mask_order, usual);
    return from.empty() ? usual : channel_order(from).applied_to(usual);
}

channel_positions library_positions(int channels) {
    for (const channel_positions& layout : k_library_layouts)
        if (static_cast<int>(layout.size()) == channels) return layout;
    return {};
}

std::string position_names(const channel_positions& positions) {
    std::string names;
    for (const int position : positions) {
        const auto named = std::find_if(
            std::begin(k_position_names), std::end(k_position_names),
            [position](const named_position& each) { return each.position == position; });
        names += (names.empty() ? "" : " ") + (named == std::end(k_position_names)
                                                   ? "ch" + std::to_string(position)
                                                   : std::string(named->name));
    }
    return names;
}

unsigned wav_channel_mask(const channel_positions& positions) {
    unsigned mask = 0;
    int last = -1;
    for (const int position : positions) {
        const int bit = rank_in(k_mask_order, position);
        if (bit <= last) return 0;
        mask |= 1u << bit;
        last = bit;
    }
    return mask;
}

channel_order::channel_order(std::vector<int> from) {
    std::vector<int> kept(from.size());
    std::iota(kept.begin(), kept.end(), 0);
    if (from != kept) from_ = std::move(from);
}

channel_positions channel_order::applied_to(const channel_positions& positions) const {
    if (keeps_order()) return positions;
    channel_positions reordered;
    for (const int channel : from_)
        reordered.push_back(positions[channel]);
    return reordered;
}

const float* channel_order::apply(const float* interleaved, long frames) {
    if (keeps_order()) return interleaved;
    const std::size_t channels = from_.size();
    reordered_.resize(static_cast<std::size_t>(frames) * channels);
    for (std::size_t frame = 0; frame < static_cast<std::size_t>(frames); ++frame)
        for (std::size_t k = 0; k < channels; ++k)
            reordered_[frame * channels + k] = interleaved[frame * channels + from_[k]];
    return reordered_.data();
}

void channel_order::apply_in_place(float* interleaved, long frames) {
    if (keeps_order()) return;
    const float* reordered = apply(interleaved, frames);
    std::copy_n(reordered, static_cast<std::size_t>(frames) * from_.size(), interleaved);
}

channel_order order_for_mixing(const channel_positions& positions, int channels,
                               std::string& assumed) {
    const channel_positions layout = library_positions(channels);
    if (positions.empty()) {
        if (channels > 2)
            assumed = "INPUT declares no channel layout; --mix takes its " +
                      std::to_string(channels) + " channels in the order " + position_names(layout);
        return {};
    }
    std::vector<int> from;
    for (const int position : layout) {
        const auto found = std::find(positions.begin(), positions.end(), position);
        if (found == positions.end())
            throw file_error(failure::usage,
                             "INPUT declares its " + std::to_string(channels) + " channels as " +
                                 position_names(positions) + ", which --mix cannot take as " +
                                 position_names(layout) + "; --route places channels freely");
        from.push_back(static_cast<int>(found - positions.begin()));
    }
    return channel_order(std::move(from));
}

channel_order order_for_container(const channel_positions& positions, int container) {
    return channel_order(container == SF_FORMAT_OGG ? sorted_by(k_vorbis_order, positions)
                                                    : sorted_by(k_mask_order, positions));
}

} // namespace ns_audio_files
