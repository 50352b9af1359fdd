#include <primitives/fft.h>

#include <primitives/fft/kernels.h>
#include <primitives/fft/paths.h>
#include <primitives/simd/dispatch.h>

#include <cmath>

// A plan's storage holds the twiddles of its radix-4 stages, longest stage first, each stage
// as the six arrays fft_kernels reads. Stages run while the remaining length exceeds the
// last pass (4 points for even orders, 8 for odd ones), which needs no twiddles.
namespace ns_primitives {
namespace {

using forward_function = void (*)(int order, const float* twiddles, float* re, float* im,
                                  float* work);

std::size_t point_count(int order) {
    return std::size_t{1} << order;
}

std::size_t last_pass_length(int order) {
    return order % 2 == 1 ? 8 : 4;
}

std::size_t twiddle_count(int order) {
    std::size_t count = 0;
    for (std::size_t n = point_count(order); n > last_pass_length(order); n /= 4)
        count += fft_kernels::k_twiddle_arrays * (n / 4);
    return count;
}

// e^(-2 pi i j/size), evaluated in double and rounded once.
void store_root(std::size_t j, std::size_t size, float* re, float* im) {
    constexpr double two_pi = 6.283185307179586476925;
    const double angle = two_pi * static_cast<double>(j) / static_cast<double>(size);
    *re = static_cast<float>(std::cos(angle));
    *im = static_cast<float>(-std::sin(angle));
}

constexpr simd::kernel_table<forward_function> k_forward_paths = {
    {fft_paths::forward_scalar, ZQ_SIMD_SSE2(fft_paths::forward_sse2),
     ZQ_SIMD_AVX(fft_paths::forward_avx), ZQ_SIMD_NEON(fft_paths::forward_neon)}};

forward_function active_function() {
    static const forward_function active = k_forward_paths.on(fft_active_path());
    return active;
}

// Transforms too short for vectors always take the scalar path.
void run_forward(forward_function forward, const fft_plan& plan, float* re, float* im, void* work) {
    if (plan.order < fft_paths::k_min_vector_order || forward == nullptr)
        forward = fft_paths::forward_scalar;
    forward(plan.order, static_cast<const float*>(plan.storage), re, im, static_cast<float*>(work));
}

} // namespace

void prepare_processor() {
    active_function();
}

fft_sizes fft_query_sizes(int order) {
    return {twiddle_count(order) * sizeof(float), 0, 2 * point_count(order) * sizeof(float)};
}

void fft_plan_build(fft_plan& plan, int order, void* storage, void*) {
    plan.order = order;
    plan.storage = storage;
    float* twiddles = static_cast<float*>(storage);
    if (twiddle_count(order) == 0) return;
    const std::size_t size = point_count(order);
    for (std::size_t n = size; n > last_pass_length(order); n /= 4) {
        const std::size_t m = n / 4;
        const std::size_t stride = size / n;
        for (std::size_t k = 1; k <= 3; ++k)
            for (std::size_t p = 0; p < m; ++p)
                store_root(k * p * stride, size, &twiddles[(2 * k - 2) * m + p],
                           &twiddles[(2 * k - 1) * m + p]);
        twiddles += fft_kernels::k_twiddle_arrays * m;
    }
}

void fft_plan_release(fft_plan& plan) noexcept {
    plan = fft_plan();
}

void fft_forward(const fft_plan& plan, float* re, float* im, void* work) {
    run_forward(active_function(), plan, re, im, work);
}

void fft_inverse(const fft_plan& plan, float* re, float* im, void* work) {
    run_forward(active_function(), plan, im, re, work);
    const float scale = 1.0f / static_cast<float>(point_count(plan.order));
    for (std::size_t t = 0; t < point_count(plan.order); ++t) {
        re[t] *= scale;
        im[t] *= scale;
    }
}

bool fft_path_supported(fft_path path) {
    return k_forward_paths.on(path) != nullptr;
}

fft_path fft_active_path() {
    return k_forward_paths.fastest();
}

void fft_forward_on(fft_path path, const fft_plan& plan, float* re, float* im, void* work) {
    run_forward(k_forward_paths.on(path), plan, re, im, work);
}

} // namespace ns_primitives
