#include <dsp/libdspaudio>

#include <primitives/aligned_memory.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

namespace ns_audio_dsp {

namespace {
uint8_t* allocate_bytes(std::size_t bytes) {
    return static_cast<uint8_t*>(ns_primitives::aligned_allocate(bytes));
}
} // namespace

libdspaudio::libdspaudio() {
    std::fill(std::begin(cos_table), std::end(cos_table), nullptr);
    std::fill(std::begin(sin_table), std::end(sin_table), nullptr);
    std::fill(std::begin(bitrev_table), std::end(bitrev_table), nullptr);
    std::fill(std::begin(fft_plan_storage), std::end(fft_plan_storage), nullptr);

    ns_primitives::prepare_processor();
    const ns_primitives::fft_sizes largest =
        ns_primitives::fft_query_sizes(ns_primitives::k_max_fft_order);
    fft_buffer = allocate_bytes(largest.work);
    uint8_t* init_scratch = allocate_bytes(largest.init_scratch);
    for (int order = 0; order < k_fft_orders; ++order) {
        fft_plan_storage[order] =
            allocate_bytes(ns_primitives::fft_query_sizes(order).plan_storage);
        ns_primitives::fft_plan_build(fft_plan[order], order, fft_plan_storage[order],
                                      init_scratch);
    }
    ns_primitives::aligned_free(init_scratch);
}

libdspaudio::~libdspaudio() {
    for (int order = 0; order < k_fft_orders; ++order) {
        ns_primitives::fft_plan_release(fft_plan[order]);
        ns_primitives::aligned_free(fft_plan_storage[order]);
    }
    ns_primitives::aligned_free(fft_buffer);
    for (int order = 0; order < k_fft_orders; ++order) {
        delete[] cos_table[order];
        delete[] sin_table[order];
        delete[] bitrev_table[order];
    }
}

void libdspaudio::create() {}

void libdspaudio::destroy() {}

bool libdspaudio::filter_init(int size) {
    filter_destroy(); // a repeated call must not leak the earlier buffers
    std::memset(filter_state, 0, sizeof filter_state);
    filter_capacity = size;
    const std::size_t count = static_cast<std::size_t>(std::max(size, 0));
    filter_x = new (std::nothrow) float[count];
    filter_y = new (std::nothrow) float[count];
    filter_m = new (std::nothrow) float[count];
    return filter_x != nullptr && filter_y != nullptr;
}

void libdspaudio::filter_destroy() {
    delete[] filter_x;
    delete[] filter_y;
    delete[] filter_m;
    filter_x = filter_y = filter_m = nullptr;
}

} // namespace ns_audio_dsp
