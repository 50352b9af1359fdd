#include <primitives/convolution.h>

#include <primitives/aligned_memory.h>
#include <primitives/fft.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <utility>

namespace ns_primitives {
namespace {

using std::size_t;

// Per-operation timings in nanoseconds, measured with bench_convolution on x86-64 (SSE FFT);
// only their ratios matter. Re-measure them when the FFT or the direct loop changes.
constexpr double k_ns_per_direct_tap = 0.11;
constexpr double k_ns_per_butterfly = 0.14;     // per point per radix-2 stage of a transform
constexpr double k_ns_per_transform = 25.0;     // fixed overhead of one transform
constexpr double k_ns_per_bin = 0.15;           // complex multiply-add, or a sample moved
constexpr double k_ns_per_plan_butterfly = 1.8; // building a plan, per point per stage

// Outputs summed per pass of the direct loop: keeps the slice of x it reads in cache.
constexpr size_t k_direct_output_block = 1024;

size_t ceil_div(size_t numerator, size_t denominator) {
    return (numerator + denominator - 1) / denominator;
}

// How the FFT path cuts the work: transforms of 2^order points, input blocks of `block`
// samples, the kernel in `segments` pieces of `segment` samples. block + segment - 1 fits the
// transform, and block == segment whenever there is more than one segment, so that every
// product of input block b and kernel segment s lands at offset (b + s)·block.
struct fft_layout {
    int order = 0;
    size_t block = 0;
    size_t segment = 0;
    size_t segments = 0;
    double cost = std::numeric_limits<double>::infinity();
};

// Input blocks travel in pairs, one in the real and one in the imaginary part of a transform.
size_t block_pairs(size_t nx, const fft_layout& layout) {
    return ceil_div(ceil_div(nx, layout.block), 2);
}

// Output step r gathers the products of pair p and segment s with 2p + s == r.
size_t output_steps(size_t pairs, size_t segments) {
    return 2 * (pairs - 1) + segments;
}

double estimated_cost(size_t nx, const fft_layout& layout, bool plan_given) {
    const double points = static_cast<double>(size_t{1} << layout.order);
    const double stages = layout.order;
    const size_t pairs = block_pairs(nx, layout);
    const size_t used_steps = layout.segments == 1 ? pairs : output_steps(pairs, layout.segments);
    const double transforms = static_cast<double>(pairs + layout.segments + used_steps);
    const double per_transform =
        k_ns_per_transform + points * stages * k_ns_per_butterfly + 2.0 * points * k_ns_per_bin;
    const double products = static_cast<double>(pairs * layout.segments) * points;
    const double plan = plan_given ? 0.0 : points * stages * k_ns_per_plan_butterfly;
    return transforms * per_transform + products * k_ns_per_bin + plan;
}

void consider(size_t nx, bool plan_given, fft_layout candidate, fft_layout& best) {
    candidate.cost = estimated_cost(nx, candidate, plan_given);
    if (candidate.cost < best.cost) best = candidate;
}

fft_layout cheapest_fft_layout(size_t nx, size_t nh, bool plan_given) {
    fft_layout best;
    for (int order = 1; order <= k_max_fft_order; ++order) {
        const size_t points = size_t{1} << order;
        if (nh < points) consider(nx, plan_given, {order, points - nh + 1, nh, 1}, best);
        const size_t half = points / 2;
        if (nh > half) consider(nx, plan_given, {order, half, half, ceil_div(nh, half)}, best);
    }
    return best;
}

double direct_cost(size_t nx, size_t nh) {
    return static_cast<double>(nx) * static_cast<double>(nh) * k_ns_per_direct_tap;
}

void convolve_direct(const float* x, size_t nx, const float* h, size_t nh, float* out) {
    const size_t total = nx + nh - 1;
    std::fill(out, out + total, 0.0f);
    for (size_t first = 0; first < total; first += k_direct_output_block) {
        const size_t end = std::min(total, first + k_direct_output_block);
        for (size_t k = 0; k < nh; ++k) {
            // Outputs i in [first, end) with 0 <= i - k < nx.
            const size_t from = std::max(first, k);
            const size_t to = std::min(end, k + nx);
            const float tap = h[k];
            for (size_t i = from; i < to; ++i)
                out[i] += tap * x[i - k];
        }
    }
}

struct aligned_deleter {
    void operator()(void* block) const noexcept { aligned_free(block); }
};
using aligned_block = std::unique_ptr<void, aligned_deleter>;

aligned_block allocate(size_t bytes) {
    return aligned_block(aligned_allocate(bytes));
}

struct split_complex {
    float* re;
    float* im;
};

// Copies count samples to the front of `part` and clears the rest of its `points`.
void load_zero_padded(const float* samples, size_t count, float* part, size_t points) {
    std::copy(samples, samples + count, part);
    std::fill(part + count, part + points, 0.0f);
}

void multiply_accumulate(const split_complex& a, const split_complex& b, size_t points,
                         const split_complex& sum) {
    for (size_t m = 0; m < points; ++m) {
        sum.re[m] += a.re[m] * b.re[m] - a.im[m] * b.im[m];
        sum.im[m] += a.re[m] * b.im[m] + a.im[m] * b.re[m];
    }
}

// Adds part[0..count) to out starting at `offset`, dropping what falls beyond `total`.
void add_at(const float* part, size_t count, float* out, size_t offset, size_t total) {
    if (offset >= total) return;
    const size_t end = std::min(total, offset + count);
    for (size_t i = offset; i < end; ++i)
        out[i] += part[i - offset];
}

// Overlap-add over the transforms of one plan, with a frequency-domain sum over kernel segments.
class fft_convolver {
public:
    // Transforms with `given` when not null, else with a plan of its own.
    fft_convolver(const fft_layout& layout, const fft_plan* given)
        : layout_(layout), points_(size_t{1} << layout.order), ring_slots_(layout.segments / 2 + 1),
          spectra_(allocate((layout.segments + ring_slots_ + 1) * 2 * points_ * sizeof(float))) {
        const fft_sizes sizes = fft_query_sizes(layout.order);
        work_ = allocate(sizes.work);
        if (given) {
            plan_ = given;
            return;
        }
        plan_storage_ = allocate(sizes.plan_storage);
        const aligned_block init_scratch = allocate(sizes.init_scratch);
        fft_plan_build(owned_plan_, layout.order, plan_storage_.get(), init_scratch.get());
    }
    ~fft_convolver() { fft_plan_release(owned_plan_); }
    fft_convolver(const fft_convolver&) = delete;
    fft_convolver& operator=(const fft_convolver&) = delete;

