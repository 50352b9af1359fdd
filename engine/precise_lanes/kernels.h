// The precise realization's section chains (transposed direct form II, double state), written
// once over GCC's vector extension: element by element the same IEEE operations as scalar
// code, with contraction off. Each path's translation unit instantiates them for its own
// widths. Everything here has internal linkage: the vector types are the same in every unit,
// and the linker would otherwise keep one unit's copy of a template for all of them, code
// compiled for one instruction set then running on another's path.
//
// Several channels run one per lane. A lone channel runs its sections pipelined: lane k is
// section k, working on the sample k steps behind the newest, so the sections' feedback loops
// overlap instead of each waiting for the one before it within a sample. Every section still
// performs its own operations in order on each sample, so the outputs are the plain cascade's.
#pragma once

#include "paths.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

namespace ns_filter_engine::precise_lanes {
namespace {

// State magnitudes below this can no longer reach an output of the sample type; they are cleared
// so that a decaying tail never runs through subnormal doubles, which are slow on common
// processors.
template <typename sample>
constexpr double k_negligible_state = 1e-200;
template <>
constexpr double k_negligible_state<double> = 1e-300;

// `W` values side by side, and the masks that choose between such vectors lane by lane. (A
// typedef, as GCC drops a dependent vector size from an alias template.)
template <int W>
struct vector_of {
    typedef double doubles __attribute__((vector_size(W * sizeof(double))));
    typedef long long masks __attribute__((vector_size(W * sizeof(long long))));
};
template <int W>
using doubles = typename vector_of<W>::doubles;
template <int W>
using lane_masks = typename vector_of<W>::masks;

// `W` channels' values side by side, or one channel's as a plain double.
template <int W>
struct lanes_of {
    using type = doubles<W>;
};
template <>
struct lanes_of<1> {
    using type = double;
};
template <int W>
using lanes_t = typename lanes_of<W>::type;

template <int W>
double& lane(lanes_t<W>& v, int c) {
    if constexpr (W == 1)
        return v;
    else
        return reinterpret_cast<double*>(&v)[c];
}

inline double kept_state(double value, double negligible) {
    return std::abs(value) < negligible ? 0.0 : value;
}

// Channels first .. first + W - 1, one per lane. The states are held in locals for the block, so
// that nothing the loop writes can alias them.
template <int W, int S, typename sample>
void run_channels(const block<sample>& b, int first) {
    using V = lanes_t<W>;
    double* states[W];
    sample* at[W];
    for (int c = 0; c < W; ++c) {
        states[c] = b.states + 2 * S * (first + c);
        at[c] = b.start(first + c);
    }
    V s[2 * S];
    for (int k = 0; k < 2 * S; ++k)
        for (int c = 0; c < W; ++c)
            lane<W>(s[k], c) = states[c][k];
    for (long i = 0; i < b.frames; ++i) {
        V x;
        for (int c = 0; c < W; ++c)
            lane<W>(x, c) = at[c][i * b.stride];
        for (int k = 0; k < S; ++k) {
            const biquad& q = b.sections[k];
            const V y = q.b0 * x + s[2 * k];
            s[2 * k] = q.b1 * x - q.a1 * y + s[2 * k + 1];
            s[2 * k + 1] = q.b2 * x - q.a2 * y;
            x = y;
        }
        for (int c = 0; c < W; ++c)
            at[c][i * b.stride] = static_cast<sample>(lane<W>(x, c));
    }
    for (int k = 0; k < 2 * S; ++k)
        for (int c = 0; c < W; ++c)
            states[c][k] = kept_state(lane<W>(s[k], c), k_negligible_state<sample>);
}

// One channel's S sections in the lanes of P-wide vectors (S <= P; the spare lanes have zero
// coefficients and their values are never used).
template <int P, int S, typename sample>
struct pipeline {
    using V = doubles<P>;
    using M = lane_masks<P>;

    V b0{}, b1{}, b2{}, a1{}, a2{}, s0{}, s1{}, in{}, y{};

    // Written out element by element, so that they are constants. (Filled in place: a vector
    // returned would be passed as the instruction set decides.)
    template <std::size_t... k>
    static void lane_numbers(M& to, std::index_sequence<k...>) {
        to = M{static_cast<long long>(k)...};
    }
    // Lane k takes lane k - 1 of the outputs; lane 0 the new input (lane 0 of the second
    // operand).
    template <std::size_t... k>
    void shift_in(const V& inputs, std::index_sequence<k...>) {
        in = __builtin_shufflevector(y, inputs, (k == 0 ? P : static_cast<int>(k) - 1)...);
    }

