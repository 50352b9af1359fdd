// How zq-filter fails: every failure is one line on standard error and an exit status that
// tells its kind, so scripts can tell a bad command line from a bad file.
#pragma once

#include <stdexcept>
#include <string>

namespace zq_tool {

enum class failure : int {
    usage = 1,     // the command line or a setting is wrong
    input = 2,     // INPUT is missing, unreadable, not audio, or a stream the filter refuses
    output = 3,    // OUTPUT cannot be written
    component = 4, // the module cannot be loaded, or the component failed
};

class tool_error : public std::runtime_error {
public:
    tool_error(failure kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}

    int exit_status() const noexcept { return static_cast<int>(kind_); }

private:
    failure kind_;
};

} // namespace zq_tool
