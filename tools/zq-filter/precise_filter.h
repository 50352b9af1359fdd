// The Butterworth design run in zq-filter itself (the component computes only its own).
#pragma once

#include "settings.h"

#include <files/stream_filter.h>

#include <memory>

namespace zq_tool {

// Reads the settings through `settings` with the Butterworth design's bounds at
// `sample_rate`; throws file_error(usage) for a refused setting or order, file_error(input)
// for a channel count the filter refuses.
std::unique_ptr<ns_audio_files::stream_filter>
precise_filter_for(int channels, double sample_rate, int order, checked_configuration& settings);

} // namespace zq_tool
