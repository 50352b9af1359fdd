#include "stdout_capture.h"

#include <files/file_error.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

stdout_capture::stdout_capture() {
    std::fflush(stdout);
    sink_ = std::tmpfile();
    saved_ = sink_ ? ::dup(STDOUT_FILENO) : -1;
    if (saved_ < 0 || ::dup2(::fileno(sink_), STDOUT_FILENO) < 0) {
        const std::string reason = std::strerror(errno);
        restore();
        throw file_error(failure::filter,
                         "cannot set standard output aside for the component: " + reason);
    }
}

stdout_capture::~stdout_capture() {
    restore();
}

void stdout_capture::restore() noexcept {
    if (saved_ >= 0) {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    if (sink_) std::fclose(sink_);
    sink_ = nullptr;
}

std::string stdout_capture::release() {
    std::fflush(stdout);
    std::string text;
    std::rewind(sink_);
    char chunk[512];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, sink_))
        text.append(chunk, got);
    restore();
    return text;
}

} // namespace zq_tool
