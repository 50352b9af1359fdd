#include "component_harness.h"

#include <dlfcn.h>

#include <memory>

namespace {

using hl_pass_test::Host;
using hl_pass_test::random_floats;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;

const Settings k_band{1, 1, 1000, 4};

// Each channel of `interleaved` filtered on its own, straight through the library with the
// coefficients the component chose.
std::vector<float> filter_directly(pass_filter& filter, std::vector<float> interleaved,
                                   int channels) {
    zq_test::filter_library dsp;
    zq_test::filter_each_channel(
        dsp, {filter.two_stage, filter.order, filter.a1, filter.b1, filter.a2, filter.b2},
        interleaved, channels);
    return interleaved;
}

// The built module, loaded the way a host does: by path, with dlopen, through its C symbols.
struct LoadedModule {
    void* const handle = dlopen(ZQ_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    LoadedModule() = default;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    ~LoadedModule() {
        if (handle) dlclose(handle);
    }
    std::unique_ptr<ZQ::CM::RComponent> create() const {
        const auto factory =
            reinterpret_cast<ZQGetComponentInstance>(dlsym(handle, "getComponentInstance"));
        return std::unique_ptr<ZQ::CM::RComponent>(factory ? factory() : nullptr);
    }
};

TEST(ModuleHost, ExportsTheFactoryAndTheBanner) {
    LoadedModule module;
    ASSERT_TRUE(module.handle) << dlerror();
    const auto* banner = static_cast<const char* const*>(
        dlsym(module.handle, "__rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__"));
    ASSERT_NE(banner, nullptr);
    const std::string text = *banner;
    EXPECT_EQ(text.rfind("zq.filter.audio.hl-pass-0.1: ", 0), 0u) << text;
    EXPECT_NE(text.find("/component/filter/audio/hl-pass-"), std::string::npos) << text;
    EXPECT_NE(text.find(" ndbg/opt darwin/x86 2008-07-07 15:06"), std::string::npos) << text;
}

// Every mode and channel count, through the module's own instances, in frames of one, a few,
// around the 1000-sample scratch and the 2000-sample work buffers, and uneven sizes.
TEST(ModuleHost, FramesComeOutAsTheLibraryFiltersEachChannelWhateverTheFrameSize) {
    LoadedModule module;
    ASSERT_TRUE(module.handle) << dlerror();
    for (const int channels : {1, 2, 3, 10}) {
        const std::vector<float> signal =
            random_floats(static_cast<std::size_t>(channels) * 5000, 11);
        std::vector<Settings> modes(std::begin(hl_pass_test::k_filtering_modes),
                                    std::end(hl_pass_test::k_filtering_modes));
        modes.push_back({});
        for (const Settings& mode : modes) {
            pass_filter designed;
            ASSERT_EQ(Host(designed).configure(mode, channels), 0);
            const std::vector<float> expected =
                designed.bypass ? signal : filter_directly(designed, signal, channels);
            for (const std::size_t frames : {5000u, 1u, 3u, 500u, 999u, 1024u, 2500u}) {
                SCOPED_TRACE(testing::Message() << channels << " channels, hPass " << mode.h_pass
                                                << " lPass " << mode.l_pass << " hFrequency "
                                                << mode.h_frequency << ", " << frames << " frames");
                const auto component = module.create();
                auto* filter = dynamic_cast<ZQ::CM::RFilter*>(component.get());
                ASSERT_NE(filter, nullptr);
                Host host(*filter);
                ASSERT_EQ(host.configure(mode, channels), 0);
                EXPECT_EQ(component->getStatus().state, 2);
                EXPECT_EQ(host.run(signal, frames * static_cast<std::size_t>(channels)), expected);
            }
        }
    }
}

TEST(Process, IncompleteAndEmptyFramesKeepWhatIsNotAWholeFrame) {
    for (const int channels : {1, 3}) {
        pass_filter empty;
        Host empty_host(empty);
        ASSERT_EQ(empty_host.configure(k_band, channels), 0);
        empty_host.push({});
        EXPECT_TRUE(empty.process());
        EXPECT_TRUE(empty_host.pull().empty());
    }
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(k_band, 3), 0);
    std::vector<float> signal = random_floats(3 * 10 + 2);
    const std::vector<float> out = host.run(signal, signal.size());
    ASSERT_EQ(out.size(), signal.size());
    EXPECT_EQ(out[30], signal[30]);
    EXPECT_EQ(out[31], signal[31]);
    signal.resize(30);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 30),
              filter_directly(filter, signal, 3));
}

} // namespace
