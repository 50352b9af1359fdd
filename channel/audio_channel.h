// ns_audio_channel::audio_channel — common base of the channel converters and home of the
// element kernels.
//
// Kernels are static and work on elements of 1, 2 or 4 bytes, not only on float samples.
// Each takes, in order:
//   element_size  bytes per element: 1 (unsigned 8-bit), 2 (signed 16-bit) or 4 (32-bit float
//                 for the averaging kernels, any 32-bit word for the copying ones). Any other
//                 size returns false and touches no memory.
//   byte_count    bytes of the buffer named in the kernel's comment; n = byte_count /
//                 element_size elements (truncating). A frame is one element per channel.
//                 A trailing partial frame (byte_count not a whole number of frames) is
//                 ignored: it is neither read nor written. byte_count <= 0 returns true and
//                 touches nothing.
//   buffers       sources first, destinations last. No alignment is required, buffers must
//                 not overlap, and no pointer or size is checked.
// Every kernel returns true on success and false only for an unsupported element_size.
// Copying kernels copy elements bit for bit. The averaging kernels (mix_down_stereo_to_1xmono,
// average) compute avg(x, y) as (x + y) * 0.5f for floats and as floor((x + y + 1) / 2) in
// 32-bit integer arithmetic for 8- and 16-bit elements, so halves round up and the result
// always fits.
//
// Each kernel's public name dispatches to its _altivec variant when isAltiVecAvailable() and
// to its _plain variant otherwise; the choice is fixed when the library is built, and all
// three give identical results. The _altivec variants have no vector bodies of their own:
// they forward to _plain, except mix_down_stereo_to_1xmono_altivec (see there).
//
// The kernels keep no state and are safe to call from several threads on distinct buffers.
#pragma once

#include <channel/audio_channel_api.h>
#include <channel/export.h>

#include <cstdint>

namespace ns_audio_channel {

class ZQ_CHANNEL_API audio_channel : public audio_channel_api {
public:
    audio_channel() = default;
    ~audio_channel() override = default;

    // True when the library was built for a processor with the AltiVec vector unit (a
    // constant of the target: false on x86 and ARM).
    static bool isAltiVecAvailable();

    // stereo[2k] = left[k], stereo[2k+1] = right[k]; byte_count covers the stereo buffer
    // (both mono buffers together), n / 2 frames.
    static bool interleave_2xmono_to_stereo(int element_size, int byte_count, const void* left,
                                            const void* right, void* stereo);
    static bool interleave_2xmono_to_stereo_plain(int element_size, int byte_count,
                                                  const void* left, const void* right,
                                                  void* stereo);
    static bool interleave_2xmono_to_stereo_altivec(int element_size, int byte_count,
                                                    const void* left, const void* right,
                                                    void* stereo);

    // left[k] = stereo[2k], right[k] = stereo[2k+1]; byte_count covers the stereo buffer.
    static bool deinterleave_stereo_to_2xmono(int element_size, int byte_count, const void* stereo,
                                              void* left, void* right);
    static bool deinterleave_stereo_to_2xmono_plain(int element_size, int byte_count,
                                                    const void* stereo, void* left, void* right);
    static bool deinterleave_stereo_to_2xmono_altivec(int element_size, int byte_count,
                                                      const void* stereo, void* left, void* right);

    // interleaved[6k + i] = ci[k] for i = 0..5, by argument position only (no channel
    // meaning); byte_count covers the interleaved buffer, n / 6 frames.
    static bool interleave_6xmono_to_51(int element_size, int byte_count, const void* c0,
                                        const void* c1, const void* c2, const void* c3,
                                        const void* c4, const void* c5, void* interleaved);
    static bool interleave_6xmono_to_51_plain(int element_size, int byte_count, const void* c0,
                                              const void* c1, const void* c2, const void* c3,
                                              const void* c4, const void* c5, void* interleaved);
    static bool interleave_6xmono_to_51_altivec(int element_size, int byte_count, const void* c0,
                                                const void* c1, const void* c2, const void* c3,
                                                const void* c4, const void* c5, void* interleaved);

    // ci[k] = interleaved[6k + i] for i = 0..5; byte_count covers the interleaved buffer.
    static bool deinterleave_51_to_6xmono(int element_size, int byte_count, const void* interleaved,
                                          void* c0, void* c1, void* c2, void* c3, void* c4,
                                          void* c5);
    static bool deinterleave_51_to_6xmono_plain(int element_size, int byte_count,
                                                const void* interleaved, void* c0, void* c1,
                                                void* c2, void* c3, void* c4, void* c5);
    static bool deinterleave_51_to_6xmono_altivec(int element_size, int byte_count,
                                                  const void* interleaved, void* c0, void* c1,
                                                  void* c2, void* c3, void* c4, void* c5);

    // stereo[2k] = stereo[2k+1] = mono[k]; byte_count covers the mono buffer, n frames.
    static bool mix_up_1xmono_to_stereo(int element_size, int byte_count, const void* mono,
                                        void* stereo);
    static bool mix_up_1xmono_to_stereo_plain(int element_size, int byte_count, const void* mono,
                                              void* stereo);
    static bool mix_up_1xmono_to_stereo_altivec(int element_size, int byte_count, const void* mono,
                                                void* stereo);

    // mono[k] = avg(stereo[2k], stereo[2k+1]); byte_count covers the stereo buffer, n / 2
    // frames.
    static bool mix_down_stereo_to_1xmono(int element_size, int byte_count, const void* stereo,
                                          void* mono);
    static bool mix_down_stereo_to_1xmono_plain(int element_size, int byte_count,
                                                const void* stereo, void* mono);
    // Composed from the other kernels: de-interleaves into two temporaries of byte_count / 2
    // bytes taken from the heap (so, unlike every other kernel, it allocates), averages them
    // into `mono` and frees them. Returns false, writing nothing, when the heap cannot supply
    // the temporaries.
    static bool mix_down_stereo_to_1xmono_altivec(int element_size, int byte_count,
                                                  const void* stereo, void* mono);

    // out[k] = avg(a[k], b[k]); byte_count covers each of the three buffers, n elements.
    static bool average(int element_size, int byte_count, const void* a, const void* b, void* out);

    // Channel counts of a converter. A converter's constructor sets those its process reads;
    // the others stay zero (the fixed layouts read neither).
    int32_t in_channels = 0;
    int32_t out_channels = 0;
};

} // namespace ns_audio_channel
