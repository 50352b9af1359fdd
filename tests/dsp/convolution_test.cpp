#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "../support/reference.h"

namespace {

using ns_audio_dsp::libdspaudio;

void expect_matches_direct_sum(int nx, int nh, libdspaudio::convolution_type type,
                               double roundings) {
    const auto dsp = std::make_unique<libdspaudio>();
    const std::vector<float> x = zq_test::random_floats(nx, 3u);
    const std::vector<float> h = zq_test::random_floats(nh, 4u);
    std::vector<float> out(x.size() + h.size(), zq_test::k_sentinel);
    int length = -1;
    EXPECT_EQ(dsp->convolution(nx, x.data(), nh, h.data(), &length, out.data(), type), 1);
    EXPECT_EQ(length, type == libdspaudio::convolution_fast ? nx : nx + nh - 1);
    zq_test::expect_convolution(x, h, out, roundings);
}

// x = {1, 2, 3, 4} and h = {0.5, -1, 2}, or shorter prefixes of them; 9 marks untouched floats.
TEST(Convolution, ShortPairsRefusalsAndEmptyResults) {
    const auto dsp = std::make_unique<libdspaudio>();
    const float x[] = {1, 2, 3, 4};
    const float h[] = {0.5f, -1, 2};
    const auto fast = libdspaudio::convolution_fast;
    const auto full = libdspaudio::convolution_full;
    const auto valid = libdspaudio::convolution_valid;
    const struct {
        int nx, nh;
        libdspaudio::convolution_type type;
        int result, length;
        std::vector<float> out;
    } cases[] = {
        {4, 3, fast, 1, 4, {0.5f, 0, 1.5f, 3, 2, 8, 9}},
        {4, 3, full, 1, 6, {0.5f, 0, 1.5f, 3, 2, 8, 9}},
        {4, 3, valid, 1, 2, {4.5f, 6, 9, 9, 9, 9, 9}}, // h slides over x unreversed
        {4, 3, static_cast<libdspaudio::convolution_type>(3), 0, -1, std::vector<float>(7, 9)},
        {2, 3, valid, 1, 0, std::vector<float>(7, 9)},
        {0, 3, valid, 1, 0, std::vector<float>(7, 9)},
        {4, 0, fast, 1, 0, std::vector<float>(7, 9)},
        {4, 0, full, 1, 0, std::vector<float>(7, 9)},
        {0, 3, full, 1, 2, {0, 0, 9, 9, 9, 9, 9}}, // an empty x: zeros, one fewer than h
        {-1, 3, full, 1, 1, {0, 9, 9, 9, 9, 9, 9}},
        {-2, 3, full, 1, 0, std::vector<float>(7, 9)},
    };
    for (const auto& expected : cases) {
        std::vector<float> out(7, 9.0f);
        int length = -1;
        EXPECT_EQ(
            dsp->convolution(expected.nx, x, expected.nh, h, &length, out.data(), expected.type),
            expected.result);
        EXPECT_EQ(length, expected.length);
        EXPECT_EQ(out, expected.out)
            << "nx " << expected.nx << " nh " << expected.nh << " type " << expected.type;
    }
}

// Kernel lengths either side of the direct/FFT switch and past half the largest transform. A
// direct sum of nh terms rounds up to nh times; a transform about log2 N = 11 times.
TEST(Convolution, LongInputsMatchDirectSums) {
    for (int nh : {1, 64, 700, 2500}) {
        expect_matches_direct_sum(4000, nh, libdspaudio::convolution_full, 2.0 * nh);
        expect_matches_direct_sum(4000, nh, libdspaudio::convolution_fast, 8.0 * 11);
    }
    // Beyond conv_pad (nx + 2·nh − 2 > 10000) the same sums are read straight from x.
    expect_matches_direct_sum(9500, 300, libdspaudio::convolution_full, 2.0 * 300);
}

} // namespace
