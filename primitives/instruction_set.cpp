#include <primitives/instruction_set.h>

#include <primitives/simd/paths.h>

#include <iterator>

namespace ns_primitives {

bool instruction_set_runs(instruction_set set) {
    switch (set) {
    case instruction_set::scalar:
        return true;
#if defined(ZQ_SIMD_HAS_SSE2)
    case instruction_set::sse2:
        return true;
#endif
#if defined(ZQ_SIMD_HAS_AVX)
    case instruction_set::avx:
        // The operating system's support (saved ymm registers) as well as the processor's. This
        // file is compiled without AVX: it decides whether the AVX translation units may run.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx");
#endif
#if defined(ZQ_SIMD_HAS_AVX512)
    case instruction_set::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#endif
#if defined(ZQ_SIMD_HAS_NEON)
    case instruction_set::neon:
        return true;
#endif
    default:
        return false;
    }
}

instruction_set fastest_instruction_set() {
    static const instruction_set fastest = [] {
        for (const instruction_set set : k_fastest_first)
            if (instruction_set_runs(set)) return set;
        return instruction_set::scalar;
    }();
    return fastest;
}

const char* instruction_set_name(instruction_set set) {
    constexpr const char* names[] = {"scalar", "sse2", "avx", "neon", "avx512"};
    const auto index = static_cast<unsigned>(set);
    return index < std::size(names) ? names[index] : "unknown";
}

} // namespace ns_primitives
