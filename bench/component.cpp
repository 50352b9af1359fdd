// process() throughput of the component as a host drives it: 48 kHz, band mode (300 Hz ..
// 4 kHz), one frame in and out per call, frames of 1024 samples per channel (zq-filter's
// default) for 1, 2, 6 and 8 channels, and of 64 (a plugin host's typical block) in stereo.
// The figure that matters is the time per channel-sample: the channels are independent
// recursions, so more of them per frame should cost less each. A first argument
// `--lane-path=literal` measures the literal channel-by-channel path (or names another path).
#include "bench_goals.h"
#include "bench_signal.h"
#include "pass_filter.h"

#include <benchmark/benchmark.h>
#include <dsp/arma_lanes.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void configure_band(ns_hl_pass::pass_filter& filter, int channels,
                    const ZQ::RPtr<ZQ::CM::CFrameQueue>& input,
                    const ZQ::RPtr<ZQ::CM::CFrameQueue>& output) {
    filter.setInputReader(0, input);
    filter.setOutputWriter(0, output);
    input->setDescription(ZQ::makeRPtr<ZQ::CM::RAudioDescription>(channels, 4, 48000.0));
    ZQ::CM::RFilterConfiguration config;
    config.setInt("hPass", 1);
    config.setInt("lPass", 1);
    config.setFloat("hFrequency", 300.0f);
    config.setFloat("lFrequency", 4.0f);
    filter.configure(config);
}

void process_band(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    const auto frames = static_cast<std::size_t>(state.range(1));
    const std::size_t samples = frames * static_cast<std::size_t>(channels);
    ns_hl_pass::pass_filter filter;
    const auto input = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    const auto output = ZQ::makeRPtr<ZQ::CM::CFrameQueue>();
    configure_band(filter, channels, input, output);

    const std::vector<float> noise = bench_noise(samples);
    const auto frame = ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(samples * sizeof(float)));
    for (auto _ : state) {
        std::memcpy(frame->getPayload(), noise.data(), samples * sizeof(float));
        input->put(ZQ::RPtr<const ZQ::CM::RFrame>(frame));
        filter.process();
        benchmark::DoNotOptimize(output->nextFrame());
    }
    state.counters["per_channel_sample"] = benchmark::Counter(
        static_cast<double>(samples),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(frames) / 48000.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(process_band)
    ->ArgNames({"channels", "frames"})
    ->Args({1, 1024})
    ->Args({2, 1024})
    ->Args({6, 1024})
    ->Args({8, 1024})
    ->Args({2, 64});

} // namespace

int main(int argc, char** argv) {
    constexpr char option[] = "--lane-path=";
    if (argc > 1 && std::strncmp(argv[1], option, sizeof option - 1) == 0) {
        ns_audio_dsp::lane_path path{};
        if (!ns_audio_dsp::lane_path_named(argv[1] + sizeof option - 1, path) ||
            !ns_audio_dsp::lane_path_select(path)) {
            std::fprintf(stderr, "unknown or unsupported lane path: %s\n", argv[1]);
            return 1;
        }
        argv[1] = argv[0]; // the option is not Google Benchmark's
        --argc;
        ++argv;
    }
    return run_benchmarks_with_goals(
        argc, argv, "per_channel_sample",
        {{"process_band/channels:2/frames:1024", "process_band/channels:1/frames:1024", 0.6,
          "stereo, per channel-sample, against mono"},
         {"process_band/channels:6/frames:1024", "process_band/channels:1/frames:1024", 0.0,
          "6 channels, per channel-sample, against mono"},
         {"process_band/channels:8/frames:1024", "process_band/channels:1/frames:1024", 0.3,
          "8 channels, per channel-sample, against mono"}});
}
