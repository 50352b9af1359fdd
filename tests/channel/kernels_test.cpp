#include <channel/audio_channel>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using ns_audio_channel::audio_channel;

// A kernel behind one shape: element size, byte count, then its buffers in order (sources,
// then destinations).
using call_fn = std::function<bool(int, int, const std::vector<void*>&)>;

template <typename... P, std::size_t... I>
bool call(bool (*fn)(int, int, P...), int size, int byte_count, const std::vector<void*>& all,
          std::index_sequence<I...>) {
    return fn(size, byte_count, static_cast<P>(all[I])...);
}

template <typename... P>
call_fn adapt(bool (*fn)(int, int, P...)) {
    return [fn](int size, int byte_count, const std::vector<void*>& all) {
        return call(fn, size, byte_count, all, std::index_sequence_for<P...>{});
    };
}

// Each destination element of a frame is the mean of the two source elements of the frame
// named by its pair in `wiring` (a copy names one twice); a frame lists the elements of every
// source, buffer after buffer.
struct kernel {
    const char* name;
    std::vector<call_fn> variants;
    std::size_t sources, source_width; // buffers, and elements per frame in each
    std::size_t destinations;
    std::size_t covered_width; // elements per frame of the buffer byte_count covers
    std::string_view wiring;
    std::size_t elements() const { return (wiring.size() + 1) / 3; }
};

// The public name, _plain and _altivec must each match the reference.
// clang-format off
#define KERNEL(fn, ...) kernel{#fn, {adapt(audio_channel::fn), adapt(audio_channel::fn##_plain), \
                                     adapt(audio_channel::fn##_altivec)}, __VA_ARGS__}
// clang-format on

const kernel k_kernels[] = {
    KERNEL(interleave_2xmono_to_stereo, 2, 1, 1, 2, "00 11"),
    KERNEL(deinterleave_stereo_to_2xmono, 1, 2, 2, 2, "00 11"),
    KERNEL(interleave_6xmono_to_51, 6, 1, 1, 6, "00 11 22 33 44 55"),
    KERNEL(deinterleave_51_to_6xmono, 1, 6, 6, 6, "00 11 22 33 44 55"),
    KERNEL(mix_up_1xmono_to_stereo, 1, 1, 1, 1, "00 00"),
    KERNEL(mix_down_stereo_to_1xmono, 1, 2, 1, 2, "01"),
    kernel{"average", {adapt(audio_channel::average)}, 2, 1, 1, 1, "01"},
};

// The mean by definition, in double (exact for these operands), rounded once; halves round up.
template <typename T>
T mean(T x, T y) {
    const double sum = static_cast<double>(x) + static_cast<double>(y);
    return static_cast<T>(std::is_floating_point_v<T> ? sum / 2 : std::floor((sum + 1) / 2));
}

// Sources of noise, then destinations full of sentinels with a guard behind, longer than any
// partial frame.
template <typename T>
std::vector<std::vector<T>> prepare(const kernel& k, std::size_t frames) {
    std::vector<std::vector<T>> all(k.sources, std::vector<T>(frames * k.source_width));
    unsigned seed = 7;
    for (auto& source : all) {
        const std::vector<float> values = zq_test::random_floats(source.size(), seed++);
        // Floats of moderate size, so that sums stay finite; integers over their whole range.
        const float scale = std::is_floating_point_v<T> ? 1000.0f : 32768.0f;
        for (std::size_t i = 0; i < source.size(); ++i) {
            const float scaled = values[i] * scale;
            source[i] = std::is_floating_point_v<T> ? static_cast<T>(scaled)
                                                    : static_cast<T>(static_cast<int32_t>(scaled));
        }
    }
    const std::size_t destination_elements = frames * k.elements() / k.destinations;
    all.insert(all.end(), k.destinations,
               std::vector<T>(destination_elements + 8, static_cast<T>(-99)));
    return all;
}

// The buffers `prepare` made, as the wiring says they must end: only destinations change.
template <typename T>
std::vector<std::vector<T>> expected(const kernel& k, std::size_t frames,
                                     std::vector<std::vector<T>> all) {
    const std::size_t in_width = k.source_width, out_width = k.elements() / k.destinations;
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t j = 0; j < k.elements(); ++j) {
            const auto source = [&](std::size_t at) {
                const auto i = static_cast<std::size_t>(k.wiring[3 * j + at] - '0');
                return all[i / in_width][f * in_width + i % in_width];
            };
            all[k.sources + j / out_width][f * out_width + j % out_width] =
                mean(source(0), source(1));
        }
    }
    return all;
}

// Odd lengths reach any vector tail; a partial frame added to byte_count must be ignored.
// Other element sizes and empty counts must leave every buffer as it was.
template <typename T>
void check_every_kernel() {
    const int size = sizeof(T);
    for (const kernel& k : k_kernels) {
        for (const std::size_t frames : {1, 2, 3, 11, 13, 15}) {
            SCOPED_TRACE(testing::Message() << k.name << ", size " << size << ", " << frames);
            const auto all = prepare<T>(k, frames);
            const int count = static_cast<int>((frames + 1) * k.covered_width) * size - 1;
            for (std::size_t v = 0; v < k.variants.size(); ++v) {
                auto run = all;
                std::vector<void*> pointers;
                for (auto& buffer : run)
                    pointers.push_back(buffer.data());
                for (const int refused : {0, 3, 8, -4})
                    EXPECT_FALSE(k.variants[v](refused, count, pointers)) << refused;
                for (const int empty : {0, -1, -count})
                    EXPECT_TRUE(k.variants[v](size, empty, pointers)) << empty;
                EXPECT_EQ(run, all) << "variant " << v;
                EXPECT_TRUE(k.variants[v](size, count, pointers));
                EXPECT_EQ(run, expected(k, frames, all)) << "variant " << v;
            }
        }
    }
}

TEST(Kernels, EveryVariantFollowsTheReferenceAndRefusesWithoutWriting) {
    check_every_kernel<uint8_t>();
    check_every_kernel<int16_t>();
    check_every_kernel<float>();
}

TEST(Kernels, IntegerMeansRoundHalvesUpAndFitAtTheExtremes) {
    const int16_t a16[] = {-1, 1, -32768, 32767, -32768}, b16[] = {-2, 2, -32768, 32767, 32767};
    const uint8_t a8[] = {255, 0, 0, 254}, b8[] = {255, 1, 0, 255};
    std::vector<int16_t> mean16(5);
    std::vector<uint8_t> mean8(4);
    EXPECT_TRUE(audio_channel::average(2, sizeof a16, a16, b16, mean16.data()));
    EXPECT_TRUE(audio_channel::average(1, sizeof a8, a8, b8, mean8.data()));
    EXPECT_EQ(mean16, (std::vector<int16_t>{-1, 2, -32768, 32767, 0}));
    EXPECT_EQ(mean8, (std::vector<uint8_t>{255, 1, 0, 255}));
}

} // namespace
