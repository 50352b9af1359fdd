#include "precise_filter.h"

#include "precise_lanes/paths.h"

#include <dsp/arma_lanes.h>
#include <primitives/simd/dispatch.h>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <stdexcept>

namespace ns_filter_engine {

namespace {

using complex = std::complex<double>;
using ns_primitives::instruction_set;
namespace simd = ns_primitives::simd;

// The bilinear transform is taken at a sample rate of 2 (as scipy does), so s = 4 (1 - z^-1) /
// (1 + z^-1) and the analog cut-off that lands on the digital one is 4 tan(pi f / rate).
constexpr double k_two_rate = 4.0;

// Left-half-plane pole m (0-based) of the analog Butterworth prototype of `order`, in order of
// growing quality factor: pole m lies at angle pi (2m + 1) / (2 order) from the negative real
// axis, so the last pair sits closest to the unit circle once transformed.
complex prototype_pole(int order, int m) {
    return -std::polar(1.0, M_PI * (2 * m + 1) / (2.0 * order));
}

// While it lives, this thread's floating-point unit flushes subnormal results to zero and reads
// subnormal operands as zero (x86-64: MXCSR FTZ and DAZ; 64-bit ARM: FPCR.FZ); the previous
// mode comes back at its end. Elsewhere it changes nothing.
class subnormals_flushed {
public:
#if defined(__SSE2__)
    subnormals_flushed() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | k_ftz_daz);
    }
    ~subnormals_flushed() {
        _mm_setcsr(saved_);
    }

private:
    static constexpr unsigned k_ftz_daz = 0x8040;
    unsigned saved_;
#elif defined(__aarch64__)
    subnormals_flushed() : saved_(fpcr()) {
        set_fpcr(saved_ | k_fz);
    }
    ~subnormals_flushed() {
        set_fpcr(saved_);
    }

private:
    static constexpr std::uint64_t k_fz = std::uint64_t{1} << 24;
    static std::uint64_t fpcr() {
        std::uint64_t value;
        __asm__ volatile("mrs %0, fpcr" : "=r"(value));
        return value;
    }
    static void set_fpcr(std::uint64_t value) {
        __asm__ volatile("msr fpcr, %0" : : "r"(value));
    }
    std::uint64_t saved_;
#endif
public:
    subnormals_flushed(const subnormals_flushed&) = delete;
    subnormals_flushed& operator=(const subnormals_flushed&) = delete;
};

template <typename sample>
constexpr simd::kernel_table<precise_lanes::kernel<sample>> k_kernels = {
    {precise_lanes::filter_scalar, ZQ_SIMD_SSE2(precise_lanes::filter_sse2),
     ZQ_SIMD_AVX(precise_lanes::filter_avx), ZQ_SIMD_NEON(precise_lanes::filter_neon),
     ZQ_SIMD_AVX512(precise_lanes::filter_avx512)}};

// The fastest path, or the reference when the exact realization is held to its literal one:
// that choice, for tests and benchmarks, names the reference paths of both.
instruction_set default_path() {
    return ns_audio_dsp::lane_path_chosen() == ns_audio_dsp::lane_path::literal
               ? instruction_set::scalar
               : k_kernels<float>.fastest();
}

// butterworth_sections into order / 2 sections the caller provides, without allocating.
void design_butterworth(design_kind kind, int order, double cutoff_hz, double rate,
                        biquad* sections) noexcept {
    const double warped = k_two_rate * std::tan(M_PI * cutoff_hz / rate);
    const bool low = kind == design_kind::low_pass;
    // Numerator (1 + z^-1)^2: a low-pass's zeros at Nyquist; (1 - z^-1)^2: a high-pass's at DC.
    const double middle = low ? 2.0 : -2.0;
    // Each pole pair's share of the gain: the analog numerator factor over |4 - pole|^2.
    const double pair_numerator = low ? warped * warped : k_two_rate * k_two_rate;
    double gain = 1.0;
    for (int m = 0; m < order / 2; ++m) {
        const complex prototype = prototype_pole(order, m);
        const complex analog = low ? warped * prototype : warped / prototype;
        const complex pole = (k_two_rate + analog) / (k_two_rate - analog);
        gain *= pair_numerator / std::norm(k_two_rate - analog);
        sections[m] = {1.0, middle, 1.0, -2.0 * pole.real(), std::norm(pole)};
    }
    // The whole gain rides on the first section, as in scipy's layout.
    biquad& first = sections[0];
    first.b0 = gain;
    first.b1 = middle * gain;
    first.b2 = gain;
}

