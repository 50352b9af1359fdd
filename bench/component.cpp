// process() throughput of the component as a host drives it (zq-filter's frame path): stereo
// 48 kHz, band mode (300 Hz .. 4 kHz), one frame in and out per call, frames of 1024 samples
// per channel (zq-filter's default) and of 64 (a plugin host's typical block).
#include "bench_signal.h"
#include "pass_filter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int k_channels = 2;

void configure_band(ns_hl_pass::pass_filter& filter, const ZQ::RPtr<ZQ::CM::CFrameQueue>& input,
                    const ZQ::RPtr<ZQ::CM::CFrameQueue>& output) {
    filter.setInputReader(0, input);
    filter.setOutputWriter(0, output);
    input->setDescription(ZQ::makeRPtr<ZQ::CM::RAudioDescription>(k_channels, 4, 48000.0));
    ZQ::CM::RFilterConfiguration config;
    config.setInt("hPass", 1);
    config.setInt("lPass", 1);
    config.setFloat("hFrequency", 300.0f);
    config.setFloat("lFrequency", 4.0f);
    filter.configure(config);
}

void BM_ProcessStereoBand(benchmark::State& state) {
    ns_hl_pass::pass_filter filter;
    const auto input = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    const auto output = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    configure_band(filter, input, output);

    const auto frames = static_cast<std::size_t>(state.range(0));
    const std::size_t frame_samples = frames * k_channels;
    const std::vector<float> noise = bench_noise(frame_samples);
    const auto frame =
        ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(frame_samples * sizeof(float)));
    for (auto _ : state) {
        std::memcpy(frame->getPayload(), noise.data(), frame_samples * sizeof(float));
        input->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
        filter.process();
        benchmark::DoNotOptimize(output->nextFrame());
    }
    state.counters["samples/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * frame_samples), benchmark::Counter::kIsRate);
    state.counters["x realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations() * frames) / 48000.0, benchmark::Counter::kIsRate);
    state.counters["s/sample/ch"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frame_samples),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessStereoBand)->Arg(64)->Arg(1024);

} // namespace

BENCHMARK_MAIN();
