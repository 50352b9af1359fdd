#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;
using samples = std::vector<float>;

constexpr int k_capacity = 2000;

struct library_deleter {
    void operator()(libdspaudio* dsp) const {
        dsp->filter_destroy();
        delete dsp;
    }
};
using library_ptr = std::unique_ptr<libdspaudio, library_deleter>;

library_ptr fresh_library() {
    library_ptr dsp(new libdspaudio);
    EXPECT_TRUE(dsp->filter_init(k_capacity));
    return dsp;
}

struct section {
    samples a;
    samples b;
};

// A stable section with every tap in use: real poles inside the unit circle, random zeros.
section test_section(int order, unsigned seed) {
    std::vector<double> a(order + 1, 0.0);
    a[0] = 1.0;
    for (int p = 0; p < order; ++p) {
        const double pole = (p % 2 == 0 ? 0.9 : -0.6) * (1.0 - 0.05 * p);
        for (int k = p + 1; k >= 1; --k)
            a[k] -= pole * a[k - 1];
    }
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coefficient(-1.0f, 1.0f);
    section s{samples(a.begin(), a.end()), samples(order + 1)};
    for (float& v : s.b)
        v = coefficient(random);
    return s;
}

samples noise(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    samples x(count);
    for (float& v : x)
        v = value(random);
    return x;
}

// The textbook difference equation from rest, one sample at a time, in the fixed order.
samples reference_filter(const samples& x, const section& s) {
    const int order = static_cast<int>(s.a.size()) - 1;
    samples xp(order, 0.0f), yp(order, 0.0f);
    xp.insert(xp.end(), x.begin(), x.end());
    for (std::size_t t = order; t < xp.size(); ++t) {
        float y = s.b[0] * xp[t];
        for (int k = 1; k <= order; ++k)
            y = y + s.b[k] * xp[t - k];
        for (int k = 1; k <= order; ++k)
            y = y - s.a[k] * yp[t - k];
        yp.push_back(y);
    }
    return samples(yp.begin() + order, yp.end());
}

std::vector<std::uint32_t> bits(const samples& x) {
    std::vector<std::uint32_t> out(x.size());
    std::memcpy(out.data(), x.data(), x.size() * sizeof(float));
    return out;
}

samples tail(const samples& x, int order) {
    return samples(x.end() - order, x.end());
}

samples history_of(const float (&history)[libdspaudio::k_history_length], int order) {
    return samples(history, history + order);
}

// Runs a filter call over consecutive blocks of the given sizes (cycled until x is used up).
template <typename Filter>
samples filter_in_blocks(const samples& x, const std::vector<int>& sizes, Filter filter) {
    samples out;
    for (std::size_t start = 0, i = 0; start < x.size(); ++i) {
        const int n = std::min(sizes[i % sizes.size()], static_cast<int>(x.size() - start));
        const float* y = filter(x.data() + start, n);
        out.insert(out.end(), y, y + n);
        start += n;
    }
    return out;
}

// Block sizes that exercise n = 1, n below the order and n above the work-buffer capacity.
std::vector<int> awkward_blocks(int order) {
    return {1, std::max(order - 1, 0), 5, 2500, 700, 3};
}

TEST(arma_filter, matches_the_difference_equation_in_any_blocks) {
    const samples x = noise(6000, 1);
    for (int order = 1; order <= 8; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        section s = test_section(order, order);
        const samples expected = reference_filter(x, s);
        for (const std::vector<int>& blocks : {std::vector<int>{6000}, awkward_blocks(order)}) {
            library_ptr dsp = fresh_library();
            const samples y = filter_in_blocks(x, blocks, [&](const float* in, int n) {
                return dsp->arma_filter(in, n, s.a.data(), s.b.data(), order, 3);
            });
            EXPECT_EQ(bits(y), bits(expected));
            EXPECT_EQ(history_of(dsp->filter_state[3].x_history, order), tail(x, order));
            EXPECT_EQ(history_of(dsp->filter_state[3].y_history, order), tail(expected, order));
            EXPECT_EQ(dsp->filter_capacity, k_capacity);
        }
    }
}

TEST(arma_filter_2stage, matches_two_difference_equations_in_any_blocks) {
    const samples x = noise(6000, 2);
    for (int order = 1; order <= 4; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        section first = test_section(order, 10 + order);
        section second = test_section(order, 20 + order);
        const samples middle = reference_filter(x, first);
        const samples expected = reference_filter(middle, second);
        for (const std::vector<int>& blocks : {std::vector<int>{6000}, awkward_blocks(order)}) {
            library_ptr dsp = fresh_library();
            const samples y = filter_in_blocks(x, blocks, [&](const float* in, int n) {
                return dsp->arma_filter_2stage(in, n, first.a.data(), first.b.data(),
                                               second.a.data(), second.b.data(), order, 9);
            });
            EXPECT_EQ(bits(y), bits(expected));
            const libdspaudio::channel_history& h = dsp->filter_state[9];
            EXPECT_EQ(history_of(h.x_history, order), tail(x, order));
            EXPECT_EQ(history_of(h.m_history, order), tail(middle, order));
            EXPECT_EQ(history_of(h.y_history, order), tail(expected, order));
        }
    }
}

