// The LV2 entry point: urn:zq:hl-pass:mono and urn:zq:hl-pass:stereo, described to hosts by
// zq-hl-pass.ttl in the same bundle.
#include "hl_pass_plugin.h"

#include <lv2/core/lv2.h>

#include <exception>

namespace {

using ns_hl_pass_plugin::hl_pass_instance;
using ns_hl_pass_plugin::k_kinds;
using ns_hl_pass_plugin::k_plugin_kinds;

hl_pass_instance* instance_of(LV2_Handle handle) {
    return static_cast<hl_pass_instance*>(handle);
}

const ns_hl_pass_plugin::plugin_kind* kind_of(const LV2_Descriptor* descriptor);

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const*) {
    try {
        return new hl_pass_instance(rate, kind_of(descriptor)->channels);
    } catch (const std::exception&) {
        return nullptr; // the host reports a plugin that failed to instantiate
    }
}

void connect_port(LV2_Handle handle, uint32_t port, void* data) {
    instance_of(handle)->connect(port, data);
}

void activate(LV2_Handle handle) {
    instance_of(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    instance_of(handle)->run(frames);
}

void cleanup(LV2_Handle handle) {
    delete instance_of(handle);
}

const void* extension_data(const char*) {
    return nullptr;
}

const LV2_Descriptor k_descriptors[k_plugin_kinds] = {
    {k_kinds[0].uri, instantiate, connect_port, activate, run, nullptr, cleanup, extension_data},
    {k_kinds[1].uri, instantiate, connect_port, activate, run, nullptr, cleanup, extension_data},
};

const ns_hl_pass_plugin::plugin_kind* kind_of(const LV2_Descriptor* descriptor) {
    return &k_kinds[descriptor - k_descriptors];
}

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < k_plugin_kinds ? &k_descriptors[index] : nullptr;
}
