// Element copies between one-pointer-per-channel planes and an interleaved buffer, shared by
// the element kernels and the float planar/interleaved conversions. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

namespace ns_audio_channel::detail {

// Element access through memcpy: buffers carry no alignment promise, and the compiler turns
// each call into one plain load or store.
template <typename T>
T load(const void* buffer, std::ptrdiff_t index) {
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(buffer) + index * sizeof(T), sizeof(T));
    return value;
}

template <typename T>
void store(void* buffer, std::ptrdiff_t index, T value) {
    std::memcpy(static_cast<unsigned char*>(buffer) + index * sizeof(T), &value, sizeof(T));
}

// interleaved[k*N + i] = planes[i][k] for k < frames; the channel count is a compile-time
// constant so that the inner loop unrolls.
template <typename T, std::size_t N>
void interleave_planes(std::ptrdiff_t frames, const std::array<const void*, N>& planes,
                       void* interleaved) {
    constexpr auto channels = static_cast<std::ptrdiff_t>(N);
    for (std::ptrdiff_t k = 0; k < frames; ++k)
        for (std::size_t i = 0; i < N; ++i)
            store<T>(interleaved, k * channels + static_cast<std::ptrdiff_t>(i),
                     load<T>(planes[i], k));
}

// planes[i][k] = interleaved[k*N + i] for k < frames.
template <typename T, std::size_t N>
void deinterleave_planes(std::ptrdiff_t frames, const void* interleaved,
                         const std::array<void*, N>& planes) {
    constexpr auto channels = static_cast<std::ptrdiff_t>(N);
    for (std::ptrdiff_t k = 0; k < frames; ++k)
        for (std::size_t i = 0; i < N; ++i)
            store<T>(planes[i], k,
                     load<T>(interleaved, k * channels + static_cast<std::ptrdiff_t>(i)));
}

} // namespace ns_audio_channel::detail
