#include <primitives/finite_samples.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {

// Each value at the first, a middle and the last of 37 places: past any vector width, with a
// tail. The largest finite, a subnormal and negative zero touch the exponent's extremes and the
// sign bit, finite though a faulty mask or carry would refuse them.
template <typename sample>
void expect_found_where_placed() {
    using limits = std::numeric_limits<sample>;
    const struct {
        sample value;
        bool finite;
    } values[] = {{limits::quiet_NaN(), false}, {-limits::quiet_NaN(), false},
                  {limits::infinity(), false},  {-limits::infinity(), false},
                  {limits::max(), true},        {-limits::max(), true},
                  {limits::denorm_min(), true}, {sample(-0.0), true}};
    constexpr std::size_t count = 37;
    for (const auto& each : values) {
        for (const std::size_t place : {std::size_t{0}, count / 2, count - 1}) {
            SCOPED_TRACE(testing::Message() << each.value << " at " << place);
            std::vector<sample> samples(count, sample(0.5)), out(count);
            samples[place] = each.value;
            EXPECT_EQ(ns_primitives::all_finite(samples.data(), count), each.finite);
            EXPECT_EQ(ns_primitives::first_non_finite(samples.data(), count),
                      each.finite ? count : place);
            EXPECT_EQ(ns_primitives::copy_finite(samples.data(), out.data(), count), each.finite);
            EXPECT_EQ(std::memcmp(out.data(), samples.data(), count * sizeof(sample)), 0);
        }
    }
    // An empty span is all finite, whatever lies at its address, and nothing is copied.
    const sample beyond = limits::quiet_NaN();
    sample out = sample(0.25);
    EXPECT_TRUE(ns_primitives::all_finite(&beyond, 0));
    EXPECT_EQ(ns_primitives::first_non_finite(&beyond, 0), 0u);
    EXPECT_TRUE(ns_primitives::copy_finite(&beyond, &out, 0));
    EXPECT_EQ(out, sample(0.25));
}

TEST(FiniteSamples, FloatsFoundWherePlacedAndCopiedBitForBit) {
    expect_found_where_placed<float>();
}

TEST(FiniteSamples, DoublesFoundWherePlacedAndCopiedBitForBit) {
    expect_found_where_placed<double>();
}

} // namespace
