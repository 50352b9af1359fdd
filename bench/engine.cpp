// The filter engine's two realizations side by side, as a front-end drives them: band mode
// (300 Hz .. 4 kHz) at 48 kHz, interleaved blocks of 1024 frames, mono and stereo. The
// counter "per sample/channel" (time per sample of one channel) is the figure to compare; precise
// aims to stay within 1.5x of exact.
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
    engine_settings settings{{true, 300.0f, true, 4.0f}, kind, 4};
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
BENCHMARK_CAPTURE(BM_EngineBand, exact, realization::exact)->Arg(1)->Arg(2);
BENCHMARK_CAPTURE(BM_EngineBand, precise, realization::precise)->Arg(1)->Arg(2);

} // namespace

BENCHMARK_MAIN();
