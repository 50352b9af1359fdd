#include <primitives/aligned_memory.h>
#include <primitives/fft.h>

#include <gtest/gtest.h>

#include <complex>
#include <memory>
#include <vector>

#include "../support/reference.h"

namespace {

using namespace ns_primitives;
using namespace zq_test;

struct aligned_deleter {
    void operator()(void* block) const { aligned_free(block); }
};
using aligned_block = std::unique_ptr<void, aligned_deleter>;

// One plan with its own storage and work buffer.
struct plan_holder {
    explicit plan_holder(int order)
        : storage(aligned_allocate(fft_query_sizes(order).plan_storage)),
          work(aligned_allocate(fft_query_sizes(order).work)) {
        const aligned_block scratch(aligned_allocate(fft_query_sizes(order).init_scratch));
        fft_plan_build(plan, order, storage.get(), scratch.get());
    }
    ~plan_holder() { fft_plan_release(plan); }

    aligned_block storage;
    aligned_block work;
    fft_plan plan;
};

// Each vector path must agree with the scalar one bit for bit. The arrays are the caller's,
// so the vector paths get them at shifting offsets from their natural alignment. Callers such
// as libdspaudio share one work buffer of the largest size among all orders.
TEST(FftPlan, EveryPathAndTheInverseMatchDirectDftForEveryOrder) {
    prepare_processor();
    EXPECT_TRUE(fft_path_supported(fft_active_path()));
    for (int order = 0; order <= k_max_fft_order; ++order) {
        SCOPED_TRACE(order);
        EXPECT_LE(fft_query_sizes(order).work, fft_query_sizes(k_max_fft_order).work);
        const plan_holder holder(order);
        const split_complex input = random_complex(1 << order, 100u + order);
        split_complex scalar = input;
        fft_forward_on(fft_path::scalar, holder.plan, scalar.re.data(), scalar.im.data(),
                       holder.work.get());
        EXPECT_LE(relative_error(scalar, direct_dft(input, -1)), fft_error_bound(order));

        const int shift = order % 4;
        for (const fft_path path : {fft_path::sse2, fft_path::avx, fft_path::neon}) {
            if (!fft_path_supported(path)) continue;
            std::vector<float> re = input.re;
            std::vector<float> im = input.im;
            re.insert(re.begin(), shift, 0.0f);
            im.insert(im.begin(), shift, 0.0f);
            fft_forward_on(path, holder.plan, re.data() + shift, im.data() + shift,
                           holder.work.get());
            EXPECT_EQ(std::vector<float>(re.begin() + shift, re.end()), scalar.re)
                << fft_path_name(path);
            EXPECT_EQ(std::vector<float>(im.begin() + shift, im.end()), scalar.im)
                << fft_path_name(path);
        }

        split_complex inverse = input;
        fft_inverse(holder.plan, inverse.re.data(), inverse.im.data(), holder.work.get());
        std::vector<std::complex<double>> expected = direct_dft(input, +1);
        for (std::complex<double>& value : expected)
            value /= static_cast<double>(1 << order);
        EXPECT_LE(relative_error(inverse, expected), fft_error_bound(order));
    }
}

} // namespace
