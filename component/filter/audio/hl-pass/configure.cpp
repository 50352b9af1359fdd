#include "pass_filter.h"

#include <cstdio>

namespace ns_hl_pass {

namespace {

enum filter_mode { mode_bypass = 0, mode_low_pass = 1, mode_high_pass = 2, mode_band_pass = 3 };

// Below these fractions of the sample rate a fourth-order high-pass in single precision is
// too close to instability, so it is split into two second-order sections.
constexpr double k_split_high_pass_below = 0.015;
constexpr double k_split_band_high_section_below = 0.01;
// A band whose both edges sit this low is run as a plain low-pass.
constexpr double k_band_needs_fraction = 0.005;

float high_fraction_of(float hz, double rate) {
    return static_cast<float>(double{hz} / rate);
}

float low_fraction_of(float khz, double rate) {
    const float hz = 1000.0f * khz;
    return static_cast<float>(double{hz} / rate);
}

} // namespace

int pass_filter::configure(ZQ::CM::RFilterConfiguration& config) {
    using ZQ::CM::RAudioDescription;
    const ZQ::RPtr<ZQ::CM::RQFrameReader> input = inputReader(0);
    const ZQ::RPtr<ZQ::CM::RQFrameWriter> output = outputWriter(0);
    if (!input || !output) return -1;
    const ZQ::RPtr<const ZQ::CM::RDescription> description = input->getDescription();
    output->setDescription(description);
    const auto* audio = dynamic_cast<const RAudioDescription*>(description.get());
    if (!audio) return -1;
    format = audio->getFormat();
    if (format != RAudioDescription::kFormatInterleavedFloat32) return -1;
    if (audio->getChannels() < 1 || audio->getChannels() > k_max_channels) return -1;
    channels = audio->getChannels();

    release_dsp();
    dsp = new ns_audio_dsp::libdspaudio();

    const int mode = config.getInt("lPass", 0, 0, 1) + 2 * config.getInt("hPass", 0, 0, 1);
    const double rate = audio->getSampleRate();
    const float highest_hz = static_cast<float>(static_cast<int>(rate * 0.45));
    const float high_fraction =
        high_fraction_of(config.getFloat("hFrequency", 100.0f, 50.0f, highest_hz), rate);
    const float highest_khz = static_cast<float>(rate * 0.00045);
    const float low_fraction =
        low_fraction_of(config.getFloat("lFrequency", 4.0f, 0.2f, highest_khz), rate);

    std::printf("fracts are %f and %f \n", double{high_fraction}, double{low_fraction});
    design(mode, high_fraction, low_fraction);

    dsp->filter_init(2000);
    status.state = k_state_configured;
    return 0;
}

void pass_filter::design(int mode, float high_fraction, float low_fraction) {
    const double high = high_fraction;
    if (mode == mode_band_pass && !(high >= k_band_needs_fraction) &&
        !(double{low_fraction} >= k_band_needs_fraction)) {
        std::printf("cheating because fracts were %f and %f \n", high, double{low_fraction});
        mode = mode_low_pass;
    }
    switch (mode) {
    case mode_bypass:
    case mode_low_pass:
        if (mode == mode_bypass) bypass = true;
        two_stage = false;
        order = 4;
        dsp->butter_lp_design(low_fraction, 4, a1, b1);
        break;
    case mode_high_pass:
        if (high >= k_split_high_pass_below) {
            two_stage = false;
            order = 4;
            dsp->butter_hp_design(high_fraction, 4, a1, b1);
            dsp->butter_hp_design(high_fraction, 4, a2, b2);
        } else {
            two_stage = true;
            order = 2;
            dsp->butter_hp_design(high_fraction, 2, a1, b1);
            dsp->butter_hp_design(high_fraction, 2, a2, b2);
        }
        break;
    case mode_band_pass:
        two_stage = true;
        order = 4;
        if (high >= k_split_band_high_section_below) {
            dsp->butter_hp_design(high_fraction, 4, a1, b1);
        } else {
            // A second-order section run at order 4: its two highest coefficients are zero.
            a1[3] = a1[4] = b1[3] = b1[4] = 0.0f;
            dsp->butter_hp_design(high_fraction, 2, a1, b1);
        }
        dsp->butter_lp_design(low_fraction, 4, a2, b2);
        break;
    default:
        two_stage = false;
        std::printf("This was not supposed to happen.\n\n\n\n\n\n\n\n\n   Damn.");
        break;
    }
}

} // namespace ns_hl_pass
