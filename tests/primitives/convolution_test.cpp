#include <primitives/convolution.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../support/reference.h"

namespace {

// Equal lengths either side of the direct/FFT switch, short kernels on a long input, a long
// kernel passed as x, and kernels past half the largest transform, cut into even and odd
// numbers of segments. Every output is bounded by |x|·|h|; a transform of N points loses about
// log2 N roundings of that size, a direct sum far less for the lengths it is used for. Plans
// given by the caller are exercised through libdspaudio's fast convolution.
TEST(LinearConvolution, MatchesDirectSumAcrossPathSwitchesAndWritesNothingForEmptyInputs) {
    const int sizes[][2] = {{1, 1},       {3, 3},        {100, 100},   {300, 300},
                            {2048, 2048}, {6000, 5},     {6000, 150},  {6000, 1023},
                            {50, 3000},   {10024, 1025}, {9000, 2049}, {5121, 5121}};
    for (const auto& [nx, nh] : sizes) {
        const std::vector<float> x = zq_test::random_floats(nx, 7u);
        const std::vector<float> h = zq_test::random_floats(nh, 11u);
        std::vector<float> out(x.size() + h.size(), zq_test::k_sentinel);
        ns_primitives::linear_convolution(x.data(), nx, h.data(), nh, out.data());
        zq_test::expect_convolution(x, h, out, 8.0 * std::log2(2.0 * (nx + nh)));
    }
    // Empty inputs write nothing.
    float x = 1.0f, out = zq_test::k_sentinel;
    ns_primitives::linear_convolution(&x, 1, &x, 0, &out);
    ns_primitives::linear_convolution(&x, -1, &x, 1, &out);
    EXPECT_EQ(out, zq_test::k_sentinel);
}

} // namespace
