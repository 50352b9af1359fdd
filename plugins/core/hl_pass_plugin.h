// The hl-pass filter as a plugin instance, shared by the LV2 and the LADSPA entry points: the
// ports both standards describe, in the order both number them, and an instance whose run()
// never allocates, locks, prints or blocks.
//
// What an instance does with its controls:
// - A cut-off outside what the running engine accepts at the host's rate (limits_for) is
//   clamped to the nearest bound; a cut-off that is not a number counts as the lowest.
// - precise off runs the exact engine, bit for bit what zq-filter writes, unless the soundness
//   check finds the exact design unsound at this rate (unstable, or a boost nobody asked
//   for): then the precise engine runs those settings instead.
// - A change of the controls takes effect at the next run(). Moving a cut-off keeps the
//   history; switching a side on or off, an exact high-pass crossing into or out of its split
//   form, or a change of engine restarts the history from silence, as activate() does.
// - A band whose high-pass cut-off lies at or above its low-pass cut-off is filtered as
//   asked: the two sections in cascade pass almost nothing.
// - Should a sample that is not finite ever come out (a host feeding NaN, say), the block is
//   replaced by silence and the history cleared, so the stream recovers at the next block.
#pragma once

#include <engine/filter_engine>

namespace ns_hl_pass_plugin {

// The controls, numbered from 0 as both standards number ports; the audio inputs follow them,
// then the outputs.
enum control_port : unsigned { port_hp, port_hp_freq, port_lp, port_lp_freq, port_precise };
constexpr unsigned k_control_ports = 5;

struct control_description {
    const char* symbol;
    const char* name;
    bool toggled;
    float minimum, maximum, default_value;
};
extern const control_description k_controls[k_control_ports];

struct audio_port {
    const char* symbol;
    const char* name;
};

// One plugin of the pair: its identities in each standard and its audio ports.
struct plugin_kind {
    const char* uri;         // LV2
    const char* label;       // LADSPA
    unsigned long ladspa_id; // LADSPA's unique number
    const char* name;        // what a person sees in a plugin list
    int channels;
    audio_port inputs[2];
    audio_port outputs[2];
};
constexpr int k_plugin_kinds = 2;
extern const plugin_kind k_kinds[k_plugin_kinds]; // mono, stereo

constexpr unsigned long port_count(const plugin_kind& kind) {
    return k_control_ports + 2ul * static_cast<unsigned long>(kind.channels);
}

// The engine and the request the controls ask for at a rate, clamped as described above.
struct plugin_settings {
    ns_filter_engine::realization kind;
    ns_filter_engine::filter_request request;
};
plugin_settings settle(const float (&controls)[k_control_ports], double rate) noexcept;

class hl_pass_instance {
public:
    // Prepares both engines for the stream. Throws std::invalid_argument for a rate at which
    // the filter has no cut-off to offer, std::bad_alloc when memory runs out.
    hl_pass_instance(double rate, int channels);

    void connect(unsigned long port, void* data) noexcept;
    // Clears the history of both engines.
    void activate() noexcept;
    // Filters `frames` frames from the input ports to the output ports (the same buffers or
    // not) with the controls' current values.
    void run(unsigned long frames) noexcept;

private:
    void follow_controls() noexcept;
    void silence_if_not_finite(unsigned long frames) noexcept;

    double rate_;
    int channels_;
    const float* controls_[k_control_ports] = {};
    const float* inputs_[2] = {};
    float* outputs_[2] = {};
    ns_filter_engine::filter_engine exact_;
    ns_filter_engine::filter_engine precise_;
    ns_filter_engine::filter_engine* active_;
    bool followed_ = false; // whether applied_ holds controls already applied
    float applied_[k_control_ports] = {};
};

} // namespace ns_hl_pass_plugin
