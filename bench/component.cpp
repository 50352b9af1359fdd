// process() throughput of the component as a host drives it: stereo 48 kHz, band mode
// (300 Hz .. 4 kHz), frames of 1024 samples per channel, one frame in and out per call.
#include "bench_signal.h"
#include "pass_filter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int k_channels = 2;
constexpr std::size_t k_frame_samples = 1024 * k_channels;

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

    const std::vector<float> noise = bench_noise(k_frame_samples);
    const auto frame =
        ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(k_frame_samples * sizeof(float)));
    for (auto _ : state) {
        std::memcpy(frame->getPayload(), noise.data(), k_frame_samples * sizeof(float));
        input->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
        filter.process();
        benchmark::DoNotOptimize(output->nextFrame());
    }
    state.counters["samples/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * k_frame_samples, benchmark::Counter::kIsRate);
    state.counters["x realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 1024.0 / 48000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessStereoBand);

} // namespace

BENCHMARK_MAIN();
