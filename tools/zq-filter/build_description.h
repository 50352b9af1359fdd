// What this zq-filter is, for --version: its version, the compiler and build type it was built
// with and the date it was compiled. The module's banner, by contrast, is a fixed string the
// host interface prescribes.
#pragma once

#include <string>

namespace zq_tool {

// "zq-filter 0.1.0\nbuilt 2025-01-31 by GNU 12.2.0, Release"
std::string build_description();

} // namespace zq_tool
