// The LV2 bundle in a live audio graph: a PipeWire daemon of the test's own, in a private runtime
// directory with a dummy driver and no session bus, runs it in a filter-chain between pw-cat's
// streams (WirePlumber configures and links them) and in jalv through its JACK emulation, the
// output checked against zq-filter's.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
// without any sound card, in periods long enough (85 ms) that a test machine busy with other
// suites does not make the graph miss one.
constexpr const char* k_pipewire_config = R"(
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.allowed-rates = [ 48000 ]
    default.clock.quantum = 4096
    default.clock.min-quantum = 4096
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
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-session-manager }
    { name = libpipewire-module-filter-chain
        args = {
            audio.channels = 2
            audio.position = [ FL FR ]
            filter.graph = {
                nodes = [ { type = lv2 name = zq plugin = "urn:zq:hl-pass:stereo"
                            control = { hp = 1 hp_freq = 300 lp = 1 lp_freq = 4000 } } ]
            }
            capture.props = { node.name = zq_in media.class = Audio/Sink }
            playback.props = { node.name = zq_out media.class = Audio/Source }
        }
    }
]
context.objects = [
    { factory = metadata args = { metadata.name = default } }
    { factory = spa-node-factory
        args = { factory.name = support.node.driver node.name = Dummy-Driver
                 node.group = pipewire.dummy priority.driver = 20000 } }
]
)";

// What zq-filter runs to write what the filter-chain's settings should, and on how many frames.
constexpr const char* k_zq_filter_options = "--highpass 300 --lowpass 4000";
constexpr int k_frames = 24000;

// WirePlumber's own modules and policy, without Bluetooth and the parts that need a session bus.
constexpr const char* k_wireplumber_config = R"(
context.properties = { wireplumber.script-engine = lua-scripting }
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-session-manager }
]
wireplumber.components = [
    { name = libwireplumber-module-lua-scripting, type = module }
    { name = main.lua, type = config/lua }
    { name = policy.lua, type = config/lua }
]
)";
constexpr const char* k_wireplumber_no_bus = R"(
alsa_monitor.enabled = false
libcamera_monitor.enabled = false
v4l2_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
)";

void quiet_child() {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
}

// Bytes in a file so far, 0 before it exists.
std::uintmax_t size_of(const fs::path& path) {
    std::error_code missing;
    const std::uintmax_t size = fs::file_size(path, missing);
    return missing ? 0 : size;
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
#ifdef ZQ_HOST_PRELOAD
        // A daemon and its session manager would each need the sanitizer's runtime preloaded;
        // the sanitized plugin is exercised in the file-based hosts instead.
        GTEST_SKIP() << "live graphs run on unsanitized builds";
#endif
        for (const char* program : {"pipewire", "wireplumber", "pw-cat", "pw-jack", "jalv"})
            if (!installed(program))
                GTEST_SKIP() << program << " is not installed (Debian: pipewire, pipewire-bin, "
                             << "pipewire-jack, wireplumber, jalv; tests/run.sh installs them)";
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
        ASSERT_TRUE(start_session_manager()) << "the filter-chain's ports did not appear";
    }

    // INPUT: the test signal after `lead` frames of silence, and a period of silence after it,
    // as pw-cat drops a last partial period; OUTPUT: what zq-filter makes of it.
    void write_input_and_expected(int lead) const {
        sound input = test_signal(2, 48000, k_frames);
        input.samples.insert(input.samples.begin(), std::size_t(lead) * 2, 0.0f);
        input.samples.resize(std::size_t(lead + k_frames + 4096) * 2, 0.0f);
        write_sound(space.in, input);
        const run_result filtered = space.filter(k_zq_filter_options);
        ASSERT_EQ(filtered.status, 0) << filtered.err;
    }

    // WirePlumber gives the filter-chain's and pw-cat's nodes their ports and links the streams
    // to their targets; true once the filter-chain's ports are there to link to.
    bool start_session_manager() {
        const fs::path config = space.root / "config";
        fs::create_directories(config / "wireplumber/main.lua.d");
        std::ofstream(config / "wireplumber/wireplumber.conf") << k_wireplumber_config;
        std::ofstream(config / "wireplumber/main.lua.d/51-no-bus.lua") << k_wireplumber_no_bus;
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_STATE_HOME", (space.root / "state").c_str(), 1);
        session_manager.pid = space.start({}, quiet_child, "wireplumber");
        return eventually([this] {
            return ports_listed({"zq_out:capture_FR", "zq_in:playback_FR"});
        });
    }

    bool ports_listed(const std::vector<std::string>& ports) const {
        const std::string listed = space.run({"--output", "--input"}, "pw-link").out;
        return std::all_of(ports.begin(), ports.end(), [&](const std::string& port) {
            return listed.find(port) != std::string::npos;
        });
    }

    bool linked(const std::string& port) const {
        return space.run({"--links"}, "pw-link").out.find(port) != std::string::npos;
    }

    // pw-cat recording 48 kHz stereo floats from `target`, "0" for none: the test links it then.
    pid_t start_recording(const fs::path& file, const std::string& target) const {
        return space.start({"-r", "--target", target, "--rate", "48000", "--channels", "2",
                            "--format", "f32", file.string()},
                           quiet_child, "pw-cat");
    }

    // Lets the periods that follow the played ones reach the file, then has pw-cat close it.
    bool stop_recording(child_process& recorder, const fs::path& file) const {
        const std::uintmax_t after_playing = size_of(file);
        const bool grown = eventually([&] { return size_of(file) > after_playing + 4 * 1024 * 8; });
        // pw-cat closes the file on an interrupt, and then exits with 1.
        kill(recorder.pid, SIGINT);
        space.finish(recorder.pid);
        recorder.pid = -1;
        return grown;
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
    child_process daemon, session_manager;
};

