// The precise realization run in zq-filter itself (the component computes only the exact one).
#pragma once

#include "settings.h"
#include "stream_filter.h"

#include <engine/filter_engine>

#include <vector>

namespace zq_tool {

class precise_session final : public stream_filter {
public:
    // Reads the settings through `settings` with the precise bounds at `sample_rate`; throws
    // tool_error(usage) for a refused setting or order, tool_error(input) for a channel count
    // the filter refuses.
    precise_session(int channels, double sample_rate, int order, checked_configuration& settings);

    void filter(const float* interleaved, long frames, const sink& output) override;
    void finish(const sink&) override {}

private:
    ns_filter_engine::filter_engine engine_;
    std::vector<float> block_;
};

} // namespace zq_tool
