// How a program that writes files meets signals (zq-filter installs this; a library caller
// such as Python keeps its own handling, and then no temporary file is registered).
//
// SIGINT, SIGTERM and SIGHUP end the run at once, wherever it stands (even blocked opening or
// reading a FIFO): the handler removes the temporary output file, says so on standard error
// and dies of the signal, as a shell expects. SIGPIPE and SIGXFSZ are ignored, so that a closed
// pipe or a file size limit shows up as a failed write, which takes the ordinary path of a
// write failure (exit 3, the temporary file removed).
#pragma once

#include <csignal>
#include <string>

namespace ns_audio_files {

void handle_signals();

// The file a terminating signal removes; an empty path for none. Safe against a signal
// arriving during the change. Does nothing until handle_signals() was called.
void remove_on_signal(const std::string& path);

// OUTPUT has its name: a terminating signal from now on says so instead of "not written". Call
// with the signals held, together with the rename, so that no signal falls between the two.
void output_written() noexcept;

// Holds back the terminating signals for its lifetime, so that a file can be created and
// registered with remove_on_signal with no gap between the two.
class signals_held {
public:
    signals_held();
    ~signals_held();
    signals_held(const signals_held&) = delete;
    signals_held& operator=(const signals_held&) = delete;

private:
    sigset_t before_;
};

} // namespace ns_audio_files
