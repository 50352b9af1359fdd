// pass_filter — the "zq.filter.audio.hl-pass" component: Butterworth high-pass, low-pass or
// band-pass filtering of interleaved 32-bit float audio, carried from frame to frame.
//
// Settings, read by configure in this order (engine/component_settings.h):
//   "hPass"      int   0..1, default 0     switches the high-pass on
//   "lPass"      int   0..1, default 0     switches the low-pass on
//   "hFrequency" float Hz, 50 .. trunc(0.45 * rate), default 100    high-pass cut-off
//   "lFrequency" float kHz, 0.2 .. 0.00045 * rate, default 4       low-pass cut-off (kHz!)
// The component relies on the host to keep settings inside those bounds. A host that lets a
// switch outside 0..1 through gets the message "This was not supposed to happen." and no new
// design: the component restarts its histories and filters with the last design it made, as
// one section, or passes frames through unchanged when it never made one.
//
// Streams: format code 4 (interleaved float) only, 1 to 10 channels (the DSP library carries
// filter history for 10), and a rate that is a positive number of Hz with 0.45 x rate inside
// int. configure refuses anything else with -1; the description has still been handed to the
// output and the format code is remembered, everything else stays as it was. A getter that
// throws inside configure leaves the component filtering as it did before. When the filter's
// work buffers cannot be had, configure returns -1 after its printed lines and leaves no stream
// configured (state 0), ready to be configured again.
//
// Kept as the component has always behaved, though it surprises: bypass, once a configuration
// without filters has set it, stays on through later configurations until componentWillReset.
//
// process() takes at most one frame per call and filters it in place. Outside bypass it
// returns false when no frame waits, and also while no stream is configured (then it takes
// no frame). Without output writer 0 it takes no frame and returns false. Trailing bytes that
// make no whole sample (frames of any channel count) or no whole frame (several channels) are
// left as they were. Frames of several channels are filtered with the channels side by side in
// vector lanes, straight in the payload (dsp/arma_lanes.h); on the literal path they are
// filtered channel by channel through one pair of scratch allocations per call. Both give the
// same samples and histories, bit for bit, except the payload bits of NaNs: a sample is NaN on
// one path exactly when it is NaN on the other.
#pragma once

#include <dsp/libdspaudio>
#include <lib/cm/CMComponent>

#include <cstdint>

namespace ns_hl_pass {

class pass_filter : public ZQ::CM::RFilter {
public:
    static constexpr int32_t k_state_created = 0;
    static constexpr int32_t k_state_configured = 2;
    static constexpr int k_max_channels = ns_audio_dsp::libdspaudio::k_history_channels;

    pass_filter();
    ~pass_filter() override;

    ZQ::CM::CComponentStatus getStatus() override;
    int componentWillReset() override;
    bool process() override;
    void flush() override;
    int configure(ZQ::CM::RFilterConfiguration& config) override;

    // The fields are public so that tests can inspect what configure decided; hosts only see
    // the component through its base classes.
    ns_audio_dsp::libdspaudio* dsp = nullptr;
    ZQ::CM::CComponentStatus status;
    uint32_t status_word_3 = 0;
    uint32_t status_word_2 = 0;
    bool bypass = false;
    bool two_stage = false;
    int32_t format = 0;
    int32_t channels = 0;
    float a1[9] = {};
    float b1[9] = {};
    float a2[5] = {};
    float b2[5] = {};
    int32_t order = 0;

private:
    struct dsp_release {
        void operator()(ns_audio_dsp::libdspaudio* library) const;
    };
    void release_dsp();
    void design(ns_audio_dsp::libdspaudio& designer, int mode, float high_fraction,
                float low_fraction);
    void filter_in_place(ZQ::CM::RFrame& frame);
    float* filter_channel(const float* samples, int count, int channel);

    bool designed = false; // false until a design is made: frames pass through
};

} // namespace ns_hl_pass
