// Sine and cosine over an array of angles, in double precision.
#pragma once

namespace ns_primitives {

// sines[i] = sin(angles[i]) and cosines[i] = cos(angles[i]) for 0 <= i < count, equal to
// std::sin and std::cos. Each angle is read before its results are stored, so either output
// may be the angles array itself. A count of 0 or less writes nothing.
void vector_sin_cos(const double* angles, int count, double* sines, double* cosines);

} // namespace ns_primitives
