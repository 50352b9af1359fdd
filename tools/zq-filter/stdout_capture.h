// The component prints its diagnostic lines with printf on the process's standard output,
// which zq-filter keeps for audio (OUTPUT "-"). A capture points that descriptor at an unnamed
// temporary file while the component runs, so its lines can be shown on standard error instead.
#pragma once

#include <cstdio>
#include <string>

namespace zq_tool {

class stdout_capture {
public:
    // Flushes what was already printed, then redirects standard output. Throws
    // file_error(component) when no temporary file can be made.
    stdout_capture();
    // Restores standard output if release() was not called; what was captured is dropped.
    ~stdout_capture();
    stdout_capture(const stdout_capture&) = delete;
    stdout_capture& operator=(const stdout_capture&) = delete;

    // Restores standard output and returns what was printed meanwhile, byte for byte.
    std::string release();

private:
    void restore() noexcept;

    int saved_ = -1;
    std::FILE* sink_ = nullptr;
};

} // namespace zq_tool
