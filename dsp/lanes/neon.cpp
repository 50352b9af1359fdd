#include "paths.h"

#if defined(ZQ_SIMD_HAS_NEON)
#include "kernels.h"

#include <primitives/simd/neon.h>

namespace ns_audio_dsp::lanes {

void filter_neon(const request& r) {
    using namespace ns_primitives;
    filter_passes<simd_neon::vec4, simd_neon::vec4>(r);
}

} // namespace ns_audio_dsp::lanes
#endif