    // Lane by lane through arrays, which GCC follows where it cannot follow vector elements.
    pipeline(const block<sample>& b, const double* state) {
        V pipeline::*const members[] = {&pipeline::b0, &pipeline::b1, &pipeline::b2, &pipeline::a1,
                                        &pipeline::a2, &pipeline::s0, &pipeline::s1};
        double lanes[7][P] = {};
        for (int k = 0; k < S; ++k) {
            const biquad& q = b.sections[k];
            const double values[7] = {q.b0, q.b1, q.b2, q.a1, q.a2, state[2 * k], state[2 * k + 1]};
            for (int m = 0; m < 7; ++m)
                lanes[m][k] = values[m];
        }
        for (int m = 0; m < 7; ++m)
            std::memcpy(&(this->*members[m]), lanes[m], sizeof(V));
    }

    // Every section's step from `in` to `y`, lane k section k's. (Vectors travel in members,
    // not arguments, whose passing would depend on the instruction set.)
    void step() { step_into(s0, s1); }
    // The states it gives go to next0 and next1, which may be s0 and s1.
    void step_into(V& next0, V& next1) {
        y = b0 * in + s0;
        next0 = b1 * in - a1 * y + s1;
        next1 = b2 * in - a2 * y;
    }
    // The same where only the sections whose sample lies inside the block move on (step t of
    // the block is sample t - k for section k): filling and draining the pipeline.
    void partial_step(long t, long frames) {
        M behind;
        lane_numbers(behind, std::make_index_sequence<P>());
        behind = t - behind;
        const M active = (behind >= 0) & (behind < frames);
        V next0, next1;
        step_into(next0, next1);
        s0 = active ? next0 : s0;
        s1 = active ? next1 : s1;
    }
    // Each section's next input is the output of the one before it; the first's is x.
    void advance(double x) { shift_in(V{} + x, std::make_index_sequence<P>()); }
    double last_output() const { return y[S - 1]; }

    void store(double* state) const {
        for (int k = 0; k < S; ++k) {
            state[2 * k] = kept_state(s0[k], k_negligible_state<sample>);
            state[2 * k + 1] = kept_state(s1[k], k_negligible_state<sample>);
        }
    }
};

template <int P, int S, typename sample>
void run_pipelined(const block<sample>& b, int channel) {
    double* state = b.states + 2 * S * channel;
    sample* const at = b.start(channel);
    const long stride = b.stride, frames = b.frames, total = frames + S - 1;
    pipeline<P, S, sample> p(b, state);
    const auto input = [&](long t) {
        return t < frames ? static_cast<double>(at[t * stride]) : 0.0;
    };
    // Step t takes sample t in and gives sample t - (S - 1) out.
    const auto output = [&](long t) {
        at[(t - (S - 1)) * stride] = static_cast<sample>(p.last_output());
    };
    p.advance(input(0));
    long t = 0;
    for (; t < S - 1 && t < total; ++t) {
        p.partial_step(t, frames);
        p.advance(input(t + 1));
    }
    for (; t < frames; ++t) {
        p.step();
        output(t);
        p.advance(input(t + 1));
    }
    for (; t < total; ++t) {
        p.partial_step(t, frames);
        output(t);
        p.advance(0.0);
    }
    p.store(state);
}

// Widest first: passes of W channels while that many remain, then narrower ones; channels one
// at a time (the reference's way, or a lone channel's) pipelined when their sections fit in
// `Pipe` lanes.
template <int W, int Pipe, int S, typename sample>
void run_sections(const block<sample>& b, int first) {
    if constexpr (W > 1) {
        for (; b.channels - first >= W; first += W)
            run_channels<W, S>(b, first);
        run_sections<W / 2, Pipe, S>(b, first);
    } else if constexpr (S == 1 || Pipe < 2 || S > Pipe) {
        for (; first < b.channels; ++first)
            run_channels<1, S>(b, first);
    } else if constexpr (S <= Pipe / 2) {
        run_sections<1, Pipe / 2, S>(b, first);
    } else {
        for (; first < b.channels; ++first)
            run_pipelined<Pipe, S>(b, first);
    }
}

// Dispatched by switch, so that each chain length has its states in registers.
template <int W, int Pipe, typename sample>
void filter_block(const block<sample>& b) {
    switch (b.count) {
    case 1:
        return run_sections<W, Pipe, 1>(b, 0);
    case 2:
        return run_sections<W, Pipe, 2>(b, 0);
    case 3:
        return run_sections<W, Pipe, 3>(b, 0);
    case 4:
        return run_sections<W, Pipe, 4>(b, 0);
    case 5:
        return run_sections<W, Pipe, 5>(b, 0);
    case 6:
        return run_sections<W, Pipe, 6>(b, 0);
    case 7:
        return run_sections<W, Pipe, 7>(b, 0);
    default:
        return run_sections<W, Pipe, 8>(b, 0);
    }
}

} // namespace
} // namespace ns_filter_engine::precise_lanes
