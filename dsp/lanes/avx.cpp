// Compiled with AVX enabled (see zq_simd_sources); called only after the processor has been
// found to support it.
#include "paths.h"

#if defined(ZQ_SIMD_HAS_AVX) && defined(__AVX__)
#include "kernels.h"

#include <primitives/simd/avx.h>

namespace ns_audio_dsp::lanes {

// Four channels or fewer take the four-lane vectors, which cost no more per step.
void filter_avx(const request& r) {
    using namespace ns_primitives::simd_avx;
    filter_passes<vec8, vec4>(r);
}

} // namespace ns_audio_dsp::lanes
#endif
