// The LV2 bundle in a live audio graph: a PipeWire daemon of the test's own, in a private runtime
// directory with a dummy driver and no session bus, runs jalv through its JACK emulation.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;
using std::chrono::steady_clock;

// Generous: the machine running the suite may be busy building.
constexpr auto k_patience = std::chrono::seconds(20);

// The daemon's modules: clients, their nodes, and a driver that clocks the graph at 48 kHz
// without any sound card.
constexpr const char* k_pipewire_config = R"(
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.allowed-rates = [ 48000 ]
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = spa-node-factory
        args = { factory.name = support.node.driver node.name = Dummy-Driver
                 node.group = pipewire.dummy priority.driver = 20000 } }
]
)";

bool installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

void quiet_child() {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
}

// Stops a child on every way out of the test.
struct child_process {
    pid_t pid = -1;
    ~child_process() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

class LiveHost : public testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"pipewire", "pw-jack", "pw-link", "jalv"})
            if (!installed(program))
                GTEST_SKIP() << program << " is not installed (Debian: pipewire, pipewire-bin, "
                             << "pipewire-jack, jalv; tests/run.sh installs them)";
        const fs::path runtime = space.root / "runtime";
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        unsetenv("PIPEWIRE_REMOTE");
        setenv("LV2_PATH", fs::path(ZQ_LV2_BINARY).parent_path().parent_path().c_str(), 1);
        const fs::path config = space.root / "pipewire.conf";
        std::ofstream(config) << k_pipewire_config;
        daemon.pid = space.start({"-c", config.string()}, quiet_child, "pipewire");
        ASSERT_TRUE(eventually([this] {
            return space.run({"info", "0"}, "pw-cli").status == 0;
        })) << "pipewire did not answer";
    }

    template <typename Condition>
    static bool eventually(Condition ready) {
        for (const auto end = steady_clock::now() + k_patience; steady_clock::now() < end;) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    scratch_space space;
    child_process daemon;
};

// jalv reads commands on its standard input and quits at its end: the test holds it open while
// it looks at the graph.
TEST_F(LiveHost, JalvRunsTheBundleWithItsControlsAndPortsInTheGraph) {
    int commands[2];
    ASSERT_EQ(pipe(commands), 0);
    const fs::path log = space.root / "jalv.log";
    child_process jalv;
    jalv.pid = space.start(
        {"jalv", "-n", "zq_live", "-c", "hp=1", "-c", "hp_freq=300", "-c", "lp=1", "-c",
         "lp_freq=4000", "urn:zq:hl-pass:stereo"},
        [&] {
            // Apart from the files the other programs' runs rewrite.
            const int output = open(log.c_str(), O_WRONLY | O_CREAT, 0644);
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
            dup2(commands[0], STDIN_FILENO);
            close(commands[1]);
        },
        "pw-jack");
    close(commands[0]);
    const std::string expected_ports = "zq_live:out_l\nzq_live:out_r\nzq_live:in_l\nzq_live:in_r\n";
    const bool registered = eventually([&] {
        return space.run({"--output", "--input"}, "pw-link").out == expected_ports;
    });
    const ssize_t written = write(commands[1], "controls\n", 9);
    close(commands[1]);
    const int status = space.finish(jalv.pid).status;
    jalv.pid = -1;
    const std::string output = file_bytes(log);
    EXPECT_TRUE(registered) << "jalv's JACK ports did not appear";
    EXPECT_EQ(written, 9);
    EXPECT_EQ(status, 0) << output;
    for (const char* line : {"Sample rate:  48000 Hz", "hp = 1.000000", "hp_freq = 300.000000",
                             "lp = 1.000000", "lp_freq = 4000.000000"})
        EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;
}

} // namespace
} // namespace zq_tool_test
