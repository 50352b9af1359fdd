#include <dsp/arma_lanes.h>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using ns_audio_dsp::arma_sections;
using ns_audio_dsp::lane_path;
using ns_audio_dsp::libdspaudio;
using zq_test::filter_library;

constexpr lane_path k_lane_paths[] = {lane_path::scalar, lane_path::sse2, lane_path::avx,
                                      lane_path::neon};

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

// The reference: arma_filter or arma_filter_2stage on each channel in turn.
void filter_literally(libdspaudio& dsp, const arma_sections& s, std::vector<float>& block,
                      int channels) {
    const std::size_t frames = block.size() / static_cast<std::size_t>(channels);
    std::vector<float> channel(frames);
    for (int c = 0; c < channels; ++c) {
        for (std::size_t f = 0; f < frames; ++f)
            channel[f] = block[f * channels + c];
        const int n = static_cast<int>(frames);
        const float* out = s.two_stage ? dsp.arma_filter_2stage(channel.data(), n, s.a1, s.b1, s.a2,
                                                                s.b2, s.order, c)
                                       : dsp.arma_filter(channel.data(), n, s.a1, s.b1, s.order, c);
        for (std::size_t f = 0; f < frames; ++f)
            block[f * channels + c] = out[f];
    }
}

// Blocks one after another on the same objects: odd lengths, an empty one, one shorter than
// the order, then silence long enough for every recursion to decay into subnormals.
TEST(ArmaLanes, EveryPathMatchesTheLiteralRoutinesBitForBit) {
    constexpr int block_frames[] = {7, 0, 1, 257, 3001};
    for (const lane_path path : k_lane_paths) {
        if (!ns_audio_dsp::lane_path_supported(path)) continue;
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
                        filter_literally(literal, design.sections, expected, channels);
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

TEST(ArmaLanes, RefusalsTouchNothing) {
    const designed_sections single(false, 4), cascade(true, 4);
    arma_sections order_0 = single.sections, order_9 = single.sections,
                  cascade_5 = cascade.sections;
    order_0.order = 0;
    order_9.order = 9;
    cascade_5.order = 5;
    const struct {
        const arma_sections& sections;
        int channels;
        lane_path path;
    } refused[] = {
        {single.sections, 2, lane_path::literal}, {single.sections, 0, lane_path::scalar},
        {single.sections, 11, lane_path::scalar}, {order_0, 2, lane_path::scalar},
        {order_9, 2, lane_path::scalar},          {cascade_5, 2, lane_path::scalar}};
    for (const auto& call : refused) {
        filter_library dsp;
        std::vector<float> block = zq_test::random_floats(22, 3);
        const std::vector<float> before = block;
        EXPECT_FALSE(ns_audio_dsp::arma_filter_lanes(dsp, call.sections, block.data(), 2,
                                                     call.channels, call.path));
        EXPECT_EQ(block, before);
        for (const auto& history : dsp.filter_state)
            EXPECT_EQ(history.y_history[0], 0.0f);
    }
}

} // namespace
