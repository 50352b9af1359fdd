// The one host the component's tests drive it through: queues attached, a stream described,
// settings handed over, frames in and out. The component is the class itself or an instance
// made by the built module, loaded by path as a host loads it.
#pragma once

#include "pass_filter.h"

#include "../../../../support/exact_modes.h"

#include <engine/component_settings.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <memory>
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

// The settings that ask the component for `request`.
inline Settings settings_for(const ns_filter_engine::filter_request& request) {
    return {request.high_pass, request.low_pass, static_cast<float>(request.high_hz),
            ns_filter_engine::khz_from_hz(request.low_hz)};
}

// The built module, loaded the way a host does: by path, with dlopen, through its C symbols.
struct LoadedModule {
    void* const handle = dlopen(ZQ_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    LoadedModule() = default;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    ~LoadedModule() {
        if (handle) dlclose(handle);
    }
    // An instance from the module's factory, as the filter it must be; null if either fails.
    std::unique_ptr<ZQ::CM::RFilter> create() const {
        const auto factory =
            reinterpret_cast<ZQGetComponentInstance>(dlsym(handle, "getComponentInstance"));
        std::unique_ptr<ZQ::CM::RComponent> component(factory ? factory() : nullptr);
        auto* filter = dynamic_cast<ZQ::CM::RFilter*>(component.get());
        if (filter) component.release();
        return std::unique_ptr<ZQ::CM::RFilter>(filter);
    }
};

// Drives a component as a host does.
class Host {
public:
    explicit Host(ZQ::CM::RFilter& filter) : filter_(filter) {
        filter_.setInputReader(0, input);
        filter_.setOutputWriter(0, output);
    }

    // Configures for the stream and returns configure's result; `printed` receives stdout.
    int configure(const Settings& s, int channels, double rate = 48000.0, int format = 4,
                  std::string* printed = nullptr) {
        using namespace ns_filter_engine;
        ZQ::CM::RFilterConfiguration config;
        if (s.h_pass >= 0) config.setInt(k_high_pass_key, s.h_pass);
        if (s.l_pass >= 0) config.setInt(k_low_pass_key, s.l_pass);
        if (s.h_frequency > 0.0f) config.setFloat(k_high_frequency_key, s.h_frequency);
        if (s.l_frequency > 0.0f) config.setFloat(k_low_frequency_key, s.l_frequency);
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
