// The plugins inside real hosts from Debian, against zq-filter run on the same file: lilv's
// lv2apply, ffmpeg's lv2 filter and GStreamer's lv2 elements must write the same bits; sox,
// which filters in 32-bit integers, the same within its conversions. The bundle must validate
// and both binaries must show hosts their entry point alone.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;

const fs::path k_lv2_binary = ZQ_LV2_BINARY;
const fs::path k_ladspa_binary = ZQ_LADSPA_BINARY;

// Hosts find the plugins through the standards' search paths, set to the build tree alone.
class PluginHost : public testing::Test {
protected:
    void SetUp() override {
        setenv("LV2_PATH", k_lv2_binary.parent_path().parent_path().c_str(), 1);
        setenv("LADSPA_PATH", k_ladspa_binary.parent_path().c_str(), 1);
        // A registry of its own, so that GStreamer scans the bundle under test.
        setenv("GST_REGISTRY", (space.root / "gst-registry.bin").c_str(), 1);
#ifdef ZQ_HOST_PRELOAD
        // Plugins built with AddressSanitizer need its runtime loaded first, and the hosts are
        // not built with it. The hosts' own leaks are not the plugins' to report.
        setenv("LD_PRELOAD", ZQ_HOST_PRELOAD, 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1", 1);
#endif
    }

    // Each marks the test skipped when its program cannot run; the test then returns at
    // IsSkipped().
    void require(const std::string& program, const std::string& package) {
        if (!installed(program))
            GTEST_SKIP() << program << " is not installed (Debian: " << package
                         << "; tests/run.sh installs it)";
    }

    run_result run(const std::string& command) const {
        const std::vector<std::string> arguments = words(command);
        return space.run({arguments.begin() + 1, arguments.end()}, arguments.front());
    }

    scratch_space space;
};

struct host_case {
    const char* name;
    const char* program;
    const char* package;
    int channels, rate;
    const char* zq_filter_options;
    const char* command; // {in} and {out} stand for the files
    float tolerance = 0; // per sample; 0 for the same bits
};

// zq-filter's default is the Butterworth the plugins run by default.
const host_case k_hosts[] = {
    {"lv2apply_stereo_band", "lv2apply", "lilv-utils", 2, 48000, "--highpass 300 --lowpass 4000",
     "lv2apply -i {in} -o {out} -c hp 1 -c hp_freq 300 -c lp 1 -c lp_freq 4000 "
     "urn:zq:hl-pass:stereo"},
    // A rumble filter below the exact design's range, honoured as asked.
    {"lv2apply_mono_rumble", "lv2apply", "lilv-utils", 1, 44100, "--highpass 20",
     "lv2apply -i {in} -o {out} -c hp 1 -c hp_freq 20 urn:zq:hl-pass:mono"},
    {"lv2apply_mono_exact_high_pass", "lv2apply", "lilv-utils", 1, 44100, "--exact --highpass 80",
     "lv2apply -i {in} -o {out} -c hp 1 -c hp_freq 80 -c exact 1 urn:zq:hl-pass:mono"},
    {"lv2apply_mono_order_8_low_pass", "lv2apply", "lilv-utils", 1, 96000,
     "--order 8 --lowpass 200",
     "lv2apply -i {in} -o {out} -c lp 1 -c lp_freq 200 -c order 8 urn:zq:hl-pass:mono"},
    // Unsound in the exact design at this rate: the plugin runs the Butterworth instead.
    {"lv2apply_mono_unsound_low_pass", "lv2apply", "lilv-utils", 1, 96000, "--lowpass 250",
     "lv2apply -i {in} -o {out} -c lp 1 -c lp_freq 250 -c exact 1 urn:zq:hl-pass:mono"},
    {"ffmpeg_stereo_band", "ffmpeg", "ffmpeg", 2, 48000, "--highpass 300 --lowpass 4000",
     // The filter graph and the option parser each take one level of backslashes.
     R"(ffmpeg -nostdin -v error -i {in} )"
     R"(-af lv2=p=urn\\:zq\\:hl-pass\\:stereo:c=hp=1|hp_freq=300|lp=1|lp_freq=4000 )"
     R"(-c:a pcm_f32le {out})"},
    {"ffmpeg_ladspa_stereo_band", "ffmpeg", "ffmpeg", 2, 48000, "--highpass 300 --lowpass 4000",
     R"(ffmpeg -nostdin -v error -i {in} )"
     R"(-af ladspa=f=zq-hl-pass:p=zq_hl_pass_stereo:c=c0=1|c1=300|c2=1|c3=4000 )"
     R"(-c:a pcm_f32le {out})"},
    {"gstreamer_stereo_band", "gst-launch-1.0", "gstreamer1.0-tools", 2, 48000,
     "--highpass 300 --lowpass 4000",
     "gst-launch-1.0 -q filesrc location={in} ! wavparse ! audio/x-raw,format=F32LE ! "
     "urn-zq-hl-pass-stereo hp=true hp-freq=300 lp=true lp-freq=4000 ! wavenc ! "
     "filesink location={out}"},
    {"gstreamer_ladspa_stereo_band", "gst-launch-1.0", "gstreamer1.0-tools", 2, 48000,
     "--highpass 300 --lowpass 4000",
     "gst-launch-1.0 -q filesrc location={in} ! wavparse ! audio/x-raw,format=F32LE ! "
     "ladspa-zq-hl-pass-so-zq-hl-pass-stereo high-pass=true high-pass-cut-off=300 low-pass=true "
     "low-pass-cut-off=4000 ! wavenc ! filesink location={out}"},
    // sox carries samples as 32-bit integers. On a 16-bit grid the input survives that exactly;
    // otherwise the recursions, fed inputs a rounding apart, drift apart by their own rounding
    // noise. What is left is the output rounded to an integer and back: within a float step.
    {"sox_stereo_band", "sox", "sox", 2, 48000, "--highpass 300 --lowpass 4000",
     "sox -D {in} -e floating-point -b 32 {out} ladspa zq-hl-pass zq_hl_pass_stereo 1 300 1 4000",
     0x1p-24f},
};

// The command with {in} and {out} standing for the files.
std::string with_files(std::string command, const fs::path& in, const fs::path& out) {
    for (const auto& [placeholder, path] : {std::pair{"{in}", in}, std::pair{"{out}", out}})
        command.replace(command.find(placeholder), std::string(placeholder).size(), path.string());
    return command;
}

// Half a second and a bit: several of any host's blocks, the last one partial.
sound signal_for(int channels, int rate) {
    return test_signal(channels, rate, rate / 2 + 77);
}

TEST_F(PluginHost, WritesWhatZqFilterWrites) {
    for (const host_case& each : k_hosts) {
        SCOPED_TRACE(each.name);
        require(each.program, each.package);
        if (IsSkipped()) return;
        sound input = signal_for(each.channels, each.rate);
        if (each.tolerance > 0) {
            for (float& x : input.samples)
                x = std::round(x * 32768.0f) / 32768.0f;
        }
        write_sound(space.in, input);
        const fs::path hosted = space.work / (std::string(each.name) + ".wav");
        const run_result result = run(with_files(each.command, space.in, hosted));
        ASSERT_EQ(result.status, 0) << result.err;
        const run_result filtered = space.filter(each.zq_filter_options);
        ASSERT_EQ(filtered.status, 0) << filtered.err;
        const std::vector<float> got = read_sound(hosted).samples;
        const std::vector<float> expected = read_sound(space.out).samples;
        if (each.tolerance == 0) {
            EXPECT_TRUE(same_bits(got, expected));
            continue;
        }
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_LE(std::abs(got[i] - expected[i]), each.tolerance) << "sample " << i;
    }
}

// What follows `prefix` on each line that starts with it, in order.
std::vector<std::string> after(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, prefix.size(), prefix) == 0) {
            const std::size_t start = line.find_first_not_of(' ', prefix.size());
            found.push_back(start == std::string::npos ? "" : line.substr(start));
        }
    return found;
}

