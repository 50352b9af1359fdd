// The LADSPA entry point: labels zq_hl_pass_mono and zq_hl_pass_stereo, described from the
// same port table as the LV2 plugins, in the same order.
#include "hl_pass_plugin.h"

#include <ladspa.h>

#include <cmath>
#include <exception>
#include <utility>

namespace {

using ns_hl_pass_plugin::control_description;
using ns_hl_pass_plugin::control_kind;
using ns_hl_pass_plugin::hl_pass_instance;
using ns_hl_pass_plugin::k_control_ports;
using ns_hl_pass_plugin::k_controls;
using ns_hl_pass_plugin::k_kinds;
using ns_hl_pass_plugin::k_plugin_kinds;
using ns_hl_pass_plugin::plugin_kind;

constexpr unsigned long k_most_ports = k_control_ports + 4;

struct ladspa_tables {
    LADSPA_PortDescriptor port_descriptors[k_most_ports];
    const char* port_names[k_most_ports];
    LADSPA_PortRangeHint hints[k_most_ports];
    LADSPA_Descriptor descriptor;
};

// LADSPA states a default only as one of a few fixed values or as a point of the range: the
// fixed value when the default is one, otherwise the logarithmic point nearest to it.
LADSPA_PortRangeHintDescriptor default_hint(const control_description& control) {
    for (const auto& [value, hint] :
         {std::pair{0.0f, LADSPA_HINT_DEFAULT_0}, std::pair{1.0f, LADSPA_HINT_DEFAULT_1},
          std::pair{100.0f, LADSPA_HINT_DEFAULT_100}, std::pair{440.0f, LADSPA_HINT_DEFAULT_440}})
        if (control.default_value == value) return hint;
    const double position = std::log(control.default_value / control.minimum) /
                            std::log(control.maximum / control.minimum);
    if (position < 0.375) return LADSPA_HINT_DEFAULT_LOW;
    return position < 0.625 ? LADSPA_HINT_DEFAULT_MIDDLE : LADSPA_HINT_DEFAULT_HIGH;
}

LADSPA_PortRangeHint control_hint(const control_description& control) {
    LADSPA_PortRangeHintDescriptor hint = default_hint(control);
    switch (control.kind) {
    case control_kind::toggle:
        hint |= LADSPA_HINT_TOGGLED;
        break;
    case control_kind::enable: // an integer 0 / 1, for the reason the LV2 bundle gives
        hint |= LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_INTEGER;
        break;
    case control_kind::frequency:
        hint |= LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_LOGARITHMIC;
        break;
    case control_kind::order:
        // Hosts place the default in the middle of 2 .. 8, at 5, which the plugin reads as 4.
        hint |= LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_INTEGER;
        break;
    }
    return {hint, control.minimum, control.maximum};
}

hl_pass_instance* instance_of(LADSPA_Handle handle) {
    return static_cast<hl_pass_instance*>(handle);
}

LADSPA_Handle instantiate(const LADSPA_Descriptor* descriptor, unsigned long rate) {
    const auto* kind = static_cast<const plugin_kind*>(descriptor->ImplementationData);
    try {
        return new hl_pass_instance(static_cast<double>(rate), kind->channels);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void connect_port(LADSPA_Handle handle, unsigned long port, LADSPA_Data* data) {
    instance_of(handle)->connect(port, data);
}

void activate(LADSPA_Handle handle) {
    instance_of(handle)->activate();
}

void run(LADSPA_Handle handle, unsigned long frames) {
    instance_of(handle)->run(frames);
}

void cleanup(LADSPA_Handle handle) {
    delete instance_of(handle);
}

void describe_audio(ladspa_tables& tables, unsigned long port, const char* name,
                    LADSPA_PortDescriptor direction) {
    tables.port_descriptors[port] = direction | LADSPA_PORT_AUDIO;
    tables.port_names[port] = name;
    tables.hints[port] = {0, 0.0f, 0.0f};
}

void describe(ladspa_tables& tables, const plugin_kind& kind) {
    for (unsigned port = 0; port < k_control_ports; ++port) {
        tables.port_descriptors[port] = LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL;
        tables.port_names[port] = k_controls[port].name;
        tables.hints[port] = control_hint(k_controls[port]);
    }
    const auto channels = static_cast<unsigned long>(kind.channels);
    for (unsigned long c = 0; c < channels; ++c) {
        describe_audio(tables, k_control_ports + c, kind.inputs[c].name, LADSPA_PORT_INPUT);
        describe_audio(tables, k_control_ports + channels + c, kind.outputs[c].name,
                       LADSPA_PORT_OUTPUT);
    }
    LADSPA_Descriptor& d = tables.descriptor;
    d.UniqueID = kind.ladspa_id;
    d.Label = kind.label;
    d.Properties = LADSPA_PROPERTY_HARD_RT_CAPABLE;
    d.Name = kind.name;
    d.Maker = "ZQ Audio " ZQ_VERSION;
    d.Copyright = "ISC";
    d.PortCount = ns_hl_pass_plugin::port_count(kind);
    d.PortDescriptors = tables.port_descriptors;
    d.PortNames = tables.port_names;
    d.PortRangeHints = tables.hints;
    d.ImplementationData = const_cast<plugin_kind*>(&kind);
    d.instantiate = instantiate;
    d.connect_port = connect_port;
    d.activate = activate;
    d.run = run;
    d.run_adding = nullptr;
    d.set_run_adding_gain = nullptr;
    d.deactivate = nullptr;
    d.cleanup = cleanup;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor*
ladspa_descriptor(unsigned long index) {
    static ladspa_tables all[k_plugin_kinds];
    static const bool described = [] {
        for (int each = 0; each < k_plugin_kinds; ++each)
            describe(all[each], k_kinds[each]);
        return true;
    }();
    return described && index < k_plugin_kinds ? &all[index].descriptor : nullptr;
}
