// Loading a filter component module and driving it the way a host does: attach the queues,
// describe the stream, configure, then feed frames and collect what comes out.
#pragma once

#include <files/stream_filter.h>

#include <lib/cm/CMComponent>

#include <functional>
#include <memory>
#include <string>

namespace zq_tool {

class checked_configuration;

// The module installed beside the executable: <bindir>/../<component dir>/<module file>.
// The build tree keeps the same layout, so this holds there as well.
std::string default_module_path();

// One dlopen'ed component module. Components it made must be destroyed before it is.
class component_module {
public:
    // Throws file_error(filter) when the file cannot be loaded or has no
    // "getComponentInstance".
    explicit component_module(const std::string& path);
    ~component_module();
    component_module(const component_module&) = delete;
    component_module& operator=(const component_module&) = delete;

    const std::string& path() const noexcept { return path_; }
    // The module's build banner, or an empty string when it exports none.
    std::string banner() const;
    // A new component; throws file_error(filter) when the factory gives none or it is not
    // a filter.
    std::unique_ptr<ZQ::CM::RComponent> create() const;

private:
    std::string path_;
    void* handle_ = nullptr;
    ZQGetComponentInstance factory_ = nullptr;
};

// One configured component over one stream of interleaved 32-bit float frames.
class filter_session final : public ns_audio_files::stream_filter {
public:
    // Creates the component, attaches its queues, describes the stream (channels, format 4,
    // rate) and configures it with `settings`. Throws file_error(usage) for a setting the
    // configuration refused, file_error(input) for more channels than the component takes and
    // file_error(filter) for any other refusal or exception.
    filter_session(const component_module& module, int channels, double sample_rate,
                   checked_configuration& settings);
    ~filter_session();
    filter_session(const filter_session&) = delete;
    filter_session& operator=(const filter_session&) = delete;

    // Queues `frames` frames as one host frame, processes until the input queue is drained
    // and hands every output frame, in order, to `output`.
    void filter(float* interleaved, long frames, const sink& output) override;
    // Tells the component the stream has ended and collects anything it still held.
    void finish(const sink& output) override;

private:
    void drain(const sink& output);

    int channels_;
    long position_ = 0;
    std::unique_ptr<ZQ::CM::RComponent> component_;
    ZQ::CM::RFilter* filter_;
    ZQ::RPtr<ZQ::CM::CFrameQueue> input_;
    ZQ::RPtr<ZQ::CM::CFrameQueue> output_;
};

} // namespace zq_tool
