// The instruction sets the vector code paths are written for, and the one run-time choice
// among them that every family of kernels with a path per set (the FFT, the filter lanes)
// shares. Every path of a family performs the same float operations in the same order.
#pragma once

namespace ns_primitives {

enum class instruction_set { scalar, sse2, avx, neon, avx512 };

// Whether this build contains code for `set` (SSE2, AVX and AVX-512 on x86-64, NEON on 64-bit
// ARM, none with ZQ_FORCE_SCALAR) and the processor runs it; for AVX and AVX-512 the operating
// system must save their registers too. The scalar set always runs. AVX-512 here means the
// F, DQ, BW and VL subsets together.
bool instruction_set_runs(instruction_set set);
// The fastest set that runs: AVX-512, AVX, NEON, SSE2, else scalar. Decided on the first call;
// safe to call from several threads.
instruction_set fastest_instruction_set();
// The sets from fastest to slowest, scalar last.
constexpr instruction_set k_fastest_first[] = {instruction_set::avx512, instruction_set::avx,
                                               instruction_set::neon, instruction_set::sse2,
                                               instruction_set::scalar};
const char* instruction_set_name(instruction_set set);

} // namespace ns_primitives
