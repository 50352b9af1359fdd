#include <dsp/libdspaudio>

#include "detail/direct_form.h"

#include <algorithm>

namespace ns_audio_dsp {

namespace {

constexpr int k_order = 8;
constexpr int k_buffer_length = 2100;                  // carried history + one block
constexpr int k_max_block = k_buffer_length - k_order; // 2092

// One block of at most k_max_block samples through the order-8 recursion, the oldest
// history first in each buffer. Input is copied before output is written, so they may alias.
void filter_block(const float* a, const float* b, const float* input, int count, float* output,
                  libdspaudio::channel_history& history) {
    float x[k_buffer_length];
    float y[k_buffer_length];
    std::copy(history.x_history, history.x_history + k_order, x);
    std::copy(input, input + count, x + k_order);
    std::copy(history.y_history, history.y_history + k_order, y);
    detail::run_single<k_order>(a, b, x + k_order, y + k_order, count);
    std::copy(x + count, x + count + k_order, history.x_history);
    std::copy(y + count, y + count + k_order, history.y_history);
    std::copy(y + k_order, y + k_order + count, output);
}

} // namespace

void libdspaudio::butter_lp(const float* input, float cutoff, int count, float* output,
                            int channel) {
    if (channel < 0 || channel >= k_history_channels) return;
    float a[k_order + 1];
    float b[k_order + 1];
    butter_lp_design(cutoff, k_order, a, b);
    // The recursion carries its state through the history, so longer blocks are cut into
    // buffer-sized pieces without changing a sample.
    for (int done = 0; done < count; done += k_max_block) {
        filter_block(a, b, input + done, std::min(k_max_block, count - done), output + done,
                     filter_state[channel]);
    }
}

} // namespace ns_audio_dsp
