#include <lib/cm/CMConfiguration>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ZQ {
namespace CM {

RComponentConfiguration::~RComponentConfiguration() = default;

void RComponentConfiguration::setInt(const char* key, int value) {
    values_[key] = value;
}

void RComponentConfiguration::setFloat(const char* key, float value) {
    values_[key] = value;
}

bool RComponentConfiguration::contains(const char* key) const {
    return values_.count(key) != 0;
}

int RComponentConfiguration::getInt(const char* key, int defaultValue, int, int) {
    const auto found = values_.find(key);
    if (found == values_.end() || std::isnan(found->second)) return defaultValue;
    // A value stored by setFloat may lie beyond int; it saturates rather than wrap.
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(found->second, lowest, highest));
}

float RComponentConfiguration::getFloat(const char* key, float defaultValue, float, float) {
    const auto found = values_.find(key);
    return found == values_.end() ? defaultValue : static_cast<float>(found->second);
}

} // namespace CM
} // namespace ZQ
