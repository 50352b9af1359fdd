#include <channel/audio_channel.h>

#include "detail/plane_copy.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace ns_audio_channel {

namespace {

using detail::deinterleave_planes;
using detail::interleave_planes;
using detail::load;
using detail::store;

#if defined(__ALTIVEC__)
constexpr bool k_altivec_built = true;
#else
constexpr bool k_altivec_built = false;
#endif

// Calls body(T{}) with the element type of `element_size`; false, without calling, for a size
// that has none.
template <typename Byte, typename Half, typename Word, typename Body>
bool with_element_type(int element_size, Body&& body) {
    switch (element_size) {
    case 1:
        body(Byte{});
        return true;
    case 2:
        body(Half{});
        return true;
    case 4:
        body(Word{});
        return true;
    default:
        return false;
    }
}

// Copies move raw words, so every bit pattern (signalling NaNs included) survives.
template <typename Body>
bool with_copy_type(int element_size, Body&& body) {
    return with_element_type<uint8_t, uint16_t, uint32_t>(element_size, body);
}

template <typename Body>
bool with_sample_type(int element_size, Body&& body) {
    return with_element_type<uint8_t, int16_t, float>(element_size, body);
}

// Whole frames of `channels` elements in `byte_count` bytes; a trailing partial frame is
// dropped, and a negative count gives no frames.
template <typename T>
std::ptrdiff_t whole_frames(int byte_count, int channels) {
    return byte_count / static_cast<int>(sizeof(T)) / channels;
}

float avg(float x, float y) {
    return (x + y) * 0.5f;
}

// floor((x + y + 1) / 2): integer division truncates toward zero, so negative sums step down
// by one first.
int16_t avg(int16_t x, int16_t y) {
    const int32_t sum = int32_t{x} + int32_t{y} + 1;
    return static_cast<int16_t>((sum >= 0 ? sum : sum - 1) / 2);
}

uint8_t avg(uint8_t x, uint8_t y) {
    return static_cast<uint8_t>((int32_t{x} + int32_t{y} + 1) / 2);
}

// Runs the variant the build selected; arguments pass through unchanged.
template <typename... Params, typename... Args>
bool dispatch(bool (*plain)(Params...), bool (*altivec)(Params...), Args... args) {
    if constexpr (k_altivec_built) return altivec(args...);
    return plain(args...);
}

} // namespace

bool audio_channel::isAltiVecAvailable() {
    return k_altivec_built;
}

bool audio_channel::interleave_2xmono_to_stereo_plain(int element_size, int byte_count,
                                                      const void* left, const void* right,
                                                      void* stereo) {
    return with_copy_type(element_size, [&](auto element) {
        using T = decltype(element);
        interleave_planes<T, 2>(whole_frames<T>(byte_count, 2), {left, right}, stereo);
    });
}

bool audio_channel::deinterleave_stereo_to_2xmono_plain(int element_size, int byte_count,
                                                        const void* stereo, void* left,
                                                        void* right) {
    return with_copy_type(element_size, [&](auto element) {
        using T = decltype(element);
        deinterleave_planes<T, 2>(whole_frames<T>(byte_count, 2), stereo, {left, right});
    });
}

bool audio_channel::interleave_6xmono_to_51_plain(int element_size, int byte_count, const void* c0,
                                                  const void* c1, const void* c2, const void* c3,
                                                  const void* c4, const void* c5,
                                                  void* interleaved) {
    return with_copy_type(element_size, [&](auto element) {
        using T = decltype(element);
        interleave_planes<T, 6>(whole_frames<T>(byte_count, 6), {c0, c1, c2, c3, c4, c5},
                                interleaved);
    });
}

bool audio_channel::deinterleave_51_to_6xmono_plain(int element_size, int byte_count,
                                                    const void* interleaved, void* c0, void* c1,
                                                    void* c2, void* c3, void* c4, void* c5) {
    return with_copy_type(element_size, [&](auto element) {
        using T = decltype(element);
        deinterleave_planes<T, 6>(whole_frames<T>(byte_count, 6), interleaved,
                                  {c0, c1, c2, c3, c4, c5});
    });
}

bool audio_channel::mix_up_1xmono_to_stereo_plain(int element_size, int byte_count,
                                                  const void* mono, void* stereo) {
    return with_copy_type(element_size, [&](auto element) {
        using T = decltype(element);
        interleave_planes<T, 2>(whole_frames<T>(byte_count, 1), {mono, mono}, stereo);
    });
}

bool audio_channel::mix_down_stereo_to_1xmono_plain(int element_size, int byte_count,
                                                    const void* stereo, void* mono) {
    return with_sample_type(element_size, [&](auto element) {
        using T = decltype(element);
        const std::ptrdiff_t frames = whole_frames<T>(byte_count, 2);
        for (std::ptrdiff_t k = 0; k < frames; ++k)
            store<T>(mono, k, avg(load<T>(stereo, 2 * k), load<T>(stereo, 2 * k + 1)));
    });
}