    void run(const float* x, size_t nx, const float* h, size_t nh, float* out) {
        transform_kernel(h, nh);
        const size_t total = nx + nh - 1;
        std::fill(out, out + total, 0.0f);
        const size_t pairs = block_pairs(nx, layout_);
        const size_t reach = layout_.block + layout_.segment - 1;
        const split_complex sum = spectrum(layout_.segments + ring_slots_);
        for (size_t step = 0; step < output_steps(pairs, layout_.segments); ++step) {
            if (step % 2 == 0 && step / 2 < pairs) transform_input_pair(x, nx, step / 2);
            if (!gather_products(step, pairs, sum)) continue;
            fft_inverse(*plan_, sum.re, sum.im, work_.get());
            add_at(sum.re, reach, out, step * layout_.block, total);
            add_at(sum.im, reach, out, (step + 1) * layout_.block, total);
        }
    }

private:
    split_complex spectrum(size_t index) const {
        float* base = static_cast<float*>(spectra_.get()) + 2 * points_ * index;
        return {base, base + points_};
    }
    split_complex kernel_spectrum(size_t segment) const { return spectrum(segment); }
    split_complex pair_spectrum(size_t pair) const {
        return spectrum(layout_.segments + pair % ring_slots_);
    }

    void transform_kernel(const float* h, size_t nh) {
        for (size_t s = 0; s < layout_.segments; ++s) {
            const size_t start = s * layout_.segment;
            const split_complex part = kernel_spectrum(s);
            load_zero_padded(h + start, std::min(layout_.segment, nh - start), part.re, points_);
            std::fill(part.im, part.im + points_, 0.0f);
            fft_forward(*plan_, part.re, part.im, work_.get());
        }
    }

    // Blocks 2·pair and 2·pair + 1 of x into the real and imaginary parts of one transform.
    void transform_input_pair(const float* x, size_t nx, size_t pair) {
        const split_complex part = pair_spectrum(pair);
        load_block(x, nx, 2 * pair, part.re);
        load_block(x, nx, 2 * pair + 1, part.im);
        fft_forward(*plan_, part.re, part.im, work_.get());
    }

    void load_block(const float* x, size_t nx, size_t block, float* part) const {
        const size_t start = std::min(nx, block * layout_.block);
        load_zero_padded(x + start, std::min(layout_.block, nx - start), part, points_);
    }

    // Sums into `sum` every product that belongs to output step `step`; false when none does.
    bool gather_products(size_t step, size_t pairs, const split_complex& sum) const {
        bool any = false;
        for (size_t s = step % 2; s < layout_.segments && s <= step; s += 2) {
            const size_t pair = (step - s) / 2;
            if (pair >= pairs) continue;
            if (!any) {
                std::fill(sum.re, sum.re + points_, 0.0f);
                std::fill(sum.im, sum.im + points_, 0.0f);
                any = true;
            }
            multiply_accumulate(pair_spectrum(pair), kernel_spectrum(s), points_, sum);
        }
        return any;
    }

    fft_layout layout_;
    size_t points_;
    size_t ring_slots_;
    aligned_block spectra_;
    aligned_block plan_storage_; // owned_plan_ lives here; empty when the plan was given
    aligned_block work_;
    fft_plan owned_plan_;
    const fft_plan* plan_ = &owned_plan_;
};

} // namespace

void linear_convolution(const float* x, int nx, const float* h, int nh, float* out,
                        const fft_plan* plans) {
    if (nx < 1 || nh < 1) return;
    if (nx < nh) {
        std::swap(x, h);
        std::swap(nx, nh);
    }
    const size_t x_count = static_cast<size_t>(nx);
    const size_t h_count = static_cast<size_t>(nh);
    const fft_layout layout = cheapest_fft_layout(x_count, h_count, plans != nullptr);
    if (direct_cost(x_count, h_count) <= layout.cost) {
        convolve_direct(x, x_count, h, h_count, out);
        return;
    }
    fft_convolver(layout, plans ? &plans[layout.order] : nullptr).run(x, x_count, h, h_count, out);
}

} // namespace ns_primitives
