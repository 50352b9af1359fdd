#include "pass_filter.h"

#include <utility>

namespace ns_hl_pass {

pass_filter::pass_filter() {
    status.state = k_state_created;
}

pass_filter::~pass_filter() {
    release_dsp();
}

void pass_filter::dsp_release::operator()(ns_audio_dsp::libdspaudio* library) const {
    library->filter_destroy();
    delete library;
}

void pass_filter::release_dsp() {
    if (dsp) dsp_release{}(std::exchange(dsp, nullptr));
}

ZQ::CM::CComponentStatus pass_filter::getStatus() {
    status.word3 = status_word_3;
    status.word2 = status_word_2;
    return status;
}

int pass_filter::componentWillReset() {
    bypass = false;
    format = 0;
    channels = 0;
    status_word_3 = 0;
    status_word_2 = 0;
    status.state = k_state_created;
    return CMMultipleQueueComponent::componentWillReset();
}

// The component keeps no frames between calls, so there is nothing to flush.
void pass_filter::flush() {}

} // namespace ns_hl_pass
