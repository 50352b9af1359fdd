#include "kernels.h"

#include <primitives/simd/scalar.h>

namespace ns_audio_dsp::lanes {

void filter_scalar(const request& r) {
    using namespace ns_primitives;
    filter_passes<simd_scalar::vec4, simd_scalar::vec4>(r);
}

} // namespace ns_audio_dsp::lanes
