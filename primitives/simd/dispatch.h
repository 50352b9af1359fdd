// A family of kernels with one function per instruction set, behind the one run-time choice of
// primitives/instruction_set.h. A table names the functions this build contains and nullptr
// for the others, through ZQ_SIMD_SSE2(f), ZQ_SIMD_AVX(f), ZQ_SIMD_NEON(f) and
// ZQ_SIMD_AVX512(f), which stand for f exactly when the set's translation unit defines it; a
// family may leave out a set, whose entry is then nullptr. Included only by the dispatching code,
// never by a translation unit compiled for AVX.
#pragma once

#include <primitives/instruction_set.h>
#include <primitives/simd/paths.h>

#if defined(ZQ_SIMD_HAS_SSE2)
#define ZQ_SIMD_SSE2(function) function
#else
#define ZQ_SIMD_SSE2(function) nullptr
#endif
#if defined(ZQ_SIMD_HAS_AVX)
#define ZQ_SIMD_AVX(function) function
#else
#define ZQ_SIMD_AVX(function) nullptr
#endif
#if defined(ZQ_SIMD_HAS_AVX512)
#define ZQ_SIMD_AVX512(function) function
#else
#define ZQ_SIMD_AVX512(function) nullptr
#endif
#if defined(ZQ_SIMD_HAS_NEON)
#define ZQ_SIMD_NEON(function) function
#else
#define ZQ_SIMD_NEON(function) nullptr
#endif

namespace ns_primitives::simd {

template <class function>
struct kernel_table {
    function by_set[5]; // in instruction_set's order: scalar, sse2, avx, neon, avx512

    // The function for `set`, or nullptr when this build or this processor cannot run it.
    function on(instruction_set set) const {
        return instruction_set_runs(set) ? by_set[static_cast<int>(set)] : nullptr;
    }
    // The fastest set the family has a function for that runs here.
    instruction_set fastest() const {
        for (const instruction_set set : k_fastest_first)
            if (on(set) != nullptr) return set;
        return instruction_set::scalar;
    }
};

} // namespace ns_primitives::simd
