#include <dsp/arma_lanes.h>

#include "detail/direct_form.h"
#include "lanes/paths.h"

#include <primitives/simd/dispatch.h>

#include <atomic>
#include <cstring>
#include <initializer_list>

namespace ns_audio_dsp {

namespace {

using lanes_function = void (*)(const lanes::request&);
using ns_primitives::instruction_set;

constexpr ns_primitives::simd::kernel_table<lanes_function> k_lane_kernels = {
    {lanes::filter_scalar, ZQ_SIMD_SSE2(lanes::filter_sse2), ZQ_SIMD_AVX(lanes::filter_avx),
     ZQ_SIMD_NEON(lanes::filter_neon), ZQ_SIMD_AVX512(lanes::filter_avx512)}};

// Every path but the literal one runs the lanes on one instruction set, listed after literal in
// instruction_set's order.
constexpr instruction_set set_of(lane_path path) {
    return static_cast<instruction_set>(static_cast<int>(path) - 1);
}
constexpr lane_path path_of(instruction_set set) {
    return static_cast<lane_path>(static_cast<int>(set) + 1);
}
static_assert(set_of(lane_path::scalar) == instruction_set::scalar &&
              set_of(lane_path::sse2) == instruction_set::sse2 &&
              set_of(lane_path::avx) == instruction_set::avx &&
              set_of(lane_path::neon) == instruction_set::neon &&
              set_of(lane_path::avx512) == instruction_set::avx512);

lanes_function path_function(lane_path path) {
    return path == lane_path::literal ? nullptr : k_lane_kernels.on(set_of(path));
}

// Without a vector path the literal one: the scalar emulation of the lanes computes every lane
// of its vectors one after the other, which measured slower than channel by channel in stereo.
lane_path fastest_path() {
    const instruction_set fastest = k_lane_kernels.fastest();
    return fastest == instruction_set::scalar ? lane_path::literal : path_of(fastest);
}

// The process-wide choice, the fastest path until lane_path_select says otherwise.
std::atomic<lane_path>& chosen_path() {
    static std::atomic<lane_path> chosen{fastest_path()};
    return chosen;
}

bool accepted(const arma_sections& s, int channels) {
    const int most = s.two_stage ? detail::k_cascade_max_order : detail::k_direct_form_max_order;
    return s.order >= 1 && s.order <= most && channels >= 1;
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
    return path == lane_path::literal ? "literal"
                                      : ns_primitives::instruction_set_name(set_of(path));
}

bool lane_path_named(const char* name, lane_path& path) {
    for (const lane_path candidate : {lane_path::literal, lane_path::scalar, lane_path::sse2,
                                      lane_path::avx, lane_path::neon, lane_path::avx512})
        if (std::strcmp(name, lane_path_name(candidate)) == 0) {
            path = candidate;
            return true;
        }
    return false;
}

bool arma_filter_lanes(libdspaudio::channel_history* histories, const arma_sections& sections,
                       float* samples, int frames, int channels, lane_path path) {
    const lanes_function filter = path_function(path);
    if (filter == nullptr || !accepted(sections, channels)) return false;
    if (frames > 0) filter({sections, histories, samples, frames, channels});
    return true;
}

bool arma_filter_lanes(libdspaudio& dsp, const arma_sections& sections, float* samples, int frames,
                       int channels, lane_path path) {
    return channels <= libdspaudio::k_history_channels &&
           arma_filter_lanes(dsp.filter_state, sections, samples, frames, channels, path);
}

} // namespace ns_audio_dsp
