// How filtering a file fails: one message and a kind that tells who can fix it, so that a
// front-end maps it to what its users expect (zq-filter's exit status, a Python exception).
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace ns_audio_files {

enum class failure : int {
    usage = 1,  // a setting or option is wrong: the user's to change
    input = 2,  // INPUT is missing, unreadable, not audio, or a stream the filter refuses
    output = 3, // OUTPUT cannot be written
    filter = 4, // the filter cannot be made, or it failed (a non-finite sample)
};

class file_error : public std::runtime_error {
public:
    // `system_error` is the errno behind a failed system call, 0 for none.
    file_error(failure kind, const std::string& message, int system_error = 0)
        : std::runtime_error(message), kind_(kind), system_error_(system_error) {}

    failure kind() const noexcept { return kind_; }
    int exit_status() const noexcept { return static_cast<int>(kind_); }
    int system_error() const noexcept { return system_error_; }

private:
    failure kind_;
    int system_error_;
};

// The failure of the system call that just set errno: `what` and the system's reason, the
// errno kept for front-ends that map it (Python's FileNotFoundError, PermissionError, ...).
inline file_error system_failure(failure kind, const std::string& what) {
    const int error = errno;
    return file_error(kind, what + ": " + std::strerror(error), error);
}

} // namespace ns_audio_files
