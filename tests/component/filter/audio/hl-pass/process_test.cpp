#include "component_harness.h"

namespace {

using namespace hl_pass_test;
using namespace zq_test;
using ns_hl_pass::pass_filter;

const mode_case& k_band = k_exact_modes[6]; // 1 kHz .. 4 kHz

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
        for (const mode_case& mode : k_exact_modes) {
            const std::vector<float> expected = filtered_by_library(mode, signal, channels);
            for (const std::size_t frames : {5000u, 1u, 3u, 500u, 999u, 1024u, 2500u}) {
                SCOPED_TRACE(testing::Message() << mode.name << ", " << channels << " channels, "
                                                << frames << " frames");
                const auto filter = module.create();
                ASSERT_NE(filter, nullptr);
                Host host(*filter);
                ASSERT_EQ(host.configure(settings_for(mode.request), channels), 0);
                EXPECT_EQ(filter->getStatus().state, 2);
                EXPECT_EQ(host.run(signal, frames * static_cast<std::size_t>(channels)), expected);
            }
        }
    }
}

TEST(Process, IncompleteAndEmptyFramesKeepWhatIsNotAWholeFrame) {
    for (const int channels : {1, 3}) {
        pass_filter empty;
        Host empty_host(empty);
        ASSERT_EQ(empty_host.configure(settings_for(k_band.request), channels), 0);
        empty_host.push({});
        EXPECT_TRUE(empty.process());
        EXPECT_TRUE(empty_host.pull().empty());
    }
    pass_filter filter;
    Host host(filter);
    ASSERT_EQ(host.configure(settings_for(k_band.request), 3), 0);
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
