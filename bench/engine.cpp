// The filter engine's two realizations side by side, as a front-end drives them: band mode
// (300 Hz .. 4 kHz) at 48 kHz, interleaved blocks of 1024 frames, mono, stereo, 8 and 16 channels
// (beyond the component's 10, where exact keeps the histories itself). The counter "per
// sample/channel" (time per sample of one channel) is the figure to compare; precise aims to stay
// within 1.5x of exact.
//
// Also the tail of an impulse, stereo: from rest, an impulse on both channels and seven blocks
// of silence, against eight blocks of noise. Past about 5500 samples the exact recursions run
// in subnormal numbers (and stay there); the precise ones pass through them only in the float
// outputs, unless flush_subnormals is on.
#include "bench_goals.h"
#include "bench_signal.h"

#include <engine/filter_engine.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using namespace ns_filter_engine;

constexpr long k_frames = 1024;

void BM_EngineBand(benchmark::State& state, realization kind) {
    const int channels = static_cast<int>(state.range(0));
    engine_settings settings{{true, 300.0, true, 4000.0}, kind, 4};
    filter_engine engine(48000.0, channels, settings);
    const std::vector<float> noise = bench_noise(static_cast<std::size_t>(k_frames * channels));
    std::vector<float> block(noise.size());
    for (auto _ : state) {
        std::copy(noise.begin(), noise.end(), block.begin());
        engine.process_interleaved(block.data(), k_frames);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    const double samples = static_cast<double>(state.iterations()) * k_frames * channels;
    state.counters["per sample/channel"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_EngineBand, exact, realization::exact)->Arg(1)->Arg(2)->Arg(8)->Arg(16);
BENCHMARK_CAPTURE(BM_EngineBand, precise, realization::precise)->Arg(1)->Arg(2)->Arg(8)->Arg(16);

constexpr int k_tail_channels = 2;
constexpr long k_tail_blocks = 8;

void BM_EngineTail(benchmark::State& state, realization kind, bool flush, bool silence) {
    engine_settings settings{{true, 300.0, true, 4000.0}, kind, 4, flush};
    filter_engine engine(48000.0, k_tail_channels, settings);
    const std::size_t samples =
        static_cast<std::size_t>(k_frames * k_tail_blocks) * k_tail_channels;
    std::vector<float> input = bench_noise(samples);
    if (silence) {
        std::fill(input.begin(), input.end(), 0.0f);
        std::fill_n(input.begin(), k_tail_channels, 1.0f);
    }
    std::vector<float> block(samples);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), block.begin());
        engine.reset();
        for (long b = 0; b < k_tail_blocks; ++b)
            engine.process_interleaved(block.data() + b * k_frames * k_tail_channels, k_frames);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.counters["per sample/channel"] = benchmark::Counter(
        static_cast<double>(samples),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_EngineTail, exact_noise, realization::exact, false, false);
BENCHMARK_CAPTURE(BM_EngineTail, exact_tail, realization::exact, false, true);
BENCHMARK_CAPTURE(BM_EngineTail, precise_noise, realization::precise, false, false);
BENCHMARK_CAPTURE(BM_EngineTail, precise_tail, realization::precise, false, true);
BENCHMARK_CAPTURE(BM_EngineTail, precise_flushed_noise, realization::precise, true, false);
BENCHMARK_CAPTURE(BM_EngineTail, precise_flushed_tail, realization::precise, true, true);

} // namespace

int main(int argc, char** argv) {
    return run_benchmarks_with_goals(
        argc, argv, "per sample/channel",
        {{"BM_EngineBand/precise/1", "BM_EngineBand/exact/1", 1.5, "precise against exact, mono"},
         {"BM_EngineBand/precise/2", "BM_EngineBand/exact/2", 1.5, "precise against exact, stereo"},
         {"BM_EngineBand/precise/2", "BM_EngineBand/precise/1", 0.55,
          "precise, 2 channels against mono, per channel-sample"},
         {"BM_EngineBand/precise/8", "BM_EngineBand/precise/1", 0.2,
          "precise, 8 channels against mono, per channel-sample"},
         {"BM_EngineBand/exact/16", "BM_EngineBand/exact/1", 0.1,
          "exact, 16 channels against mono, per channel-sample"},
         {"BM_EngineTail/exact_tail", "BM_EngineTail/exact_noise", 0.0,
          "exact, impulse tail against noise"},
         {"BM_EngineTail/precise_tail", "BM_EngineTail/precise_noise", 0.0,
          "precise, impulse tail against noise"},
         {"BM_EngineTail/precise_flushed_tail", "BM_EngineTail/precise_flushed_noise", 0.0,
          "precise with flush_subnormals, impulse tail against noise"}});
}
