// The channel lanes, written once over a vector vocabulary (primitives/simd): the direct-form
// recursions of detail/direct_form.h with every operand a vector that holds one channel per
// lane. A vector's worth of channels is filtered in one pass over the block, the passes one
// after another.
//
// The outputs are written over the inputs, so the inputs a recursion still needs are staged
// one row per step, lane-major (N rows of history, then the rows of the current chunk), as the
// work buffers hold them for arma_filter; so are the outputs of a cascade's first section,
// the second section's inputs. The final outputs are carried in registers.
//
// Everything here is a template over the vocabulary, and each path's translation unit
// instantiates it with its own vector types, so no code compiled for one instruction set can
// be shared with another by the linker. For the same reason it uses no library templates.
#pragma once

#include "../detail/direct_form.h"
#include "paths.h"

#include <cstddef>

namespace ns_audio_dsp::lanes {

using history = libdspaudio::channel_history;
using history_array = float (history::*)[libdspaudio::k_history_length];

// Steps staged at once.
constexpr int k_chunk = 64;

// One pass: `lanes` channels from the block's channel `first` on, one per lane.
struct lane_pass {
    const arma_sections& sections;
    history* histories; // of the pass's first channel
    float* samples;     // the pass's first channel in frame 0
    int frames;
    int stride; // the block's channel count
    int lanes;
};

template <int N, class V>
struct signal_rows {
    // The row of the chunk's step j; j < 0 reaches into the history rows.
    float* at(int j) { return rows + (N + j) * V::lanes; }
    const float* at(int j) const { return rows + (N + j) * V::lanes; }

    // History entry k (oldest first) is row k; lanes without a channel hold zeros.
    void load_history(const lane_pass& p, history_array array) {
        for (int k = 0; k < N; ++k)
            for (int c = 0; c < V::lanes; ++c)
                rows[k * V::lanes + c] = c < p.lanes ? (p.histories[c].*array)[k] : 0.0f;
    }
    void store_history(const lane_pass& p, history_array array) const {
        for (int k = 0; k < N; ++k)
            for (int c = 0; c < p.lanes; ++c)
                (p.histories[c].*array)[k] = rows[k * V::lanes + c];
    }
    // After a chunk of `count` steps its last N rows become the history rows.
    void keep_last(int count) {
        for (int i = 0; i < N * V::lanes; ++i)
            rows[i] = rows[count * V::lanes + i];
    }
    // Steps 0 .. count - 1 from the frames of the pass's chunk.
    void read_frames(const lane_pass& p, const float* frames, int count) {
        for (int j = 0; j < count; ++j)
            store(at(j),
                  V::load_first(frames + static_cast<std::ptrdiff_t>(j) * p.stride, p.lanes));
    }