TEST(arma_filter, second_order_low_pass_impulse_and_step) {
    library_ptr dsp = fresh_library();
    float a[3], b[3];
    dsp->butter_lp_design(0.1f, 2, a, b);
    samples impulse(6, 0.0f);
    impulse[0] = 1.0f;
    const float* y = dsp->arma_filter(impulse.data(), 6, a, b, 2, 0);
    // Quoted to four significant digits: {value, half a unit in its last digit}.
    const double expected[][2] = {{0.06746, 5e-6}, {0.2120, 5e-5}, {0.2819, 5e-5},
                                  {0.2347, 5e-5},  {0.1519, 5e-5}, {0.07673, 5e-6}};
    for (int j = 0; j < 6; ++j)
        EXPECT_NEAR(y[j], expected[j][0], expected[j][1]);

    const samples ones(1000, 1.0f);
    y = dsp->arma_filter(ones.data(), 1000, a, b, 2, 1);
    EXPECT_NEAR(y[999], 1.0f, 1e-5f);
}

TEST(arma_filter, identity_coefficients_pass_the_input) {
    const samples x = noise(300, 3);
    for (int order = 1; order <= 8; ++order) {
        library_ptr dsp = fresh_library();
        samples a(order + 1, 0.0f), b(order + 1, 0.0f);
        a[0] = b[0] = 1.0f;
        const float* y = dsp->arma_filter(x.data(), 300, a.data(), b.data(), order, 0);
        EXPECT_EQ(samples(y, y + 300), x) << "order " << order;
    }
}

TEST(arma_filter, short_blocks_shift_the_history) {
    library_ptr dsp = fresh_library();
    section s = test_section(4, 4);
    const samples x = noise(7, 4);
    const samples expected = reference_filter(x, s);
    dsp->arma_filter(x.data(), 6, s.a.data(), s.b.data(), 4, 0);
    const libdspaudio::channel_history before = dsp->filter_state[0];

    // n = 0 (and below) leaves every history as it was.
    for (int n : {0, -3}) {
        EXPECT_EQ(dsp->arma_filter(x.data(), n, s.a.data(), s.b.data(), 4, 0), dsp->filter_y + 4);
        EXPECT_EQ(std::memcmp(&before, &dsp->filter_state[0], sizeof before), 0);
    }
    // n = 1 drops the oldest entry and appends the new sample.
    const float* y = dsp->arma_filter(x.data() + 6, 1, s.a.data(), s.b.data(), 4, 0);
    EXPECT_EQ(bits({*y}), bits({expected[6]}));
    EXPECT_EQ(history_of(dsp->filter_state[0].x_history, 4),
              (samples{before.x_history[1], before.x_history[2], before.x_history[3], x[6]}));
    EXPECT_EQ(history_of(dsp->filter_state[0].y_history, 4),
              (samples{before.y_history[1], before.y_history[2], before.y_history[3], *y}));
}

TEST(arma_filter, channels_keep_separate_histories) {
    section s = test_section(4, 5);
    const samples left = noise(900, 5), right = noise(900, 6);
    library_ptr dsp = fresh_library();
    samples out_left, out_right;
    for (int start = 0; start < 900; start += 300) {
        const float* y = dsp->arma_filter(left.data() + start, 300, s.a.data(), s.b.data(), 4, 0);
        out_left.insert(out_left.end(), y, y + 300);
        y = dsp->arma_filter(right.data() + start, 300, s.a.data(), s.b.data(), 4, 1);
        out_right.insert(out_right.end(), y, y + 300);
    }
    EXPECT_EQ(bits(out_left), bits(reference_filter(left, s)));
    EXPECT_EQ(bits(out_right), bits(reference_filter(right, s)));
}

// The input is taken before any output is written, so a result can feed the next call, even
// one that has to grow the work buffers.
TEST(arma_filter, accepts_its_previous_result_as_input) {
    section s = test_section(2, 7);
    for (int n : {1500, 2500}) {
        const samples x = noise(n, 7);
        library_ptr dsp = fresh_library();
        const float* once = dsp->arma_filter(x.data(), n, s.a.data(), s.b.data(), 2, 0);
        const float* twice = dsp->arma_filter(once, n, s.a.data(), s.b.data(), 2, 1);
        EXPECT_EQ(bits(samples(twice, twice + n)),
                  bits(reference_filter(reference_filter(x, s), s)));
    }
}

TEST(arma_filter, refuses_unsupported_orders_and_channels) {
    library_ptr dsp = fresh_library();
    section s = test_section(8, 8);
    const samples x = noise(16, 8);
    const libdspaudio::channel_history before = dsp->filter_state[0];
    EXPECT_EQ(dsp->arma_filter(x.data(), 16, s.a.data(), s.b.data(), 0, 0), nullptr);
    EXPECT_EQ(dsp->arma_filter(x.data(), 16, s.a.data(), s.b.data(), 9, 0), nullptr);
    EXPECT_EQ(dsp->arma_filter(x.data(), 16, s.a.data(), s.b.data(), 4, 10), nullptr);
    EXPECT_EQ(dsp->arma_filter(x.data(), 16, s.a.data(), s.b.data(), 4, -1), nullptr);
    EXPECT_EQ(
        dsp->arma_filter_2stage(x.data(), 16, s.a.data(), s.b.data(), s.a.data(), s.b.data(), 5, 0),
        nullptr);
    EXPECT_EQ(std::memcmp(&before, &dsp->filter_state[0], sizeof before), 0);
}

} // namespace
