// The filter engine run over a file: each block filtered in place, the history carried on.
#pragma once

#include "stream_filter.h"

#include <engine/filter_engine>

namespace ns_audio_files {

// Throws file_error(input) for a channel count the filter does not take.
void require_filter_channels(int channels);

class engine_filter final : public stream_filter {
public:
    // Throws file_error(input) for a channel count require_filter_channels refuses, and
    // file_error(usage) with the engine's reason when it refuses the settings.
    engine_filter(double sample_rate, int channels,
                  const ns_filter_engine::engine_settings& chosen);

    void filter(float* interleaved, long frames, const sink& output) override;
    void finish(const sink&) override {}

private:
    ns_filter_engine::filter_engine engine_;
};

} // namespace ns_audio_files
