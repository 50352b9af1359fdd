#include "pass_filter.h"

#include <engine/filter_engine>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace ns_hl_pass {

namespace {

// The mode the two switches select. Values a host let through outside 0..1 may sum beyond
// int; every such sum is one impossible mode.
int mode_of(int high_pass, int low_pass) {
    const long long mode = low_pass + 2LL * high_pass;
    return static_cast<int>(std::clamp(mode, -1LL, 4LL));
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
    const int stream_channels = audio->getChannels();
    const double rate = audio->getSampleRate();
    if (stream_channels < 1 || stream_channels > k_max_channels ||
        !ns_filter_engine::usable_rate(rate))
        return -1;

    // Everything that may throw (allocation, the host's getters) comes before the component
    // changes: a throw leaves it filtering as it did.
    std::unique_ptr<ns_audio_dsp::libdspaudio, dsp_release> fresh(new ns_audio_dsp::libdspaudio());
    const int high_pass = config.getInt("hPass", 0, 0, 1);
    const int mode = mode_of(high_pass, config.getInt("lPass", 0, 0, 1));
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