// How often a section may carry a gain (see precise_lanes::block): each side's first does, the
// others come out of design_butterworth with b0 = b2 = 1; 1 should any not.
int gain_period_of(const std::vector<biquad>& sections, int per_side) {
    for (std::size_t k = 0; k < sections.size(); ++k) {
        const biquad& q = sections[k];
        if (k % static_cast<std::size_t>(per_side) != 0 && !(q.b0 == 1.0 && q.b2 == 1.0)) return 1;
    }
    return per_side;
}

} // namespace

std::vector<biquad> butterworth_sections(design_kind kind, int order, double cutoff_hz,
                                         double rate) {
    if (order < 2 || order % 2 != 0)
        throw std::invalid_argument("a Butterworth section chain needs an even order");
    if (!(cutoff_hz > 0.0 && cutoff_hz < rate / 2.0))
        throw std::invalid_argument("the cut-off must lie between 0 and half the sample rate");
    std::vector<biquad> sections(static_cast<std::size_t>(order / 2));
    design_butterworth(kind, order, cutoff_hz, rate, sections.data());
    return sections;
}

precise_filter::precise_filter(double rate, int channels, const filter_request& request, int order,
                               bool flush_subnormals)
    : rate_(rate), channels_(channels), order_(order), flush_subnormals_(flush_subnormals),
      path_(default_path()) {
    // Room for both sides, so that retune never allocates.
    sections_.reserve(static_cast<std::size_t>(order));
    state_.reserve(2 * static_cast<std::size_t>(order) * static_cast<std::size_t>(channels));
    design(request);
    state_.assign(2 * sections_.size() * static_cast<std::size_t>(channels), 0.0);
}

void precise_filter::design(const filter_request& request) noexcept {
    high_pass_ = request.high_pass;
    low_pass_ = request.low_pass;
    sections_.clear();
    const auto add = [this](design_kind kind, double cutoff_hz) {
        const std::size_t first = sections_.size();
        sections_.resize(first + static_cast<std::size_t>(order_ / 2));
        design_butterworth(kind, order_, cutoff_hz, rate_, &sections_[first]);
    };
    if (high_pass_) add(design_kind::high_pass, request.high_hz);
    if (low_pass_) add(design_kind::low_pass, request.low_hz);
    gain_period_ = gain_period_of(sections_, order_ / 2);
}

void precise_filter::retune(const filter_request& request) noexcept {
    const bool same_sides = request.high_pass == high_pass_ && request.low_pass == low_pass_;
    design(request);
    if (same_sides) return;
    // Each channel's state is laid out section by section, and the sections are others now.
    state_.resize(2 * sections_.size() * static_cast<std::size_t>(channels_));
    reset();
}

void precise_filter::process_planar(float* const* channel_data, long frames) {
    filter(channel_data, static_cast<float*>(nullptr), 1, frames);
}

void precise_filter::process_interleaved(double* samples, long frames) {
    filter(static_cast<double* const*>(nullptr), samples, channels_, frames);
}

void precise_filter::process_interleaved(float* samples, long frames) {
    filter(static_cast<float* const*>(nullptr), samples, channels_, frames);
}

// Kept out of line, so that none of its arithmetic can move across the mode changes of
// filter.
bool precise_filter::use_path(instruction_set set) {
    if (k_kernels<float>.on(set) == nullptr) return false;
    path_ = set;
    return true;
}

template <typename sample>
void precise_filter::filter(sample* const* planes, sample* interleaved, long stride, long frames) {
    if (!flush_subnormals_) return run(planes, interleaved, stride, frames);
    const subnormals_flushed scope;
    run(planes, interleaved, stride, frames);
}

// Kept out of line, so that none of its arithmetic can move across the mode changes of
// filter.
template <typename sample>
__attribute__((noinline)) void precise_filter::run(sample* const* planes, sample* interleaved,
                                                   long stride, long frames) {
    // Neither side: the samples pass unchanged (a float through double and back is itself).
    if (sections_.empty()) return;
    k_kernels<sample>.on(path_)({sections_.data(), static_cast<int>(sections_.size()), gain_period_,
                                 state_.data(), planes, interleaved, stride, channels_, frames});
}

void precise_filter::reset() {
    std::fill(state_.begin(), state_.end(), 0.0);
}

void precise_filter::save_history(history& into) const {
    into.state.reserve(state_.capacity());
    into.state.assign(state_.begin(), state_.end());
    into.high_pass = high_pass_;
    into.low_pass = low_pass_;
}

void precise_filter::restore_history(const history& from) noexcept {
    const bool same_sections = from.high_pass == high_pass_ && from.low_pass == low_pass_ &&
                               from.state.size() == state_.size();
    if (!same_sections) return reset();
    std::copy(from.state.begin(), from.state.end(), state_.begin());
}

} // namespace ns_filter_engine
