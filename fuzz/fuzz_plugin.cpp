// The plugin core as a host drives it: any rate the filter serves, controls anywhere within the
// ranges the plugins advertise, changed between blocks of any length. Fed noise no louder than
// 1, the output must stay finite and within 4: no control change may carry a filter's history
// into a very different filter.
#include "hl_pass_plugin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

using namespace ns_hl_pass_plugin;

float control_value(FuzzedDataProvider& data, const control_description& control) {
    if (control.kind == control_kind::frequency)
        return static_cast<float>(std::exp(data.ConsumeFloatingPointInRange<double>(
            std::log(control.minimum), std::log(control.maximum))));
    if (control.kind == control_kind::order)
        return data.ConsumeFloatingPointInRange<float>(control.minimum, control.maximum);
    return data.ConsumeBool() ? 1.0f : 0.0f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const double rates[] = {8000, 22050, 44100, 48000, 96000, 192000, 384000};
    const double rate = data.PickValueInArray(rates);
    const int channels = data.ConsumeBool() ? 2 : 1;
    hl_pass_instance instance(rate, channels);
    float controls[k_control_ports];
    for (unsigned port = 0; port < k_control_ports; ++port) {
        controls[port] = k_controls[port].default_value;
        instance.connect(port, &controls[port]);
    }
    std::vector<float> buffers[2] = {std::vector<float>(8192), std::vector<float>(8192)};
    for (int c = 0; c < channels; ++c) {
        instance.connect(k_control_ports + static_cast<unsigned>(c), buffers[c].data());
        instance.connect(k_control_ports + static_cast<unsigned>(channels + c), buffers[c].data());
    }
    instance.activate();
    unsigned noise = data.ConsumeIntegral<unsigned>();
    long budget = static_cast<long>(rate); // one second of audio at most
    while (data.remaining_bytes() > 0 && budget > 0) {
        const unsigned port = data.ConsumeIntegralInRange<unsigned>(0, k_control_ports - 1);
        controls[port] = control_value(data, k_controls[port]);
        const auto frames = data.ConsumeIntegralInRange<unsigned long>(1, 8192);
        budget -= static_cast<long>(frames);
        for (int repeat = data.ConsumeIntegralInRange(1, 8); repeat > 0; --repeat) {
            for (int c = 0; c < channels; ++c)
                for (unsigned long i = 0; i < frames; ++i) {
                    noise = noise * 1664525u + 1013904223u;
                    buffers[c][i] = static_cast<float>(noise >> 8) / 8388608.0f - 1.0f;
                }
            instance.run(frames);
            for (int c = 0; c < channels; ++c)
                for (unsigned long i = 0; i < frames; ++i)
                    if (!(std::fabs(buffers[c][i]) <= 4.0f)) std::abort();
        }
    }
    return 0;
}