    float rows[(N + k_chunk) * V::lanes];
};

// The rows seen from the current step: [k] is the row k steps back ([0] the current one).
template <class V>
struct rows_back {
    const float* now;
    V operator[](int k) const { return V::load(now - k * V::lanes); }
};

// The same for the outputs of a cascade's first section, whose newest is at hand: [1] is
// `newest`.
template <class V>
struct outputs_back {
    const float* now;
    const V& newest;
    V operator[](int k) const { return k == 1 ? newest : V::load(now - k * V::lanes); }
};

// The final outputs are carried in registers only, as in the channel-by-channel kernels: a
// delay line filled from the histories (entry N - k is the value k steps back) and emptied
// into them.
template <int N, class V>
detail::delay_line<N, V> line_from_history(const lane_pass& p, history_array array) {
    detail::delay_line<N, V> line;
    for (int k = 1; k <= N; ++k) {
        float row[V::lanes] = {};
        for (int c = 0; c < p.lanes; ++c)
            row[c] = (p.histories[c].*array)[N - k];
        line.at[k] = V::load(row);
    }
    return line;
}

template <int N, class V>
void line_to_history(const detail::delay_line<N, V>& line, const lane_pass& p,
                     history_array array) {
    for (int k = 1; k <= N; ++k) {
        float row[V::lanes];
        store(row, line.at[k]);
        for (int c = 0; c < p.lanes; ++c)
            (p.histories[c].*array)[N - k] = row[c];
    }
}

template <class V>
float* frame_at(const lane_pass& p, int frame) {
    return p.samples + static_cast<std::ptrdiff_t>(frame) * p.stride;
}

// The kernels are flattened: every step is inlined whatever the compiler's size limits, so
// the vectors stay in registers rather than travelling through memory between calls. They
// take the pass by value, so that its fields stay in registers too while the stores to the
// block, which may alias anything, go on.
template <int N, class V>
__attribute__((flatten)) void run_single(const lane_pass p) {
    const detail::section_coefficients<N, V> c(p.sections.a1, p.sections.b1);
    signal_rows<N, V> x;
    x.load_history(p, &history::x_history);
    detail::delay_line<N, V> y = line_from_history<N, V>(p, &history::y_history);
    for (int start = 0; start < p.frames; start += k_chunk) {
        const int count = p.frames - start < k_chunk ? p.frames - start : k_chunk;
        x.read_frames(p, frame_at<V>(p, start), count);
        for (int j = 0; j < count; ++j) {
            const V output = detail::direct_form(c, rows_back<V>{x.at(j)}, y);
            store_first(frame_at<V>(p, start + j), output, p.lanes);
            y.push(output);
        }
        x.keep_last(count);
    }
    x.store_history(p, &history::x_history);
    line_to_history(y, p, &history::y_history);
}

// The first section's outputs are staged as rows, which the second section's numerator reads;
// only the newest of them stays in a register (all of them would crowd out the coefficients).
template <int N, class V>
__attribute__((flatten)) void run_cascade(const lane_pass p) {
    const detail::section_coefficients<N, V> first(p.sections.a1, p.sections.b1);
    const detail::section_coefficients<N, V> second(p.sections.a2, p.sections.b2);
    signal_rows<N, V> x, m;
    x.load_history(p, &history::x_history);
    m.load_history(p, &history::m_history);
    V middle = V::load(m.at(-1));
    detail::delay_line<N, V> y = line_from_history<N, V>(p, &history::y_history);
    for (int start = 0; start < p.frames; start += k_chunk) {
        const int count = p.frames - start < k_chunk ? p.frames - start : k_chunk;
        x.read_frames(p, frame_at<V>(p, start), count);
        const auto first_step = [&](int j) {
            middle =
                detail::direct_form(first, rows_back<V>{x.at(j)}, outputs_back<V>{m.at(j), middle});
            store(m.at(j), middle);
        };
        const auto second_step = [&](int j) {
            const V output = detail::direct_form(second, rows_back<V>{m.at(j)}, y);
            store_first(frame_at<V>(p, start + j), output, p.lanes);
            y.push(output);
        };
        detail::run_skewed(count, first_step, second_step);
        x.keep_last(count);
        m.keep_last(count);
    }
    x.store_history(p, &history::x_history);
    m.store_history(p, &history::m_history);
    line_to_history(y, p, &history::y_history);
}

// Dispatched by switch for the reason given in arma_filter.cpp.
template <class V>
void run_pass(const lane_pass& p) {
    if (p.sections.two_stage) {
        switch (p.sections.order) {
        case 1:
            return run_cascade<1, V>(p);
        case 2:
            return run_cascade<2, V>(p);
        case 3:
            return run_cascade<3, V>(p);
        default:
            return run_cascade<4, V>(p);
        }
    }
    switch (p.sections.order) {
    case 1:
        return run_single<1, V>(p);
    case 2:
        return run_single<2, V>(p);
    case 3:
        return run_single<3, V>(p);
    case 4:
        return run_single<4, V>(p);
    case 5:
        return run_single<5, V>(p);
    case 6:
        return run_single<6, V>(p);
    case 7:
        return run_single<7, V>(p);
    default:
        return run_single<8, V>(p);
    }
}

// Passes of `Wide` vectors while more channels remain than `Narrow` holds, then one of
// `Narrow` for the rest.
template <class Wide, class Narrow>
void filter_passes(const request& r) {
    int first = 0;
    for (; r.channels - first > Narrow::lanes; first += Wide::lanes) {
        const int lanes = r.channels - first < Wide::lanes ? r.channels - first : Wide::lanes;
        run_pass<Wide>(
            {r.sections, r.histories + first, r.samples + first, r.frames, r.channels, lanes});
    }
    if (first < r.channels)
        run_pass<Narrow>({r.sections, r.histories + first, r.samples + first, r.frames, r.channels,
                          r.channels - first});
}

} // namespace ns_audio_dsp::lanes
