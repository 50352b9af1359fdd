// Recursive filtering cost per sample, next to the bound its recurrence sets: between one output
// and the next lie one multiply and four dependent subtractions (order 4), whatever the
// numerator costs. Also a stream that falls silent, whose decay ends in a denormal limit cycle,
// and the channel lanes (arma_lanes.h) per channel-sample: one section at 2 channels, the
// cascade at 2, 8, 10 and 16 (one AVX-512 vector), on histories of their own as the engine keeps
// them beyond the 10 channels a library object carries.
#include "bench_goals.h"
#include "bench_signal.h"

#include <dsp/arma_lanes.h>
#include <dsp/libdspaudio>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

constexpr int k_block = 1024;
constexpr int k_order = 4;
constexpr float k_high_cutoff = 1000.0f / 48000.0f;
constexpr float k_low_cutoff = 0.1f;

enum class stream { noise, silence };

// The component's cascade at 48 kHz: high-pass at 1 kHz, then low-pass at 4.8 kHz.
class filter_setup {
public:
    filter_setup() : dsp_(new libdspaudio) {
        dsp_->filter_init(2000);
        dsp_->butter_hp_design(k_high_cutoff, k_order, a1, b1);
        dsp_->butter_lp_design(k_low_cutoff, k_order, a2, b2);
    }
    ~filter_setup() {
        dsp_->filter_destroy();
        delete dsp_;
    }
    filter_setup(const filter_setup&) = delete;
    filter_setup& operator=(const filter_setup&) = delete;

    float* single(const float* in) { return dsp_->arma_filter(in, k_block, a1, b1, k_order, 0); }
    float* cascade(const float* in) {
        return dsp_->arma_filter_2stage(in, k_block, a1, b1, a2, b2, k_order, 0);
    }
    // One section or the cascade on k_block interleaved frames, in place, channel c carrying
    // histories[c].
    void lanes(libdspaudio::channel_history* histories, float* frames, int channels, bool cascade) {
        ns_audio_dsp::arma_filter_lanes(histories, {cascade, k_order, a1, b1, a2, b2}, frames,
                                        k_block, channels);
    }

private:
    libdspaudio* dsp_;
    float a1[k_order + 1], b1[k_order + 1], a2[k_order + 1], b2[k_order + 1];
};

