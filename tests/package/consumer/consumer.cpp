// Uses each installed library once and runs the README's host example on the installed module;
// exits non-zero on a fault.
#include <channel/audio_channel>
#include <dsp/libdspaudio>
#include <lib/cm/CMComponent>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// From the README.
ZQ::RPtr<ZQ::CM::RFrame> high_pass_300(const char* path, const ZQ::RPtr<ZQ::CM::RFrame>& frame);

namespace {
int fail(const char* what) {
    std::fprintf(stderr, "consumer: %s\n", what);
    return 1;
}
} // namespace

int main() {
    auto dsp = std::make_unique<ns_audio_dsp::libdspaudio>();
    float a[5], b[5];
    dsp->butter_lp_design(0.1f, 4, a, b);
    if (a[0] != 1.0f) return fail("low-pass design");

    float planar[4] = {1, 2, 3, 4}, interleaved[4];
    ns_audio_channel::audio_channel_api::interleave(2, 2, planar, interleaved);
    if (interleaved[1] != 3.0f) return fail("interleave");

    if (std::string(MODULE_PATH).rfind(COMPONENT_DIR, 0) != 0) return fail("component dir");
    const float step[4] = {1, 1, 1, 1};
    const auto frame = ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(sizeof step));
    std::memcpy(frame->getPayload(), step, sizeof step);
    const ZQ::RPtr<ZQ::CM::RFrame> filtered = high_pass_300(MODULE_PATH, frame);
    float out[4];
    if (!filtered || filtered->getPayloadSize() != sizeof out) return fail("host example");
    std::memcpy(out, filtered->getPayload(), sizeof out);
    if (!(out[2] < out[0] && out[0] < 1.0f)) return fail("high-pass of a step");
    std::puts("consumer: ok");
    return 0;
}
