// Complex FFT speed on split arrays: our plans (through the library object and on each code
// path) beside FFTW's split-array plans and KissFFT, for 2 to 2048 points, and the cost of
// building a library object with all of its plans. From 64 points up, also FFTW at its
// fastest: interleaved, in place, planned with FFTW_PATIENT (seconds of planning at first),
// with the goal that ours take no longer.
//
//   bench_fft --benchmark_min_time=0.2
//
// Our transforms and FFTW's run in place over and over on the same data, as an application's
// would; the values overflow to infinity and NaN after a few dozen calls, alike for both, and
// only subnormal numbers slow down the x86-64 and ARM vector units. KissFFT runs out of place
// from a fixed input, since its in-place form copies through a temporary it allocates.
#include "bench_goals.h"

#include <dsp/libdspaudio>
#include <primitives/aligned_memory.h>
#include <primitives/fft.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(ZQ_BENCH_WITH_FFTW)
#include <fftw3.h>
#endif
#if defined(ZQ_BENCH_WITH_KISSFFT)
#include <kiss_fft.h>
#endif

namespace {

constexpr int k_min_order = 1;
constexpr int k_max_order = 11;
constexpr int k_min_goal_order = 6;
constexpr char k_per_point[] = "per point";

struct aligned_deleter {
    void operator()(float* block) const { ns_primitives::aligned_free(block); }
};
using aligned_floats = std::unique_ptr<float[], aligned_deleter>;

aligned_floats random_floats(int count, unsigned seed) {
    aligned_floats values(static_cast<float*>(
        ns_primitives::aligned_allocate(static_cast<std::size_t>(count) * sizeof(float))));
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (int t = 0; t < count; ++t)
        values[t] = uniform(engine);
    return values;
}

void set_rate(benchmark::State& state, int order) {
    state.SetItemsProcessed(state.iterations() * (int64_t{1} << order));
    state.counters[k_per_point] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (1 << order),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void zq_library_fft(benchmark::State& state, int order) {
    auto dsp = std::make_unique<ns_audio_dsp::libdspaudio>();
    const aligned_floats re = random_floats(1 << order, 1);
    const aligned_floats im = random_floats(1 << order, 2);
    for (auto _ : state) {
        dsp->fft(re.get(), im.get(), order);
        benchmark::ClobberMemory();
    }
    set_rate(state, order);
}

void zq_path_fft(benchmark::State& state, ns_primitives::fft_path path, int order) {
    auto dsp = std::make_unique<ns_audio_dsp::libdspaudio>();
    const aligned_floats re = random_floats(1 << order, 1);
    const aligned_floats im = random_floats(1 << order, 2);
    for (auto _ : state) {
        ns_primitives::fft_forward_on(path, dsp->fft_plan[order], re.get(), im.get(),
                                      dsp->fft_buffer);
        benchmark::ClobberMemory();
    }
    set_rate(state, order);
}

void construct_library(benchmark::State& state) {
    for (auto _ : state) {
        auto dsp = std::make_unique<ns_audio_dsp::libdspaudio>();
        benchmark::DoNotOptimize(dsp.get());
    }
}

#if defined(ZQ_BENCH_WITH_FFTW)
void fftw_split_fft(benchmark::State& state, int order) {
    const int n = 1 << order;
    float* re = fftwf_alloc_real(static_cast<std::size_t>(n));
    float* im = fftwf_alloc_real(static_cast<std::size_t>(n));
    const fftwf_iodim dim = {n, 1, 1};
    // Forward: real parts first. In place, planned by measurement.
    fftwf_plan plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, re, im, FFTW_MEASURE);
    const aligned_floats input_re = random_floats(n, 1);
    const aligned_floats input_im = random_floats(n, 2);
    std::copy(input_re.get(), input_re.get() + n, re);
    std::copy(input_im.get(), input_im.get() + n, im);
    for (auto _ : state) {
        fftwf_execute_split_dft(plan, re, im, re, im);
        benchmark::ClobberMemory();
    }
    set_rate(state, order);
    fftwf_destroy_plan(plan);
    fftwf_free(re);
    fftwf_free(im);
}

void fftw_patient_fft(benchmark::State& state, int order) {
    const int n = 1 << order;
    fftwf_complex* data = fftwf_alloc_complex(static_cast<std::size_t>(n));
    // Planning overwrites the array; the wisdom it gathers makes later plans of n quick.
    fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_PATIENT);
    const aligned_floats values = random_floats(2 * n, 3);
    std::copy(values.get(), values.get() + 2 * n, &data[0][0]);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    set_rate(state, order);
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
#endif

#if defined(ZQ_BENCH_WITH_KISSFFT)
void kiss_interleaved_fft(benchmark::State& state, int order) {
    const int n = 1 << order;
    kiss_fft_cfg config = kiss_fft_alloc(n, 0, nullptr, nullptr);
    const aligned_floats values = random_floats(2 * n, 3);
    std::vector<kiss_fft_cpx> input(static_cast<std::size_t>(n));
    std::vector<kiss_fft_cpx> output(static_cast<std::size_t>(n));
    for (int t = 0; t < n; ++t)
        input[t] = {values[2 * t], values[2 * t + 1]};
    for (auto _ : state) {
        kiss_fft(config, input.data(), output.data());
        benchmark::ClobberMemory();
    }
    set_rate(state, order);
    kiss_fft_free(config);
}
#endif

std::string sized(const std::string& name, int order) {
    return name + "/" + std::to_string(1 << order);
}

// Registers `name`/N for every size from 2^first_order, running transform(state, order).
template <class Transform>
void register_sizes(const std::string& name, Transform transform, int first_order = k_min_order) {
    for (int order = first_order; order <= k_max_order; ++order)
        benchmark::RegisterBenchmark(sized(name, order).c_str(),
                                     [=](benchmark::State& state) { transform(state, order); });
}

std::vector<bench_goal> goals() {
    std::vector<bench_goal> against_fftw;
    for (int order = k_min_goal_order; order <= k_max_order; ++order)
        against_fftw.push_back(
            {sized("zq", order), sized("fftw_patient", order), 1.0,
             "FFT against FFTW_PATIENT interleaved, " + std::to_string(1 << order) + " points"});
    return against_fftw;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("construct_libdspaudio", construct_library);
    register_sizes("zq", zq_library_fft);
#if defined(ZQ_BENCH_WITH_FFTW)
    register_sizes("fftw_split", fftw_split_fft);
    register_sizes("fftw_patient", fftw_patient_fft, k_min_goal_order);
#endif
#if defined(ZQ_BENCH_WITH_KISSFFT)
    register_sizes("kissfft", kiss_interleaved_fft);
#endif
    using ns_primitives::fft_path;
    for (const fft_path path : {fft_path::scalar, fft_path::sse2, fft_path::avx, fft_path::neon})
        if (ns_primitives::fft_path_supported(path))
            register_sizes(
                std::string("zq_") + ns_primitives::fft_path_name(path),
                [path](benchmark::State& state, int order) { zq_path_fft(state, path, order); });
    return run_benchmarks_with_goals(argc, argv, k_per_point, goals());
}
