// The precise realization's section chains (transposed direct form II, double state), written
// once over the vector vocabularies of primitives/simd: element by element the same IEEE
// operations as scalar code, with contraction off. Each path's translation unit instantiates
// them for its own vectors, widest first. Everything here has internal linkage, so that no
// unit's copy stands in for another's.
//
// Channels run side by side, one per lane, while as many remain as the widest vector has lanes.
// Fewer channels run their sections pipelined: lane k is section k, working on the sample k
// steps behind the newest, so the sections' feedback loops overlap instead of each waiting for
// the one before it within a sample; up to four channels step in lockstep, their pipelines
// independent. Every section still performs its own operations in order on each sample, so the
// outputs are the plain cascade's. Side by side, the sections that carry no gain (b0 = b2 = 1)
// skip those two products: x * 1 is x exactly, so no bit changes.
#pragma once

#include "paths.h"

#include <primitives/simd/pair.h>
#include <primitives/simd/scalar.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <type_traits>

namespace ns_filter_engine::precise_lanes {
namespace {

// State magnitudes below this can no longer reach an output of the sample type; they are cleared
// so that a decaying tail never runs through subnormal doubles, which are slow on common
// processors.
template <typename sample>
constexpr double k_negligible_state = 1e-200;
template <>
constexpr double k_negligible_state<double> = 1e-300;

using one_lane = ns_primitives::simd_scalar::double_lane;

inline double kept_state(double value, double negligible) {
    return std::abs(value) < negligible ? 0.0 : value;
}

template <typename V>
struct coefficients {
    V b0, b1, b2, a1, a2;
};

template <typename V, int S>
void save_states(const V* s, double* const* states, double negligible) {
    double lanes[V::lanes];
    for (int k = 0; k < 2 * S; ++k) {
        store(lanes, s[k]);
        for (int c = 0; c < V::lanes; ++c)
            states[c][k] = kept_state(lanes[c], negligible);
    }
}

// One section's step from x, returning its output and moving its states s0, s1 on. Without a
// gain (b0 = b2 = 1), b0 x and b2 x are x itself, exactly, and are not computed.
template <bool gain, typename V>
V section_step(const coefficients<V>& q, V x, V& s0, V& s1) {
    const auto times_x = [x](V b) {
        if constexpr (gain)
            return b * x;
        else
            return x;
    };
    const V y = times_x(q.b0) + s0;
    s0 = q.b1 * x - q.a1 * y + s1;
    s1 = times_x(q.b2) - q.a2 * y;
    return y;
}

// Frames per chunk of the side-by-side passes, which move the samples through a frame-major
// buffer: a vector loaded from lanes written one by one just before would wait for those
// writes to retire, and every frame with it.
constexpr long k_chunk = 64;

// Channels first .. first + W - 1, one per lane; section k has b0 = b2 = 1 unless P divides k.
// The states are held in locals for the block, so that nothing the loop writes can alias them.
template <typename V, int S, int P, typename sample>
void run_channels(const block<sample>& b, int first) {
    constexpr int W = V::lanes;
    double* states[W];
    sample* at[W];
    for (int c = 0; c < W; ++c) {
        states[c] = b.states + 2 * S * (first + c);
        at[c] = b.start(first + c);
    }
    double lanes[W];
    V s[2 * S];
    for (int k = 0; k < 2 * S; ++k) {
        for (int c = 0; c < W; ++c)
            lanes[c] = states[c][k];
        s[k] = V::load(lanes);
    }
    coefficients<V> q[S];
    for (int k = 0; k < S; ++k) {
        const biquad& section = b.sections[k];
        q[k] = {V::splat(section.b0), V::splat(section.b1), V::splat(section.b2),
                V::splat(section.a1), V::splat(section.a2)};
    }
    const auto filter_frame = [&](auto* frame) {
        V x = V::load(frame);
        for (int k = 0; k < S; ++k)
            x = k % P == 0 ? section_step<true>(q[k], x, s[2 * k], s[2 * k + 1])
                           : section_step<false>(q[k], x, s[2 * k], s[2 * k + 1]);
        store(frame, x);
    };
    // Interleaved, a frame's W samples lie side by side: one vector, widened from floats.
    if constexpr (W > 1 || std::is_same_v<sample, double>)
        if (b.planes == nullptr) {
            for (long i = 0; i < b.frames; ++i)
                filter_frame(at[0] + i * b.stride);
            return save_states<V, S>(s, states, k_negligible_state<sample>);
        }
    double chunk[k_chunk][W];
    for (long done = 0; done < b.frames; done += k_chunk) {
        const long n = std::min(k_chunk, b.frames - done);
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < W; ++c)
                chunk[i][c] = at[c][(done + i) * b.stride];
        for (long i = 0; i < n; ++i)
            filter_frame(chunk[i]);
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < W; ++c)
                at[c][(done + i) * b.stride] = static_cast<sample>(chunk[i][c]);
    }
    save_states<V, S>(s, states, k_negligible_state<sample>);
}

