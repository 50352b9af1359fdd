#include "pass_filter.h"

#include <engine/filter_engine>

#include <cstdio>
#include <memory>

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
    const int stream_channels = audio->getChannels();
    const double rate = audio->getSampleRate();
    if (stream_channels < 1 || stream_channels > k_max_channels ||
        !ns_filter_engine::usable_rate(rate))
        return -1;

    // Everything that may throw (allocation, the host's getters) comes before the component
    // changes: a throw leaves it filtering as it did.
    std::unique_ptr<ns_audio_dsp::libdspaudio, dsp_release> fresh(new ns_audio_dsp::libdspaudio());
    const ns_filter_engine::component_settings read =
        ns_filter_engine::read_component_settings(config, ns_filter_engine::bounds_at(rate));
    const int mode = ns_filter_engine::mode_of(read.high_pass, read.low_pass);
    const float high_fraction = ns_filter_engine::high_fraction_of(read.high_hz, rate);
    const float low_fraction = ns_filter_engine::low_fraction_of(read.low_khz, rate);

    std::printf("fracts are %f and %f \n", double{high_fraction}, double{low_fraction});
    design(*fresh, mode, high_fraction, low_fraction);
    release_dsp();
    if (!fresh->filter_init(2000)) {
        // Without work buffers there is nothing to filter with: no stream stays configured.
        channels = 0;
        status.state = k_state_created;
        return -1;
    }
    dsp = fresh.release();
    channels = stream_channels;
    status.state = k_state_configured;
    return 0;
}

void pass_filter::design(ns_audio_dsp::libdspaudio& designer, int mode, float high_fraction,
                         float low_fraction) {
    const ns_filter_engine::section_plan plan =
        ns_filter_engine::plan_sections(mode, high_fraction, low_fraction);
    if (plan.band_fallback)
        std::printf("cheating because fracts were %f and %f \n", double{high_fraction},
                    double{low_fraction});
    if (!plan.known_mode) {
        // No new design: the last one made, if any, filters on as one section.
        two_stage = false;
        std::printf("This was not supposed to happen.\n\n\n\n\n\n\n\n\n   Damn.");
        return;
    }
    if (plan.bypass) bypass = true;
    designed = true;
    two_stage = plan.two_stage;
    order = plan.order;
    ns_filter_engine::design_exact(designer, plan, a1, b1, a2, b2);
}

} // namespace ns_hl_pass
