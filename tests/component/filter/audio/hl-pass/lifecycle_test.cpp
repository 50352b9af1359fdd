#include "component_harness.h"

#include <gtest/gtest.h>

namespace {

using hl_pass_test::Host;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;

void expect_status(pass_filter& filter, int32_t state) {
    const ZQ::CM::CComponentStatus status = filter.getStatus();
    EXPECT_EQ(status.state, state);
    EXPECT_EQ(status.word2, 0u);
    EXPECT_EQ(status.word3, 0u);
}

TEST(Lifecycle, CreateConfigureResetAndDestroy) {
    auto* filter = new pass_filter();
    expect_status(*filter, 0);
    EXPECT_EQ(filter->type(), 0x666C7472u);
    EXPECT_EQ(filter->dsp, nullptr);
    {
        Host host(*filter);
        ASSERT_EQ(host.configure({}, 2), 0);
    }
    expect_status(*filter, 2);
    EXPECT_TRUE(filter->bypass);
    const ns_audio_dsp::libdspaudio* dsp = filter->dsp;
    ASSERT_NE(dsp, nullptr);

    EXPECT_EQ(filter->componentWillReset(), 0);
    expect_status(*filter, 0);
    EXPECT_EQ(filter->dsp, dsp); // kept until the next configure replaces it
    EXPECT_EQ(filter->channels, 0);
    EXPECT_EQ(filter->format, 0);
    EXPECT_FALSE(filter->bypass);
    delete static_cast<ZQ::CM::RComponent*>(filter);
    delete static_cast<ZQ::CM::RComponent*>(new pass_filter()); // never configured
}

TEST(Lifecycle, ProcessWithoutAStreamLeavesTheFrameQueued) {
    pass_filter filter;
    Host host(filter);
    host.push({1.0f, 2.0f});
    EXPECT_FALSE(filter.process());
    ASSERT_EQ(host.configure({1, 1, 1000.0f, 4.0f}, 1), 0);
    filter.componentWillReset();
    EXPECT_FALSE(filter.process());
    EXPECT_EQ(host.input->pendingFrames(), 1u);
}

TEST(Lifecycle, FlushBetweenFramesChangesNothing) {
    const std::vector<float> signal = hl_pass_test::noise(4000);
    pass_filter plain, flushed;
    Host plain_host(plain), flushed_host(flushed);
    ASSERT_EQ(plain_host.configure({1, 1, 1000.0f, 4.0f}, 2), 0);
    ASSERT_EQ(flushed_host.configure({1, 1, 1000.0f, 4.0f}, 2), 0);
    std::vector<float> got;
    for (std::size_t start = 0; start < signal.size(); start += 1000) {
        flushed.flush();
        const auto part =
            flushed_host.run({signal.begin() + static_cast<std::ptrdiff_t>(start),
                              signal.begin() + static_cast<std::ptrdiff_t>(start + 1000)},
                             1000);
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, plain_host.run(signal, 1000));
    expect_status(flushed, 2);
}

TEST(Lifecycle, SecondConfigureRestartsEveryHistory) {
    const Settings low{-1, 1, 0.0f, 2.0f};
    const std::vector<float> signal = hl_pass_test::noise(3000);
    pass_filter fresh, reused;
    Host fresh_host(fresh), reused_host(reused);
    ASSERT_EQ(fresh_host.configure(low, 1), 0);
    ASSERT_EQ(reused_host.configure(low, 1), 0);
    reused_host.run(hl_pass_test::noise(777, 9), 512);
    ASSERT_EQ(reused_host.configure(low, 1), 0);
    EXPECT_EQ(reused_host.run(signal, 512), fresh_host.run(signal, 512));
}

// A refused stream has reached the output all the same; only the format code is remembered.
TEST(Lifecycle, RefusedStreamsLeaveTheComponentAsItWas) {
    struct Case {
        int channels;
        int format;
    };
    for (const Case c : {Case{2, 3}, Case{0, 4}, Case{11, 4}, Case{-1, 4}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, format " << c.format);
        pass_filter filter;
        Host host(filter);
        ASSERT_EQ(host.configure({}, 1), 0);
        const ns_audio_dsp::libdspaudio* dsp = filter.dsp;
        EXPECT_EQ(host.configure({}, c.channels, 48000.0, c.format), -1);
        EXPECT_TRUE(host.output->getDescription());
        EXPECT_EQ(filter.format, c.format);
        EXPECT_EQ(filter.channels, 1);
        EXPECT_EQ(filter.dsp, dsp);
        expect_status(filter, 2);
    }
}

} // namespace