// Section k's coefficients in lane k; the spare lanes' are zero, and their values never used.
template <typename V, int S>
coefficients<V> sections_by_lane(const biquad* sections) {
    double lanes[5][V::lanes] = {};
    for (int k = 0; k < S; ++k) {
        const biquad& q = sections[k];
        const double values[5] = {q.b0, q.b1, q.b2, q.a1, q.a2};
        for (int m = 0; m < 5; ++m)
            lanes[m][k] = values[m];
    }
    return {V::load(lanes[0]), V::load(lanes[1]), V::load(lanes[2]), V::load(lanes[3]),
            V::load(lanes[4])};
}

// One channel's S sections in the lanes of V, section k in lane k.
template <typename V, int S>
struct pipeline {
    static constexpr int P = V::lanes;
    V s0, s1, in, y;

    void load(const double* state) {
        double lanes[2][P] = {};
        for (int k = 0; k < S; ++k) {
            lanes[0][k] = state[2 * k];
            lanes[1][k] = state[2 * k + 1];
        }
        s0 = V::load(lanes[0]);
        s1 = V::load(lanes[1]);
        y = V::splat(0.0);
    }

    // Every section's step from `in` to `y`, lane k section k's.
    void step(const coefficients<V>& q) { step_into(q, s0, s1); }
    // The states it gives go to next0 and next1, which may be s0 and s1.
    void step_into(const coefficients<V>& q, V& next0, V& next1) {
        y = q.b0 * in + s0;
        next0 = q.b1 * in - q.a1 * y + s1;
        next1 = q.b2 * in - q.a2 * y;
    }
    // The same where only the sections whose sample lies inside the block move on (step t of
    // the block is sample t - k for section k): filling and draining the pipeline.
    void partial_step(const coefficients<V>& q, long t, long frames) {
        V next0, next1;
        step_into(q, next0, next1);
        double kept[2][P], moved[2][P];
        store(kept[0], s0);
        store(kept[1], s1);
        store(moved[0], next0);
        store(moved[1], next1);
        for (int k = 0; k < S; ++k)
            if (t - k >= 0 && t - k < frames) {
                kept[0][k] = moved[0][k];
                kept[1][k] = moved[1][k];
            }
        s0 = V::load(kept[0]);
        s1 = V::load(kept[1]);
    }
    // Each section's next input is the output of the one before it; the first's is x.
    void advance(double x) { in = shift_in(y, x); }
    double last_output() const {
        double lanes[P];
        store(lanes, y);
        return lanes[S - 1];
    }

    void save(double* state, double negligible) const {
        double lanes[2][P];
        store(lanes[0], s0);
        store(lanes[1], s1);
        for (int k = 0; k < S; ++k) {
            state[2 * k] = kept_state(lanes[0][k], negligible);
            state[2 * k + 1] = kept_state(lanes[1][k], negligible);
        }
    }
};

// Channels first .. first + C - 1, each pipelined in its own vector, stepping in lockstep so
// that their independent chains overlap.
template <typename V, int S, int C, typename sample>
void run_pipelined(const block<sample>& b, int first) {
    const coefficients<V> q = sections_by_lane<V, S>(b.sections);
    pipeline<V, S> p[C];
    sample* at[C];
    for (int c = 0; c < C; ++c) {
        at[c] = b.start(first + c);
        p[c].load(b.states + 2 * S * (first + c));
    }
    const long stride = b.stride, frames = b.frames, total = frames + S - 1;
    const auto input = [&](int c, long t) {
        return t < frames ? static_cast<double>(at[c][t * stride]) : 0.0;
    };
    // Step t takes sample t in and gives sample t - (S - 1) out.
    const auto output = [&](int c, long t) {
        at[c][(t - (S - 1)) * stride] = static_cast<sample>(p[c].last_output());
    };
    for (int c = 0; c < C; ++c)
        p[c].advance(input(c, 0));
    long t = 0;
    for (; t < S - 1 && t < total; ++t)
        for (int c = 0; c < C; ++c) {
            p[c].partial_step(q, t, frames);
            p[c].advance(input(c, t + 1));
        }
    for (; t < frames; ++t)
        for (int c = 0; c < C; ++c) {
            p[c].step(q);
            output(c, t);
            p[c].advance(input(c, t + 1));
        }
    for (; t < total; ++t)
        for (int c = 0; c < C; ++c) {
            p[c].partial_step(q, t, frames);
            output(c, t);
            p[c].advance(0.0);
        }
    for (int c = 0; c < C; ++c)
        p[c].save(b.states + 2 * S * (first + c), k_negligible_state<sample>);
}

