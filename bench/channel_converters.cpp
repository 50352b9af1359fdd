// Channel conversion cost per frame, next to a plain memcpy of the same input bytes: the
// down-mixes of 5.1 to stereo and 7.1 to 5.1, and the planar/interleaved conversions the
// filter component runs on every audio frame (stereo through its kernel, 6 channels through
// the generic loop). Counters report frames per second.
#include "bench_signal.h"

#include <channel/audio_channel>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using namespace ns_audio_channel;

constexpr int k_frames = 4096;

void count_frames(benchmark::State& state, int channels) {
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * k_frames, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * k_frames * channels *
                            static_cast<int64_t>(sizeof(float)));
}

void convert(benchmark::State& state, audio_channel_api&& converter, int in_channels,
             int out_channels) {
    std::vector<float> input = bench_noise(static_cast<std::size_t>(k_frames * in_channels));
    std::vector<float> output(static_cast<std::size_t>(k_frames * out_channels));
    for (auto _ : state) {
        converter.process(output.data(), input.data(), k_frames);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, in_channels);
}

void copy_input(benchmark::State& state, int in_channels) {
    const std::vector<float> input = bench_noise(static_cast<std::size_t>(k_frames * in_channels));
    std::vector<float> output(input.size());
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size() * sizeof(float));
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, in_channels);
}

// interleave or deinterleave: both take (channels, frames, source, destination).
using layout_change = void (*)(int, int, float*, float*);

void change_layout(benchmark::State& state, layout_change change, int channels) {
    std::vector<float> source = bench_noise(static_cast<std::size_t>(k_frames * channels));
    std::vector<float> destination(source.size());
    for (auto _ : state) {
        change(channels, k_frames, source.data(), destination.data());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, channels);
}

BENCHMARK_CAPTURE(copy_input, memcpy_51, 6);
BENCHMARK_CAPTURE(convert, mixdown_51_to_stereo, mixdown_51_to_stereo(), 6, 2);
BENCHMARK_CAPTURE(copy_input, memcpy_71, 8);
BENCHMARK_CAPTURE(convert, mixdown_71_to_51, mixdown_71_to_51(), 8, 6);
BENCHMARK_CAPTURE(copy_input, memcpy_stereo, 2);
BENCHMARK_CAPTURE(change_layout, interleave_stereo, audio_channel_api::interleave, 2);
BENCHMARK_CAPTURE(change_layout, deinterleave_stereo, audio_channel_api::deinterleave, 2);
BENCHMARK_CAPTURE(copy_input, memcpy_6ch, 6);
BENCHMARK_CAPTURE(change_layout, interleave_6ch, audio_channel_api::interleave, 6);
BENCHMARK_CAPTURE(change_layout, deinterleave_6ch, audio_channel_api::deinterleave, 6);

} // namespace

BENCHMARK_MAIN();
