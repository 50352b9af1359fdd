#include "pass_filter.h"

#include <channel/audio_channel>
#include <dsp/arma_lanes.h>
#include <engine/filter_engine>

#include <algorithm>
#include <memory>

namespace ns_hl_pass {

namespace {
// Planar scratch size that covers small frames without a second allocation.
constexpr std::size_t k_min_scratch_samples = 1000;
} // namespace

float* pass_filter::filter_channel(const float* samples, int count, int channel) {
    return ns_filter_engine::filter_exact_channel(*dsp, {two_stage, order, a1, b1, a2, b2}, samples,
                                                  count, channel);
}

bool pass_filter::process() {
    const ZQ::RPtr<ZQ::CM::RQFrameReader> input = inputReader(0);
    const ZQ::RPtr<ZQ::CM::RQFrameWriter> output = outputWriter(0);
    // A frame taken with nowhere to go would be lost; leave it queued.
    if (!output) return false;
    if (bypass) {
        const ZQ::RPtr<ZQ::CM::RFrame> frame = input ? input->nextFrame() : nullptr;
        if (frame) output->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
        return true;
    }
    // Without a configured stream there is nothing to filter with; leave the frame queued.
    if (channels < 1 || !input) return false;
    const ZQ::RPtr<ZQ::CM::RFrame> frame = input->nextFrame();
    if (!frame) return false;
    if (designed) filter_in_place(*frame);
    output->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
    return true;
}

void pass_filter::filter_in_place(ZQ::CM::RFrame& frame) {
    float* samples = reinterpret_cast<float*>(frame.getPayload());
    const uint32_t sample_count = frame.getPayloadSize() >> 2;
    const int frames = static_cast<int>(sample_count / static_cast<uint32_t>(channels));

    if (channels == 1) {
        const float* filtered = filter_channel(samples, frames, 0);
        // copy_n, unlike memcpy, is defined for the null payload of an empty frame.
        std::copy_n(filtered, frames, samples);
    } else if (!ns_audio_dsp::arma_filter_lanes(*dsp, {two_stage, order, a1, b1, a2, b2}, samples,
                                                frames, channels)) {
        // The literal path: de-interleave, filter channel by channel, interleave back, which
        // the lanes reproduce bit for bit without the scratch pair.
        const std::size_t scratch = std::max<std::size_t>(k_min_scratch_samples, sample_count);
        // Every entry that is read is written first, so the scratch is left uninitialised.
        const std::unique_ptr<float[]> planar_in(new float[scratch]);
        const std::unique_ptr<float[]> planar_out(new float[scratch]);
        ns_audio_channel::audio_channel_api::deinterleave(channels, frames, samples,
                                                          planar_in.get());
        for (int c = 0; c < channels; ++c) {
            const std::size_t offset = static_cast<std::size_t>(c) * frames;
            const float* filtered = filter_channel(planar_in.get() + offset, frames, c);
            std::copy_n(filtered, frames, planar_out.get() + offset);
        }
        ns_audio_channel::audio_channel_api::interleave(channels, frames, planar_out.get(),
                                                        samples);
    }
}

} // namespace ns_hl_pass
