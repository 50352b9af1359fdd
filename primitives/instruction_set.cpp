#include <primitives/instruction_set.h>

#include <primitives/simd/paths.h>

#include <initializer_list>

namespace ns_primitives {

namespace {

#if defined(ZQ_SIMD_HAS_AVX)
// Checks the operating system's support (saved ymm registers) as well as the processor's. This
// file is compiled without AVX: it decides whether the AVX translation units may run.
bool processor_has_avx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}
#endif

} // namespace

bool instruction_set_runs(instruction_set set) {
    switch (set) {
    case instruction_set::scalar:
        return true;
    case instruction_set::sse2:
#if defined(ZQ_SIMD_HAS_SSE2)
        return true;
#else
        return false;
#endif
    case instruction_set::avx:
#if defined(ZQ_SIMD_HAS_AVX)
        return processor_has_avx();
#else
        return false;
#endif
    case instruction_set::neon:
#if defined(ZQ_SIMD_HAS_NEON)
        return true;
#else
        return false;
#endif
    }
    return false;
}

instruction_set fastest_instruction_set() {
    static const instruction_set fastest = [] {
        for (const instruction_set set :
             {instruction_set::avx, instruction_set::neon, instruction_set::sse2})
            if (instruction_set_runs(set)) return set;
        return instruction_set::scalar;
    }();
    return fastest;
}

const char* instruction_set_name(instruction_set set) {
    switch (set) {
    case instruction_set::scalar:
        return "scalar";
    case instruction_set::sse2:
        return "sse2";
    case instruction_set::avx:
        return "avx";
    case instruction_set::neon:
        return "neon";
    }
    return "unknown";
}

} // namespace ns_primitives