template <typename V, int S, typename sample>
void run_pipelines(const block<sample>& b, int first) {
    for (; b.channels - first >= 4; first += 4)
        run_pipelined<V, S, 4>(b, first);
    switch (b.channels - first) {
    case 3:
        return run_pipelined<V, S, 3>(b, first);
    case 2:
        return run_pipelined<V, S, 2>(b, first);
    case 1:
        return run_pipelined<V, S, 1>(b, first);
    default:
        return;
    }
}

// Side-by-side passes of V from channel `first` while that many channels remain; the first
// channel left over. P as for run_channels.
template <typename V, int S, int P, typename sample>
int run_passes_every(const block<sample>& b, int first) {
    for (; b.channels - first >= V::lanes; first += V::lanes)
        run_channels<V, S, P>(b, first);
    return first;
}

// The same, skipping the products with b0 = b2 = 1 that the block's gain period vouches for.
template <typename V, int S, typename sample>
int run_passes(const block<sample>& b, int first) {
    if (b.gain_period == S) return run_passes_every<V, S, S>(b, first);
    if constexpr (S % 2 == 0)
        if (b.gain_period == S / 2) return run_passes_every<V, S, S / 2>(b, first);
    return run_passes_every<V, S, 1>(b, first);
}

// The narrowest of Vs (widest first) with at least S lanes, or void.
template <int S, typename... Vs>
struct narrowest_holding {
    using type = void;
};
template <int S, typename V, typename... Narrower>
struct narrowest_holding<S, V, Narrower...> {
    using narrower = typename narrowest_holding<S, Narrower...>::type;
    using type = std::conditional_t<std::is_void_v<narrower> && V::lanes >= S, V, narrower>;
};

// The vector a lone channel's S sections are pipelined in: the narrowest that holds them, or
// two of the widest, or void when not even those do.
template <int S, typename... Vs>
using pipeline_vector = std::conditional_t<
    !std::is_void_v<typename narrowest_holding<S, Vs...>::type>,
    typename narrowest_holding<S, Vs...>::type,
    std::conditional_t<(2 * std::tuple_element_t<0, std::tuple<Vs...>>::lanes >= S),
                       ns_primitives::simd::pair<std::tuple_element_t<0, std::tuple<Vs...>>>,
                       void>>;

// Vs: the path's vectors, widest first (none on the reference path, which runs channel after
// channel, section after section).
template <int S, typename sample, typename... Vs>
void run_sections(const block<sample>& b) {
    int first = 0;
    if constexpr (S > 1 && sizeof...(Vs) > 0) {
        using widest = std::tuple_element_t<0, std::tuple<Vs...>>;
        using lanes = pipeline_vector<S, Vs...>;
        if constexpr (!std::is_void_v<lanes>) {
            run_pipelines<lanes, S>(b, run_passes<widest, S>(b, first));
            return;
        }
    }
    ((first = run_passes<Vs, S>(b, first)), ...);
    // The reference takes every product as written.
    if constexpr (sizeof...(Vs) == 0)
        run_passes_every<one_lane, S, 1>(b, first);
    else
        run_passes<one_lane, S>(b, first);
}

// Dispatched by switch, so that each chain length has its states in registers.
template <typename... Vs, typename sample>
void filter_block(const block<sample>& b) {
    switch (b.count) {
    case 1:
        return run_sections<1, sample, Vs...>(b);
    case 2:
        return run_sections<2, sample, Vs...>(b);
    case 3:
        return run_sections<3, sample, Vs...>(b);
    case 4:
        return run_sections<4, sample, Vs...>(b);
    case 5:
        return run_sections<5, sample, Vs...>(b);
    case 6:
        return run_sections<6, sample, Vs...>(b);
    case 7:
        return run_sections<7, sample, Vs...>(b);
    default:
        return run_sections<8, sample, Vs...>(b);
    }
}

} // namespace
} // namespace ns_filter_engine::precise_lanes
