// The vocabularies' inline functions are compiled into translation units built for different
// instruction sets. Were they one name everywhere, the linker could keep a copy encoded for
// AVX-512 and run it on the SSE2 path of a processor without AVX-512. Each header therefore
// opens the inline namespace ZQ_SIMD_ENCODING inside its own, named after the widest
// encoding the unit is compiled for, which keeps the names apart without changing the source.
#pragma once

#if defined(__AVX512F__)
#define ZQ_SIMD_ENCODING encoded_avx512
#elif defined(__AVX__)
#define ZQ_SIMD_ENCODING encoded_avx
#else
#define ZQ_SIMD_ENCODING encoded_base
#endif
