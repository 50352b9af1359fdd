// Complex FFT plans of power-of-two length on split real/imaginary float arrays.
//
// A plan of order k transforms N = 2^k points in place: forward X[m] = sum x[j] e^(-2 pi i jm/N)
// without scaling, inverse with the factor 1/N, results in natural order. Orders 0 to
// k_max_fft_order. A plan lives in storage the caller provides (sizes from fft_query_sizes)
// and a transform needs one work buffer of the reported size; no transform allocates. The data
// arrays need no particular alignment and must not overlap each other or the work buffer.
// Plans are read-only once built, so one plan may serve several threads, each with its own
// work buffer and data.
//
// The transforms run on the fastest code path the processor supports (AVX or SSE2 on x86-64,
// NEON on 64-bit ARM, scalar elsewhere or when built with ZQ_FORCE_SCALAR). Every path
// performs the same float operations in the same order, so on finite data all paths give
// identical results.
#pragma once

#include <primitives/instruction_set.h>

#include <cstddef>

namespace ns_primitives {

constexpr int k_max_fft_order = 11;

struct fft_sizes {
    std::size_t plan_storage; // bytes of storage the plan lives in (may be 0)
    std::size_t init_scratch; // bytes of scratch needed while building the plan (may be 0)
    std::size_t work;         // bytes of work buffer a transform needs
};

struct fft_plan {
    int order = -1;
    void* storage = nullptr;
};

// Chooses the code path for the processor the program runs on. Idempotent, cheap and safe to
// call from several threads; the transforms call it themselves on first use.
void prepare_processor();

// Sizes for a plan of `order` (0 to k_max_fft_order). The work size of the largest order
// covers every smaller one.
fft_sizes fft_query_sizes(int order);

// Builds `plan` for 2^order points in `storage` (aligned to 4 bytes at least), using
// `init_scratch` while building. Twiddles are evaluated in double and rounded once.
void fft_plan_build(fft_plan& plan, int order, void* storage, void* init_scratch);
// Forgets the plan; the storage stays the caller's to free.
void fft_plan_release(fft_plan& plan) noexcept;

void fft_forward(const fft_plan& plan, float* re, float* im, void* work);
// Inverse transform scaled by 1/N, so fft_inverse(fft_forward(x)) == x to rounding.
void fft_inverse(const fft_plan& plan, float* re, float* im, void* work);

// ---- Code paths, one per instruction set, for tests and benchmarks that compare them --------
using fft_path = instruction_set;

// Whether this build contains `path` and the processor can run it. The scalar path always can.
bool fft_path_supported(fft_path path);
// The path fft_forward and fft_inverse use: fastest_instruction_set().
fft_path fft_active_path();
inline const char* fft_path_name(fft_path path) {
    return instruction_set_name(path);
}
// fft_forward on the given path; an unsupported path falls back to the scalar one.
void fft_forward_on(fft_path path, const fft_plan& plan, float* re, float* im, void* work);

} // namespace ns_primitives
