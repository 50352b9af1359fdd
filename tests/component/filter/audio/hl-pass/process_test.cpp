#include "component_harness.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using hl_pass_test::Host;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;
using zq_test::random_floats;

const Settings k_low{-1, 1, 0, 2.0f};
const Settings k_high_split{1, -1, 100, 0};
const Settings k_high{1, -1, 1000, 0};
const Settings k_band_padded{1, 1, 300, 4};
const Settings k_band{1, 1, 1000, 4};
const Settings k_filtering_modes[] = {k_low, k_high_split, k_high, k_band_padded, k_band};

// Each channel of `interleaved` filtered on its own, straight through the library with the
// coefficients the component chose.
std::vector<float> filter_directly(pass_filter& filter, std::vector<float> interleaved,
                                   int channels) {
    ns_audio_dsp::libdspaudio dsp;
    dsp.filter_init(2000);
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    for (int c = 0; c < channels; ++c) {
        std::vector<float> channel(frames);
        for (std::size_t f = 0; f < frames; ++f)
            channel[f] = interleaved[f * static_cast<std::size_t>(channels) + c];
        const int n = static_cast<int>(frames);
        const float* out =
            filter.two_stage
                ? dsp.arma_filter_2stage(channel.data(), n, filter.a1, filter.b1, filter.a2,
                                         filter.b2, filter.order, c)
                : dsp.arma_filter(channel.data(), n, filter.a1, filter.b1, filter.order, c);
        for (std::size_t f = 0; f < frames; ++f)
            interleaved[f * static_cast<std::size_t>(channels) + c] = out[f];
    }
    dsp.filter_destroy();
    return interleaved;
}

TEST(Process, BypassForwardsFramesUntouchedAndFilteringReportsAnEmptyQueue) {
    pass_filter bypass, low;
    Host bypass_host(bypass), low_host(low);
    ASSERT_EQ(bypass_host.configure({}, 2), 0);
    ASSERT_EQ(low_host.configure(k_low, 2), 0);
    EXPECT_TRUE(bypass.process());
    EXPECT_FALSE(low.process());
    const std::vector<float> signal = random_floats(64);
    bypass_host.push(signal);
    EXPECT_TRUE(bypass.process());
    EXPECT_EQ(bypass_host.pull(), signal);
}

TEST(Process, FramesComeOutAsTheLibraryFiltersEachChannel) {
    for (const int channels : {1, 2, 3, 10}) {
        for (const Settings& mode : k_filtering_modes) {
            SCOPED_TRACE(testing::Message()
                         << channels << " channels, hFrequency " << mode.h_frequency);
            pass_filter filter;
            Host host(filter);
            ASSERT_EQ(host.configure(mode, channels), 0);
            const std::vector<float> signal =
                random_floats(static_cast<std::size_t>(channels) * 1500);
            EXPECT_EQ(host.run(signal, signal.size()), filter_directly(filter, signal, channels));
        }
    }
}

TEST(Process, ChannelsNeverAffectEachOther) {
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(k_band, 3), 0);
    std::vector<float> signal = random_floats(3 * 4000, 5);
    const std::vector<float> out = host.run(signal, 3 * 700);
    for (std::size_t f = 0; f < 4000; ++f)
        signal[f * 3 + 1] = 0.0f; // silence the middle channel only

    pass_filter other;
    Host other_host(other);
    ASSERT_EQ(other_host.configure(k_band, 3), 0);
    const std::vector<float> quiet = other_host.run(signal, 3 * 700);
    for (std::size_t f = 0; f < 4000; ++f) {
        EXPECT_EQ(quiet[f * 3], out[f * 3]);
        EXPECT_EQ(quiet[f * 3 + 1], 0.0f);
        EXPECT_EQ(quiet[f * 3 + 2], out[f * 3 + 2]);
    }
}

TEST(Process, IncompleteAndEmptyFramesKeepWhatIsNotAWholeFrame) {
    for (const int channels : {1, 3}) {
        pass_filter empty;
        Host empty_host(empty);
        ASSERT_EQ(empty_host.configure(k_high, channels), 0);
        empty_host.push({});
        EXPECT_TRUE(empty.process());
        EXPECT_TRUE(empty_host.pull().empty());
    }
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(k_high, 3), 0);

    std::vector<float> signal = random_floats(3 * 10 + 2);
    const std::vector<float> out = host.run(signal, signal.size());
    ASSERT_EQ(out.size(), signal.size());
    EXPECT_EQ(out[30], signal[30]);
    EXPECT_EQ(out[31], signal[31]);
    signal.resize(30);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 30),
              filter_directly(filter, signal, 3));
}

} // namespace
