#include <lib/cm/CMConfiguration>
#include <lib/cm/CMQueue>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ZQ {
namespace CM {

RFrame::RFrame(uint32_t payloadBytes, int64_t timestamp)
    : payload_(payloadBytes), timestamp_(timestamp) {}

RDescription::~RDescription() = default;
RQFrameReader::~RQFrameReader() = default;
RQFrameWriter::~RQFrameWriter() = default;
CFrameQueue::~CFrameQueue() = default;

RPtr<RFrame> CFrameQueue::nextFrame() {
    if (frames_.empty()) return RPtr<RFrame>();
    RPtr<RFrame> frame = std::move(frames_.front());
    frames_.pop_front();
    return frame;
}

bool CFrameQueue::setDescription(const RPtr<const RDescription>& description) {
    description_ = description;
    return true;
}

bool CFrameQueue::put(const RPtr<const RFrame>& frame) {
    if (!frame) return false;
    // The queue is the frame's owner until the reader takes it; the writer gave up its right
    // to the payload when it put the frame.
    frames_.emplace_back(const_cast<RFrame*>(frame.get()));
    return true;
}

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
