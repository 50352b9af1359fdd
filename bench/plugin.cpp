// The stereo LV2 plugin as a host runs it: the built binary loaded with dlopen, band mode
// (300 Hz .. 4 kHz) at 48 kHz, separate input and output buffers, one run() per block of 64 or
// 1024 frames. bench_component measures zq-filter's frame path on the same settings.
#include "bench_signal.h"

#include <benchmark/benchmark.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

namespace {

constexpr double k_rate = 48000.0;
constexpr int k_channels = 2;

const LV2_Descriptor* stereo_plugin() {
    void* library = dlopen(ZQ_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(dlerror());
    const auto descriptor =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    return descriptor(1);
}

void BM_Lv2StereoBand(benchmark::State& state) {
    static const LV2_Descriptor* const plugin = stereo_plugin();
    LV2_Handle instance = plugin->instantiate(plugin, k_rate, ZQ_LV2_BUNDLE, nullptr);
    float controls[] = {1.0f, 300.0f, 1.0f, 4000.0f, 0.0f}; // hp, hp_freq, lp, lp_freq, precise
    const auto frames = static_cast<std::size_t>(state.range(0));
    std::vector<std::vector<float>> in(k_channels, bench_noise(frames));
    std::vector<std::vector<float>> out(k_channels, std::vector<float>(frames));
    for (uint32_t port = 0; port < 5; ++port)
        plugin->connect_port(instance, port, &controls[port]);
    for (uint32_t c = 0; c < k_channels; ++c) {
        plugin->connect_port(instance, 5 + c, in[c].data());
        plugin->connect_port(instance, 5 + k_channels + c, out[c].data());
    }
    plugin->activate(instance);
    for (auto _ : state) {
        plugin->run(instance, static_cast<uint32_t>(frames));
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    plugin->cleanup(instance);
    state.counters["s/sample/ch"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames * k_channels),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Lv2StereoBand)->Arg(64)->Arg(1024);

} // namespace

BENCHMARK_MAIN();
