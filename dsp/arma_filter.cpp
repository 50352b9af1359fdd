#include <dsp/libdspaudio>

#include "detail/direct_form.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace ns_audio_dsp {

namespace {

using detail::buffer_view;
using detail::delay_line;
using detail::direct_form;
using detail::line_before;
using detail::run_single;
using detail::section_coefficients;

constexpr int k_single_max_order = detail::k_direct_form_max_order;
constexpr int k_cascade_max_order = detail::k_cascade_max_order;

// Both recurrences advance side by side, the second section a little behind the first (see
// run_skewed), so the two independent chains interleave and the latency of one hides behind
// the other. Every sample still sees exactly its own arithmetic.
template <int N>
void run_cascade(const float* a1, const float* b1, const float* a2, const float* b2, const float* x,
                 float* m, float* y, int count) {
    const section_coefficients<N> first(a1, b1), second(a2, b2);
    delay_line<N> m_line = line_before<N>(m), y_line = line_before<N>(y);
    const auto first_section = [&](int j) {
        const float middle = direct_form(first, buffer_view{x + j}, m_line);
        m[j] = middle;
        m_line.push(middle);
    };
    const auto second_section = [&](int j) {
        const float output = direct_form(second, buffer_view{m + j}, y_line);
        y[j] = output;
        y_line.push(output);
    };
    detail::run_skewed(count, first_section, second_section);
}

void replace_buffer(float*& buffer, std::size_t size) {
    float* fresh = new float[size];
    delete[] buffer;
    buffer = fresh;
}

bool accepted(int order, int max_order, int channel) {
    return order >= 1 && order <= max_order && channel >= 0 &&
           channel < libdspaudio::k_history_channels;
}

// The part both routines share: room in the work buffers, the input, the carried history in
// front of the block, the kernel, and the last `order` entries carried out again. The input
// is copied before filter_y is released or written, so it may point at an earlier result.
template <typename Kernel>
float* filter_block(libdspaudio& dsp, const float* in, int n, int order, int channel, bool cascade,
                    Kernel kernel) {
    const int count = std::max(n, 0);
    const std::size_t size = static_cast<std::size_t>(count) + static_cast<std::size_t>(order);
    const bool grow = static_cast<std::int64_t>(size) > dsp.filter_capacity;

    if (grow) replace_buffer(dsp.filter_x, size);
    std::copy_n(in, count, dsp.filter_x + order);
    if (grow) replace_buffer(dsp.filter_y, size);
    if (grow && cascade) replace_buffer(dsp.filter_m, size);

    libdspaudio::channel_history& history = dsp.filter_state[channel];
    std::copy_n(history.x_history, order, dsp.filter_x);
    std::copy_n(history.y_history, order, dsp.filter_y);
    if (cascade) std::copy_n(history.m_history, order, dsp.filter_m);

    float* middle = cascade ? dsp.filter_m + order : nullptr;
    kernel(dsp.filter_x + order, middle, dsp.filter_y + order, count);

    std::copy_n(dsp.filter_x + count, order, history.x_history);
    std::copy_n(dsp.filter_y + count, order, history.y_history);
    if (cascade) std::copy_n(dsp.filter_m + count, order, history.m_history);
    return dsp.filter_y + order;
}

} // namespace

// The orders are dispatched by switch, each case a kernel of its own. A table of kernel pointers
// reads shorter but measured 20% slower for the cascade, whose loop the compiler then lays out
// less well.
float* libdspaudio::arma_filter(const float* in, int n, float* a, float* b, int order,
                                int channel) {
    if (!accepted(order, k_single_max_order, channel)) return nullptr;
    return filter_block(*this, in, n, order, channel, false,
                        [=](const float* x, float*, float* y, int count) {
                            switch (order) {
                            case 1:
                                return run_single<1>(a, b, x, y, count);
                            case 2:
                                return run_single<2>(a, b, x, y, count);
                            case 3:
                                return run_single<3>(a, b, x, y, count);
                            case 4:
                                return run_single<4>(a, b, x, y, count);
                            case 5:
                                return run_single<5>(a, b, x, y, count);
                            case 6:
                                return run_single<6>(a, b, x, y, count);
                            case 7:
                                return run_single<7>(a, b, x, y, count);
                            default:
                                return run_single<8>(a, b, x, y, count);
                            }
                        });
}

float* libdspaudio::arma_filter_2stage(const float* in, int n, float* a1, float* b1, float* a2,
                                       float* b2, int order, int channel) {
    if (!accepted(order, k_cascade_max_order, channel)) return nullptr;
    return filter_block(*this, in, n, order, channel, true,
                        [=](const float* x, float* m, float* y, int count) {
                            switch (order) {
                            case 1:
                                return run_cascade<1>(a1, b1, a2, b2, x, m, y, count);
                            case 2:
                                return run_cascade<2>(a1, b1, a2, b2, x, m, y, count);
                            case 3:
                                return run_cascade<3>(a1, b1, a2, b2, x, m, y, count);
                            default:
                                return run_cascade<4>(a1, b1, a2, b2, x, m, y, count);
                            }
                        });
}

} // namespace ns_audio_dsp
