// Uses each installed library once and loads the installed module; exits non-zero on a fault.
#include <channel/audio_channel>
#include <dsp/libdspaudio>
#include <lib/cm/CMComponent>

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

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
    void* module = dlopen(MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module) return fail(dlerror());
    const auto factory =
        reinterpret_cast<ZQGetComponentInstance>(dlsym(module, "getComponentInstance"));
    if (!factory) return fail("getComponentInstance missing");
    std::unique_ptr<ZQ::CM::RComponent> component(factory());
    if (!component || component->type() != ZQ::CM::RFilter::kType) return fail("component");
    component.reset();
    dlclose(module);
    std::puts("consumer: ok");
    return 0;
}
