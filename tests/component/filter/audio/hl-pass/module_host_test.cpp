// Loads the built module the way a host does: by path, with dlopen, through its C symbols only.
#include "component_harness.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>
#include <string>

namespace {

using hl_pass_test::Host;
using hl_pass_test::Settings;

class LoadedModule {
public:
    LoadedModule() : handle_(dlopen(ZQ_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedModule() {
        if (handle_) dlclose(handle_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const { return dlsym(handle_, name); }

    std::unique_ptr<ZQ::CM::RComponent> create() const {
        const auto factory =
            reinterpret_cast<ZQGetComponentInstance>(symbol("getComponentInstance"));
        return std::unique_ptr<ZQ::CM::RComponent>(factory ? factory() : nullptr);
    }

private:
    void* handle_;
};

TEST(ModuleHost, ExportsTheFactoryAndTheBanner) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    const auto* banner = static_cast<const char* const*>(
        module.symbol("__rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__"));
    ASSERT_NE(banner, nullptr);
    const std::string text = *banner;
    EXPECT_EQ(text.rfind("zq.filter.audio.hl-pass-0.1: ", 0), 0u) << text;
    EXPECT_NE(text.find("/component/filter/audio/hl-pass-"), std::string::npos) << text;
    EXPECT_NE(text.find(" ndbg/opt darwin/x86 2008-07-07 15:06"), std::string::npos) << text;
}

TEST(ModuleHost, FiltersThroughTheQueuesIndependentlyOfFrameSize) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    const Settings modes[] = {
        {}, {-1, 1, 0, 3.0f}, {1, -1, 80, 0}, {1, -1, 2000, 0}, {1, 1, 300, 4}, {1, 1, 1000, 8}};
    for (const int channels : {1, 2, 5}) {
        const std::vector<float> signal =
            zq_test::random_floats(static_cast<std::size_t>(channels) * 5000, 11);
        for (const Settings& mode : modes) {
            std::vector<float> reference;
            // One frame, one sample, a few samples, around the 1000-sample scratch and the
            // 2000-sample work buffers, and uneven sizes.
            for (const std::size_t frames : {5000u, 1u, 3u, 500u, 999u, 1024u, 2500u}) {
                SCOPED_TRACE(testing::Message()
                             << channels << " channels, hPass " << mode.h_pass << " lPass "
                             << mode.l_pass << ", " << frames << " frames");
                const auto component = module.create();
                auto* filter = dynamic_cast<ZQ::CM::RFilter*>(component.get());
                ASSERT_NE(filter, nullptr);
                Host host(*filter);
                ASSERT_EQ(host.configure(mode, channels), 0);
                EXPECT_EQ(component->getStatus().state, 2);
                const std::vector<float> out =
                    host.run(signal, frames * static_cast<std::size_t>(channels));
                ASSERT_EQ(out.size(), signal.size());
                if (reference.empty())
                    reference = out;
                else
                    EXPECT_EQ(out, reference);
            }
            EXPECT_EQ(reference == signal, mode.h_pass < 0 && mode.l_pass < 0);
        }
    }
}

} // namespace
