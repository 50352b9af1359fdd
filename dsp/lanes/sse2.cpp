#include "paths.h"

#if defined(ZQ_SIMD_HAS_SSE2)
#include "kernels.h"

#include <primitives/simd/sse2.h>

namespace ns_audio_dsp::lanes {

void filter_sse2(const request& r) {
    using namespace ns_primitives;
    filter_passes<simd_sse2::vec4, simd_sse2::vec4>(r);
}

} // namespace ns_audio_dsp::lanes
#endif
