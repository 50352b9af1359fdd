#include <primitives/finite_samples.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace ns_primitives {

namespace {

// In integer arithmetic, so that the compiler checks a vector of samples at once: an exponent
// field plus one carries into the sign bit only when the field is all ones, as for infinities
// and NaNs.
template <bool copy, typename sample>
bool finite_pass(const sample* samples, sample* out, std::size_t count) {
    using word =
        std::conditional_t<sizeof(sample) == sizeof(std::uint64_t), std::uint64_t, std::uint32_t>;
    static_assert(sizeof(word) == sizeof(sample));
    constexpr word exponent_one = word{1} << (std::numeric_limits<sample>::digits - 1);
    constexpr word exponent = (~word{0} >> 1) & ~(exponent_one - 1);
    word carries = 0;
    for (std::size_t k = 0; k < count; ++k) {
        word bits;
        std::memcpy(&bits, samples + k, sizeof bits);
        if constexpr (copy) std::memcpy(out + k, &bits, sizeof bits);
        carries |= (bits & exponent) + exponent_one;
    }
    return (carries >> (8 * sizeof(word) - 1)) == 0;
}

// The vector pass first: a search that stops at the first bad sample is not vectorised, and
// nearly always finds none.
template <typename sample>
std::size_t first_bad(const sample* samples, std::size_t count) {
    if (finite_pass<false>(samples, static_cast<sample*>(nullptr), count)) return count;
    const auto bad = [](sample value) { return !std::isfinite(value); };
    return static_cast<std::size_t>(std::find_if(samples, samples + count, bad) - samples);
}

} // namespace

bool all_finite(const float* samples, std::size_t count) noexcept {
    return finite_pass<false>(samples, static_cast<float*>(nullptr), count);
}

bool all_finite(const double* samples, std::size_t count) noexcept {
    return finite_pass<false>(samples, static_cast<double*>(nullptr), count);
}

bool copy_finite(const float* samples, float* out, std::size_t count) noexcept {
    return finite_pass<true>(samples, out, count);
}

bool copy_finite(const double* samples, double* out, std::size_t count) noexcept {
    return finite_pass<true>(samples, out, count);
}

std::size_t first_non_finite(const float* samples, std::size_t count) noexcept {
    return first_bad(samples, count);
}

std::size_t first_non_finite(const double* samples, std::size_t count) noexcept {
    return first_bad(samples, count);
}

} // namespace ns_primitives
