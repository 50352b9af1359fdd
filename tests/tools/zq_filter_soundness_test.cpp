// zq-filter where the exact single-precision design breaks down: refused, or warned about, before
// any audio is written; and --precise filtering the same settings soundly.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace zq_tool_test {
namespace {

enum verdict { warned, refused, refused_by_both };

struct soundness_case {
    int rate;
    const char* options;
    float high_hz, low_khz; // as the options give them, 0 for none
    verdict exact;
    const char* message;
};

const soundness_case k_cases[] = {
    {96000, "--lowpass 200", 0, 0.2f, refused,
     "at 96000 Hz a 200 Hz low-pass is unstable in the exact single-precision design (pole "
     "radius 1.00"},
    {96000, "--lowpass 250", 0, 0.25f, refused, "250 Hz low-pass is unstable"},
    {192000, "--lowpass 500", 0, 0.5f, refused, "500 Hz low-pass is unstable"},
    {96000, "--lowpass 300", 0, 0.3f, refused, "300 Hz low-pass is unstable"},
    {48000, "--highpass 20000", 20000, 0, refused, "20000 Hz high-pass boosts by +45"},
    {48000, "--highpass 490 --lowpass 4000", 490, 4, warned,
     "at 48000 Hz a 490 Hz .. 4000 Hz band-pass: stopband at"},
    {96000, "--highpass 1000 --lowpass 20000", 1000, 20, warned, "band-pass: stopband at"},
    {48000, "--highpass 4000 --lowpass 300", 0, 0, refused_by_both, "the band is inverted"},
};

TEST(ZqFilter, RefusesOrWarnsWhereTheExactDesignBreaksDownAndPreciseDoesNot) {
    const scratch_space scratch;
    for (const soundness_case& each : k_cases) {
        SCOPED_TRACE(each.options);
        const sound noise = test_signal(1, each.rate, each.rate / 8);
        write_sound(scratch.in, noise);
        fs::remove(scratch.out);
        const run_result exact = scratch.filter(each.options);
        EXPECT_NE(exact.err.find(each.message), std::string::npos) << exact.err;
        EXPECT_EQ(fs::exists(scratch.out), each.exact == warned);
        const run_result precise = scratch.filter(std::string(each.options) + " --precise");
        if (each.exact == refused_by_both) {
            EXPECT_EQ(exact.status, 1);
            EXPECT_EQ(precise.status, 1);
            EXPECT_NE(precise.err.find(each.message), std::string::npos) << precise.err;
            EXPECT_FALSE(fs::exists(scratch.out));
            continue;
        }
        EXPECT_NE(exact.err.find("--precise"), std::string::npos) << exact.err;
        EXPECT_EQ(exact.status, each.exact == refused ? 1 : 0);
        if (each.exact == warned) {
            EXPECT_EQ(exact.err.rfind("zq-filter: warning: ", 0), 0u) << exact.err;
            EXPECT_EQ(scratch.filter(std::string(each.options) + " --strict").status, 1);
        }
        ASSERT_EQ(precise.status, 0) << precise.err;
        EXPECT_EQ(precise.err, "");
        const std::vector<float> written = read_sound(scratch.out).samples;
        EXPECT_TRUE(std::all_of(written.begin(), written.end(),
                                [](float sample) { return std::isfinite(sample); }));
        EXPECT_TRUE(same_bits(
            written, filter_with_engine(noise, each.high_hz, each.low_khz, realization::precise)));
    }
}

TEST(ZqFilter, ShowsTheResponseOfBothRealizationsWithoutAudio) {
    const scratch_space scratch;
    const run_result table = scratch.run(words("--response --rate 96000 --lowpass 200"));
    ASSERT_EQ(table.status, 0) << table.err;
    for (const char* shown :
         {"-3 dB at", "gain at DC", "gain at 200 Hz", "gain at 48000 Hz (Nyquist)",
          "slope 400 .. 800 Hz", "unsound", "sound", "pole radius"})
        EXPECT_NE(table.out.find(shown), std::string::npos) << shown << "\n" << table.out;

    const run_result csv = scratch.run(words("--response=csv --highpass 300 --lowpass 4000"));
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("frequency_hz,exact_db,precise_db\n10,", 0), 0u) << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 201);
}

} // namespace
} // namespace zq_tool_test
