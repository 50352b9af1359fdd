// filter_engine — the hl-pass filter for any front-end: a stream (rate, channels) and the
// settings a user gives, realized exactly as the component computes (the default) or
// precisely (double-precision Butterworth sections), filtering blocks of any length with the
// history carried from block to block. Everything is allocated at construction; filtering
// allocates nothing, and long blocks are split with identical results.
//
// check_settings is the one place where front-ends learn what the engine refuses; the
// constructor throws std::invalid_argument with the same text.
#pragma once

#include "component_settings.h"
#include "exact_filter.h"
#include "precise_filter.h"
#include "section_plan.h"
#include "soundness.h"

#include <memory>
#include <string>
#include <vector>

namespace ns_filter_engine {

enum class realization { exact, precise };

struct engine_settings {
    filter_request request;
    realization kind = realization::exact;
    int precise_order = 4; // order of each side of the precise realization: 2, 4, 6 or 8
    // Precise only: subnormal numbers flushed to zero while filtering (outputs below the
    // smallest normal float, about 1.2e-38, come out as 0), which spares a decaying tail the
    // processor's slow subnormal arithmetic. Exact never flushes: it is the component's
    // arithmetic, bit for bit, and check_settings refuses the two together.
    bool flush_subnormals = false;
};

// The most channels a front-end may ask for: libsndfile's own limit (SF_MAX_CHANNELS), so that
// every file the file layer reads can be filtered whole. Per channel the engine keeps a history
// and at most two blocks of k_block samples (under 10 MB at 1024 channels), and the file layer
// sizes its blocks in bytes, so nothing grows beyond that with the count. The component hosted
// as itself (zq-filter's --exact and --set) still takes at most 10.
constexpr int k_max_channels = 1024;

// The cut-offs a realization accepts at a rate, in Hz on both sides: the component's bounds for
// exact, 10 Hz .. 0.49 x rate for precise.
struct cutoff_limits {
    double high_min_hz, high_max_hz;
    double low_min_hz, low_max_hz;
};
cutoff_limits limits_for(realization kind, double rate) noexcept;

// Why the engine refuses these settings for a stream, in a user's words; empty when it
// accepts them. Refused: a rate that is not a positive finite number, channels outside
// 1..k_max_channels, cut-offs outside limits_for at that rate (exact: as the component reads them),
// a precise order other than 2/4/6/8, flush_subnormals with exact, and a band whose high-pass
// cut-off is not below its low-pass cut-off. Exact designs that are numerically unsound are the
// soundness check's business, not this one's.
std::string check_settings(double rate, int channels, const engine_settings& settings);

class filter_engine {
public:
    filter_engine(double rate, int channels, const engine_settings& settings);
    ~filter_engine();
    filter_engine(const filter_engine&) = delete;
    filter_engine& operator=(const filter_engine&) = delete;

    // `frames` frames of interleaved samples (frame-major), filtered in place.
    void process_interleaved(float* samples, long frames);
    // Double samples, interleaved, filtered in double end to end (the precise realization
    // only: the exact one is the component's single-precision arithmetic; throws
    // std::logic_error for it).
    void process_interleaved(double* samples, long frames);
    // One array of `frames` samples per channel, each filtered in place.
    void process_planar(float* const* channel_data, long frames);
    // Clears the carried history: the next block starts a new stream.
    void reset();
    // Keeps a copy of the carried history, which restore_history puts back: a front-end that
    // finds unusable samples partway through a call can undo the blocks it filtered. Neither
    // allocates. Only the history is kept, not the cut-offs: those retuned in between stay, and
    // a retune that changed the sections leaves restore_history nothing to put back but silence
    // (see retune). The exact realization's history lives inside the component and cannot be
    // copied: false for it, and nothing is kept.
    bool save_history();
    void restore_history();
    // New cut-offs and switches for the same realization, taking effect at the next block,
    // without allocating: a real-time host may call it between blocks. The history goes on
    // when the sections stay the same and only their cut-offs move; a change of sections (a
    // side switched on or off, or an exact high-pass crossing the fraction where it splits
    // into two sections) restarts it from silence. Precondition: the cut-offs of the sides
    // switched on lie within limits_for(this engine's realization, rate); unlike
    // check_settings, an inverted band is allowed (its sections in cascade pass almost
    // nothing).
    void retune(const filter_request& request) noexcept;

    double rate() const noexcept { return rate_; }
    int channels() const noexcept { return channels_; }
    const engine_settings& settings() const noexcept { return settings_; }
    // Whether filtering changes the samples at all (false: neither side switched on).
    bool filters() const noexcept;

private:
    double rate_;
    int channels_;
    engine_settings settings_;
    std::unique_ptr<exact_filter> exact_;
    std::unique_ptr<precise_filter> precise_;
    precise_filter::history saved_;    // precise_'s as save_history left it
    std::vector<float> planar_;        // one block of interleaved input, de-interleaved (exact)
    std::vector<float*> channel_data_; // where each channel starts in planar_
};

} // namespace ns_filter_engine
