// A host of our own that loads the built LV2 binary and counts the heap allocations made
// while run() executes (the LADSPA entry point runs the same instance code), through glides,
// crossfades between sections, orders and engines, host bypass, clamped and non-numeric controls
// and a non-finite input, at block sizes 1 to 8192.
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

// Every heap allocation the process makes while `work` runs, whichever library makes it.
template <typename Work>
long allocations_during(Work&& work) {
    g_allocations.store(0);
    g_counting.store(true);
    work();
    g_counting.store(false);
    return g_allocations.load();
}

} // namespace

#if !defined(__SANITIZE_ADDRESS__) // AddressSanitizer owns malloc; it runs this host uncounted

// Interposed for the whole process, the dlopened plugins included: the program's definitions
// come first in symbol lookup, and libstdc++'s operator new allocates through malloc.
namespace {
void note_allocation() {
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);

void* malloc(std::size_t size) {
    note_allocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note_allocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    note_allocation();
    return __libc_realloc(pointer, size);
}
}

#endif

namespace {

constexpr double k_rate = 48000.0;
constexpr unsigned k_controls = 7;
constexpr float k_nan = std::numeric_limits<float>::quiet_NaN();

// The built LV2 binary, loaded as a host loads it, and one instance of a plugin in it.
struct lv2_instance {
    explicit lv2_instance(uint32_t index) {
        if (!library) throw std::runtime_error(dlerror());
        d = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"))(
            index);
        handle = d->instantiate(d, k_rate, ZQ_LV2_BUNDLE, nullptr);
        if (!handle) throw std::runtime_error("instantiate failed");
    }
    ~lv2_instance() {
        d->cleanup(handle);
        dlclose(library);
    }
    lv2_instance(const lv2_instance&) = delete;
    lv2_instance& operator=(const lv2_instance&) = delete;

    void* library = dlopen(ZQ_LV2_BINARY, RTLD_NOW);
    const LV2_Descriptor* d = nullptr;
    LV2_Handle handle = nullptr;
};

struct control_step {
    const char* what;
    float controls[k_controls]; // hp, hp_freq, lp, lp_freq, exact, order, enabled
    bool nan_input = false;
};

// Each step lands amid the glide or the fade its predecessor started, at the shorter blocks.
const control_step k_steps[] = {
    {"band 300 Hz .. 4 kHz", {1, 300, 1, 4000, 0, 4, 1}},
    {"cut-offs gliding", {1, 20, 1, 16000, 0, 4, 1}},
    {"order changed", {1, 20, 1, 16000, 0, 8, 1}},
    {"exact", {1, 300, 1, 4000, 1, 4, 1}},
    {"exact high-pass changing form", {1, 200, 0, 5000, 1, 4, 1}},
    {"unsound in exact, so the Butterworth", {1, 20000, 0, 5000, 1, 4, 1}},
    {"clamped and not a number", {1, 1e6f, 1, k_nan, 0, k_nan, 1}},
    {"a NaN in the input", {1, 300, 1, 4000, 0, 2, 1}, true},
    {"host bypass", {1, 300, 1, 4000, 0, 2, 0}},
    {"sides off", {0, 300, 0, 4000, 0, 2, 1}},
};

TEST(AllocationHost, CountsWhatItIsMeantToCount) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator is not interposed";
#endif
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void* (*volatile make)(std::size_t) = ::operator new;
    void *block = nullptr, *object = nullptr;
    EXPECT_EQ(allocations_during([&] { block = allocate(16), object = make(16); }), 2);
    std::free(block);
    ::operator delete(object);
}

// Every step at one block size: each step's controls are set before two run() calls, so that
// both the call that applies a change and the one after it are counted. Returns the calls made.
long run_steps(int channels, uint32_t block, bool in_place) {
    lv2_instance plugin(static_cast<uint32_t>(channels - 1));
    float controls[k_controls];
    std::vector<std::vector<float>> in(channels, std::vector<float>(block)), out = in;
    std::vector<std::vector<float>>& written = in_place ? in : out;
    for (uint32_t port = 0; port < k_controls; ++port)
        plugin.d->connect_port(plugin.handle, port, &controls[port]);
    for (int c = 0; c < channels; ++c) {
        plugin.d->connect_port(plugin.handle, k_controls + c, in[c].data());
        plugin.d->connect_port(plugin.handle, k_controls + channels + c, written[c].data());
    }
    plugin.d->activate(plugin.handle);
    long calls = 0;
    for (const control_step& step : k_steps)
        for (int call = 0; call < 2; ++call, ++calls) {
            SCOPED_TRACE(step.what);
            std::copy_n(step.controls, k_controls, controls);
            for (std::vector<float>& channel : in)
                for (float& x : channel)
                    x = static_cast<float>(std::rand() % 1000) / 1000.0f - 0.5f;
            if (step.nan_input && call == 0) in[0][block / 2] = k_nan;
            [[maybe_unused]] const long allocations =
                allocations_during([&] { plugin.d->run(plugin.handle, block); });
#if !defined(__SANITIZE_ADDRESS__)
            EXPECT_EQ(allocations, 0);
#endif
            for (const std::vector<float>& channel : written)
                EXPECT_TRUE(std::all_of(channel.begin(), channel.end(),
                                        [](float x) { return std::isfinite(x); }));
        }
    return calls;
}

// Hosts hand over separate buffers or one buffer for input and output.
TEST(AllocationHost, RunAllocatesNothingAndNeverWritesANonFiniteSample) {
    long run_calls = 0;
    for (const int channels : {1, 2})
        for (const uint32_t block : {1u, 64u, 1024u, 8192u})
            for (const bool in_place : {false, true}) {
                SCOPED_TRACE(testing::Message() << channels << " channels, blocks of " << block
                                                << (in_place ? ", in place" : ""));
                run_calls += run_steps(channels, block, in_place);
            }
    std::cout << "run() called " << run_calls << " times at blocks of 1, 64, 1024 and 8192 "
              << "frames: no allocation expected\n";
}

} // namespace
