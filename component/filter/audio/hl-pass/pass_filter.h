// pass_filter — the "zq.filter.audio.hl-pass" component: Butterworth high-pass, low-pass or
// band-pass filtering of interleaved 32-bit float audio, carried from frame to frame.
//
// Settings (read by configure):
//   "hPass"      int   0..1, default 0     switches the high-pass on
//   "lPass"      int   0..1, default 0     switches the low-pass on
//   "hFrequency" float Hz, 50 .. trunc(0.45 * rate), default 100    high-pass cut-off
//   "lFrequency" float kHz, 0.2 .. 0.00045 * rate, default 4       low-pass cut-off (kHz!)
// The component relies on the host to keep settings inside those bounds.
//
// Streams: format code 4 (interleaved float) only, and 1 to 10 channels: the DSP library
// carries filter history for 10 channels, so configure refuses 0 or more than 10 channels
// with -1 and leaves the component exactly as it was (the description has still been handed
// to the output, as for a refused format).
//
// process() takes at most one frame per call and filters it in place. Outside bypass it
// returns false when no frame waits, and also while no stream is configured (then it takes
// no frame). Frames of several channels are filtered with the channels side by side in vector
// lanes, straight in the payload (dsp/arma_lanes.h); with ZQ_FILTER_LANES=0 they are filtered
// channel by channel through one pair of scratch allocations per call. Both give the same
// samples and histories, bit for bit.
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
    void release_dsp();
    void design(int mode, float high_fraction, float low_fraction);
    float* filter_channel(const float* samples, int count, int channel);
};

} // namespace ns_hl_pass
