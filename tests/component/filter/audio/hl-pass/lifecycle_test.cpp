#include "component_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

TEST(Lifecycle, SecondConfigureRestartsEveryHistory) {
    const Settings low{-1, 1, 0.0f, 2.0f};
    const std::vector<float> signal = zq_test::random_floats(3000);
    pass_filter fresh, reused;
    Host fresh_host(fresh), reused_host(reused);
    ASSERT_EQ(fresh_host.configure(low, 1), 0);
    ASSERT_EQ(reused_host.configure(low, 1), 0);
    reused_host.run(zq_test::random_floats(777, 9), 512);
    ASSERT_EQ(reused_host.configure(low, 1), 0);
    EXPECT_EQ(reused_host.run(signal, 512), fresh_host.run(signal, 512));
}

// A refused stream has reached the output all the same; only the format code is remembered.
// Rates refused: none that is not a positive number, and none so large that the high-pass
// bound, 0.45 x rate in whole Hz, would not fit an int.
TEST(Lifecycle, RefusedStreamsLeaveTheComponentAsItWas) {
    struct Case {
        int channels;
        int format;
        double rate;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case c : {Case{2, 3, 48000.0}, Case{0, 4, 48000.0}, Case{11, 4, 48000.0},
                         Case{-1, 4, 48000.0}, Case{1, 4, 0.0}, Case{1, 4, -48000.0},
                         Case{1, 4, std::nan("")}, Case{1, 4, inf}, Case{1, 4, 4.8e9}}) {
        SCOPED_TRACE(testing::Message()
                     << c.channels << " channels, format " << c.format << ", " << c.rate << " Hz");
        pass_filter filter;
        Host host(filter);
        ASSERT_EQ(host.configure({1, 1, 1000.0f, 4.0f}, 1), 0);
        const ns_audio_dsp::libdspaudio* dsp = filter.dsp;
        EXPECT_EQ(host.configure({}, c.channels, c.rate, c.format), -1);
        EXPECT_TRUE(host.output->getDescription());
        EXPECT_EQ(filter.format, c.format);
        EXPECT_EQ(filter.channels, 1);
        EXPECT_EQ(filter.dsp, dsp);
        expect_status(filter, 2);
    }
    pass_filter filter;
    Host host(filter);
    EXPECT_EQ(host.configure({}, 1, 4.77e9), 0) << "0.45 x rate just fits an int";
}

// A host's getter that throws in the middle of configure (as a checking host does) leaves the
// component filtering exactly as before the attempt.
TEST(Lifecycle, ConfigureThatThrowsLeavesTheComponentAsItWas) {
    struct Refusing : ZQ::CM::RFilterConfiguration {
        float getFloat(const char* key, float, float, float) override {
            throw ZQ::CException("test", __LINE__, __FILE__, __func__, key);
        }
    } refusing;
    const Settings band{1, 1, 1000.0f, 4.0f};
    const std::vector<float> signal = zq_test::random_floats(2 * 3000);
    pass_filter steady, interrupted;
    Host steady_host(steady), interrupted_host(interrupted);
    ASSERT_EQ(steady_host.configure(band, 2), 0);
    ASSERT_EQ(interrupted_host.configure(band, 2), 0);
    const std::vector<float> head(signal.begin(), signal.begin() + 2000);
    const std::vector<float> tail(signal.begin() + 2000, signal.end());
    EXPECT_EQ(interrupted_host.run(head, 500), steady_host.run(head, 500));
    EXPECT_THROW(interrupted_host.configure(refusing, 3, 44100.0), ZQ::CException);
    EXPECT_EQ(interrupted.channels, 2);
    expect_status(interrupted, 2);
    EXPECT_EQ(interrupted_host.run(tail, 500), steady_host.run(tail, 500));
}

// A host may detach the output; the frame then waits on the input instead of being lost.
TEST(Lifecycle, ProcessWithoutAnOutputLeavesTheFrameQueued) {
    for (const Settings& settings : {Settings{}, Settings{1, 0, 1000.0f, 0.0f}}) {
        pass_filter filter;
        Host host(filter);
        ASSERT_EQ(host.configure(settings, 2), 0);
        filter.setOutputWriter(0, nullptr);
        host.push(zq_test::random_floats(8));
        EXPECT_FALSE(filter.process());
        EXPECT_EQ(host.input->pendingFrames(), 1u);
    }
}

} // namespace
