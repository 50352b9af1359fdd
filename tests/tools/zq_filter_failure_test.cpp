// zq-filter on bad input: one line on standard error naming the problem, the exit status of
// its kind, and no file in INPUT's directory written, changed or left behind, an existing
// OUTPUT included.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;

struct failure_case {
    const char* options;
    int status;
    const char* message;
    const char* input = "in.wav"; // both in the scratch directory
    const char* output = "out.wav";
};

const failure_case k_failures[] = {
    {"", 2, "absent.wav\": No such file", "absent.wav"},
    {"", 2, "notes.wav\" is not audio", "notes.wav"},
    {"", 2, "INPUT has 12 channels; the filter handles 1 to 10", "twelve.wav"},
    {"--set hPass=0.5", 1, "\"hPass\" = 0.5 is not a whole number"},
    {"--set hfrequency=300", 1, "unknown setting \"hfrequency\""},
    {"--lowpass 4x", 1, "--lowpass 4x: \"4x\" is not a frequency"},
    // Answered in the unit the user typed, although the component reads kHz.
    {"--lowpass 20000", 1, "--lowpass 20000: 20000 Hz is outside 200 .. 19845 Hz for a 44100 Hz",
     "in44.wav"},
    {"--lowpass 20kHz", 1, "--lowpass 20kHz: 20 kHz is outside 0.2 .. 19.845 kHz", "in44.wav"},
    {"--highpas 300", 1, "unknown option --highpas; did you mean --highpass?"},
    {"--gain 200", 1, "--gain 200: give decibels from -120 to 120"},
    {"", 1, "the same file", "in.wav", "in.wav"},
    {"", 1, "the same file", "in.wav", "link.wav"},
    {"", 3, "cannot write OUTPUT", "in.wav", "absent/out.wav"},
    {"--mix 3", 1,
     "cannot mix 2 channels to 3 channels; from 2 channels the supported layouts are: mono (1), "
     "5.0 (5), 5.1 (6), 7.1 (8)"},
    {"--mix stereo --route 0:0", 1, "--mix excludes --route"},
    {"--route 0:0,0-1", 1, "--route 0:0,0-1: \"0-1\" is not IN:OUT"},
    {"--route 0:8", 1, "\"0:8\" names channel 8; the routing map is 8 x 8"},
    {"--route 2:0", 1, "--route 2:0: INPUT has no channel 2 (its channels are 0 .. 1)"},
};

// Every file in `directory` by name, with its bytes.
std::map<std::string, std::string> contents(const fs::path& directory) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        files[entry.path().filename().string()] = file_bytes(entry.path());
    return files;
}

TEST(zq_filter, refuses_bad_input_in_one_line_and_writes_nothing) {
    const scratch_space scratch;
    write_sound(scratch.in, test_signal(2, 48000, 1000));
    write_sound(scratch.work / "in44.wav", test_signal(1, 44100, 1000));
    write_sound(scratch.work / "twelve.wav", test_signal(12, 48000, 100));
    std::ofstream(scratch.work / "notes.wav") << "not audio\n";
    fs::create_symlink("in.wav", scratch.work / "link.wav");
    for (const bool earlier_output : {false, true}) {
        if (earlier_output) std::ofstream(scratch.out) << "an earlier result\n";
        for (const failure_case& each : k_failures) {
            SCOPED_TRACE(std::string(each.options) + " " + each.input + " " + each.output);
            const std::map<std::string, std::string> before = contents(scratch.work);
            std::vector<std::string> arguments = words(each.options);
            arguments.push_back((scratch.work / each.input).string());
            arguments.push_back((scratch.work / each.output).string());
            const run_result result = scratch.run(arguments);
            EXPECT_EQ(result.status, each.status) << result.err;
            EXPECT_EQ(result.err.rfind("zq-filter: error: ", 0), 0u) << result.err;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
            EXPECT_NE(result.err.find(each.message), std::string::npos) << result.err;
            EXPECT_TRUE(contents(scratch.work) == before);
        }
    }
}

} // namespace
} // namespace zq_tool_test
