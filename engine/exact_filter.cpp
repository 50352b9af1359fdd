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
    : plan_(plan), channels_(channels),
      lanes_(channels > 1 && ns_audio_dsp::lane_path_chosen() != ns_audio_dsp::lane_path::literal) {
    if (channels < 1)
        throw std::invalid_argument("the exact filter carries at least 1 channel, not " +
                                    std::to_string(channels));
    if (!plan.known_mode)
        throw std::invalid_argument("no filter mode " + std::to_string(plan.mode));
    dsp_.reset(new libdspaudio());
    if (!dsp_->filter_init(k_work_buffer)) throw std::bad_alloc();
    design_exact(*dsp_, plan_, a1_, b1_, a2_, b2_);
    if (lanes_) interleaved_.resize(static_cast<std::size_t>(channels) * k_block);
    if (channels > libdspaudio::k_history_channels)
        owned_histories_.resize(static_cast<std::size_t>(channels));
}

exact_filter::~exact_filter() = default;

exact_filter::channel_history* exact_filter::histories() noexcept {
    return owned_histories_.empty() ? dsp_->filter_state : owned_histories_.data();
}

float* exact_filter::filter_channel(const float* in, int n, int channel) {
    if (owned_histories_.empty()) return filter_exact_channel(*dsp_, sections(), in, n, channel);
    // The routines read histories from the library object only: the channel's own visits the
    // first slot for the call.
    channel_history& slot = dsp_->filter_state[0];
    slot = owned_histories_[channel];
    float* const out = filter_exact_channel(*dsp_, sections(), in, n, 0);
    owned_histories_[channel] = slot;
    return out;
}

void exact_filter::filter_lanes(float* frames, int count) {
    ns_audio_dsp::arma_filter_lanes(histories(), sections(), frames, count, channels_);
}

bool exact_filter::process_interleaved(float* samples, long frames) {
    if (!lanes_) return false;
    if (plan_.bypass) return true;
    for (long done = 0; done < frames; done += k_block)
        filter_lanes(samples + done * channels_,
                     static_cast<int>(std::min<long>(k_block, frames - done)));
    return true;
}

void exact_filter::process_planar(float* const* channel_data, long frames) {
    if (plan_.bypass) return;
    for (long done = 0; done < frames; done += k_block) {
        const int n = static_cast<int>(std::min<long>(k_block, frames - done));
        if (lanes_) {
            // Interleaved for the lanes and back: two cheap copies against the recursions.
            for (int c = 0; c < channels_; ++c)
                for (int f = 0; f < n; ++f)
                    interleaved_[f * channels_ + c] = channel_data[c][done + f];
            filter_lanes(interleaved_.data(), n);
            for (int c = 0; c < channels_; ++c)
                for (int f = 0; f < n; ++f)
                    channel_data[c][done + f] = interleaved_[f * channels_ + c];
            continue;
        }
        for (int c = 0; c < channels_; ++c) {
            float* samples = channel_data[c] + done;
            std::copy_n(filter_channel(samples, n, c), n, samples);
        }
    }
}

void exact_filter::reset() {
    // Clears the histories in place: a host may reset from its real-time thread.
    std::fill(std::begin(dsp_->filter_state), std::end(dsp_->filter_state), channel_history{});
    std::fill(owned_histories_.begin(), owned_histories_.end(), channel_history{});
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
