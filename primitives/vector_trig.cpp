#include <primitives/vector_trig.h>

#include <cmath>

namespace ns_primitives {

void vector_sin_cos(const double* angles, int count, double* sines, double* cosines) {
    for (int i = 0; i < count; ++i) {
        const double angle = angles[i];
        sines[i] = std::sin(angle);
        cosines[i] = std::cos(angle);
    }
}

} // namespace ns_primitives