// The stereo samples from the first frame that is not silent on.
std::vector<float> from_first_sound(const std::vector<float>& samples) {
    const auto first = std::find_if(samples.begin(), samples.end(), [](float x) { return x != 0; });
    return {samples.begin() + (first - samples.begin()) / 2 * 2, samples.end()};
}

// What a graph recorded, after its leading silence, against zq-filter's output.
void expect_recorded(const fs::path& recorded, const fs::path& expected) {
    const std::vector<float> got = from_first_sound(read_sound(recorded).samples);
    const std::vector<float> wanted = from_first_sound(read_sound(expected).samples);
    const auto samples = std::size_t(k_frames) * 2;
    ASSERT_GE(got.size(), samples) << "the signal was not all recorded";
    ASSERT_GE(wanted.size(), samples);
    EXPECT_TRUE(same_bits({got.begin(), got.begin() + std::ptrdiff_t(samples)},
                          {wanted.begin(), wanted.begin() + std::ptrdiff_t(samples)}));
}

// The graph runs at the file's rate in 32-bit floats, so no conversion touches the samples: what
// comes out after the graph's leading silence is zq-filter's output bit for bit.
TEST_F(LiveHost, PipewireFilterChainWritesWhatZqFilterWrites) {
    ASSERT_NO_FATAL_FAILURE(write_input_and_expected(0));
    const fs::path recorded = space.work / "recorded.wav";
    child_process recorder;
    recorder.pid = start_recording(recorded, "zq_out");
    ASSERT_TRUE(eventually([&] { return linked("zq_out:capture_FR\n  |-> pw-cat:input_FR"); }))
        << "the recording was not linked to the filter-chain";
    const run_result played = space.run({"-p", "--target", "zq_in", space.in.string()}, "pw-cat");
    ASSERT_EQ(played.status, 0) << played.err;
    ASSERT_TRUE(stop_recording(recorder, recorded));
    expect_recorded(recorded, space.out);
}

// jalv runs the plugin as a JACK client, its controls given on the command line; pw-cat's
// streams, which WirePlumber gives ports but leaves unlinked, are linked to its ports one by one,
// once all are there, the player's two last. The player runs from its first link on: its input
// leads with a second of silence, in which the link of its right channel, one pw-link run after
// the left, must be made. jalv reads commands on its standard input and quits at its end: the
// test holds it open until it has asked for the controls.
TEST_F(LiveHost, JalvFiltersWhatZqFilterFilters) {
    ASSERT_NO_FATAL_FAILURE(write_input_and_expected(48000));
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
    const fs::path recorded = space.work / "recorded.wav";
    child_process recorder, player;
    recorder.pid = start_recording(recorded, "0");
    player.pid =
        space.start({"-p", "--target", "0", "-P", "{ node.name = zq_player }", space.in.string()},
                    quiet_child, "pw-cat");
    const std::pair<const char*, const char*> links[] = {{"zq_live:out_l", "pw-cat:input_FL"},
                                                         {"zq_live:out_r", "pw-cat:input_FR"},
                                                         {"zq_player:output_FL", "zq_live:in_l"},
                                                         {"zq_player:output_FR", "zq_live:in_r"}};
    ASSERT_TRUE(eventually([&] {
        return ports_listed(
            {"zq_live:out_r", "pw-cat:input_FR", "zq_player:output_FR", "zq_live:in_r"});
    })) << "jalv's or pw-cat's ports did not appear";
    for (const auto& [from, to] : links)
        ASSERT_EQ(space.run({from, to}, "pw-link").status, 0) << from << " -> " << to;
    int played = 0;
    ASSERT_TRUE(eventually([&] { return waitpid(player.pid, &played, WNOHANG) == player.pid; }))
        << "the player did not finish";
    player.pid = -1;
    ASSERT_TRUE(WIFEXITED(played) && WEXITSTATUS(played) == 0);
    ASSERT_TRUE(stop_recording(recorder, recorded));
    expect_recorded(recorded, space.out);

    const ssize_t written = write(commands[1], "controls\n", 9);
    close(commands[1]);
    const int status = space.finish(jalv.pid).status;
    jalv.pid = -1;
    const std::string output = file_bytes(log);
    EXPECT_EQ(written, 9);
    EXPECT_EQ(status, 0) << output;
    for (const char* line : {"Sample rate:  48000 Hz", "hp = 1.000000", "hp_freq = 300.000000",
                             "lp = 1.000000", "lp_freq = 4000.000000"})
        EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;
}

} // namespace
} // namespace zq_tool_test
