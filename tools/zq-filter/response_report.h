// zq-filter --response: what the settings do, the realization that runs first and the other
// beside it, without audio.
#pragma once

#include <engine/filter_engine>

#include <cstdio>

namespace zq_tool {

// The -3 dB points, the gain at a handful of frequencies, the slopes and the soundness
// verdict, as an aligned table.
void print_response_table(std::FILE* out, double sample_rate,
                          const ns_filter_engine::filter_request& request, int precise_order,
                          ns_filter_engine::realization runs);

// frequency_hz and the two realizations' levels in dB, the one that runs first, at 200 log-spaced
// frequencies from 10 Hz to half the rate.
void print_response_csv(std::FILE* out, double sample_rate,
                        const ns_filter_engine::filter_request& request, int precise_order,
                        ns_filter_engine::realization runs);

} // namespace zq_tool
