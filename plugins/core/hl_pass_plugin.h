// The hl-pass filter as a plugin instance, shared by the LV2 and the LADSPA entry points: the
// ports both standards describe, in the order both number them, and an instance whose run()
// never allocates, locks, prints or blocks.
//
// What an instance does with its controls:
// - By default it runs the Butterworth design (the engine's precise realization) at the order
//   the `order` control picks, over the precise realization's cut-off range at the host's rate;
//   a cut-off beyond it is clamped, one that is not a number counts as the lowest.
// - `exact` on runs the exact engine, bit for bit what zq-filter writes with the component's
//   settings, unless the exact design cannot take those cut-offs at this rate or the soundness
//   check finds it unsound (unstable, or a boost nobody asked for): then the Butterworth runs.
// - `enabled` off passes the input through (hosts bypass through it).
// - Controls are read every 32 frames. A moving cut-off glides towards its value in
//   log-frequency on the Butterworth (also with `exact` on: the exact design fades in where the
//   glide lands), the sections keeping their history; any change of the sections themselves (a
//   side, the order, the realization, the exact high-pass changing form, bypass) starts the new
//   filter beside the old one, lets it settle unheard for 10 ms, then fades from the old to the
//   new over 70 ms, the gains summing to one along a raised cosine.
// - With the controls held from activate() on, the output is bit for bit the engine's.
// - A band whose high-pass cut-off lies at or above its low-pass cut-off is filtered as
//   asked: the two sections in cascade pass almost nothing.
// - Should a sample that is not finite ever come out (a host feeding NaN, say), it and the rest
//   of its 32 frames are replaced by silence and the history cleared.
#pragma once

#include <engine/filter_engine>

#include <memory>
#include <vector>

namespace ns_hl_pass_plugin {

// The controls, numbered from 0 as both standards number ports; the audio inputs follow them,
// then the outputs.
enum control_port : unsigned {
    port_hp,
    port_hp_freq,
    port_lp,
    port_lp_freq,
    port_exact,
    port_order,
    port_enabled
};
constexpr unsigned k_control_ports = 7;

enum class control_kind { toggle, enable, frequency, order };

struct control_description {
    const char* symbol;
    const char* name;
    control_kind kind;
    float minimum, maximum, default_value;
};
extern const control_description k_controls[k_control_ports];
constexpr int k_orders[] = {2, 4, 6, 8};

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

// The engine, its order and the request the controls ask for at a rate, as described above.
struct plugin_settings {
    ns_filter_engine::realization kind;
    int order;
    ns_filter_engine::filter_request request;
};
plugin_settings settle(const float (&controls)[k_control_ports], double rate) noexcept;

// The order a control value stands for: the nearest of k_orders (a host's 3.5 is 4).
int order_of(float control) noexcept;

class hl_pass_instance {
public:
    // Prepares every engine for the stream. Throws std::invalid_argument for a rate at which
    // the filter has no cut-off to offer, std::bad_alloc when memory runs out.
    hl_pass_instance(double rate, int channels);
    ~hl_pass_instance();

    void connect(unsigned long port, void* data) noexcept;
    // Clears all history; the next run() starts at the controls' values, without gliding.
    void activate() noexcept;
    // Filters `frames` frames from the input ports to the output ports, which may be the same
    // buffers or crossed ones; an unconnected input reads as silence.
    void run(unsigned long frames) noexcept;

    static constexpr int k_step = 32; // frames between two readings of the controls

private:
    struct slot;
    void read_controls(float (&now)[k_control_ports]) const noexcept;
    // The controls with the cut-offs held to the Butterworth's limits: where a glide heads.
    void targets_of(const float (&now)[k_control_ports],
                    float (&target)[k_control_ports]) const noexcept;
    void start(const float (&now)[k_control_ports]) noexcept;
    void glide(const float (&now)[k_control_ports], int frames) noexcept;
    plugin_settings gliding_settings(const float (&now)[k_control_ports]) const noexcept;
    void follow(const plugin_settings& wanted) noexcept;
    void filter_step(unsigned long offset, int frames) noexcept;
    // Mixes the incoming filter's output into the heard one as far as the change has come.
    void fade(float (&heard)[2][k_step], const float (&incoming)[2][k_step], int frames) noexcept;
    void clear() noexcept;

    double rate_;
    int channels_;
    ns_filter_engine::cutoff_limits limits_; // the Butterworth's, at rate_
    long settle_frames_;                     // frames the incoming filter runs unheard
    std::vector<float> fade_gains_; // the incoming filter's share, frame by frame of the fade
    const float* controls_[k_control_ports] = {};
    const float* inputs_[2] = {};
    float* outputs_[2] = {};
    std::unique_ptr<slot> slots_[2];
    int heard_ = 0;                      // the slot whose output is heard outside a fade
    long transition_ = -1;               // frames into the current change of filter, -1 without one
    bool started_ = false;               // false until the first run() after activate()
    float glided_[k_control_ports] = {}; // the controls as the filter follows them
    float followed_[k_control_ports] = {}; // glided_ when the filter last followed it
};

} // namespace ns_hl_pass_plugin
