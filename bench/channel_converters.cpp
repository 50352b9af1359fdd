// Channel conversion cost per frame, next to a plain memcpy of the same input bytes: the
// down-mixes of 5.1 to stereo and 7.1 to 5.1, and the planar/interleaved conversions the
// filter component runs on every audio frame (stereo through its kernel, 6 channels through
// the generic loop). Counters report frames per second.
#include <channel/audio_channel>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace ns_audio_channel;

constexpr int k_frames = 4096;

std::vector<float> noise(std::size_t count) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> samples(count);
    for (auto& x : samples)
        x = sample(random);
    return samples;
}

void count_frames(benchmark::State& state, int channels) {
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * k_frames, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * k_frames * channels *
                            static_cast<int64_t>(sizeof(float)));
}

void convert(benchmark::State& state, audio_channel_api&& converter, int in_channels,
             int out_channels) {
    std::vector<float> input = noise(static_cast<std::size_t>(k_frames * in_channels));
    std::vector<float> output(static_cast<std::size_t>(k_frames * out_channels));
    for (auto _ : state) {
        converter.process(output.data(), input.data(), k_frames);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, in_channels);
}

void copy_input(benchmark::State& state, int in_channels) {
    const std::vector<float> input = noise(static_cast<std::size_t>(k_frames * in_channels));
    std::vector<float> output(input.size());
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size() * sizeof(float));
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, in_channels);
}

void interleave(benchmark::State& state, int channels) {
    std::vector<float> planar = noise(static_cast<std::size_t>(k_frames * channels));
    std::vector<float> interleaved(planar.size());
    for (auto _ : state) {
        audio_channel_api::interleave(channels, k_frames, planar.data(), interleaved.data());
        benchmark::DoNotOptimize(interleaved.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, channels);
}

void deinterleave(benchmark::State& state, int channels) {
    std::vector<float> interleaved = noise(static_cast<std::size_t>(k_frames * channels));
    std::vector<float> planar(interleaved.size());
    for (auto _ : state) {
        audio_channel_api::deinterleave(channels, k_frames, interleaved.data(), planar.data());
        benchmark::DoNotOptimize(planar.data());
        benchmark::ClobberMemory();
    }
    count_frames(state, channels);
}

BENCHMARK_CAPTURE(copy_input, memcpy_51, 6);
BENCHMARK_CAPTURE(convert, mixdown_51_to_stereo, mixdown_51_to_stereo(), 6, 2);
BENCHMARK_CAPTURE(copy_input, memcpy_71, 8);
BENCHMARK_CAPTURE(convert, mixdown_71_to_51, mixdown_71_to_51(), 8, 6);
BENCHMARK_CAPTURE(copy_input, memcpy_stereo, 2);
BENCHMARK_CAPTURE(interleave, stereo, 2);
BENCHMARK_CAPTURE(deinterleave, stereo, 2);
BENCHMARK_CAPTURE(copy_input, memcpy_6ch, 6);
BENCHMARK_CAPTURE(interleave, 6ch, 6);
BENCHMARK_CAPTURE(deinterleave, 6ch, 6);

} // namespace

BENCHMARK_MAIN();
