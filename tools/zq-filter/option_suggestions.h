// A mistyped long option, named with the nearest one zq-filter has, before the command-line
// parser reports it as an unexpected argument among the others.
#pragma once

#include <string>
#include <vector>

namespace zq_tool {

// The first argument that looks like a long option (--name or --name=value, before any "--")
// and is none of `known` (names without dashes): "unknown option --highpas; did you mean
// --highpass?", or without a suggestion when none is close. Empty when all are known.
std::string unknown_option(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& known);

} // namespace zq_tool
