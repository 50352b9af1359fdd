// Requests by their cut-offs, and the modes of the exact filter at 48 kHz with the sections
// the component runs for each: one table that the engine and the component are both held to.
#pragma once

#include "reference.h"

#include <engine/section_plan.h>

#include <vector>

namespace zq_test {

constexpr double k_mode_rate = 48000.0;
using design = section_design;

// Cut-offs in Hz, 0 for a side switched off.
inline ns_filter_engine::filter_request asked(float high_hz, float low_hz) {
    return {high_hz > 0, high_hz, low_hz > 0, low_hz};
}

struct mode_case {
    const char* name;
    ns_filter_engine::filter_request request;
    section_design first, second;
};

// A high-pass alone splits below 720 Hz (720 / 48000 is 0.015 exactly, but its float,
// 0.0149999997, is below the threshold), a band's high-pass below 480 Hz, and a band whose both
// edges lie below 240 Hz runs as its low-pass.
inline const mode_case k_exact_modes[] = {
    {"bypass", asked(0, 0), design::none, design::none},
    {"low-pass", asked(0, 4000), design::low4, design::none},
    {"high-pass", asked(1000, 0), design::high4, design::none},
    {"low high-pass", asked(500, 0), design::high2, design::high2},
    {"high-pass at 720 Hz", asked(720, 0), design::high2, design::high2},
    {"high-pass at 721 Hz", asked(721, 0), design::high4, design::none},
    {"band", asked(1000, 4000), design::high4, design::low4},
    {"band, low high-pass", asked(300, 4000), design::high2, design::low4},
    {"band below 240 Hz", asked(100, 200), design::low4, design::none},
};

// Each channel of `interleaved` designed and filtered in one call of the library's recursions,
// at the cut-offs the component reads for the case's request.
inline std::vector<float> filtered_by_library(const mode_case& mode,
                                              const std::vector<float>& interleaved, int channels) {
    const float high = static_cast<float>(mode.request.high_hz / k_mode_rate);
    const float low = static_cast<float>(
        double{1000.0f * ns_filter_engine::khz_from_hz(mode.request.low_hz)} / k_mode_rate);
    return filtered_as_designed(mode.first, mode.second, high, low, interleaved, channels);
}

} // namespace zq_test
