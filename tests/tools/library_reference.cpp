#include "library_reference.h"

#include <dsp/libdspaudio>

#include <cstring>
#include <memory>

namespace zq_tool_test {

using ns_audio_dsp::libdspaudio;

std::vector<float> filter_with_library(const sound& input, cut_offs request) {
    if (!request.high_hz && !request.low_khz) return input.samples;
    const auto release = [](libdspaudio* dsp) {
        dsp->filter_destroy();
        delete dsp;
    };
    const std::unique_ptr<libdspaudio, decltype(release)> dsp(new libdspaudio(), release);
    dsp->filter_init(2000);
    const double rate = input.rate;
    const float high = static_cast<float>(double{request.high_hz.value_or(100.0f)} / rate);
    const float low = static_cast<float>(double{1000.0f * request.low_khz.value_or(4.0f)} / rate);
    // A band whose both edges lie below 0.005 of the rate runs as its low-pass alone.
    if (request.high_hz && request.low_khz && high < 0.005 && low < 0.005) request.high_hz.reset();

    float a1[9] = {}, b1[9] = {}, a2[5] = {}, b2[5] = {};
    int order = 4;
    bool two_stage = true;
    if (request.high_hz && request.low_khz) {
        dsp->butter_hp_design(high, double{high} >= 0.01 ? 4 : 2, a1, b1);
        dsp->butter_lp_design(low, 4, a2, b2);
    } else if (request.high_hz && double{high} < 0.015) {
        order = 2;
        dsp->butter_hp_design(high, 2, a1, b1);
        dsp->butter_hp_design(high, 2, a2, b2);
    } else {
        two_stage = false;
        if (request.high_hz)
            dsp->butter_hp_design(high, 4, a1, b1);
        else
            dsp->butter_lp_design(low, 4, a1, b1);
    }

    const int channels = input.channels;
    const int frames = static_cast<int>(input.samples.size()) / channels;
    std::vector<float> output(input.samples.size());
    std::vector<float> run(frames);
    for (int c = 0; c < channels; ++c) {
        for (int f = 0; f < frames; ++f)
            run[f] = input.samples[f * channels + c];
        const float* filtered =
            two_stage ? dsp->arma_filter_2stage(run.data(), frames, a1, b1, a2, b2, order, c)
                      : dsp->arma_filter(run.data(), frames, a1, b1, order, c);
        for (int f = 0; f < frames; ++f)
            output[f * channels + c] = filtered[f];
    }
    return output;
}

testing::AssertionResult same_bits(const std::vector<float>& got,
                                   const std::vector<float>& expected) {
    if (got.size() != expected.size())
        return testing::AssertionFailure()
               << got.size() << " samples, expected " << expected.size();
    for (std::size_t i = 0; i < got.size(); ++i)
        if (std::memcmp(&got[i], &expected[i], sizeof(float)) != 0)
            return testing::AssertionFailure()
                   << "sample " << i << " is " << got[i] << ", expected " << expected[i];
    return testing::AssertionSuccess();
}

} // namespace zq_tool_test
