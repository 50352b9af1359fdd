// The exact realization: the component's single-precision Butterworth designs run as its
// direct-form recursions, bit for bit. The component itself calls design_exact and
// filter_exact_channel with the coefficient fields it owns; every other front-end uses
// exact_filter, which owns its library object and splits long blocks so that filtering never
// allocates.
#pragma once

#include "section_plan.h"

#include <dsp/arma_lanes.h>
#include <dsp/libdspaudio>

#include <memory>
#include <vector>

namespace ns_filter_engine {

// Sizes of the coefficient arrays the exact realization keeps: the first section may carry a
// higher-order design, the second at most order 4.
constexpr int k_first_section_length = 9;
constexpr int k_second_section_length = 5;

// Coefficients as the component lays them out; the arrays are borrowed.
using exact_sections = ns_audio_dsp::arma_sections;

// Writes the coefficients of plan's sections (only the arrays and entries the component
// writes; nothing for an impossible mode). `dsp` only provides the design routines.
void design_exact(ns_audio_dsp::libdspaudio& dsp, const section_plan& plan, float* a1, float* b1,
                  float* a2, float* b2);

// Filters n samples of `channel`, carrying its history in `dsp` (channels 0..9). Returns the
// outputs inside dsp's work buffer (see arma_filter), or null for an order or channel the
// filters refuse.
float* filter_exact_channel(ns_audio_dsp::libdspaudio& dsp, const exact_sections& sections,
                            const float* in, int n, int channel);

class exact_filter {
public:
    // Longest run handed to the recursions at once: well inside the work buffers that
    // filter_init prepares, so that filtering never grows them.
    static constexpr int k_block = 1024;

    // Any channel count from 1 on: up to 10 the histories are the library object's own, as in
    // the component; beyond, the filter keeps them itself. Throws std::invalid_argument for no
    // channel or an impossible mode.
    exact_filter(const section_plan& plan, int channels);
    exact_filter(const exact_filter&) = delete;
    exact_filter& operator=(const exact_filter&) = delete;
    ~exact_filter();

    // Filters each channel's `frames` samples in place, continuing its history.
    void process_planar(float* const* channel_data, long frames);
    // Filters `frames` interleaved frames in place with the channels side by side in vector
    // lanes (dsp/arma_lanes.h): bit for bit what process_planar gives. Returns false, touching
    // nothing, for one channel or when lane_path_select chose the literal path: the caller
    // then de-interleaves and filters channel by channel.
    bool process_interleaved(float* samples, long frames);
    void reset();
    // Redesigns the coefficients for `plan` in place, without allocating. The history goes on
    // when the layout stays the same (same_layout); otherwise it restarts from silence, since
    // a history means something only to the sections that wrote it. `plan` must be a known
    // mode.
    void retune(const section_plan& plan) noexcept;

    const section_plan& plan() const noexcept { return plan_; }
    exact_sections sections() noexcept {
        return {plan_.two_stage, plan_.order, a1_, b1_, a2_, b2_};
    }

private:
    struct dsp_release {
        void operator()(ns_audio_dsp::libdspaudio* dsp) const;
    };

    using channel_history = ns_audio_dsp::libdspaudio::channel_history;

    channel_history* histories() noexcept;
    float* filter_channel(const float* in, int n, int channel);
    void filter_lanes(float* frames, int count);

    section_plan plan_;
    int channels_;
    bool lanes_;                     // several channels, and the lanes chosen
    std::vector<float> interleaved_; // one block of planar input, for the lanes
    std::unique_ptr<ns_audio_dsp::libdspaudio, dsp_release> dsp_;
    std::vector<channel_history> owned_histories_; // beyond the library object's 10, else empty
    float a1_[k_first_section_length] = {};
    float b1_[k_first_section_length] = {};
    float a2_[k_second_section_length] = {};
    float b2_[k_second_section_length] = {};
};

} // namespace ns_filter_engine
