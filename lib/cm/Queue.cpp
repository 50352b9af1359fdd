#include <lib/cm/CMQueue>

namespace ZQ {
namespace CM {

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

} // namespace CM
} // namespace ZQ
