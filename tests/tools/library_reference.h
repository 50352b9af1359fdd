// What zq-filter should write, computed with the libraries directly: the filtering the
// component documents, and a sample-by-sample comparison of the bits.
#pragma once

#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zq_tool_test {

struct cut_offs {
    std::optional<float> high_hz;
    std::optional<float> low_khz;
};

// The filtering the component documents for each combination of settings, done with the
// library's designs and recursive filters directly, every channel in one call. No cut-off
// gives the input unchanged.
std::vector<float> filter_with_library(const sound& input, cut_offs request);

testing::AssertionResult same_bits(const std::vector<float>& got,
                                   const std::vector<float>& expected);

} // namespace zq_tool_test
