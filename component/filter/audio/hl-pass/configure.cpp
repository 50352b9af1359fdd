#include "pass_filter.h"

#include <engine/filter_engine>

#include <cstdio>

namespace ns_hl_pass {

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
    const ns_filter_engine::cutoff_bounds bounds = ns_filter_engine::bounds_at(rate);
    const float high_fraction = ns_filter_engine::high_fraction_of(
        config.getFloat("hFrequency", ns_filter_engine::k_default_high_hz, bounds.high_min_hz,
                        bounds.high_max_hz),
        rate);
    const float low_fraction = ns_filter_engine::low_fraction_of(
        config.getFloat("lFrequency", ns_filter_engine::k_default_low_khz, bounds.low_min_khz,
                        bounds.low_max_khz),
        rate);

    std::printf("fracts are %f and %f \n", double{high_fraction}, double{low_fraction});
    design(mode, high_fraction, low_fraction);

    dsp->filter_init(2000);
    status.state = k_state_configured;
    return 0;
}

void pass_filter::design(int mode, float high_fraction, float low_fraction) {
    const ns_filter_engine::section_plan plan =
        ns_filter_engine::plan_sections(mode, high_fraction, low_fraction);
    if (plan.band_fallback)
        std::printf("cheating because fracts were %f and %f \n", double{high_fraction},
                    double{low_fraction});
    if (!plan.known_mode) {
        two_stage = false;
        std::printf("This was not supposed to happen.\n\n\n\n\n\n\n\n\n   Damn.");
        return;
    }
    if (plan.bypass) bypass = true;
    two_stage = plan.two_stage;
    order = plan.order;
    ns_filter_engine::design_exact(*dsp, plan, a1, b1, a2, b2);
}

} // namespace ns_hl_pass
