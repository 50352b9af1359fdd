// The filter a user asks for, and the sections the exact realization builds for it.
//
// The mode table lives here and nowhere else: which sections the component designs, at which
// orders and cut-off fractions, and the two fall-backs it makes (a band too low to split runs
// as a plain low-pass; a low high-pass is split into two second-order sections because a
// single-precision fourth-order section is too close to instability there).
#pragma once

namespace ns_filter_engine {

// The component's defaults, in its own units: the high-pass cut-off in Hz, the low-pass one in
// kHz.
constexpr float k_default_high_hz = 100.0f;
constexpr float k_default_low_khz = 4.0f;

// What a user asks of the filter: both cut-offs in Hz, as typed. The exact realization reads
// them as the component's single-precision settings (plan_for); the precise one designs at
// these values.
struct filter_request {
    bool high_pass = false;
    double high_hz = k_default_high_hz;
    bool low_pass = false;
    double low_hz = 1000.0 * double{k_default_low_khz};
};

// A low-pass cut-off in Hz as the component's kHz setting, rounded as a host hands it over.
float khz_from_hz(double hz);
// The component's kHz setting in Hz. khz_from_hz(hz_from_khz(k)) == k for every float k: the
// product is exact in double and the quotient rounds back to it.
double hz_from_khz(float khz);
// The cut-offs as the component reads them from its settings, in Hz.
filter_request as_component_reads(const filter_request& request);

// Whether the filter can work at a sample rate: a positive number of Hz small enough that the
// high-pass bound, 0.45 x rate in whole Hz, fits an int. Front-ends refuse any other rate.
bool usable_rate(double rate);

// The bounds the component states for its cut-offs at a usable rate (it enforces none).
struct cutoff_bounds {
    float high_min_hz;
    float high_max_hz; // 0.45 x rate, truncated to whole Hz
    float low_min_khz;
    float low_max_khz; // 0.00045 x rate
};
cutoff_bounds bounds_at(double rate);

// Cut-offs as single-precision fractions of the sample rate, rounded as the component does.
float high_fraction_of(float hz, double rate);
float low_fraction_of(float khz, double rate);

enum class design_kind { low_pass, high_pass };

struct section_design {
    design_kind kind = design_kind::low_pass;
    int order = 0;         // order of the design
    float fraction = 0.0f; // cut-off / rate
};

// Modes as the component numbers them: low-pass switch + 2 x high-pass switch.
enum filter_mode : int { mode_bypass = 0, mode_low_pass = 1, mode_high_pass = 2, mode_band = 3 };

struct section_plan {
    int mode = mode_bypass;     // the mode that is built (after the band fall-back)
    bool band_fallback = false; // a band asked for, built as a low-pass
    bool known_mode = true;     // false: an impossible mode, nothing is designed
    bool bypass = false;        // mode 0: frames pass untouched
    bool two_stage = false;     // a cascade of two sections
    int order = 4;              // order both sections run at (meaningless without known_mode)
    section_design first;       // into a1, b1
    bool pad_first = false;     // first section designed at order 2, run at order 4
    bool design_second = false; // whether a2, b2 are written
    section_design second;
    float high_fraction = 0.0f;
    float low_fraction = 0.0f;
};

// The mode two switches select. A host may let through switches outside 0..1, whose sum may
// even pass the range of int: every such sum is one impossible mode, which plan_sections
// designs nothing for.
int mode_of(int high_pass, int low_pass);

// The sections for `mode` at the given fractions, exactly as the component builds them.
section_plan plan_sections(int mode, float high_fraction, float low_fraction);

// plan_sections for a request at a sample rate.
section_plan plan_for(const filter_request& request, double rate);

// Whether two plans run the same sections at the same orders, so that one's carried history
// can go on through the other's coefficients; only the cut-offs may differ.
bool same_layout(const section_plan& a, const section_plan& b) noexcept;

} // namespace ns_filter_engine
