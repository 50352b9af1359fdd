#include <lib/cm/CMFrame>

namespace ZQ {
namespace CM {

RFrame::RFrame(uint32_t payloadBytes, int64_t timestamp)
    : payload_(payloadBytes), timestamp_(timestamp) {}

RDescription::~RDescription() = default;

} // namespace CM
} // namespace ZQ
