#include <channel/audio_channel>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using ns_audio_channel::audio_channel;
using bytes = std::vector<unsigned char>;
using planes = std::vector<bytes>;

constexpr unsigned char k_sentinel = 0xA5;
constexpr std::size_t k_guard = 32; // sentinel bytes past the whole frames, > any partial frame
constexpr int k_element_sizes[] = {1, 2, 4};
constexpr int k_frame_counts[] = {1, 2, 3, 11, 13, 15};

// Raw bytes for the integer sizes; moderate floats for size 4, so that sums stay finite.
bytes random_samples(int size, std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    bytes data(count * static_cast<std::size_t>(size));
    if (size != 4) {
        for (auto& byte : data)
            byte = static_cast<unsigned char>(random());
        return data;
    }
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (std::size_t k = 0; k < count; ++k) {
        const float sample = value(random);
        std::memcpy(&data[4 * k], &sample, 4);
    }
    return data;
}

bytes with_guard(bytes data) {
    data.insert(data.end(), k_guard, k_sentinel);
    return data;
}

// --- References, element by element. ---

void copy_element(int size, const bytes& from, std::size_t from_index, bytes& to,
                  std::size_t to_index) {
    std::memcpy(&to[to_index * size], &from[from_index * size], static_cast<std::size_t>(size));
}

bytes interleaved(int size, const planes& sources) {
    const std::size_t count = sources[0].size() / static_cast<std::size_t>(size);
    bytes out(sources.size() * sources[0].size());
    for (std::size_t k = 0; k < count; ++k)
        for (std::size_t i = 0; i < sources.size(); ++i)
            copy_element(size, sources[i], k, out, k * sources.size() + i);
    return out;
}

planes split(int size, const bytes& source, std::size_t channels) {
    planes out(channels, bytes(source.size() / channels));
    for (std::size_t k = 0; k < out[0].size() / static_cast<std::size_t>(size); ++k)
        for (std::size_t i = 0; i < channels; ++i)
            copy_element(size, source, k * channels + i, out[i], k);
    return out;
}

// The averages by definition, in double (exact for these operands), rounded once.
template <typename T>
T average_of(T x, T y) {
    const double sum = static_cast<double>(x) + static_cast<double>(y);
    if constexpr (std::is_floating_point_v<T>) return static_cast<T>(sum / 2.0);
    return static_cast<T>(std::floor((sum + 1.0) / 2.0));
}

template <typename T>
bytes averaged(const planes& sources) {
    bytes out(sources[0].size());
    for (std::size_t k = 0; k < out.size(); k += sizeof(T)) {
        T x, y;
        std::memcpy(&x, &sources[0][k], sizeof(T));
        std::memcpy(&y, &sources[1][k], sizeof(T));
        const T mean = average_of(x, y);
        std::memcpy(&out[k], &mean, sizeof(T));
    }
    return out;
}

bytes averaged(int size, const planes& sources) {
    if (size == 1) return averaged<uint8_t>(sources);
    if (size == 2) return averaged<int16_t>(sources);
    return averaged<float>(sources);
}

// --- Every entry point behind one shape: sources in, destinations out. ---

using call_fn = std::function<bool(int, int, const planes&, planes&)>;

struct kernel {
    std::string name;
    std::size_t source_count, source_elements; // buffers, and elements per frame in each
    std::size_t destination_count, destination_elements;
    std::size_t covered_elements; // elements per frame in the buffer byte_count covers
    std::function<planes(int, const planes&)> expected;
    call_fn call;
};

call_fn adapt(bool (*fn)(int, int, const void*, void*)) {
    return [fn](int s, int n, const planes& in, planes& out) {
        return fn(s, n, in[0].data(), out[0].data());
    };
}
call_fn adapt(bool (*fn)(int, int, const void*, const void*, void*)) {
    return [fn](int s, int n, const planes& in, planes& out) {
        return fn(s, n, in[0].data(), in[1].data(), out[0].data());
    };
}
call_fn adapt(bool (*fn)(int, int, const void*, void*, void*)) {
    return [fn](int s, int n, const planes& in, planes& out) {
        return fn(s, n, in[0].data(), out[0].data(), out[1].data());
    };
}
call_fn adapt(bool (*fn)(int, int, const void*, const void*, const void*, const void*, const void*,
                         const void*, void*)) {
    return [fn](int s, int n, const planes& in, planes& out) {
        return fn(s, n, in[0].data(), in[1].data(), in[2].data(), in[3].data(), in[4].data(),
                  in[5].data(), out[0].data());
    };
}
call_fn adapt(bool (*fn)(int, int, const void*, void*, void*, void*, void*, void*, void*)) {
    return [fn](int s, int n, const planes& in, planes& out) {
        return fn(s, n, in[0].data(), out[0].data(), out[1].data(), out[2].data(), out[3].data(),
                  out[4].data(), out[5].data());
    };
}

template <typename Fn>
void add_variants(std::vector<kernel>& table, kernel shape, const std::array<Fn, 3>& variants) {
    const char* suffixes[] = {"", "_plain", "_altivec"};
    const std::string name = shape.name;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        shape.name = name + suffixes[i];
        shape.call = adapt(variants[i]);
        table.push_back(shape);
    }
}

