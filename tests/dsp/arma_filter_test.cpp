#include <dsp/libdspaudio>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;
using samples = std::vector<float>;
using zq_test::filter_library;
using zq_test::random_floats;

struct section {
    samples a, b;
};

// Random taps; denominator magnitudes summing below 1 keep the filter stable.
section test_section(int order, unsigned seed) {
    section s{random_floats(order + 1, seed), random_floats(order + 1, seed + 100)};
    for (float& v : s.a)
        v *= 0.9f / static_cast<float>(order);
    s.a[0] = 1.0f;
    return s;
}

// The textbook difference equation from rest, one sample at a time, in the fixed order.
samples reference_filter(const samples& x, const section& s) {
    samples y(x.size());
    for (std::size_t t = 0; t < x.size(); ++t) {
        float acc = s.b[0] * x[t];
        for (std::size_t k = 1; k < s.b.size(); ++k)
            acc = acc + s.b[k] * (t >= k ? x[t - k] : 0.0f);
        for (std::size_t k = 1; k < s.a.size(); ++k)
            acc = acc - s.a[k] * (t >= k ? y[t - k] : 0.0f);
        y[t] = acc;
    }
    return y;
}

// The carried history must be the last `order` samples of the signal, oldest first.
void expect_history(const float* history, const samples& signal, int order) {
    EXPECT_EQ(samples(history, history + order), samples(signal.end() - order, signal.end()));
}

// One block, then blocks of 1, below the order (0 at order 1), and beyond the capacity of 2000.
// Channels 3 and 9 take turns, one routine each (the cascade takes orders up to 4).
TEST(ArmaFilter, BothRoutinesMatchTheDifferenceEquationInAnyBlocks) {
    const samples x = random_floats(6000, 1);
    for (int order = 1; order <= 8; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        section s1 = test_section(order, order), s2 = test_section(order, 10 + order);
        const samples middle = reference_filter(x, s1), expected = reference_filter(middle, s2);
        for (const std::vector<int>& blocks :
             {std::vector<int>{6000}, {1, order - 1, 5, 2500, 700, 3, 2792 - order}}) {
            const auto dsp = std::make_unique<filter_library>();
            samples single, cascade;
            std::size_t start = 0;
            for (int n : blocks) {
                const float* in = x.data() + start;
                const float* y = dsp->arma_filter(in, n, s1.a.data(), s1.b.data(), order, 3);
                single.insert(single.end(), y, y + n);
                if (order <= 4) {
                    y = dsp->arma_filter_2stage(in, n, s1.a.data(), s1.b.data(), s2.a.data(),
                                                s2.b.data(), order, 9);
                    cascade.insert(cascade.end(), y, y + n);
                }
                start += n;
            }
            EXPECT_EQ(single, middle);
            expect_history(dsp->filter_state[3].x_history, x, order);
            expect_history(dsp->filter_state[3].y_history, middle, order);
            if (order > 4) continue;
            EXPECT_EQ(cascade, expected);
            expect_history(dsp->filter_state[9].x_history, x, order);
            expect_history(dsp->filter_state[9].m_history, middle, order);
            expect_history(dsp->filter_state[9].y_history, expected, order);
        }
    }
}

TEST(ArmaFilter, SecondOrderLowPassImpulseAndStep) {
    filter_library dsp;
    float a[3], b[3];
    dsp.butter_lp_design(0.1f, 2, a, b);
    samples impulse(6, 0.0f);
    impulse[0] = 1.0f;
    const float* y = dsp.arma_filter(impulse.data(), 6, a, b, 2, 0);
    const float expected[] = {0.06746f, 0.2120f, 0.2819f, 0.2347f, 0.1519f, 0.07673f};
    for (int j = 0; j < 6; ++j)
        EXPECT_NEAR(y[j], expected[j], 5e-5f); // quoted to four significant digits
    const samples ones(1000, 1.0f);
    EXPECT_NEAR(dsp.arma_filter(ones.data(), 1000, a, b, 2, 1)[999], 1.0f, 1e-5f);
}

// The input is taken before any output is written, even when the buffers have to grow again.
TEST(ArmaFilter, AResultFeedsTheNextCall) {
    filter_library dsp;
    section s = test_section(4, 5);
    const samples x = random_floats(2500, 7);
    const float* once = dsp.arma_filter(x.data(), 2500, s.a.data(), s.b.data(), 4, 0);
    const float* twice = dsp.arma_filter(once, 2500, s.a.data(), s.b.data(), 4, 1);
    EXPECT_EQ(samples(twice, twice + 2500), reference_filter(reference_filter(x, s), s));
}

// Built over memory full of garbage, an object still starts every channel from rest.
TEST(ArmaFilter, ANewObjectCarriesNoHistory) {
    alignas(libdspaudio) static unsigned char storage[sizeof(libdspaudio)];
    std::memset(storage, 0xA5, sizeof storage);
    auto* dsp = new (storage) libdspaudio();
    const libdspaudio::channel_history rest{};
    for (const libdspaudio::channel_history& history : dsp->filter_state)
        EXPECT_EQ(std::memcmp(&history, &rest, sizeof rest), 0);
    dsp->~libdspaudio();
}

TEST(ArmaFilter, RefusalsAndEmptyBlocksTouchNothing) {
    filter_library dsp;
    section s = test_section(8, 8);
    float *a = s.a.data(), *b = s.b.data();
    const samples x = random_floats(16, 8);
    dsp.arma_filter(x.data(), 16, a, b, 4, 0);
    libdspaudio::channel_history before[libdspaudio::k_history_channels];
    std::memcpy(before, dsp.filter_state, sizeof before);
    for (auto [order, channel] : {std::pair{0, 0}, {9, 0}, {4, 10}, {4, -1}})
        EXPECT_EQ(dsp.arma_filter(x.data(), 16, a, b, order, channel), nullptr);
    EXPECT_EQ(dsp.arma_filter_2stage(x.data(), 16, a, b, a, b, 5, 0), nullptr);
    for (int n : {0, -3})
        dsp.arma_filter(x.data(), n, a, b, 4, 0);
    EXPECT_EQ(std::memcmp(before, dsp.filter_state, sizeof before), 0);
}

} // namespace
