// Whether samples are finite numbers: what every front-end checks before a NaN or an infinity
// can reach a filter, whose history would carry it into every later sample.
#pragma once

#include <cstddef>

namespace ns_primitives {

// Whether none of the `count` samples is a NaN or an infinity. One pass without an early exit,
// which the compiler vectorises.
bool all_finite(const float* samples, std::size_t count) noexcept;
bool all_finite(const double* samples, std::size_t count) noexcept;

// all_finite, copying the samples to `out` (which must not overlap them) on the way: one pass
// over memory for both. The copy is made whatever the answer.
bool copy_finite(const float* samples, float* out, std::size_t count) noexcept;
bool copy_finite(const double* samples, double* out, std::size_t count) noexcept;

// Where the first NaN or infinite sample lies, or `count` when all are finite.
std::size_t first_non_finite(const float* samples, std::size_t count) noexcept;
std::size_t first_non_finite(const double* samples, std::size_t count) noexcept;

} // namespace ns_primitives
