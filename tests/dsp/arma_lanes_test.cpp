#include <dsp/arma_lanes.h>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using ns_audio_dsp::arma_sections;
using ns_audio_dsp::lane_path;
using ns_audio_dsp::libdspaudio;
using zq_test::filter_library;

constexpr lane_path k_lane_paths[] = {lane_path::scalar, lane_path::sse2, lane_path::avx,
                                      lane_path::neon, lane_path::avx512};

// Butterworth sections, so that a silent block decays into subnormal numbers.
struct designed_sections {
    designed_sections(bool two_stage, int order) : sections{two_stage, order, a1, b1, a2, b2} {
        libdspaudio designer;
        if (two_stage) {
            designer.butter_hp_design(0.02f, order, a1, b1);
            designer.butter_lp_design(0.2f, order, a2, b2);
        } else {
            designer.butter_lp_design(0.1f, order, a1, b1);
        }
    }
    float a1[9] = {}, b1[9] = {}, a2[5] = {}, b2[5] = {};
    arma_sections sections;
};

// Blocks one after another on the same objects: odd lengths, an empty one, one shorter than
// the order, then silence long enough for every recursion to decay into subnormals.
TEST(ArmaLanes, EveryPathMatchesTheLiteralRoutinesBitForBit) {
    constexpr int block_frames[] = {7, 0, 1, 257, 3001};
    for (const lane_path path : k_lane_paths) {
        if (!ns_audio_dsp::lane_path_supported(path)) {
            std::printf("note: no %s path on this build or processor, not tested\n",
                        ns_audio_dsp::lane_path_name(path));
            continue;
        }
        for (const bool two_stage : {false, true}) {
            for (int order = 1; order <= (two_stage ? 4 : 8); ++order) {
                const designed_sections design(two_stage, order);
                for (int channels = 1; channels <= libdspaudio::k_history_channels; ++channels) {
                    SCOPED_TRACE(testing::Message() << ns_audio_dsp::lane_path_name(path)
                                                    << ", two_stage " << two_stage << ", order "
                                                    << order << ", " << channels << " channels");
                    filter_library literal, lanes;
                    unsigned seed = 1;
                    for (const int frames : block_frames) {
                        std::vector<float> block =
                            zq_test::random_floats(frames * channels, seed++);
                        if (frames > 1000) block.assign(block.size(), 0.0f);
                        std::vector<float> expected = block;
                        zq_test::filter_each_channel(literal, design.sections, expected, channels);
                        ASSERT_TRUE(ns_audio_dsp::arma_filter_lanes(
                            lanes, design.sections, block.data(), frames, channels, path));
                        ASSERT_TRUE(zq_test::same_bits(block, expected)) << frames << " frames";
                        ASSERT_EQ(std::memcmp(lanes.filter_state, literal.filter_state,
                                              sizeof literal.filter_state),
                                  0)
                            << "histories after " << frames << " frames";
                    }
                }
            }
        }
    }
}

// With NaN or infinite input every path makes NaN of the same samples and the same numbers
// elsewhere; only the NaNs' payload and sign bits are left to the processor.
TEST(ArmaLanes, NonFiniteInputGivesNaNWhereTheLiteralRoutinesDo) {
    const designed_sections design(true, 4);
    constexpr int channels = 3, frames = 64;
    std::vector<float> input = zq_test::random_floats(frames * channels, 5);
    input[4] = std::numeric_limits<float>::quiet_NaN();
    input[channels * 9 + 1] = std::numeric_limits<float>::infinity();
    filter_library literal;
    std::vector<float> expected = input;
    zq_test::filter_each_channel(literal, design.sections, expected, channels);
    for (const lane_path path : k_lane_paths) {
        if (!ns_audio_dsp::lane_path_supported(path)) continue;
        filter_library lanes;
        std::vector<float> block = input;
        ASSERT_TRUE(ns_audio_dsp::arma_filter_lanes(lanes, design.sections, block.data(), frames,
                                                    channels, path));
        for (std::size_t i = 0; i < block.size(); ++i) {
            if (std::isnan(expected[i]))
                EXPECT_TRUE(std::isnan(block[i])) << "sample " << i;
            else
                EXPECT_EQ(std::memcmp(&block[i], &expected[i], sizeof(float)), 0) << "sample " << i;
        }
    }
}

// The path is chosen by the process through the internal entry point, never from outside.
TEST(ArmaLanes, SelectingAPathChangesTheChoiceOnlyWhenSupported) {
    const lane_path before = ns_audio_dsp::lane_path_chosen();
    EXPECT_TRUE(ns_audio_dsp::lane_path_select(lane_path::literal));
    EXPECT_EQ(ns_audio_dsp::lane_path_chosen(), lane_path::literal);
    for (const lane_path path : k_lane_paths)
        EXPECT_EQ(ns_audio_dsp::lane_path_select(path), ns_audio_dsp::lane_path_supported(path));
    ns_audio_dsp::lane_path_select(before);
}

TEST(ArmaLanes, RefusalsTouchNothing) {
    const struct {
        bool two_stage;
        int order, channels;
        lane_path path;
    } refused[] = {{false, 4, 2, lane_path::literal}, {false, 4, 0, lane_path::scalar},
                   {false, 4, 11, lane_path::scalar}, {false, 0, 2, lane_path::scalar},
                   {false, 9, 2, lane_path::scalar},  {true, 5, 2, lane_path::scalar}};
    for (const auto& call : refused) {
        designed_sections design(call.two_stage, 4);
        design.sections.order = call.order;
        filter_library dsp;
        std::vector<float> block = zq_test::random_floats(22, 3);
        const std::vector<float> before = block;
        EXPECT_FALSE(ns_audio_dsp::arma_filter_lanes(dsp, design.sections, block.data(), 2,
                                                     call.channels, call.path));
        EXPECT_EQ(block, before);
        for (const auto& history : dsp.filter_state)
            EXPECT_EQ(history.y_history[0], 0.0f);
    }
}

} // namespace
