// Compiled with AVX-512 enabled (see zq_simd_sources); called only after the processor has been
// found to support it.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX512) && defined(__AVX512F__)
#include "kernels.h"

#include <primitives/simd/avx512.h>

namespace ns_audio_dsp::lanes {

// Eight channels or fewer take the eight-lane vectors, which cost no more per step.
void filter_avx512(const request& r) {
    using namespace ns_primitives::simd_avx512;
    filter_passes<vec16, vec8>(r);
}

} // namespace ns_audio_dsp::lanes
#endif