// The quoted port names of analyseplugin's listing: "NAME" input, ... or "NAME" output, ...
std::vector<std::string> ladspa_port_names(const std::string& text) {
    std::vector<std::string> names;
    for (std::size_t close = text.find("\" "); close != std::string::npos;
         close = text.find("\" ", close + 1)) {
        if (text.compare(close + 2, 6, "input,") != 0 && text.compare(close + 2, 7, "output,") != 0)
            continue;
        const std::size_t open = text.rfind('"', close - 1);
        names.push_back(text.substr(open + 1, close - open - 1));
    }
    return names;
}

TEST_F(PluginHost, BothStandardsListTheSamePortsInTheSameOrder) {
    require("lv2info", "lilv-utils");
    require("analyseplugin", "ladspa-sdk");
    if (IsSkipped()) return;
    const run_result ladspa = run("analyseplugin zq-hl-pass");
    ASSERT_EQ(ladspa.status, 0) << ladspa.err;
    EXPECT_EQ(after(ladspa.out, "Plugin Label:"),
              (std::vector<std::string>{"\"zq_hl_pass_mono\"", "\"zq_hl_pass_stereo\""}));

    std::vector<std::string> lv2_names, symbols;
    for (const char* uri : {"urn:zq:hl-pass:mono", "urn:zq:hl-pass:stereo"}) {
        const run_result lv2 = run(std::string("lv2info ") + uri);
        ASSERT_EQ(lv2.status, 0) << lv2.err;
        for (const std::string& name : after(lv2.out, "\t\tName:"))
            lv2_names.push_back(name);
        for (const std::string& symbol : after(lv2.out, "\t\tSymbol:"))
            symbols.push_back(symbol);
    }
    EXPECT_EQ(lv2_names.size(), symbols.size());
    EXPECT_EQ(lv2_names, ladspa_port_names(ladspa.out));
    const std::vector<std::string> controls = {"hp",    "hp_freq", "lp",     "lp_freq",
                                               "exact", "order",   "enabled"};
    std::vector<std::string> expected = controls;
    expected.insert(expected.end(), {"in", "out"});
    expected.insert(expected.end(), controls.begin(), controls.end());
    expected.insert(expected.end(), {"in_l", "in_r", "out_l", "out_r"});
    EXPECT_EQ(symbols, expected);
}

TEST_F(PluginHost, BundleValidatesAgainstTheLv2Specifications) {
    require("lv2_validate", "lv2-dev");
    require("sord_validate", "sordi");
    if (IsSkipped()) return;
    const fs::path bundle = k_lv2_binary.parent_path();
    const run_result result = run("lv2_validate " + (bundle / "manifest.ttl").string() + " " +
                                  (bundle / "zq-hl-pass.ttl").string());
    EXPECT_NE(result.out.find("Found 0 errors"), std::string::npos) << result.out << result.err;
}

TEST_F(PluginHost, BinariesExportTheirEntryPointAlone) {
    require("nm", "binutils");
    if (IsSkipped()) return;
    for (const auto& [binary, entry] : {std::pair{k_lv2_binary, "lv2_descriptor"},
                                        std::pair{k_ladspa_binary, "ladspa_descriptor"}}) {
        const run_result result = run("nm -D --defined-only " + binary.string());
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> exported;
        for (const std::string& line : after(result.out, ""))
            exported.push_back(words(line).back());
        EXPECT_EQ(exported, std::vector<std::string>{entry});
    }
}

} // namespace
} // namespace zq_tool_test
