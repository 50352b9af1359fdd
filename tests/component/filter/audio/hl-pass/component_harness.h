// A minimal host around one component: queues attached, a stream described, frames in and out.
#pragma once

#include "pass_filter.h"

#include "../../../../support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace hl_pass_test {

using zq_test::random_floats;

struct Settings {
    int h_pass = -1; // -1 leaves the setting unset
    int l_pass = -1;
    float h_frequency = 0.0f; // 0 leaves it unset
    float l_frequency = 0.0f;
};

// Drives a component as a host does: the class itself or an instance made by the module.
class Host {
public:
    explicit Host(ZQ::CM::RFilter& filter) : filter_(filter) {
        filter_.setInputReader(0, input);
        filter_.setOutputWriter(0, output);
    }

    // Configures for the stream and returns configure's result; `printed` receives stdout.
    int configure(const Settings& s, int channels, double rate = 48000.0, int format = 4,
                  std::string* printed = nullptr) {
        ZQ::CM::RFilterConfiguration config;
        if (s.h_pass >= 0) config.setInt("hPass", s.h_pass);
        if (s.l_pass >= 0) config.setInt("lPass", s.l_pass);
        if (s.h_frequency > 0.0f) config.setFloat("hFrequency", s.h_frequency);
        if (s.l_frequency > 0.0f) config.setFloat("lFrequency", s.l_frequency);
        return configure(config, channels, rate, format, printed);
    }
    // The same with the host's own configuration object (for hosts that check or log).
    int configure(ZQ::CM::RFilterConfiguration& config, int channels, double rate = 48000.0,
                  int format = 4, std::string* printed = nullptr) {
        input->setDescription(ZQ::makeRPtr<ZQ::CM::RAudioDescription>(channels, format, rate));
        testing::internal::CaptureStdout();
        struct stop_capture {
            std::string* printed;
            ~stop_capture() {
                const std::string text = testing::internal::GetCapturedStdout();
                if (printed) *printed = text;
            }
        } capture{printed};
        return filter_.configure(config);
    }

    void push(const std::vector<float>& samples) {
        const std::size_t bytes = samples.size() * sizeof(float);
        auto frame = ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(bytes));
        std::copy_n(reinterpret_cast<const uint8_t*>(samples.data()), bytes, frame->getPayload());
        input->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
    }

    std::vector<float> pull() {
        const ZQ::RPtr<ZQ::CM::RFrame> frame = output->nextFrame();
        if (!frame) return {};
        std::vector<float> samples(frame->getPayloadSize() / sizeof(float));
        std::copy_n(frame->getPayload(), samples.size() * sizeof(float),
                    reinterpret_cast<uint8_t*>(samples.data()));
        return samples;
    }

    // Feeds `signal` in frames of `frame_length` samples (all channels), flushing after each,
    // and returns what comes out, concatenated.
    std::vector<float> run(const std::vector<float>& signal, std::size_t frame_length) {
        std::vector<float> result;
        for (std::size_t start = 0; start < signal.size(); start += frame_length) {
            const auto first = signal.begin() + static_cast<std::ptrdiff_t>(start);
            push({first, first + static_cast<std::ptrdiff_t>(
                                     std::min(frame_length, signal.size() - start))});
            EXPECT_TRUE(filter_.process());
            filter_.flush(); // the component holds no frames: a flush must change nothing
            const std::vector<float> out = pull();
            result.insert(result.end(), out.begin(), out.end());
        }
        return result;
    }

    const ZQ::RPtr<ZQ::CM::CFrameQueue> input = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    const ZQ::RPtr<ZQ::CM::CFrameQueue> output = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();

private:
    ZQ::CM::RFilter& filter_;
};

} // namespace hl_pass_test
