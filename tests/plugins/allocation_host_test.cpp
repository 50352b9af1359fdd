// A host of our own that loads the built LV2 binary and counts the heap allocations made
// while run() executes (the LADSPA entry point runs the same instance code), through retuning,
// switches of sections and of engine, clamped and non-numeric controls and a non-finite input, at
// block sizes 1 to 8192.
#include "allocation_counter.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

namespace zq_plugin_test {
namespace {

constexpr double k_rate = 48000.0;
constexpr unsigned k_controls = 5;
constexpr float k_nan = std::numeric_limits<float>::quiet_NaN();

// The built LV2 binary, loaded as a host loads it, and one instance of a plugin in it.
class lv2_instance {
public:
    explicit lv2_instance(uint32_t index) : library_(dlopen(ZQ_LV2_BINARY, RTLD_NOW)) {
        if (!library_) throw std::runtime_error(dlerror());
        const auto descriptor_at = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
            dlsym(library_, "lv2_descriptor"));
        d_ = descriptor_at(index);
        handle_ = d_->instantiate(d_, k_rate, ZQ_LV2_BUNDLE, nullptr);
        if (!handle_) throw std::runtime_error("instantiate failed");
    }
    ~lv2_instance() {
        d_->cleanup(handle_);
        dlclose(library_);
    }
    lv2_instance(const lv2_instance&) = delete;
    lv2_instance& operator=(const lv2_instance&) = delete;

    void connect(unsigned long port, float* data) {
        d_->connect_port(handle_, static_cast<uint32_t>(port), data);
    }
    void activate() { d_->activate(handle_); }
    void run(unsigned long frames) { d_->run(handle_, static_cast<uint32_t>(frames)); }

private:
    void* library_;
    const LV2_Descriptor* d_ = nullptr;
    LV2_Handle handle_ = nullptr;
};

struct control_step {
    const char* what;
    float controls[k_controls]; // hp, hp_freq, lp, lp_freq, precise
    bool nan_input = false;
};

const control_step k_steps[] = {
    {"band 300 Hz .. 4 kHz", {1, 300, 1, 4000, 0}},
    {"cut-offs moved", {1, 350, 1, 5000, 0}},
    {"high-pass split into two sections", {1, 200, 0, 5000, 0}},
    {"precise engine", {1, 200, 1, 5000, 1}},
    {"unsound in exact, so precise", {1, 20000, 0, 5000, 0}},
    {"precise cut-offs moved", {1, 30, 1, 9000, 1}},
    {"clamped and not a number", {1, 1e6f, 1, k_nan, 0}},
    {"a NaN in the input", {1, 300, 1, 4000, 0}, true},
    {"bypass", {0, 300, 0, 4000, 0}},
};

struct block_run {
    long run_calls = 0;
    long allocations = 0;
    bool outputs_finite = true;
};

// Every step at one block size: each step's controls are set before two run() calls, so that
// both the call that applies a change and the one after it are counted.
block_run run_steps(lv2_instance& plugin, int channels, unsigned long block, bool in_place) {
    float controls[k_controls];
    std::vector<std::vector<float>> in(channels, std::vector<float>(block));
    std::vector<std::vector<float>> out(channels, std::vector<float>(block));
    for (unsigned port = 0; port < k_controls; ++port)
        plugin.connect(port, &controls[port]);
    for (int c = 0; c < channels; ++c) {
        plugin.connect(k_controls + c, in[c].data());
        plugin.connect(k_controls + channels + c, in_place ? in[c].data() : out[c].data());
    }
    plugin.activate();
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    block_run result;
    for (const control_step& step : k_steps) {
        std::copy(std::begin(step.controls), std::end(step.controls), controls);
        for (int call = 0; call < 2; ++call) {
            for (std::vector<float>& channel : in)
                for (float& x : channel)
                    x = sample(random);
            if (step.nan_input && call == 0) in[0][block / 2] = k_nan;
            {
                const counted_allocations counted;
                plugin.run(block);
                result.allocations += counted.count();
            }
            ++result.run_calls;
            for (const std::vector<float>& channel : in_place ? in : out)
                for (const float x : channel)
                    result.outputs_finite = result.outputs_finite && std::isfinite(x);
        }
    }
    return result;
}

TEST(AllocationHost, CountsWhatItIsMeantToCount) {
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void* (*volatile make)(std::size_t) = ::operator new;
    const counted_allocations counted;
    void* block = allocate(16);
    void* object = make(16);
    const long count = counted.count();
    std::free(block);
    ::operator delete(object);
    EXPECT_EQ(count, 2);
}

TEST(AllocationHost, RunAllocatesNothingAndNeverWritesANonFiniteSample) {
    long run_calls = 0;
    for (const int channels : {1, 2}) {
        for (const unsigned long block : {1ul, 64ul, 1024ul, 8192ul}) {
            // Hosts hand over separate buffers or one buffer for input and output.
            for (const bool in_place : {false, true}) {
                SCOPED_TRACE(testing::Message() << channels << " channels, blocks of " << block
                                                << (in_place ? ", in place" : ""));
                lv2_instance plugin(static_cast<uint32_t>(channels - 1));
                const block_run result = run_steps(plugin, channels, block, in_place);
                EXPECT_EQ(result.allocations, 0);
                EXPECT_TRUE(result.outputs_finite);
                run_calls += result.run_calls;
            }
        }
    }
    std::cout << "run() called " << run_calls << " times at blocks of 1, 64, 1024 and 8192 "
              << "frames: no allocation expected\n";
}

} // namespace
} // namespace zq_plugin_test
