#include <dsp/arma_lanes.h>

#include "detail/direct_form.h"
#include "lanes/paths.h"

#include <atomic>
#include <cstring>
#include <initializer_list>

namespace ns_audio_dsp {

namespace {

using lanes_function = void (*)(const lanes::request&);

lanes_function path_function(lane_path path) {
    switch (path) {
    case lane_path::literal:
        return nullptr;
    case lane_path::scalar:
        return lanes::filter_scalar;
    case lane_path::sse2:
#if defined(ZQ_SIMD_HAS_SSE2)
        return lanes::filter_sse2;
#else
        return nullptr;
#endif
    case lane_path::avx:
#if defined(ZQ_SIMD_HAS_AVX)
        return ns_primitives::simd::processor_has_avx() ? lanes::filter_avx : nullptr;
#else
        return nullptr;
#endif
    case lane_path::neon:
#if defined(ZQ_SIMD_HAS_NEON)
        return lanes::filter_neon;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

constexpr lane_path k_vector_paths[] = {lane_path::avx, lane_path::neon, lane_path::sse2};

// Without a vector path the literal one: the scalar emulation of the lanes computes every lane
// of its vectors one after the other, which measured slower than channel by channel in stereo.
lane_path fastest_path() {
    for (const lane_path path : k_vector_paths)
        if (lane_path_supported(path)) return path;
    return lane_path::literal;
}

// The process-wide choice, the fastest path until lane_path_select says otherwise.
std::atomic<lane_path>& chosen_path() {
    static std::atomic<lane_path> chosen{fastest_path()};
    return chosen;
}

bool accepted(const arma_sections& s, int channels) {
    const int most = s.two_stage ? detail::k_cascade_max_order : detail::k_direct_form_max_order;
    return s.order >= 1 && s.order <= most && channels >= 1 &&
           channels <= libdspaudio::k_history_channels;
}

} // namespace

bool lane_path_supported(lane_path path) {
    return path == lane_path::literal || path_function(path) != nullptr;
}

lane_path lane_path_chosen() {
    return chosen_path().load(std::memory_order_relaxed);
}

bool lane_path_select(lane_path path) {
    if (!lane_path_supported(path)) return false;
    chosen_path().store(path, std::memory_order_relaxed);
    return true;
}

const char* lane_path_name(lane_path path) {
    switch (path) {
    case lane_path::literal:
        return "literal";
    case lane_path::scalar:
        return "scalar";
    case lane_path::sse2:
        return "sse2";
    case lane_path::avx:
        return "avx";
    case lane_path::neon:
        return "neon";
    }
    return "unknown";
}

bool lane_path_named(const char* name, lane_path& path) {
    for (const lane_path candidate :
         {lane_path::literal, lane_path::scalar, lane_path::sse2, lane_path::avx, lane_path::neon})
        if (std::strcmp(name, lane_path_name(candidate)) == 0) {
            path = candidate;
            return true;
        }
    return false;
}

bool arma_filter_lanes(libdspaudio& dsp, const arma_sections& sections, float* samples, int frames,
                       int channels, lane_path path) {
    const lanes_function filter = path_function(path);
    if (filter == nullptr || !accepted(sections, channels)) return false;
    if (frames > 0) filter({sections, dsp.filter_state, samples, frames, channels});
    return true;
}

} // namespace ns_audio_dsp
