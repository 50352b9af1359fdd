#include "signals.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace ns_audio_files {

namespace {

constexpr int k_terminating[] = {SIGINT, SIGTERM, SIGHUP};

// Read by the handler, written only while the terminating signals are held back.
char g_remove_on_signal[PATH_MAX + 1];
volatile std::sig_atomic_t g_output_written = 0;
// Without the handler (a library caller such as Python) nothing is recorded, so concurrent
// runs on threads of one process never share the slot.
std::atomic<bool> g_handled{false};

sigset_t terminating_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : k_terminating)
        sigaddset(&set, signal_number);
    return set;
}

extern "C" void end_run(int signal_number) {
    if (g_remove_on_signal[0] != '\0') ::unlink(g_remove_on_signal);
    static const char lost[] = "zq-filter: interrupted; OUTPUT was not written\n";
    static const char kept[] = "zq-filter: interrupted; OUTPUT was written\n";
    const ssize_t ignored = g_output_written ? ::write(STDERR_FILENO, kept, sizeof kept - 1)
                                             : ::write(STDERR_FILENO, lost, sizeof lost - 1);
    static_cast<void>(ignored);
    // The handler was installed with SA_RESETHAND: once it returns, the signal raised here
    // ends the process by its default action.
    std::raise(signal_number);
}

} // namespace

void handle_signals() {
    struct sigaction ending {};
    ending.sa_handler = end_run;
    ending.sa_flags = SA_RESETHAND;
    sigfillset(&ending.sa_mask);
    for (const int signal_number : k_terminating)
        sigaction(signal_number, &ending, nullptr);
    struct sigaction ignoring {};
    ignoring.sa_handler = SIG_IGN;
    for (const int signal_number : {SIGPIPE, SIGXFSZ})
        sigaction(signal_number, &ignoring, nullptr);
    g_handled = true;
}

void remove_on_signal(const std::string& path) {
    if (!g_handled) return;
    const signals_held held;
    const std::size_t length = path.size() < PATH_MAX ? path.size() : 0;
    std::memcpy(g_remove_on_signal, path.data(), length);
    g_remove_on_signal[length] = '\0';
}

void output_written() noexcept {
    g_output_written = 1;
}

signals_held::signals_held() {
    const sigset_t terminating = terminating_signals();
    sigprocmask(SIG_BLOCK, &terminating, &before_);
}

signals_held::~signals_held() {
    sigprocmask(SIG_SETMASK, &before_, nullptr);
}

} // namespace ns_audio_files
