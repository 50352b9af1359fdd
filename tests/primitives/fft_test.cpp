#include <primitives/aligned_memory.h>
#include <primitives/fft.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <vector>

namespace {

using ns_primitives::fft_path;

constexpr double k_float_epsilon = 1.0 / (1 << 24);

struct aligned_deleter {
    void operator()(void* block) const { ns_primitives::aligned_free(block); }
};
using aligned_block = std::unique_ptr<void, aligned_deleter>;

// One plan with its own storage and work buffer.
class plan_holder {
public:
    explicit plan_holder(int order) {
        const ns_primitives::fft_sizes sizes = ns_primitives::fft_query_sizes(order);
        storage_.reset(ns_primitives::aligned_allocate(sizes.plan_storage));
        work_.reset(ns_primitives::aligned_allocate(sizes.work));
        aligned_block scratch(ns_primitives::aligned_allocate(sizes.init_scratch));
        ns_primitives::fft_plan_build(plan_, order, storage_.get(), scratch.get());
    }
    ~plan_holder() { ns_primitives::fft_plan_release(plan_); }

    const ns_primitives::fft_plan& plan() const { return plan_; }
    void* work() const { return work_.get(); }

private:
    aligned_block storage_;
    aligned_block work_;
    ns_primitives::fft_plan plan_;
};

struct split_signal {
    std::vector<float> re;
    std::vector<float> im;
};

split_signal random_signal(int order, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    split_signal signal;
    for (int t = 0; t < (1 << order); ++t) {
        signal.re.push_back(uniform(engine));
        signal.im.push_back(uniform(engine));
    }
    return signal;
}

// X[m] = sum x[j] e^(sign 2 pi i jm/N), in double.
std::vector<std::complex<double>> direct_dft(const split_signal& x, int sign) {
    const std::size_t n = x.re.size();
    std::vector<std::complex<double>> result(n);
    for (std::size_t m = 0; m < n; ++m) {
        std::complex<double> sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double angle =
                sign * 2.0 * M_PI * static_cast<double>(j * m % n) / static_cast<double>(n);
            sum += std::complex<double>(x.re[j], x.im[j]) * std::polar(1.0, angle);
        }
        result[m] = sum;
    }
    return result;
}

// Largest error of `actual` against `expected`, relative to the RMS magnitude of `expected`.
double relative_error(const split_signal& actual,
                      const std::vector<std::complex<double>>& expected) {
    double worst = 0.0;
    double power = 0.0;
    for (std::size_t m = 0; m < expected.size(); ++m) {
        const std::complex<double> got(actual.re[m], actual.im[m]);
        worst = std::max(worst, std::abs(got - expected[m]));
        power += std::norm(expected[m]);
    }
    return worst / std::sqrt(power / static_cast<double>(expected.size()));
}

// Float rounding grows about linearly with the number of passes over the data.
double error_bound(int order) {
    return 2.0 * std::max(order, 1) * k_float_epsilon;
}

std::vector<fft_path> supported_paths() {
    std::vector<fft_path> paths;
    for (fft_path path : {fft_path::scalar, fft_path::sse2, fft_path::avx, fft_path::neon})
        if (ns_primitives::fft_path_supported(path)) paths.push_back(path);
    return paths;
}

TEST(FftPlan, EveryPathMatchesDirectDftForEveryOrder) {
    for (const fft_path path : supported_paths()) {
        for (int order = 0; order <= ns_primitives::k_max_fft_order; ++order) {
            SCOPED_TRACE(testing::Message()
                         << ns_primitives::fft_path_name(path) << " order " << order);
            const plan_holder holder(order);
            const split_signal input = random_signal(order, 100u + unsigned(order));
            split_signal output = input;
            ns_primitives::fft_forward_on(path, holder.plan(), output.re.data(), output.im.data(),
                                          holder.work());
            EXPECT_LE(relative_error(output, direct_dft(input, -1)), error_bound(order));
        }
    }
}

// The vector paths run the scalar path's operations in the same order, lane by lane.
TEST(FftPlan, VectorPathsAgreeWithScalarBitForBit) {
    for (const fft_path path : supported_paths()) {
        for (int order = 0; order <= ns_primitives::k_max_fft_order; ++order) {
            SCOPED_TRACE(testing::Message()
                         << ns_primitives::fft_path_name(path) << " order " << order);
            const plan_holder holder(order);
            split_signal scalar = random_signal(order, 7u);
            split_signal vector = scalar;
            ns_primitives::fft_forward_on(fft_path::scalar, holder.plan(), scalar.re.data(),
                                          scalar.im.data(), holder.work());
            ns_primitives::fft_forward_on(path, holder.plan(), vector.re.data(), vector.im.data(),
                                          holder.work());
            EXPECT_EQ(vector.re, scalar.re);
            EXPECT_EQ(vector.im, scalar.im);
        }
    }
}

TEST(FftPlan, InverseIsScaledByOneOverN) {
    for (int order = 0; order <= ns_primitives::k_max_fft_order; ++order) {
        SCOPED_TRACE(order);
        const plan_holder holder(order);
        const split_signal input = random_signal(order, 3u);
        split_signal spectrum = input;
        ns_primitives::fft_inverse(holder.plan(), spectrum.re.data(), spectrum.im.data(),
                                   holder.work());
        std::vector<std::complex<double>> expected = direct_dft(input, +1);
        for (std::complex<double>& value : expected)
            value /= static_cast<double>(1 << order);
        EXPECT_LE(relative_error(spectrum, expected), error_bound(order));

        ns_primitives::fft_forward(holder.plan(), spectrum.re.data(), spectrum.im.data(),
                                   holder.work());
        for (std::size_t t = 0; t < input.re.size(); ++t) {
            EXPECT_NEAR(spectrum.re[t], input.re[t], 1e-5);
            EXPECT_NEAR(spectrum.im[t], input.im[t], 1e-5);
        }
    }
}

TEST(FftPlan, ActivePathIsSupportedAndLargestWorkCoversAll) {
    ns_primitives::prepare_processor();
    EXPECT_TRUE(ns_primitives::fft_path_supported(ns_primitives::fft_active_path()));
    EXPECT_TRUE(ns_primitives::fft_path_supported(fft_path::scalar));
    const std::size_t largest = ns_primitives::fft_query_sizes(ns_primitives::k_max_fft_order).work;
    for (int order = 0; order < ns_primitives::k_max_fft_order; ++order)
        EXPECT_LE(ns_primitives::fft_query_sizes(order).work, largest);
}

// Unaligned data must work on every path: the arrays are the caller's.
TEST(FftPlan, UnalignedArrays) {
    constexpr int order = 9;
    const plan_holder holder(order);
    const split_signal input = random_signal(order, 11u);
    std::vector<float> re(input.re.size() + 1);
    std::vector<float> im(input.im.size() + 3);
    std::copy(input.re.begin(), input.re.end(), re.begin() + 1);
    std::copy(input.im.begin(), input.im.end(), im.begin() + 3);
    ns_primitives::fft_forward(holder.plan(), re.data() + 1, im.data() + 3, holder.work());
    split_signal output{{re.begin() + 1, re.end()}, {im.begin() + 3, im.end()}};
    EXPECT_LE(relative_error(output, direct_dft(input, -1)), error_bound(order));
}

} // namespace
