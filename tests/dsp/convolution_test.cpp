#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

std::vector<float> signal(int count, float step) {
    std::vector<float> v(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = std::sin(step * static_cast<float>(i * i % 97));
    return v;
}

class Convolution : public ::testing::Test {
protected:
    std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();

    // Against the sum in double; the tolerance scales max_i Σ_k |x[i−k]·h[k]|.
    void expect_full(const std::vector<float>& x, const std::vector<float>& h,
                     libdspaudio::convolution_type type, double relative) {
        const int nx = static_cast<int>(x.size());
        const int nh = static_cast<int>(h.size());
        std::vector<float> out(x.size() + h.size() - 1, std::numeric_limits<float>::quiet_NaN());
        int length = -1;
        EXPECT_EQ(dsp->convolution(nx, x.data(), nh, h.data(), &length, out.data(), type), 1);
        EXPECT_EQ(length, type == libdspaudio::convolution_fast ? nx : nx + nh - 1);
        std::vector<double> sum(out.size(), 0.0);
        double bound = 0.0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            double magnitude = 0.0;
            for (std::size_t k = 0; k < h.size(); ++k)
                if (i >= k && i - k < x.size()) {
                    sum[i] += static_cast<double>(x[i - k]) * h[k];
                    magnitude += std::fabs(static_cast<double>(x[i - k]) * h[k]);
                }
            bound = std::max(bound, magnitude);
        }
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR(out[i], sum[i], relative * bound) << "type " << type << " i " << i;
    }
};

TEST_F(Convolution, ThreeModesOnAShortPair) {
    const std::vector<float> x = {1, 2, 3, 4};
    const std::vector<float> h = {0.5f, -1, 2};
    expect_full(x, h, libdspaudio::convolution_fast, 0.0);
    expect_full(x, h, libdspaudio::convolution_full, 0.0);

    float out[3] = {9, 9, 9};
    int length = -1;
    EXPECT_EQ(
        dsp->convolution(4, x.data(), 3, h.data(), &length, out, libdspaudio::convolution_valid),
        1);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(out[0], 1 * 0.5f + 2 * -1 + 3 * 2); // h slides over x unreversed
    EXPECT_EQ(out[1], 2 * 0.5f + 3 * -1 + 4 * 2);
    EXPECT_EQ(out[2], 9.0f);
}

TEST_F(Convolution, RejectedTypesAndEmptyResults) {
    const float x[3] = {1, 2, 3};
    float out[4] = {9, 9, 9, 9};
    int length = -1;
    const auto unknown = static_cast<libdspaudio::convolution_type>(3);
    EXPECT_EQ(dsp->convolution(3, x, 3, x, &length, out, unknown), 0);
    EXPECT_EQ(length, -1);
    for (int nx : {2, 0}) { // kernel longer than the input by one, or by three
        EXPECT_EQ(dsp->convolution(nx, x, 3, x, &length, out, libdspaudio::convolution_valid), 1);
        EXPECT_EQ(length, 0);
    }
    for (auto type : {libdspaudio::convolution_fast, libdspaudio::convolution_full}) {
        EXPECT_EQ(dsp->convolution(3, x, 0, x, &length, out, type), 1);
        EXPECT_EQ(length, 0);
    }
    EXPECT_TRUE(std::all_of(out, out + 4, [](float o) { return o == 9.0f; }));
}

TEST_F(Convolution, LongInputsAgainstDoubleSums) {
    const double epsilon = std::numeric_limits<float>::epsilon();
    const std::vector<float> x = signal(4000, 0.11f);
    for (int nh : {1, 64, 700}) {
        const std::vector<float> h = signal(nh, 0.53f);
        // A direct sum of nh terms rounds nh times; a transform about log2 N = 11 times,
        // spread over the whole block.
        expect_full(x, h, libdspaudio::convolution_full, nh * epsilon);
        expect_full(x, h, libdspaudio::convolution_fast, 4 * 11 * epsilon);
    }
    // Beyond conv_pad (nx + 2·nh − 2 > 10000) the same sums are read straight from x.
    expect_full(signal(9500, 0.2f), signal(300, 0.9f), libdspaudio::convolution_full,
                300 * epsilon);
}

} // namespace
