#include <lib/cm/CMComponent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using ZQ::RPtr;
using namespace ZQ::CM;

struct Tracked : zqbase::object_refcount {
    explicit Tracked(bool& destroyed) : destroyed_(destroyed) {}
    ~Tracked() override { destroyed_ = true; }
    bool& destroyed_;
};

TEST(ReferenceCounting, CopiesRetainAndTheLastReleaseDeletes) {
    bool destroyed = false;
    {
        RPtr<Tracked> first(new Tracked(destroyed));
        {
            RPtr<const Tracked> second = first;
            RPtr<const zqbase::object_refcount> base = second;
            EXPECT_EQ(first->retainCount(), 3);
        }
        RPtr<Tracked> moved = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(moved->retainCount(), 1);
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(FrameQueue, DeliversFramesInOrderAndCarriesTheStreamDescription) {
    const auto queue = ZQ::makeRPtr<CFrameQueue>();
    EXPECT_FALSE(queue->nextFrame());
    EXPECT_FALSE(queue->getDescription());
    for (int64_t t = 0; t < 3; ++t)
        EXPECT_TRUE(queue->put(RPtr<const RFrame>(ZQ::makeRPtr<RFrame>(8u, t))));
    EXPECT_FALSE(queue->put(RPtr<const RFrame>()));
    EXPECT_EQ(queue->pendingFrames(), 3u);
    for (int64_t t = 0; t < 3; ++t) {
        const RPtr<RFrame> frame = queue->nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->getTimestamp(), t);
        EXPECT_EQ(frame->getPayloadSize(), 8u);
    }
    EXPECT_FALSE(queue->nextFrame());
    queue->setDescription(ZQ::makeRPtr<RAudioDescription>(2, 4, 48000.0));
    const auto* audio = dynamic_cast<const RAudioDescription*>(queue->getDescription().get());
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->getChannels(), 2);
    EXPECT_EQ(audio->getFormat(), 4);
    EXPECT_EQ(audio->getSampleRate(), 48000.0);
}

TEST(Configuration, AnswersTheDefaultUntilSetAndChecksNoBounds) {
    RFilterConfiguration config;
    EXPECT_EQ(config.getInt("hPass", 7, 0, 1), 7);
    EXPECT_EQ(config.getFloat("hFrequency", 100.0f, 50.0f, 60.0f), 100.0f);
    config.setInt("hPass", 5);
    config.setFloat("hFrequency", 12.5f);
    EXPECT_TRUE(config.contains("hPass"));
    EXPECT_EQ(config.getInt("hPass", 0, 0, 1), 5);
    EXPECT_EQ(config.getFloat("hFrequency", 100.0f, 50.0f, 60.0f), 12.5f);
    // A value stored as a float that no int can hold saturates; NaN is no value at all.
    config.setFloat("high", 3e9f);
    config.setFloat("low", -1e30f);
    config.setFloat("nan", std::nanf(""));
    EXPECT_EQ(config.getInt("high", 0, 0, 1), std::numeric_limits<int>::max());
    EXPECT_EQ(config.getInt("low", 0, 0, 1), std::numeric_limits<int>::min());
    EXPECT_EQ(config.getInt("nan", 7, 0, 1), 7);
}

// The least a component must define; process and flush keep the framework's defaults.
struct BareComponent : CMMultipleQueueComponent {
    uint32_t type() const override { return 0x74657374; }
    void handleException(const ZQ::CException& exception) override {
        handled = exception.message().str();
    }
    std::string handled;
};

// The framework's defaults: a plain status, a reset that succeeds, and process and flush that
// throw its exception, which the runloop hands to the component.
TEST(DefaultComponent, ThrowsTheFrameworkExceptionWhichTheRunloopHandsOn) {
    BareComponent component;
    const CComponentStatus status = component.getStatus();
    EXPECT_TRUE(status.state == 0 && status.word2 == 0u && status.word3 == 0u);
    EXPECT_EQ(component.componentWillReset(), 0);
    EXPECT_THROW(component.process(), ZQ::CException);
    try {
        component.flush();
        ADD_FAILURE() << "flush() did not throw";
    } catch (const ZQ::CException& e) {
        EXPECT_EQ(e.message().str(), "flush() not implemented!");
    }
    EXPECT_EQ(ZQ::CString::createWithFormat("%s=%d", "n", 42).str(), "n=42");

    const auto queue = ZQ::makeRPtr<CFrameQueue>();
    queue->put(RPtr<const RFrame>(ZQ::makeRPtr<RFrame>(4u)));
    component.setInputReader(0, queue);
    component.runloop(nullptr);
    EXPECT_EQ(component.handled, "process() not implemented!");
}

} // namespace
