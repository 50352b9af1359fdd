// zq-filter's default against the Butterworth filter its flags name, designed and run by scipy
// offline (data/make_butterworth_reference.py): -3 dB at each cut-off as typed, the order asked
// for, at rates from 8 kHz to 192 kHz and cut-offs down to 10 Hz.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zq_tool_test {
namespace {

struct butterworth_case {
    int rate;
    const char* options;
    double peak;
    int output[256]; // in 1e-7 of peak
};

#include "data/butterworth_reference.inc"

TEST(ZqFilter, DefaultIsTheButterworthFilterItsFlagsName) {
    const scratch_space scratch;
    const std::vector<float> noise(std::begin(k_noise), std::end(k_noise));
    for (const butterworth_case& each : k_butterworth_cases) {
        SCOPED_TRACE(each.options);
        write_sound(scratch.in, {1, each.rate, k_float_wav, noise});
        const run_result result =
            scratch.shell(std::string("zq-filter ") + each.options + " in.wav out.wav");
        ASSERT_EQ(result.status, 0) << result.err;
        // The summary alone: the component, which says what it designs, is not involved.
        EXPECT_EQ(result.err.rfind("zq-filter: wrote ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        const std::vector<float> written = read_sound(scratch.out).samples;
        ASSERT_EQ(written.size(), noise.size());
        for (std::size_t i = 0; i < noise.size(); ++i)
            ASSERT_NEAR(written[i] / each.peak, each.output[i] * 1e-7, 1e-6) << "sample " << i;
    }
}

} // namespace
} // namespace zq_tool_test
