// The channel library within its contracts: converters from the factory for any type and
// counts, fed buffers of exactly the size each conversion reads and writes; interleave and
// deinterleave for any counts; the element kernels for any element size and byte count. Every
// buffer is sized exactly, so AddressSanitizer catches a single element read or written beyond
// what the contract allows.
#include <channel/audio_channel>

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

namespace {

using ns_audio_channel::audio_channel;
using ns_audio_channel::audio_channel_api;

// Exactly `count` elements of T (none for a count below 1), filled from the input.
template <typename T>
std::vector<T> exact(FuzzedDataProvider& data, long count) {
    std::vector<T> buffer(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (T& value : buffer)
        value = data.ConsumeIntegral<T>();
    return buffer;
}

std::vector<float> samples(FuzzedDataProvider& data, long count) {
    std::vector<float> buffer(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (float& value : buffer)
        value = data.ConsumeFloatingPoint<float>();
    return buffer;
}

void convert(FuzzedDataProvider& data) {
    const auto type = static_cast<audio_channel_api::type>(data.ConsumeIntegralInRange(-1, 2));
    const int in = data.ConsumeIntegralInRange(-2, 14), out = data.ConsumeIntegralInRange(-2, 14);
    const bool pairs = data.ConsumeBool();
    audio_channel_api* converter = audio_channel_api::create(type, in, out, pairs);
    if (!converter) return;
    if (type != audio_channel_api::mixing) {
        bool map[8][8];
        for (auto& row : map)
            for (bool& cell : row)
                cell = data.ConsumeBool();
        converter->configure_map(map);
    }
    const auto frames = data.ConsumeIntegralInRange<uint32_t>(0, 300);
    std::vector<float> source = samples(data, long{in} * frames);
    std::vector<float> target(static_cast<std::size_t>(out) * frames);
    converter->process(target.data(), source.data(), frames);
    audio_channel_api::destroy(converter);
}

void interleaving(FuzzedDataProvider& data) {
    const int channels = data.ConsumeIntegralInRange(-3, 12);
    const int frames =
        data.ConsumeBool() ? data.ConsumeIntegralInRange(-5, 300) : data.ConsumeIntegral<int>();
    const long count = channels > 0 && frames > 0 ? long{channels} * frames : 0;
    if (count > 4000) return;
    std::vector<float> planar = samples(data, count), interleaved(planar.size());
    audio_channel_api::interleave(channels, frames, planar.data(), interleaved.data());
    audio_channel_api::deinterleave(channels, frames, interleaved.data(), planar.data());
}

// One kernel with its buffers: `channels` planes of n / channels elements against one
// interleaved buffer, where n elements fit `byte_count`.
void kernel(FuzzedDataProvider& data) {
    const int size = data.PickValueInArray({1, 2, 4, 3, 8});
    const int byte_count = data.ConsumeIntegralInRange(-8, 2000);
    const int element = size == 1 || size == 2 || size == 4 ? size : 1;
    const long elements = byte_count > 0 ? byte_count / element : 0;
    const auto whole = [&](long channels) { return elements / channels * channels * element; };
    const auto plane = [&](long channels) {
        return exact<uint8_t>(data, elements / channels * element);
    };
    const auto joined = [&](long channels) { return exact<uint8_t>(data, whole(channels)); };
    switch (data.ConsumeIntegralInRange(0, 6)) {
    case 0: {
        auto l = plane(2), r = plane(2), s = joined(2);
        audio_channel::interleave_2xmono_to_stereo(size, byte_count, l.data(), r.data(), s.data());
        break;
    }
    case 1: {
        auto s = joined(2), l = plane(2), r = plane(2);
        audio_channel::deinterleave_stereo_to_2xmono(size, byte_count, s.data(), l.data(),
                                                     r.data());
        break;
    }
    case 2: {
        auto c0 = plane(6), c1 = plane(6), c2 = plane(6), c3 = plane(6), c4 = plane(6),
             c5 = plane(6), s = joined(6);
        audio_channel::interleave_6xmono_to_51(size, byte_count, c0.data(), c1.data(), c2.data(),
                                               c3.data(), c4.data(), c5.data(), s.data());
        break;
    }
    case 3: {
        auto s = joined(6), c0 = plane(6), c1 = plane(6), c2 = plane(6), c3 = plane(6),
             c4 = plane(6), c5 = plane(6);
        audio_channel::deinterleave_51_to_6xmono(size, byte_count, s.data(), c0.data(), c1.data(),
                                                 c2.data(), c3.data(), c4.data(), c5.data());
        break;
    }
    case 4: {
        auto m = joined(1), s = exact<uint8_t>(data, 2 * whole(1));
        audio_channel::mix_up_1xmono_to_stereo(size, byte_count, m.data(), s.data());
        break;
    }
    case 5: {
        auto s = joined(2), m = plane(2);
        audio_channel::mix_down_stereo_to_1xmono(size, byte_count, s.data(), m.data());
        audio_channel::mix_down_stereo_to_1xmono_altivec(size, byte_count, s.data(), m.data());
        break;
    }
    default: {
        auto a = joined(1), b = joined(1), o = joined(1);
        audio_channel::average(size, byte_count, a.data(), b.data(), o.data());
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0:
            convert(data);
            break;
        case 1:
            interleaving(data);
            break;
        default:
            kernel(data);
            break;
        }
    }
    return 0;
}
