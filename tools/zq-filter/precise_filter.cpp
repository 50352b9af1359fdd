#include "precise_filter.h"

#include <files/engine_filter.h>

namespace zq_tool {

using ns_filter_engine::engine_settings;
using ns_filter_engine::realization;

std::unique_ptr<ns_audio_files::stream_filter>
precise_filter_for(int channels, double sample_rate, int order, checked_configuration& settings) {
    engine_settings chosen;
    chosen.kind = realization::precise;
    chosen.precise_order = order;
    chosen.request =
        requested_filter(settings, ns_filter_engine::limits_for(realization::precise, sample_rate));
    return std::make_unique<ns_audio_files::engine_filter>(sample_rate, channels, chosen);
}

} // namespace zq_tool
