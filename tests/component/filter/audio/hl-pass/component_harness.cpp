#include "component_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace hl_pass_test {

int Host::configure(const Settings& settings, int channels, double rate, int format,
                    std::string* printed) {
    ZQ::CM::RFilterConfiguration config;
    apply(settings, config);
    return configure(config, channels, rate, format, printed);
}

int Host::configure(ZQ::CM::RFilterConfiguration& config, int channels, double rate, int format,
                    std::string* printed) {
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

std::vector<float> Host::run(const std::vector<float>& signal, std::size_t frame_length) {
    std::vector<float> result;
    for (std::size_t start = 0; start < signal.size(); start += frame_length) {
        const std::size_t end = std::min(signal.size(), start + frame_length);
        push(std::vector<float>(signal.begin() + static_cast<std::ptrdiff_t>(start),
                                signal.begin() + static_cast<std::ptrdiff_t>(end)));
        EXPECT_TRUE(filter_.process());
        // The component holds no frames: a flush between frames must change nothing.
        filter_.flush();
        const std::vector<float> out = pull();
        result.insert(result.end(), out.begin(), out.end());
    }
    return result;
}

} // namespace hl_pass_test
