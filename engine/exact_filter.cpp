#include "exact_filter.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace ns_filter_engine {

namespace {

using ns_audio_dsp::libdspaudio;

// Work buffer length the component asks for; blocks stay below it.
constexpr int k_work_buffer = 2000;
static_assert(exact_filter::k_block + 8 <= k_work_buffer, "blocks must fit the work buffers");

void design_section(libdspaudio& dsp, const section_design& section, float* a, float* b) {
    if (section.kind == design_kind::low_pass)
        dsp.butter_lp_design(section.fraction, section.order, a, b);
    else
        dsp.butter_hp_design(section.fraction, section.order, a, b);
}

} // namespace

void design_exact(libdspaudio& dsp, const section_plan& plan, float* a1, float* b1, float* a2,
                  float* b2) {
    if (!plan.known_mode) return;
    // A second-order section run at order 4: its two highest coefficients are zero.
    if (plan.pad_first) a1[3] = a1[4] = b1[3] = b1[4] = 0.0f;
    design_section(dsp, plan.first, a1, b1);
    if (plan.design_second) design_section(dsp, plan.second, a2, b2);
}

float* filter_exact_channel(libdspaudio& dsp, const exact_sections& s, const float* in, int n,
                            int channel) {
    if (s.two_stage) return dsp.arma_filter_2stage(in, n, s.a1, s.b1, s.a2, s.b2, s.order, channel);
    return dsp.arma_filter(in, n, s.a1, s.b1, s.order, channel);
}

void exact_filter::dsp_release::operator()(libdspaudio* dsp) const {
    dsp->filter_destroy();
    delete dsp;
}

exact_filter::exact_filter(const section_plan& plan, int channels)
    : plan_(plan), channels_(channels) {
    if (channels < 1 || channels > libdspaudio::k_history_channels)
        throw std::invalid_argument("the exact filter carries 1 to 10 channels, not " +
                                    std::to_string(channels));
    if (!plan.known_mode)
        throw std::invalid_argument("no filter mode " + std::to_string(plan.mode));
    dsp_.reset(new libdspaudio());
    if (!dsp_->filter_init(k_work_buffer)) throw std::bad_alloc();
    design_exact(*dsp_, plan_, a1_, b1_, a2_, b2_);
}

exact_filter::~exact_filter() = default;

void exact_filter::process_planar(float* const* channel_data, long frames) {
    if (plan_.bypass) return;
    const exact_sections s = sections();
    for (long done = 0; done < frames; done += k_block) {
        const int n = static_cast<int>(std::min<long>(k_block, frames - done));
        for (int c = 0; c < channels_; ++c) {
            float* samples = channel_data[c] + done;
            std::copy_n(filter_exact_channel(*dsp_, s, samples, n, c), n, samples);
        }
    }
}

void exact_filter::reset() {
    // Clears the histories in place: a host may reset from its real-time thread.
    std::fill_n(&dsp_->filter_state[0], libdspaudio::k_history_channels,
                libdspaudio::channel_history{});
}

void exact_filter::retune(const section_plan& plan) noexcept {
    if (!same_layout(plan, plan_)) {
        // Entries a design of the new layout leaves alone must not keep the old values.
        std::fill(std::begin(a1_), std::end(a1_), 0.0f);
        std::fill(std::begin(b1_), std::end(b1_), 0.0f);
        std::fill(std::begin(a2_), std::end(a2_), 0.0f);
        std::fill(std::begin(b2_), std::end(b2_), 0.0f);
        reset();
    }
    plan_ = plan;
    design_exact(*dsp_, plan_, a1_, b1_, a2_, b2_);
}

} // namespace ns_filter_engine