std::vector<kernel> every_kernel() {
    using ac = audio_channel;
    const auto interleave = [](int size, const planes& in) {
        return planes{interleaved(size, in)};
    };
    std::vector<kernel> table;
    add_variants(table, {"interleave_2xmono_to_stereo", 2, 1, 1, 2, 2, interleave, {}},
                 std::array{ac::interleave_2xmono_to_stereo, ac::interleave_2xmono_to_stereo_plain,
                            ac::interleave_2xmono_to_stereo_altivec});
    add_variants(table,
                 {"deinterleave_stereo_to_2xmono",
                  1,
                  2,
                  2,
                  1,
                  2,
                  [](int size, const planes& in) { return split(size, in[0], 2); },
                  {}},
                 std::array{ac::deinterleave_stereo_to_2xmono,
                            ac::deinterleave_stereo_to_2xmono_plain,
                            ac::deinterleave_stereo_to_2xmono_altivec});
    add_variants(table, {"interleave_6xmono_to_51", 6, 1, 1, 6, 6, interleave, {}},
                 std::array{ac::interleave_6xmono_to_51, ac::interleave_6xmono_to_51_plain,
                            ac::interleave_6xmono_to_51_altivec});
    add_variants(table,
                 {"deinterleave_51_to_6xmono",
                  1,
                  6,
                  6,
                  1,
                  6,
                  [](int size, const planes& in) { return split(size, in[0], 6); },
                  {}},
                 std::array{ac::deinterleave_51_to_6xmono, ac::deinterleave_51_to_6xmono_plain,
                            ac::deinterleave_51_to_6xmono_altivec});
    add_variants(table,
                 {"mix_up_1xmono_to_stereo",
                  1,
                  1,
                  1,
                  2,
                  1,
                  [](int size, const planes& in) {
                      return planes{interleaved(size, {in[0], in[0]})};
                  },
                  {}},
                 std::array{ac::mix_up_1xmono_to_stereo, ac::mix_up_1xmono_to_stereo_plain,
                            ac::mix_up_1xmono_to_stereo_altivec});
    add_variants(
        table,
        {"mix_down_stereo_to_1xmono",
         1,
         2,
         1,
         1,
         2,
         [](int size, const planes& in) { return planes{averaged(size, split(size, in[0], 2))}; },
         {}},
        std::array{ac::mix_down_stereo_to_1xmono, ac::mix_down_stereo_to_1xmono_plain,
                   ac::mix_down_stereo_to_1xmono_altivec});
    table.push_back({"average", 2, 1, 1, 1, 1,
                     [](int size, const planes& in) { return planes{averaged(size, in)}; },
                     adapt(ac::average)});
    return table;
}

class Kernel : public testing::TestWithParam<kernel> {};

// Odd lengths reach any vector tail; a partial frame added to byte_count must be ignored.
TEST_P(Kernel, FollowsItsDefinitionForEveryElementSize) {
    const kernel& k = GetParam();
    for (const int size : k_element_sizes) {
        for (const int frames : k_frame_counts) {
            SCOPED_TRACE(testing::Message() << size << "-byte elements, " << frames << " frames");
            const std::size_t count = static_cast<std::size_t>(frames);
            planes in;
            for (std::size_t i = 0; i < k.source_count; ++i)
                in.push_back(
                    random_samples(size, count * k.source_elements, static_cast<unsigned>(i + 1)));
            const std::size_t destination_bytes = count * k.destination_elements * size;
            planes out(k.destination_count, with_guard(bytes(destination_bytes, k_sentinel)));
            const int frame_bytes = static_cast<int>(k.covered_elements) * size;

            EXPECT_TRUE(k.call(size, frames * frame_bytes + frame_bytes - 1, in, out));
            planes expected = k.expected(size, in);
            for (bytes& buffer : expected)
                buffer = with_guard(buffer);
            EXPECT_EQ(out, expected);
        }
    }
}

TEST_P(Kernel, RefusesOtherElementSizesAndSkipsEmptyCountsWithoutWriting) {
    const kernel& k = GetParam();
    const planes in(k.source_count, random_samples(4, 96, 9));
    const planes untouched(k.destination_count, bytes(96 * 4, k_sentinel));
    planes out = untouched;
    for (const int size : {0, 3, 8, -4})
        EXPECT_FALSE(k.call(size, 96, in, out)) << "size " << size;
    for (const int size : k_element_sizes)
        for (const int byte_count : {0, -1, -96})
            EXPECT_TRUE(k.call(size, byte_count, in, out)) << size << ", " << byte_count;
    EXPECT_EQ(out, untouched);
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, Kernel, testing::ValuesIn(every_kernel()),
                         [](const testing::TestParamInfo<kernel>& param) {
                             return param.param.name;
                         });

template <typename T>
std::vector<T> mix_down(const std::vector<T>& stereo) {
    std::vector<T> mono(stereo.size() / 2);
    EXPECT_TRUE(audio_channel::mix_down_stereo_to_1xmono(
        sizeof(T), static_cast<int>(stereo.size() * sizeof(T)), stereo.data(), mono.data()));
    return mono;
}

TEST(KernelArithmetic, IntegerAveragesRoundHalvesUpAndFloatsHalveTheSum) {
    EXPECT_EQ(mix_down<int16_t>({-1, -2, 1, 2, -32768, -32768, 32767, 32767, -32768, 32767}),
              (std::vector<int16_t>{-1, 2, -32768, 32767, 0}));
    EXPECT_EQ(mix_down<uint8_t>({255, 255, 0, 1, 0, 0, 254, 255}),
              (std::vector<uint8_t>{255, 1, 0, 255}));
    const float a = 1.0f, b = 2.0f;
    float mean = 0.0f;
    EXPECT_TRUE(audio_channel::average(4, 4, &a, &b, &mean));
    EXPECT_EQ(mean, 1.5f);
}

TEST(KernelArithmetic, AltiVecIsAConstantOfTheTarget) {
#if defined(__ALTIVEC__)
    EXPECT_TRUE(audio_channel::isAltiVecAvailable());
#else
    EXPECT_FALSE(audio_channel::isAltiVecAvailable());
#endif
}

} // namespace
