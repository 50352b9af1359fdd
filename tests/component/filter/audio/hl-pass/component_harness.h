// A minimal host around one pass_filter: queues attached, a stream described, frames in and out.
#pragma once

#include "pass_filter.h"

#include "../../../../support/reference.h"

#include <algorithm>
#include <string>
#include <vector>

namespace hl_pass_test {

struct Settings {
    int h_pass = -1; // -1 leaves the setting unset
    int l_pass = -1;
    float h_frequency = 0.0f; // 0 leaves it unset
    float l_frequency = 0.0f;
};

inline void apply(const Settings& settings, ZQ::CM::RFilterConfiguration& config) {
    if (settings.h_pass >= 0) config.setInt("hPass", settings.h_pass);
    if (settings.l_pass >= 0) config.setInt("lPass", settings.l_pass);
    if (settings.h_frequency > 0.0f) config.setFloat("hFrequency", settings.h_frequency);
    if (settings.l_frequency > 0.0f) config.setFloat("lFrequency", settings.l_frequency);
}

// Drives a component as a host does. Works for the class itself and for an instance made by
// the module's factory.
class Host {
public:
    explicit Host(ZQ::CM::RFilter& filter) : filter_(filter) {
        filter_.setInputReader(0, input);
        filter_.setOutputWriter(0, output);
    }

    // Configures for the stream and returns configure's result; `printed` receives stdout.
    int configure(const Settings& settings, int channels, double rate = 48000.0, int format = 4,
                  std::string* printed = nullptr);
    // The same with the host's own configuration object (for hosts that check or log).
    int configure(ZQ::CM::RFilterConfiguration& config, int channels, double rate = 48000.0,
                  int format = 4, std::string* printed = nullptr);

    void push(const std::vector<float>& samples) {
        auto frame =
            ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(samples.size() * sizeof(float)));
        std::copy_n(reinterpret_cast<const uint8_t*>(samples.data()),
                    samples.size() * sizeof(float), frame->getPayload());
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
    std::vector<float> run(const std::vector<float>& signal, std::size_t frame_length);

    const ZQ::RPtr<ZQ::CM::CFrameQueue> input = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    const ZQ::RPtr<ZQ::CM::CFrameQueue> output = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();

private:
    ZQ::CM::RFilter& filter_;
};

} // namespace hl_pass_test
