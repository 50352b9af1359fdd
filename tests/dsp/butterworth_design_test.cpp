#include <dsp/libdspaudio>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

enum class design_kind { lp, hp };

struct coefficient_case {
    design_kind kind;
    int order;
    float cutoff;
    std::uint32_t a[20];
    std::uint32_t b[20];
};

struct magnitude_case {
    design_kind kind;
    int order;
    float cutoff;
    double frequency;
    double magnitude;
};

#include "data/butterworth_reference.inc"

struct filter_coefficients {
    std::vector<float> a;
    std::vector<float> b;
};

// Designs into longer arrays and checks that nothing beyond the order was written; orders
// outside 1..9 (low-pass) or 1..19 (high-pass) must write nothing at all.
filter_coefficients design(design_kind kind, float cutoff, int order) {
    static libdspaudio dsp;
    constexpr float untouched = -123.0f;
    filter_coefficients c{std::vector<float>(24, untouched), std::vector<float>(24, untouched)};
    const bool lp = kind == design_kind::lp;
    (dsp.*(lp ? &libdspaudio::butter_lp_design : &libdspaudio::butter_hp_design))(
        cutoff, order, c.a.data(), c.b.data());
    const int written = order >= 1 && order <= (lp ? 9 : 19) ? order + 1 : 0;
    for (std::vector<float>* v : {&c.a, &c.b}) {
        EXPECT_EQ(std::count(v->begin() + written, v->end(), untouched), 24 - written) << order;
        v->resize(written);
    }
    return c;
}

double gain(const filter_coefficients& c, double frequency) {
    return zq_test::gain(c.a.data(), c.b.data(), static_cast<int>(c.a.size()) - 1, frequency);
}

double absolute_sum(const std::vector<float>& c) {
    return std::accumulate(c.begin(), c.end(), 0.0,
                           [](double s, float v) { return s + std::abs(v); });
}

TEST(ButterworthDesign, WorkedValuesToSixDigits) {
    struct worked {
        design_kind kind;
        float cutoff;
        std::vector<double> b, a;
    };
    const design_kind lp = design_kind::lp, hp = design_kind::hp;
    // Low-pass and high-pass of equal cut-off and order share the denominator.
    const std::vector<double> a2 = {1, -1.14298, 0.412802};
    const std::vector<double> a4 = {1, -2.36951, 2.31399, -1.05467, 0.187379};
    const worked cases[] = {
        {lp, 0.1f, {0.0674553, 0.134911, 0.0674553}, a2},
        {lp, 0.1f, {0.00482434, 0.0192974, 0.0289461, 0.0192974, 0.00482434}, a4},
        {hp, 0.1f, {0.638946, -1.27789, 0.638946}, a2},
        {hp, 0.1f, {0.432847, -1.73139, 2.59708, -1.73139, 0.432847}, a4},
        {hp, 0.3f, {0.391336, -0.782672, 0.391336}, {1, 0.369527, 0.195816}},
        {lp, 0.37f, {0.5, 0.5}, {1, 0}},
        {lp, 0.1f, {0.0369009, 0.110703, 0.110703, 0.0369009}, {1, -1.25052, 0.545723, 0}},
        {hp, 0.1f, {1, 0}, {1, 0}},
    };
    for (const worked& w : cases) {
        const int order = static_cast<int>(w.a.size()) - 1;
        const filter_coefficients c = design(w.kind, w.cutoff, order);
        SCOPED_TRACE(testing::Message() << "order " << order << " cutoff " << w.cutoff);
        zq_test::expect_six_digits(c.b.data(), w.b);
        zq_test::expect_six_digits(c.a.data(), w.a);
    }
    // Sums of magnitudes overshoot at Nyquist above a quarter of the sample rate, and float
    // coefficients lose the unit gain at low cut-offs.
    EXPECT_NEAR(gain(design(hp, 0.3f, 2), 0.5), 1.894, 5e-4);
    EXPECT_NEAR(gain(design(lp, 0.01f, 4), 0.0), 0.9925, 5e-5);
}

TEST(ButterworthDesign, ReproducesTheReferenceCoefficientsBitForBit) {
    for (const coefficient_case& r : k_coefficient_cases) {
        const filter_coefficients c = design(r.kind, r.cutoff, r.order);
        EXPECT_TRUE(std::memcmp(c.a.data(), r.a, c.a.size() * sizeof(float)) == 0 &&
                    std::memcmp(c.b.data(), r.b, c.b.size() * sizeof(float)) == 0)
            << "order " << r.order << " cutoff " << r.cutoff;
    }
    for (design_kind kind : {design_kind::lp, design_kind::hp})
        for (int order : {-1, 0, 9, 10, 19, 20}) // refused beyond the working storage, or kept
            design(kind, 0.1f, order);
}

// The stored coefficients are the ideal ones rounded to float (plus float pole angles), so the
// response may deviate from the ideal one by the first-order effect of a few units in the last
// place of every coefficient; that bound grows as |A| shrinks, which is where low cut-offs
// lose accuracy in direct form.
TEST(ButterworthDesign, MagnitudeMatchesTheIdealButterworthResponse) {
    for (const magnitude_case& r : k_magnitude_cases) {
        const filter_coefficients c = design(r.kind, r.cutoff, r.order);
        const double bound = 2.0 * std::ldexp(1.0, -24) *
                             (absolute_sum(c.b) + r.magnitude * absolute_sum(c.a)) /
                             std::abs(zq_test::polynomial_at(c.a.data(), r.order, r.frequency));
        EXPECT_NEAR(gain(c, r.frequency), r.magnitude, bound + 1e-9)
            << "order " << r.order << " cutoff " << r.cutoff << " at " << r.frequency;
    }
}

} // namespace
