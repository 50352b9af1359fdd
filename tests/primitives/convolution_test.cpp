#include <primitives/aligned_memory.h>
#include <primitives/convolution.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

std::vector<float> random_signal(int count, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> samples(static_cast<std::size_t>(count));
    for (float& s : samples)
        s = uniform(engine);
    return samples;
}

std::vector<double> reference_convolution(const std::vector<float>& x,
                                          const std::vector<float>& h) {
    std::vector<double> out(x.size() + h.size() - 1, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t k = 0; k < h.size(); ++k)
            out[i + k] += static_cast<double>(x[i]) * static_cast<double>(h[k]);
    return out;
}

double energy(const std::vector<float>& v) {
    double sum = 0.0;
    for (float s : v)
        sum += static_cast<double>(s) * s;
    return sum;
}

// Plans for every order, as a libdspaudio object holds them; given plans move the switch point.
class plan_set {
public:
    plan_set() {
        for (int order = 0; order <= ns_primitives::k_max_fft_order; ++order) {
            const ns_primitives::fft_sizes sizes = ns_primitives::fft_query_sizes(order);
            storage_[order] = ns_primitives::aligned_allocate(sizes.plan_storage);
            void* scratch = ns_primitives::aligned_allocate(sizes.init_scratch);
            ns_primitives::fft_plan_build(plans_[order], order, storage_[order], scratch);
            ns_primitives::aligned_free(scratch);
        }
    }
    ~plan_set() {
        for (void* block : storage_)
            ns_primitives::aligned_free(block);
    }
    plan_set(const plan_set&) = delete;
    plan_set& operator=(const plan_set&) = delete;
    const ns_primitives::fft_plan* plans() const { return plans_; }

private:
    ns_primitives::fft_plan plans_[ns_primitives::k_max_fft_order + 1];
    void* storage_[ns_primitives::k_max_fft_order + 1] = {};
};

// Every output is bounded by |x|·|h| (Cauchy-Schwarz); a transform of N points loses about
// log2 N roundings of that size, a direct sum far less for the lengths it is used for.
// Checked with and without given plans.
void expect_matches_reference(int nx, int nh) {
    static const plan_set shared;
    const std::vector<float> x = random_signal(nx, 7u + static_cast<unsigned>(nx));
    const std::vector<float> h = random_signal(nh, 11u + static_cast<unsigned>(nh));
    const std::vector<double> expected = reference_convolution(x, h);
    const double epsilon = std::numeric_limits<float>::epsilon();
    const double tolerance =
        4.0 * epsilon * std::log2(2.0 * (nx + nh)) * std::sqrt(energy(x) * energy(h));
    for (const ns_primitives::fft_plan* plans :
         {static_cast<const ns_primitives::fft_plan*>(nullptr), shared.plans()}) {
        std::vector<float> out(x.size() + h.size(), 12345.0f);
        ns_primitives::linear_convolution(x.data(), nx, h.data(), nh, out.data(), plans);
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], tolerance)
                << "nx " << nx << " nh " << nh << " i " << i << (plans ? " given plans" : "");
        EXPECT_EQ(out[expected.size()], 12345.0f) << "wrote past the end";
    }
}

TEST(LinearConvolution, SingleSamplesAndEmptyInputs) {
    const float x[2] = {3.0f, 2.0f};
    const float h = -0.5f;
    float out[2] = {0.0f, 99.0f};
    ns_primitives::linear_convolution(x, 1, &h, 1, out);
    EXPECT_EQ(out[0], -1.5f);
    EXPECT_EQ(out[1], 99.0f);
    ns_primitives::linear_convolution(x, 2, x, 0, out);
    ns_primitives::linear_convolution(x, -1, x, 2, out);
    EXPECT_EQ(out[0], -1.5f);
}

TEST(LinearConvolution, EqualLengthsAcrossTheSwitchPoint) {
    for (int size :
         {1, 2, 3, 7, 16, 31, 64, 100, 127, 200, 255, 256, 300, 511, 1000, 1025, 2048, 4097})
        expect_matches_reference(size, size);
}

TEST(LinearConvolution, ShortKernelsOnLongInputs) {
    for (int nh : {1, 2, 5, 13, 40, 64, 90, 128, 150, 257, 600, 1023})
        expect_matches_reference(6000, nh);
}

TEST(LinearConvolution, EitherArgumentMayBeTheLongerOne) {
    for (int nx : {3, 50, 700})
        expect_matches_reference(nx, 3000);
}

// Kernels longer than half the largest transform are cut into segments; odd and even
// segment counts, and input lengths that leave a half-empty last block pair.
TEST(LinearConvolution, SegmentedLongKernels) {
    for (int nh : {1025, 2049, 3000, 5121})
        for (int nx : {nh, 9000, 9000 + 1024})
            expect_matches_reference(nx, nh);
}

} // namespace
