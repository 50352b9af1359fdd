#include "component_harness.h"

#include <dlfcn.h>

#include <memory>

namespace {

using hl_pass_test::Host;
using hl_pass_test::random_floats;
using hl_pass_test::Settings;
using ns_hl_pass::pass_filter;

using design = zq_test::section_design;

// The modes at 48 kHz with the sections each must run: low-pass, high-pass split and whole, band
// with a padded and a full high section, a band too low for its high side, and bypass.
struct mode {
    Settings settings;
    design first, second;
};
const mode k_modes[] = {{{-1, 1, 0, 2.0f}, design::low4, design::none},
                        {{1, -1, 100, 0}, design::high2, design::high2},
                        {{1, -1, 1000, 0}, design::high4, design::none},
                        {{1, 1, 300, 4}, design::high2, design::low4},
                        {{1, 1, 1000, 4}, design::high4, design::low4},
                        {{1, 1, 100, 0.2f}, design::low4, design::none},
                        {{}, design::none, design::none}};
const mode& k_band = k_modes[4];

// Each channel of `interleaved` filtered on its own, straight through the library; a cut-off
// not set is the default, 100 Hz or 4 kHz.
std::vector<float> filtered_by_library(const mode& m, const std::vector<float>& interleaved,
                                       int channels) {
    const float hz = m.settings.h_frequency > 0 ? m.settings.h_frequency : 100.0f;
    const float khz = m.settings.l_frequency > 0 ? m.settings.l_frequency : 4.0f;
    return zq_test::filtered_as_designed(m.first, m.second, static_cast<float>(double{hz} / 48000),
                                         static_cast<float>(double{1000.0f * khz} / 48000),
                                         interleaved, channels);
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
        for (const mode& each : k_modes) {
            const Settings& settings = each.settings;
            const std::vector<float> expected = filtered_by_library(each, signal, channels);
            for (const std::size_t frames : {5000u, 1u, 3u, 500u, 999u, 1024u, 2500u}) {
                SCOPED_TRACE(testing::Message()
                             << channels << " channels, hPass " << settings.h_pass << " lPass "
                             << settings.l_pass << " hFrequency " << settings.h_frequency << ", "
                             << frames << " frames");
                const auto component = module.create();
                auto* filter = dynamic_cast<ZQ::CM::RFilter*>(component.get());
                ASSERT_NE(filter, nullptr);
                Host host(*filter);
                ASSERT_EQ(host.configure(settings, channels), 0);
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
        ASSERT_EQ(empty_host.configure(k_band.settings, channels), 0);
        empty_host.push({});
        EXPECT_TRUE(empty.process());
        EXPECT_TRUE(empty_host.pull().empty());
    }
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(k_band.settings, 3), 0);
    std::vector<float> signal = random_floats(3 * 10 + 2);
    const std::vector<float> out = host.run(signal, signal.size());
    ASSERT_EQ(out.size(), signal.size());
    EXPECT_EQ(out[30], signal[30]);
    EXPECT_EQ(out[31], signal[31]);
    signal.resize(30);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 30),
              filtered_by_library(k_band, signal, 3));
}

} // namespace
