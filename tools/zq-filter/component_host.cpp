#include "component_host.h"

#include "settings.h"
#include <files/file_error.h>

#include <dsp/libdspaudio>
#include <engine/filter_engine>

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

namespace {

constexpr char k_banner_symbol[] =
    "__rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__";

// Runs a component operation, turning the host framework's exception into a failure of the
// component.
template <typename Operation>
void guarded(Operation&& operation) {
    try {
        operation();
    } catch (const ZQ::CException& exception) {
        throw file_error(failure::filter, std::string("the component failed: ") + exception.what());
    }
}

// The component carries history for as many channels as its library object holds; the engine
// behind the default filter carries any count up to its own maximum.
void require_component_channels(int channels) {
    constexpr int most = ns_audio_dsp::libdspaudio::k_history_channels;
    if (channels > most)
        throw file_error(failure::input,
                         "INPUT has " + std::to_string(channels) +
                             " channels; the component (--exact, --set) takes 1 to " +
                             std::to_string(most) + "; leave both out for the default filter, " +
                             "which takes up to " +
                             std::to_string(ns_filter_engine::k_max_channels));
}

} // namespace

std::string default_module_path() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw file_error(failure::filter, "cannot find the directory zq-filter runs from (" +
                                              error.message() + "); give --module PATH");
    return (executable.parent_path() / ZQ_FILTER_MODULE_FROM_BINDIR).lexically_normal().string();
}

component_module::component_module(const std::string& path) : path_(path) {
    // A bare file name would send dlopen searching the library path instead.
    const std::string file = std::filesystem::absolute(path).string();
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        throw file_error(failure::filter,
                         std::string("cannot load the component module: ") + ::dlerror());
    void* const factory = ::dlsym(handle_, "getComponentInstance");
    if (!factory) {
        ::dlclose(handle_);
        throw file_error(failure::filter,
                         "the module " + path + " has no \"getComponentInstance\"");
    }
    factory_ = reinterpret_cast<ZQGetComponentInstance>(factory);
}

component_module::~component_module() {
    ::dlclose(handle_);
}

std::string component_module::banner() const {
    const void* const symbol = ::dlsym(handle_, k_banner_symbol);
    const char* const* text = static_cast<const char* const*>(symbol);
    return text && *text ? *text : "";
}

std::unique_ptr<ZQ::CM::RComponent> component_module::create() const {
    std::unique_ptr<ZQ::CM::RComponent> component(factory_());
    if (!component) throw file_error(failure::filter, "the module " + path_ + " made no component");
    if (!dynamic_cast<ZQ::CM::RFilter*>(component.get()))
        throw file_error(failure::filter,
                         "the module " + path_ + " does not make a filter component");
    return component;
}

filter_session::filter_session(const component_module& module, int channels, double sample_rate,
                               checked_configuration& settings)
    : channels_(channels), component_(module.create()),
      filter_(dynamic_cast<ZQ::CM::RFilter*>(component_.get())),
      input_(ZQ::makeRPtr<ZQ::CM::CFrameQueue>()), output_(ZQ::makeRPtr<ZQ::CM::CFrameQueue>()) {
    require_component_channels(channels);
    using ZQ::CM::RAudioDescription;
    filter_->setInputReader(0, input_);
    filter_->setOutputWriter(0, output_);
    input_->setDescription(ZQ::makeRPtr<RAudioDescription>(
        channels, RAudioDescription::kFormatInterleavedFloat32, sample_rate));
    int result = 0;
    try {
        result = filter_->configure(settings);
    } catch (const ZQ::CException& exception) {
        if (!settings.violation().empty()) throw file_error(failure::usage, settings.violation());
        throw file_error(failure::filter,
                         std::string("the component failed to configure: ") + exception.what());
    }
    if (result == 0) return;
    throw file_error(failure::filter, "the component refused the stream (" +
                                          std::to_string(channels) + " channels of float at " +
                                          std::to_string(static_cast<long>(sample_rate)) + " Hz)");
}

filter_session::~filter_session() = default;

void filter_session::filter(float* interleaved, long frames, const sink& output) {
    const std::size_t bytes = static_cast<std::size_t>(frames) * channels_ * sizeof(float);
    const ZQ::RPtr<ZQ::CM::RFrame> frame =
        ZQ::makeRPtr<ZQ::CM::RFrame>(static_cast<uint32_t>(bytes), position_);
    std::copy_n(reinterpret_cast<const uint8_t*>(interleaved), bytes, frame->getPayload());
    position_ += frames;
    input_->put(frame);
    guarded([this] {
        while (input_->pendingFrames() > 0)
            if (!component_->process())
                throw file_error(failure::filter, "the component left a frame unprocessed");
    });
    drain(output);
}

void filter_session::finish(const sink& output) {
    guarded([this] { component_->flush(); });
    drain(output);
}

void filter_session::drain(const sink& output) {
    const std::size_t frame_bytes = sizeof(float) * static_cast<std::size_t>(channels_);
    while (const ZQ::RPtr<ZQ::CM::RFrame> frame = output_->nextFrame())
        output(reinterpret_cast<const float*>(frame->getPayload()),
               static_cast<long>(frame->getPayloadSize() / frame_bytes));
}

} // namespace zq_tool
