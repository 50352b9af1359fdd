// The component as a host drives it, with everything a host may get wrong: settings inside and
// outside their bounds, any rate and channel count, frames of any size (0, and byte counts that
// are no multiple of 4), reconfiguration and reset in any order, a detached output writer.
#include "pass_filter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

using ZQ::CM::RFilterConfiguration;

const char* const k_int_keys[] = {"hPass", "lPass"};
const char* const k_float_keys[] = {"hFrequency", "lFrequency"};

double pick_rate(FuzzedDataProvider& data) {
    const double rates[] = {
        48000.0, 8000.0,   44100.0,      1.0,
        0.0,     -48000.0, std::nan(""), std::numeric_limits<double>::infinity(),
        4.8e9};
    return data.ConsumeBool() ? data.PickValueInArray(rates) : data.ConsumeFloatingPoint<double>();
}

// Values a checking host would let through, and values an unchecked one passes on.
void pick_settings(FuzzedDataProvider& data, RFilterConfiguration& config) {
    for (const char* key : k_int_keys)
        if (data.ConsumeBool())
            config.setInt(key, data.ConsumeBool() ? data.ConsumeIntegralInRange(0, 1)
                                                  : data.ConsumeIntegral<int>());
    for (const char* key : k_float_keys)
        if (data.ConsumeBool())
            config.setFloat(key, data.ConsumeBool()
                                     ? data.ConsumeFloatingPointInRange(0.2f, 20000.0f)
                                     : data.ConsumeFloatingPoint<float>());
}

void configure(FuzzedDataProvider& data, ns_hl_pass::pass_filter& filter,
               ZQ::CM::CFrameQueue& input) {
    const int channels =
        data.ConsumeBool() ? data.ConsumeIntegralInRange(-1, 12) : data.ConsumeIntegral<int>();
    const int format = data.ConsumeBool() ? 4 : data.ConsumeIntegral<int>();
    input.setDescription(
        ZQ::makeRPtr<ZQ::CM::RAudioDescription>(channels, format, pick_rate(data)));
    RFilterConfiguration config;
    pick_settings(data, config);
    filter.configure(config);
}

void push_frame(FuzzedDataProvider& data, ZQ::CM::CFrameQueue& input) {
    const auto bytes = data.ConsumeIntegralInRange<uint32_t>(0, 4099);
    const auto frame = ZQ::makeRPtr<ZQ::CM::RFrame>(bytes);
    const std::vector<uint8_t> payload = data.ConsumeBytes<uint8_t>(bytes);
    std::copy(payload.begin(), payload.end(), frame->getPayload());
    input.put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // configure's diagnostic lines would drown the fuzzer's own.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    ns_hl_pass::pass_filter filter;
    const auto input = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    const auto output = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    filter.setInputReader(0, input);
    filter.setOutputWriter(0, output);
    for (int step = 0; step < 64 && data.remaining_bytes() > 0; ++step) {
        switch (data.ConsumeIntegralInRange(0, 6)) {
        case 0:
            configure(data, filter, *input);
            break;
        case 1:
            push_frame(data, *input);
            break;
        case 2:
            filter.process();
            break;
        case 3:
            filter.componentWillReset();
            break;
        case 4:
            filter.flush();
            break;
        case 5:
            filter.setOutputWriter(0, data.ConsumeBool() ? output : nullptr);
            break;
        default:
            output->nextFrame();
            break;
        }
    }
    return 0;
}
