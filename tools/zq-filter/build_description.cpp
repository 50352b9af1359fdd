#include "build_description.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zq_tool {

namespace {

// __DATE__ ("Jan 31 2025") as 2025-01-31.
std::string compile_date() {
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* const date = __DATE__;
    const char* const month = std::strstr(months, std::string(date, 3).c_str());
    char iso[32];
    std::snprintf(iso, sizeof iso, "%.4s-%02d-%02d", date + 7,
                  month ? static_cast<int>(month - months) / 3 + 1 : 0, std::atoi(date + 4));
    return iso;
}

} // namespace

std::string build_description() {
    return std::string("zq-filter ") + ZQ_FILTER_VERSION + "\nbuilt " + compile_date() + " by " +
           ZQ_FILTER_COMPILER + ", " + ZQ_FILTER_BUILD_TYPE;
}

} // namespace zq_tool
