#include <lib/cm/CMComponent>

#include <cstdio>

namespace ZQ {
namespace CM {

RComponent::~RComponent() = default;

void RComponent::handleException(const CException& exception) {
    std::fprintf(stderr, "%s: %s (%s:%d, %s)\n", exception.name(), exception.message().c_str(),
                 exception.file(), exception.line(), exception.function());
}

CComponentStatus RComponent::getStatus() {
    return CComponentStatus();
}

CMMultipleQueueComponent::~CMMultipleQueueComponent() = default;

int CMMultipleQueueComponent::componentWillReset() {
    return 0;
}

void CMMultipleQueueComponent::handleNotification(CNotification&) {}

// The default work steps report where they would have been defined, the way components built
// against the framework have always seen them.
bool CMMultipleQueueComponent::process() {
    throw CException("ZQ::CException", 210, "lib/cm/CMComponent",
                     "bool ZQ::CM::CMMultipleQueueComponent::process()",
                     CString::createWithFormat("process() not implemented!"));
}

void CMMultipleQueueComponent::flush() {
    throw CException("ZQ::CException", 218, "lib/cm/CMComponent",
                     "void ZQ::CM::CMMultipleQueueComponent::flush()",
                     CString::createWithFormat("flush() not implemented!"));
}

void CMMultipleQueueComponent::runloop(zqbase::object_refcount*) {
    const RPtr<RQFrameReader> input = inputReader(0);
    try {
        // A component that declines a waiting frame ends the loop rather than spinning on it.
        while (input && input->pendingFrames() > 0 && process()) {
        }
    } catch (const CException& exception) {
        handleException(exception);
    }
}

namespace {
template <typename T>
void storeAt(std::vector<RPtr<T>>& slots, std::size_t index, const RPtr<T>& value) {
    if (slots.size() <= index) slots.resize(index + 1);
    slots[index] = value;
}

template <typename T>
RPtr<T> loadAt(const std::vector<RPtr<T>>& slots, std::size_t index) {
    return index < slots.size() ? slots[index] : RPtr<T>();
}
} // namespace

void CMMultipleQueueComponent::setInputReader(std::size_t index,
                                              const RPtr<RQFrameReader>& reader) {
    storeAt(inputReaders_, index, reader);
}

void CMMultipleQueueComponent::setOutputWriter(std::size_t index,
                                               const RPtr<RQFrameWriter>& writer) {
    storeAt(outputWriters_, index, writer);
}

RPtr<RQFrameReader> CMMultipleQueueComponent::inputReader(std::size_t index) const {
    return loadAt(inputReaders_, index);
}

RPtr<RQFrameWriter> CMMultipleQueueComponent::outputWriter(std::size_t index) const {
    return loadAt(outputWriters_, index);
}

RFilter::~RFilter() = default;

} // namespace CM
} // namespace ZQ
