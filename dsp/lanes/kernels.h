// The channel lanes, written once over a vector vocabulary (primitives/simd): the direct-form
// recursions of detail/direct_form.h with every operand a vector that holds one channel per
// lane. A vector's worth of channels is filtered in one pass over the block, the passes one
// after another.
//
// The outputs are written over the inputs, so every signal of a recursion (its input, the
// first section's output in a cascade, its output) is staged one row per step, lane-major: N
// rows of history, then the rows of the current chunk, as the work buffers hold them for
// arma_filter. Only the newest output of each section stays in a register, being the one the
// next step waits for; the older values are read back from the rows, which leaves the
// registers to the coefficients (measured: faster than delay lines in registers, which the
// compiler then spills and shifts through memory).
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

// Steps staged at once, and how many steps ahead an input is read from the block: far enough
// that it is in its row well before the step that needs it, whose chain would otherwise wait
// for it (measured: 4.4 against 5.0 ns per step reading each chunk's inputs before its steps).
constexpr int k_chunk = 64;
constexpr int k_ahead = 8;

// One pass: `lanes` channels from the block's channel `first` on, one per lane.
struct lane_pass {
    const arma_sections& sections;
    history* histories; // of the pass's first channel
    float* samples;     // the pass's first channel in frame 0
    int frames;
    int stride; // the block's channel count
    int lanes;
};

template <class V>
float* frame_at(const lane_pass& p, int frame) {
    return p.samples + static_cast<std::ptrdiff_t>(frame) * p.stride;
}

// A signal's rows: N rows of history, then the chunk's rows, then `Ahead` rows read ahead.
template <int N, class V, int Ahead = 0>
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
    // After a chunk of `count` steps its last N rows become the history rows, followed by the
    // rows read ahead.
    void keep_last(int count) {
        for (int i = 0; i < (N + Ahead) * V::lanes; ++i)
            rows[i] = rows[count * V::lanes + i];
    }
    // Step j's row from frame j of the block (`first` is the chunk's first frame), when the
    // block has it.
    void read_frame(const lane_pass& p, int first, int j) {
        if (first + j < p.frames) store(at(j), V::load_first(frame_at<V>(p, first + j), p.lanes));
    }

    float rows[(N + k_chunk + Ahead) * V::lanes] = {};
};

// The rows seen from the current step: [k] is the row k steps back ([0] the current one).
template <class V>
struct rows_back {
    const float* now;
    V operator[](int k) const { return V::load(now - k * V::lanes); }
};

// The same for a section's outputs, whose newest is at hand: [1] is `newest`.
template <class V>
struct outputs_back {
    const float* now;
    const V& newest;
    V operator[](int k) const { return k == 1 ? newest : V::load(now - k * V::lanes); }
};

// One step of a section: its output from the inputs up to row j and the outputs before it,
// stored in the output's row j and returned, to be the caller's `newest` for the next step (a
// local of the caller, so that it stays in a register).
template <int N, class V, int Ahead>
V step(const detail::section_coefficients<N, V>& c, const signal_rows<N, V, Ahead>& input,
       signal_rows<N, V>& output, int j, const V& newest) {
    const V out =
        detail::direct_form(c, rows_back<V>{input.at(j)}, outputs_back<V>{output.at(j), newest});
    store(output.at(j), out);
    return out;
}

// The kernels are flattened: every step is inlined whatever the compiler's size limits, so
// the vectors stay in registers rather than travelling through memory between calls. They
// take the pass by value, so that its fields stay in registers too while the stores to the
// block, which may alias anything, go on.
template <int N, class V>
__attribute__((flatten)) void run_single(const lane_pass p) {
    const detail::section_coefficients<N, V> c(p.sections.a1, p.sections.b1);
    signal_rows<N, V, k_ahead> x;
    signal_rows<N, V> y;
    x.load_history(p, &history::x_history);
    y.load_history(p, &history::y_history);
    V newest = V::load(y.at(-1));
    for (int j = 0; j < k_ahead; ++j)
        x.read_frame(p, 0, j);
    for (int start = 0; start < p.frames; start += k_chunk) {
        const int count = p.frames - start < k_chunk ? p.frames - start : k_chunk;
        for (int j = 0; j < count; ++j) {
            x.read_frame(p, start, j + k_ahead);
            newest = step(c, x, y, j, newest);
            store_first(frame_at<V>(p, start + j), newest, p.lanes);
        }
        x.keep_last(count);
        y.keep_last(count);
    }
    x.store_history(p, &history::x_history);
    y.store_history(p, &history::y_history);
}

template <int N, class V>
__attribute__((flatten)) void run_cascade(const lane_pass p) {
    const detail::section_coefficients<N, V> first(p.sections.a1, p.sections.b1);
    const detail::section_coefficients<N, V> second(p.sections.a2, p.sections.b2);
    signal_rows<N, V, k_ahead> x;
    signal_rows<N, V> m, y;
    x.load_history(p, &history::x_history);
    m.load_history(p, &history::m_history);
    y.load_history(p, &history::y_history);
    V middle = V::load(m.at(-1)), newest = V::load(y.at(-1));
    for (int j = 0; j < k_ahead; ++j)
        x.read_frame(p, 0, j);
    for (int start = 0; start < p.frames; start += k_chunk) {
        const int count = p.frames - start < k_chunk ? p.frames - start : k_chunk;
        const auto first_step = [&](int j) {
            x.read_frame(p, start, j + k_ahead);
            middle = step(first, x, m, j, middle);
        };
        const auto second_step = [&](int j) {
            newest = step(second, m, y, j, newest);
            store_first(frame_at<V>(p, start + j), newest, p.lanes);
        };
        detail::run_skewed(count, first_step, second_step);
        x.keep_last(count);
        m.keep_last(count);
        y.keep_last(count);
    }
    x.store_history(p, &history::x_history);
    m.store_history(p, &history::m_history);
    y.store_history(p, &history::y_history);
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
