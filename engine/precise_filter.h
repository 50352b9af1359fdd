// The precise realization: Butterworth high-pass and low-pass designed in double precision
// (bilinear transform with pre-warping, so the gain is exactly -3 dB at each cut-off) and run
// as second-order sections with double state. Float samples are rounded to float at the output
// only; double samples are filtered in double end to end.
#pragma once

#include "section_plan.h"

#include <primitives/instruction_set.h>

#include <vector>

namespace ns_filter_engine {

// One second-order section, H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct biquad {
    double b0, b1, b2, a1, a2;
};

// The sections of a Butterworth filter of even `order` at cutoff_hz for a sample rate,
// as scipy.signal.butter(order, cutoff_hz, kind, fs=rate, output='sos') would give them.
std::vector<biquad> butterworth_sections(design_kind kind, int order, double cutoff_hz,
                                         double rate);

class precise_filter {
public:
    // The carried history apart from the filter, in a buffer its owner keeps: what a front-end
    // puts back to undo the blocks filtered since it was taken.
    struct history {
        bool high_pass = false, low_pass = false; // the sides whose sections it belongs to
        std::vector<double> state;
    };

    // The high-pass section chain (when request.high_pass) followed by the low-pass one (when
    // request.low_pass), each of `order`, at request.high_hz and request.low_hz.
    // Preconditions (checked by the engine, not here): channels >= 1, order 2/4/6/8, cut-offs
    // inside (0, rate / 2). With flush_subnormals, filtering runs with subnormal numbers
    // flushed to zero (see engine_settings).
    precise_filter(double rate, int channels, const filter_request& request, int order,
                   bool flush_subnormals = false);

    // Filters each channel's `frames` samples in place, continuing its history.
    void process_planar(float* const* channel_data, long frames);
    // `frames` frames of interleaved double samples filtered in place, with the arithmetic of
    // process_planar: a float input gives the double of process_planar's float output before
    // its rounding.
    void process_interleaved(double* samples, long frames);
    // process_planar for samples interleaved by frame.
    void process_interleaved(float* samples, long frames);
    void reset();
    // Copies the history into `into`, which allocates on its first save only (it takes room
    // for both sides then).
    void save_history(history& into) const;
    // Puts back a history saved from this filter. One saved before a retune switched a side on
    // or off belongs to other sections: the history restarts from silence instead, as that
    // retune restarted it.
    void restore_history(const history& from) noexcept;
    // As filter_engine::retune: new cut-offs in place, without allocating; the history goes
    // on unless a side is switched on or off.
    void retune(const filter_request& request) noexcept;

    const std::vector<biquad>& sections() const noexcept { return sections_; }

    // For tests and benchmarks: filters on `set` from now on, when this build and processor run
    // it (else false, no change). The scalar set is the reference, channel by channel and
    // section by section; by default the fastest set runs, or the reference when
    // ns_audio_dsp::lane_path_select chose the literal path.
    bool use_path(ns_primitives::instruction_set set);

private:
    void design(const filter_request& request) noexcept;
    // Channel c's samples start at planes[c] (planar) or interleaved + c, one every `stride`
    // elements.
    template <typename sample>
    void filter(sample* const* planes, sample* interleaved, long stride, long frames);
    template <typename sample>
    void run(sample* const* planes, sample* interleaved, long stride, long frames);

    double rate_;
    int channels_;
    int order_;
    bool flush_subnormals_;
    ns_primitives::instruction_set path_;
    bool high_pass_ = false, low_pass_ = false;
    std::vector<biquad> sections_; // capacity for both sides
    int gain_period_ = 1;          // see precise_lanes::block
    std::vector<double> state_;    // two per section per channel; capacity for both sides
};

} // namespace ns_filter_engine