void count_samples(benchmark::State& state, int channels = 1) {
    state.counters["time_per_sample"] =
        benchmark::Counter(k_block * channels, benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
}

template <typename Call>
void run_stream(benchmark::State& state, stream kind, Call call, int channels = 1) {
    const std::size_t samples = std::size_t{k_block} * static_cast<std::size_t>(channels);
    std::vector<float> x =
        kind == stream::noise ? bench_noise(samples) : std::vector<float>(samples);
    if (kind == stream::silence) {
        // An impulse on every channel, then enough silence for the tail to decay into denormals.
        std::vector<float> impulse(samples);
        std::fill_n(impulse.begin(), channels, 1.0f);
        call(impulse.data());
        for (int block = 0; block < 64; ++block)
            call(x.data());
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(call(x.data()));
    }
    count_samples(state, channels);
}

void arma_filter_order4(benchmark::State& state, stream kind) {
    filter_setup setup;
    run_stream(state, kind, [&](const float* in) { return setup.single(in); });
}

void arma_filter_2stage_order4(benchmark::State& state, stream kind) {
    filter_setup setup;
    run_stream(state, kind, [&](const float* in) { return setup.cascade(in); });
}

// The block is copied in first, as arma_filter copies its input into its work buffer.
void lanes_order4(benchmark::State& state, stream kind, bool cascade) {
    const int channels = static_cast<int>(state.range(0));
    filter_setup setup;
    std::vector<float> frames(std::size_t{k_block} * static_cast<std::size_t>(channels));
    std::vector<libdspaudio::channel_history> histories(static_cast<std::size_t>(channels));
    const auto call = [&](const float* in) {
        std::copy_n(in, frames.size(), frames.data());
        setup.lanes(histories.data(), frames.data(), channels, cascade);
        return frames.data();
    };
    run_stream(state, kind, call, channels);
}

void arma_filter_lanes_order4(benchmark::State& state, stream kind) {
    lanes_order4(state, kind, false);
}

void arma_filter_lanes_2stage_order4(benchmark::State& state, stream kind) {
    lanes_order4(state, kind, true);
}

// One multiply and four dependent subtractions per sample, the latency chain of order 4.
void dependent_chain_bound(benchmark::State& state) {
    const std::vector<float> x = bench_noise(k_block);
    std::vector<float> y(k_block);
    float a1 = -0.5f, c2 = 0.25f, c3 = -0.125f, c4 = 0.0625f;
    benchmark::DoNotOptimize(a1);
    benchmark::DoNotOptimize(c2);
    benchmark::DoNotOptimize(c3);
    benchmark::DoNotOptimize(c4);
    float carried = 0.0f;
    for (auto _ : state) {
        for (int j = 0; j < k_block; ++j) {
            carried = (((x[j] - a1 * carried) - c2) - c3) - c4;
            y[j] = carried;
        }
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    count_samples(state);
}

} // namespace

BENCHMARK(dependent_chain_bound);
BENCHMARK_CAPTURE(arma_filter_order4, noise, stream::noise);
BENCHMARK_CAPTURE(arma_filter_order4, silence, stream::silence);
BENCHMARK_CAPTURE(arma_filter_2stage_order4, noise, stream::noise);
BENCHMARK_CAPTURE(arma_filter_2stage_order4, silence, stream::silence);
BENCHMARK_CAPTURE(arma_filter_lanes_order4, noise, stream::noise)->ArgName("channels")->Arg(2);
BENCHMARK_CAPTURE(arma_filter_lanes_order4, silence, stream::silence)->ArgName("channels")->Arg(2);
BENCHMARK_CAPTURE(arma_filter_lanes_2stage_order4, noise, stream::noise)
    ->ArgName("channels")
    ->Arg(2)
    ->Arg(8)
    ->Arg(libdspaudio::k_history_channels)
    ->Arg(16);
BENCHMARK_CAPTURE(arma_filter_lanes_2stage_order4, silence, stream::silence)
    ->ArgName("channels")
    ->Arg(2)
    ->Arg(8);

int main(int argc, char** argv) {
    return run_benchmarks_with_goals(
        argc, argv, "time_per_sample",
        {{"arma_filter_order4/noise", "dependent_chain_bound", 0.0,
          "arma_filter, order 4, against its recurrence bound"},
         {"arma_filter_2stage_order4/noise", "dependent_chain_bound", 1.2,
          "arma_filter_2stage, order 4, against its recurrence bound"},
         {"arma_filter_lanes_2stage_order4/noise/channels:2", "arma_filter_2stage_order4/noise",
          0.0, "lanes, 2 channels, per channel-sample, against arma_filter_2stage"},
         {"arma_filter_lanes_2stage_order4/noise/channels:8", "arma_filter_2stage_order4/noise",
          0.0, "lanes, 8 channels, per channel-sample, against arma_filter_2stage"},
         // With AVX-512 one pass of sixteen lanes, as for 10 channels (the most a library object
         // carries), but every lane used.
         {"arma_filter_lanes_2stage_order4/noise/channels:10", "arma_filter_2stage_order4/noise",
          0.0, "lanes, 10 channels, per channel-sample, against mono"},
         {"arma_filter_lanes_2stage_order4/noise/channels:16", "arma_filter_2stage_order4/noise",
          0.1, "lanes, 16 channels, per channel-sample, against mono"},
         {"arma_filter_order4/silence", "arma_filter_order4/noise", 0.0,
          "arma_filter, subnormal decay against noise"},
         {"arma_filter_2stage_order4/silence", "arma_filter_2stage_order4/noise", 0.0,
          "arma_filter_2stage, subnormal decay against noise"},
         {"arma_filter_lanes_order4/silence/channels:2",
          "arma_filter_lanes_order4/noise/channels:2", 0.0,
          "lanes, one section, 2 channels, subnormal decay against noise"},
         {"arma_filter_lanes_2stage_order4/silence/channels:2",
          "arma_filter_lanes_2stage_order4/noise/channels:2", 0.0,
          "lanes, 2 channels, subnormal decay against noise"},
         {"arma_filter_lanes_2stage_order4/silence/channels:8",
          "arma_filter_lanes_2stage_order4/noise/channels:8", 0.0,
          "lanes, 8 channels, subnormal decay against noise"}});
}