bool audio_channel::average(int element_size, int byte_count, const void* a, const void* b,
                            void* out) {
    return with_sample_type(element_size, [&](auto element) {
        using T = decltype(element);
        const std::ptrdiff_t count = whole_frames<T>(byte_count, 1);
        for (std::ptrdiff_t k = 0; k < count; ++k)
            store<T>(out, k, avg(load<T>(a, k), load<T>(b, k)));
    });
}

// No vector bodies are written for AltiVec: the variants below forward to the plain loops,
// which meet the same contract.

bool audio_channel::interleave_2xmono_to_stereo_altivec(int element_size, int byte_count,
                                                        const void* left, const void* right,
                                                        void* stereo) {
    return interleave_2xmono_to_stereo_plain(element_size, byte_count, left, right, stereo);
}

bool audio_channel::deinterleave_stereo_to_2xmono_altivec(int element_size, int byte_count,
                                                          const void* stereo, void* left,
                                                          void* right) {
    return deinterleave_stereo_to_2xmono_plain(element_size, byte_count, stereo, left, right);
}

bool audio_channel::interleave_6xmono_to_51_altivec(int element_size, int byte_count,
                                                    const void* c0, const void* c1, const void* c2,
                                                    const void* c3, const void* c4, const void* c5,
                                                    void* interleaved) {
    return interleave_6xmono_to_51_plain(element_size, byte_count, c0, c1, c2, c3, c4, c5,
                                         interleaved);
}

bool audio_channel::deinterleave_51_to_6xmono_altivec(int element_size, int byte_count,
                                                      const void* interleaved, void* c0, void* c1,
                                                      void* c2, void* c3, void* c4, void* c5) {
    return deinterleave_51_to_6xmono_plain(element_size, byte_count, interleaved, c0, c1, c2, c3,
                                           c4, c5);
}

bool audio_channel::mix_up_1xmono_to_stereo_altivec(int element_size, int byte_count,
                                                    const void* mono, void* stereo) {
    return mix_up_1xmono_to_stereo_plain(element_size, byte_count, mono, stereo);
}

bool audio_channel::mix_down_stereo_to_1xmono_altivec(int element_size, int byte_count,
                                                      const void* stereo, void* mono) {
    const std::size_t mono_bytes = byte_count > 0 ? static_cast<std::size_t>(byte_count / 2) : 0;
    const std::unique_ptr<unsigned char[]> left(new (std::nothrow) unsigned char[mono_bytes]);
    const std::unique_ptr<unsigned char[]> right(new (std::nothrow) unsigned char[mono_bytes]);
    if (!left || !right) return false;
    return deinterleave_stereo_to_2xmono(element_size, byte_count, stereo, left.get(),
                                         right.get()) &&
           average(element_size, byte_count / 2, left.get(), right.get(), mono);
}

bool audio_channel::interleave_2xmono_to_stereo(int element_size, int byte_count, const void* left,
                                                const void* right, void* stereo) {
    return dispatch(interleave_2xmono_to_stereo_plain, interleave_2xmono_to_stereo_altivec,
                    element_size, byte_count, left, right, stereo);
}

bool audio_channel::deinterleave_stereo_to_2xmono(int element_size, int byte_count,
                                                  const void* stereo, void* left, void* right) {
    return dispatch(deinterleave_stereo_to_2xmono_plain, deinterleave_stereo_to_2xmono_altivec,
                    element_size, byte_count, stereo, left, right);
}

bool audio_channel::interleave_6xmono_to_51(int element_size, int byte_count, const void* c0,
                                            const void* c1, const void* c2, const void* c3,
                                            const void* c4, const void* c5, void* interleaved) {
    return dispatch(interleave_6xmono_to_51_plain, interleave_6xmono_to_51_altivec, element_size,
                    byte_count, c0, c1, c2, c3, c4, c5, interleaved);
}

bool audio_channel::deinterleave_51_to_6xmono(int element_size, int byte_count,
                                              const void* interleaved, void* c0, void* c1, void* c2,
                                              void* c3, void* c4, void* c5) {
    return dispatch(deinterleave_51_to_6xmono_plain, deinterleave_51_to_6xmono_altivec,
                    element_size, byte_count, interleaved, c0, c1, c2, c3, c4, c5);
}

bool audio_channel::mix_up_1xmono_to_stereo(int element_size, int byte_count, const void* mono,
                                            void* stereo) {
    return dispatch(mix_up_1xmono_to_stereo_plain, mix_up_1xmono_to_stereo_altivec, element_size,
                    byte_count, mono, stereo);
}

bool audio_channel::mix_down_stereo_to_1xmono(int element_size, int byte_count, const void* stereo,
                                              void* mono) {
    return dispatch(mix_down_stereo_to_1xmono_plain, mix_down_stereo_to_1xmono_altivec,
                    element_size, byte_count, stereo, mono);
}

} // namespace ns_audio_channel
