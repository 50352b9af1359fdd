#include "component_harness.h"

#include <cmath>
#include <limits>
#include <new>

namespace {
bool fail_work_buffers = false;
} // namespace

// The work buffers are the only arrays the library takes with nothrow new; a test may refuse them.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (fail_work_buffers) return nullptr;
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

using namespace hl_pass_test;
using ns_hl_pass::pass_filter;

void expect_status(pass_filter& filter, int32_t state) {
    const ZQ::CM::CComponentStatus status = filter.getStatus();
    EXPECT_EQ(status.state, state);
    EXPECT_EQ(status.word2, 0u);
    EXPECT_EQ(status.word3, 0u);
}

// What configure prints: the fractions of the rate it designs for, with the defaults, 100 Hz
// and 4 kHz, where a cut-off is not set, and the fall-back of a band too low for its high side.
// Which sections each mode runs is pinned by the module's output.
TEST(Configure, PrintsTheFractionsItDesignsFor) {
    const std::pair<Settings, const char*> rows[] = {
        {{}, "fracts are 0.002083 and 0.083333 \n"},
        {{1, -1, 721, 0}, "fracts are 0.015021 and 0.083333 \n"},
        {{1, 1, 300, 5.5f}, "fracts are 0.006250 and 0.114583 \n"},
        {{1, 1, 100, 0.2f},
         "fracts are 0.002083 and 0.004167 \ncheating because fracts were "
         "0.002083 and 0.004167 \n"},
    };
    for (const auto& [settings, expected] : rows) {
        pass_filter filter;
        Host host(filter);
        std::string printed;
        ASSERT_EQ(host.configure(settings, 2, 48000.0, 4, &printed), 0);
        EXPECT_EQ(printed, expected);
    }
}

// The host is trusted to keep the bounds; a value it lets through still ends in a configured
// component, with the message that says the mode was impossible. Nothing new is designed: a
// fresh component passes frames through, one configured before filters with its first
// section alone, from restarted histories.
TEST(Configure, ImpossibleModeIsReportedAndTheLastDesignFiltersOn) {
    for (const bool configured_before : {false, true}) {
        pass_filter filter;
        Host host(filter);
        EXPECT_TRUE(!configured_before || host.configure({1, 1, 1000, 4}, 2) == 0);
        const std::vector<float> signal = random_floats(2 * 300);
        if (configured_before) host.run(signal, 2 * 100);
        std::string printed;
        ASSERT_EQ(host.configure({2, 0, 0, 0}, 2, 48000.0, 4, &printed), 0);
        EXPECT_EQ(printed, "fracts are 0.002083 and 0.083333 \nThis was not supposed to "
                           "happen.\n\n\n\n\n\n\n\n\n   Damn.");
        EXPECT_FALSE(filter.two_stage);
        EXPECT_EQ(filter.order, configured_before ? 4 : 0);
        EXPECT_EQ(filter.getStatus().state, 2);
        std::vector<float> expected = signal;
        if (configured_before) {
            zq_test::filter_library reference;
            zq_test::filter_each_channel(
                reference, {false, 4, filter.a1, filter.b1, nullptr, nullptr}, expected, 2);
        }
        EXPECT_TRUE(zq_test::same_bits(host.run(signal, 2 * 100), expected));
    }
}

// Without memory for the filter's work buffers configure prints what it designed, then
// reports -1 with no stream configured; another configure brings the component back.

TEST(Lifecycle, WorkBuffersThatCannotBeHadAreRefusedAndTheComponentRecovers) {
    pass_filter filter, fresh;
    Host host(filter), fresh_host(fresh);
    ASSERT_EQ(host.configure({1, 1, 1000, 4}, 2), 0);
    fail_work_buffers = true;
    std::string printed;
    const int result = host.configure({}, 2, 48000.0, 4, &printed);
    fail_work_buffers = false;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(printed, "fracts are 0.002083 and 0.083333 \n");
    expect_status(filter, 0);
    EXPECT_EQ(filter.channels, 0);
    ASSERT_EQ(host.configure({}, 2), 0);
    ASSERT_EQ(fresh_host.configure({}, 2), 0);
    const std::vector<float> signal = random_floats(2 * 500);
    EXPECT_EQ(host.run(signal, 200), fresh_host.run(signal, 200));
}

