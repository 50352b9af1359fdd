// Full linear convolution: the library's fast mode (the convolution primitive with the object's
// FFT plans) against its direct mode, and the primitive building its own plan. Equal lengths
// from 16 to 8192, then a long input under kernels from 4 to 4096 taps. The direct mode works
// in conv_pad up to nx + 2·nh − 2 = 10000 and reads x directly beyond (label "from x").
#include <dsp/libdspaudio>
#include <primitives/convolution.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

constexpr int k_long_input = 8192;

struct operands {
    std::vector<float> x;
    std::vector<float> h;
    std::vector<float> out;

    operands(int nx, int nh) : x(nx), h(nh), out(nx + nh - 1) {
        std::mt19937 engine(1);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        for (float& s : x)
            s = uniform(engine);
        for (float& s : h)
            s = uniform(engine);
    }
};

void run_mode(benchmark::State& state, libdspaudio::convolution_type type) {
    const int nx = static_cast<int>(state.range(0));
    const int nh = static_cast<int>(state.range(1));
    const auto dsp = std::make_unique<libdspaudio>();
    operands data(nx, nh);
    int length = 0;
    for (auto _ : state) {
        dsp->convolution(nx, data.x.data(), nh, data.h.data(), &length, data.out.data(), type);
        benchmark::DoNotOptimize(data.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (nx + nh - 1));
    if (type == libdspaudio::convolution_full && nx + 2 * nh - 2 > libdspaudio::k_scratch_length)
        state.SetLabel("from x");
}

void convolution_fast(benchmark::State& state) {
    run_mode(state, libdspaudio::convolution_fast);
}
void convolution_full(benchmark::State& state) {
    run_mode(state, libdspaudio::convolution_full);
}

void primitive_own_plan(benchmark::State& state) {
    const int nx = static_cast<int>(state.range(0));
    const int nh = static_cast<int>(state.range(1));
    operands data(nx, nh);
    for (auto _ : state) {
        ns_primitives::linear_convolution(data.x.data(), nx, data.h.data(), nh, data.out.data());
        benchmark::DoNotOptimize(data.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (nx + nh - 1));
}

void sizes(benchmark::internal::Benchmark* bench) {
    for (int n = 16; n <= 8192; n *= 2)
        bench->Args({n, n});
    for (int nh = 4; nh <= 4096; nh *= 2)
        bench->Args({k_long_input, nh});
    bench->ArgNames({"nx", "nh"});
}

BENCHMARK(convolution_fast)->Apply(sizes);
BENCHMARK(convolution_full)->Apply(sizes);
BENCHMARK(primitive_own_plan)->Apply(sizes);

} // namespace

BENCHMARK_MAIN();
