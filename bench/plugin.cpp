// The stereo LV2 plugin as a host runs it: the built binary loaded with dlopen, band mode
// (300 Hz .. 4 kHz, the Butterworth of order 4) at 48 kHz, separate input and output buffers,
// one run() per block of 64 or 1024 frames. Steady, the controls stay put; gliding, the
// high-pass cut-off steps between 300 and 330 Hz every block, so the glide never lands and the
// sections are recomputed every 32 frames. bench_component measures zq-filter's frame path on
// the same settings.
#include "bench_goals.h"
#include "bench_signal.h"
#include "hl_pass_plugin.h"

#include <benchmark/benchmark.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

namespace {

using namespace ns_hl_pass_plugin;

constexpr double k_rate = 48000.0;
constexpr int k_channels = 2;

const LV2_Descriptor* stereo_plugin() {
    void* library = dlopen(ZQ_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(dlerror());
    const auto descriptor =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    return descriptor(1);
}

void run_band(benchmark::State& state, bool gliding) {
    static const LV2_Descriptor* const plugin = stereo_plugin();
    LV2_Handle instance = plugin->instantiate(plugin, k_rate, ZQ_LV2_BUNDLE, nullptr);
    float controls[k_control_ports] = {1.0f, 300.0f, 1.0f, 4000.0f, 0.0f, 4.0f, 1.0f};
    const auto frames = static_cast<std::size_t>(state.range(0));
    std::vector<std::vector<float>> in(k_channels, bench_noise(frames));
    std::vector<std::vector<float>> out(k_channels, std::vector<float>(frames));
    for (uint32_t port = 0; port < k_control_ports; ++port)
        plugin->connect_port(instance, port, &controls[port]);
    for (uint32_t c = 0; c < k_channels; ++c) {
        plugin->connect_port(instance, k_control_ports + c, in[c].data());
        plugin->connect_port(instance, k_control_ports + k_channels + c, out[c].data());
    }
    plugin->activate(instance);
    for (auto _ : state) {
        if (gliding) controls[port_hp_freq] = controls[port_hp_freq] == 300.0f ? 330.0f : 300.0f;
        plugin->run(instance, static_cast<uint32_t>(frames));
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    plugin->cleanup(instance);
    state.counters["s/sample/ch"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames * k_channels),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Lv2StereoBand(benchmark::State& state) {
    run_band(state, false);
}
void BM_Lv2StereoBandGliding(benchmark::State& state) {
    run_band(state, true);
}
BENCHMARK(BM_Lv2StereoBand)->Arg(64)->Arg(1024);
BENCHMARK(BM_Lv2StereoBandGliding)->Arg(64)->Arg(1024);

} // namespace

int main(int argc, char** argv) {
    return run_benchmarks_with_goals(argc, argv, "s/sample/ch",
                                     {{"BM_Lv2StereoBandGliding/64", "BM_Lv2StereoBand/64", 2.0,
                                       "gliding against steady, blocks of 64"},
                                      {"BM_Lv2StereoBandGliding/1024", "BM_Lv2StereoBand/1024", 2.0,
                                       "gliding against steady, blocks of 1024"}});
}