TEST(Lifecycle, StatusFollowsConfigureAndReset) {
    auto* filter = new pass_filter();
    expect_status(*filter, 0);
    EXPECT_EQ(filter->type(), 0x666C7472u);
    Host host(*filter);
    ASSERT_EQ(host.configure({}, 2), 0);
    ASSERT_EQ(host.configure({-1, 1, 0, 0}, 2), 0);
    expect_status(*filter, 2);
    EXPECT_TRUE(filter->bypass);
    EXPECT_EQ(filter->componentWillReset(), 0);
    expect_status(*filter, 0);
    EXPECT_FALSE(filter->bypass);
    delete static_cast<ZQ::CM::RComponent*>(filter);
    delete static_cast<ZQ::CM::RComponent*>(new pass_filter()); // never configured
}

// A frame with nowhere to go, or no stream to filter it for, waits on the input. Once it is
// taken, an empty queue ends the host's loop, but in bypass, which reports work all the same.
TEST(Lifecycle, WithoutAStreamOrAnOutputTheFrameStaysQueued) {
    for (const Settings& settings : {Settings{}, Settings{1, 0, 1000.0f, 0.0f}}) {
        pass_filter filter;
        Host host(filter);
        host.push(random_floats(8));
        EXPECT_FALSE(filter.process()); // never configured
        ASSERT_EQ(host.configure(settings, 2), 0);
        filter.setOutputWriter(0, nullptr);
        EXPECT_FALSE(filter.process());
        filter.setOutputWriter(0, host.output);
        filter.componentWillReset();
        EXPECT_FALSE(filter.process());
        EXPECT_EQ(host.input->pendingFrames(), 1u);
        ASSERT_EQ(host.configure(settings, 2), 0);
        EXPECT_TRUE(filter.process());
        EXPECT_EQ(filter.process(), filter.bypass);
    }
}

// A refused stream has reached the output all the same; only the format code is remembered.
// Rates refused: none that is not a positive number, and none so large that the high-pass
// bound, 0.45 x rate in whole Hz, would not fit an int.
TEST(Lifecycle, RefusedStreamsLeaveTheComponentAsItWas) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        int channels, format;
        double rate;
    } cases[] = {{2, 3, 48000},  {0, 4, 48000},        {11, 4, 48000}, {-1, 4, 48000}, {1, 4, 0},
                 {1, 4, -48000}, {1, 4, std::nan("")}, {1, 4, inf},    {1, 4, 4.8e9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.channels << " ch, format " << c.format << ", " << c.rate);
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

// A checking host asks for the settings in the table's order and may refuse one by throwing:
// that leaves the component filtering exactly as before the attempt. A configure that succeeds
// restarts every history.
TEST(Lifecycle, ConfigureThatThrowsLeavesTheComponentAsItWasAndAnotherRestartsIt) {
    struct Checking : ZQ::CM::RFilterConfiguration {
        int getInt(const char* key, int value, int minimum, int maximum) override {
            keys.emplace_back(key);
            return RFilterConfiguration::getInt(key, value, minimum, maximum);
        }
        float getFloat(const char* key, float, float, float) override {
            keys.emplace_back(key);
            if (keys.size() < 4) return 1000.0f; // the last setting is the one refused
            throw ZQ::CException("test", __LINE__, __FILE__, __func__, key);
        }
        std::vector<std::string> keys;
    } checking;
    const Settings band{1, 1, 1000.0f, 4.0f};
    const std::vector<float> signal = random_floats(2 * 3000);
    const std::vector<float> head(signal.begin(), signal.begin() + 2000);
    const std::vector<float> tail(signal.begin() + 2000, signal.end());
    pass_filter steady, interrupted;
    Host steady_host(steady), interrupted_host(interrupted);
    ASSERT_EQ(steady_host.configure(band, 2), 0);
    ASSERT_EQ(interrupted_host.configure(band, 2), 0);
    EXPECT_EQ(interrupted_host.run(head, 500), steady_host.run(head, 500));
    EXPECT_THROW(interrupted_host.configure(checking, 3, 44100.0), ZQ::CException);
    EXPECT_EQ(checking.keys,
              (std::vector<std::string>{"hPass", "lPass", "hFrequency", "lFrequency"}));
    EXPECT_EQ(interrupted.channels, 2);
    expect_status(interrupted, 2);
    EXPECT_EQ(interrupted_host.run(tail, 500), steady_host.run(tail, 500));

    pass_filter fresh;
    Host fresh_host(fresh);
    ASSERT_EQ(fresh_host.configure(band, 2), 0);
    ASSERT_EQ(interrupted_host.configure(band, 2), 0);
    EXPECT_EQ(interrupted_host.run(signal, 512), fresh_host.run(signal, 512));
}

} // namespace
