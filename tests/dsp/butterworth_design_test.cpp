#include <dsp/libdspaudio>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <memory>
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

libdspaudio& library() {
    static const std::unique_ptr<libdspaudio> dsp = std::make_unique<libdspaudio>();
    return *dsp;
}

filter_coefficients design(design_kind kind, float cutoff, int order) {
    filter_coefficients c{std::vector<float>(order + 1), std::vector<float>(order + 1)};
    if (kind == design_kind::lp) {
        library().butter_lp_design(cutoff, order, c.a.data(), c.b.data());
    } else {
        library().butter_hp_design(cutoff, order, c.a.data(), c.b.data());
    }
    return c;
}

std::uint32_t bits(float value) {
    std::uint32_t pattern;
    std::memcpy(&pattern, &value, sizeof pattern);
    return pattern;
}

std::complex<double> polynomial_at(const std::vector<float>& c, double frequency) {
    std::complex<double> sum = 0.0;
    for (std::size_t k = 0; k < c.size(); ++k) {
        sum += static_cast<double>(c[k]) *
               std::polar(1.0, -2.0 * M_PI * frequency * static_cast<double>(k));
    }
    return sum;
}

double absolute_sum(const std::vector<float>& c) {
    double sum = 0.0;
    for (float v : c)
        sum += std::abs(v);
    return sum;
}

// Values quoted to six significant digits.
void expect_six_digits(const std::vector<float>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(actual[k], expected[k], 5.1e-6 * std::abs(expected[k])) << "element " << k;
    }
}

TEST(butterworth_design, worked_values) {
    struct worked {
        design_kind kind;
        float cutoff;
        int order;
        std::vector<double> b;
        std::vector<double> a;
    };
    const worked cases[] = {
        {design_kind::lp, 0.1f, 2, {0.0674553, 0.134911, 0.0674553}, {1, -1.14298, 0.412802}},
        {design_kind::lp,
         0.1f,
         4,
         {0.00482434, 0.0192974, 0.0289461, 0.0192974, 0.00482434},
         {1, -2.36951, 2.31399, -1.05467, 0.187379}},
        {design_kind::hp, 0.1f, 2, {0.638946, -1.27789, 0.638946}, {1, -1.14298, 0.412802}},
        {design_kind::hp,
         0.1f,
         4,
         {0.432847, -1.73139, 2.59708, -1.73139, 0.432847},
         {1, -2.36951, 2.31399, -1.05467, 0.187379}},
        {design_kind::hp, 0.3f, 2, {0.391336, -0.782672, 0.391336}, {1, 0.369527, 0.195816}},
        {design_kind::lp, 0.1f, 1, {0.5, 0.5}, {1, 0}},
        {design_kind::lp, 0.37f, 1, {0.5, 0.5}, {1, 0}},
        {design_kind::lp,
         0.1f,
         3,
         {0.0369009, 0.110703, 0.110703, 0.0369009},
         {1, -1.25052, 0.545723, 0}},
        {design_kind::hp, 0.1f, 1, {1, 0}, {1, 0}},
    };
    for (const worked& w : cases) {
        SCOPED_TRACE(testing::Message() << (w.kind == design_kind::lp ? "lp" : "hp") << " order "
                                        << w.order << " cutoff " << w.cutoff);
        const filter_coefficients c = design(w.kind, w.cutoff, w.order);
        expect_six_digits(c.b, w.b);
        expect_six_digits(c.a, w.a);
    }
    // Above a quarter of the sample rate the magnitude-sum scaling overshoots at Nyquist.
    const filter_coefficients hp = design(design_kind::hp, 0.3f, 2);
    EXPECT_NEAR(std::abs(polynomial_at(hp.b, 0.5) / polynomial_at(hp.a, 0.5)), 1.894, 5e-4);
}

TEST(butterworth_design, writes_only_elements_up_to_the_order) {
    constexpr float sentinel = -123.0f;
    for (design_kind kind : {design_kind::lp, design_kind::hp}) {
        for (int order : {0, 1, 2, 4, kind == design_kind::lp ? 10 : 20, -1}) {
            std::vector<float> a(24, sentinel);
            std::vector<float> b(24, sentinel);
            if (kind == design_kind::lp) {
                library().butter_lp_design(0.1f, order, a.data(), b.data());
            } else {
                library().butter_hp_design(0.1f, order, a.data(), b.data());
            }
            // Orders outside the supported range are refused and write nothing.
            const int written =
                order >= 1 && order <= (kind == design_kind::lp ? 9 : 19) ? order + 1 : 0;
            for (int k = 0; k < 24; ++k) {
                EXPECT_EQ(a[k] == sentinel, k >= written) << "order " << order << " a" << k;
                EXPECT_EQ(b[k] == sentinel, k >= written) << "order " << order << " b" << k;
            }
        }
    }
}

TEST(butterworth_design, low_and_high_pass_share_the_denominator) {
    for (float cutoff : {0.05f, 0.1f, 0.2f, 0.3f}) {
        for (int order : {2, 4, 6, 8}) {
            const filter_coefficients lp = design(design_kind::lp, cutoff, order);
            const filter_coefficients hp = design(design_kind::hp, cutoff, order);
            for (int k = 0; k <= order; ++k) {
                EXPECT_NEAR(lp.a[k], hp.a[k], 1e-5 * absolute_sum(lp.a))
                    << "cutoff " << cutoff << " order " << order << " a" << k;
            }
        }
    }
}

TEST(butterworth_design, reproduces_the_reference_coefficients_bit_for_bit) {
    for (const coefficient_case& r : k_coefficient_cases) {
        const filter_coefficients c = design(r.kind, r.cutoff, r.order);
        for (int k = 0; k <= r.order; ++k) {
            EXPECT_EQ(bits(c.a[k]), r.a[k]) << "order " << r.order << " cutoff " << r.cutoff;
            EXPECT_EQ(bits(c.b[k]), r.b[k]) << "order " << r.order << " cutoff " << r.cutoff;
        }
    }
}

// The stored coefficients are the ideal ones rounded to float (plus float pole angles), so the
// response may deviate from the ideal one by the first-order effect of a few units in the last
// place of every coefficient; that bound grows as |A| shrinks, which is where low cut-offs
// lose accuracy in direct form.
TEST(butterworth_design, magnitude_matches_the_ideal_butterworth_response) {
    constexpr double ulps = 2.0;
    for (const magnitude_case& r : k_magnitude_cases) {
        const filter_coefficients c = design(r.kind, r.cutoff, r.order);
        const std::complex<double> denominator = polynomial_at(c.a, r.frequency);
        const double magnitude = std::abs(polynomial_at(c.b, r.frequency) / denominator);
        const double bound = ulps * std::ldexp(1.0, -24) *
                             (absolute_sum(c.b) + r.magnitude * absolute_sum(c.a)) /
                             std::abs(denominator);
        EXPECT_NEAR(magnitude, r.magnitude, bound + 1e-9)
            << (r.kind == design_kind::lp ? "lp" : "hp") << " order " << r.order << " cutoff "
            << r.cutoff << " at " << r.frequency;
    }
}

TEST(butterworth_design, float_rounding_shows_at_low_cutoffs) {
    const filter_coefficients c = design(design_kind::lp, 0.01f, 4);
    const double dc_gain = std::abs(polynomial_at(c.b, 0.0) / polynomial_at(c.a, 0.0));
    EXPECT_NEAR(dc_gain, 0.9925, 5e-5);
}

} // namespace
