// zq-filter on bad input: one line on standard error naming the problem, the exit status of
// its kind, INPUT untouched, and no OUTPUT written, neither a new one nor over an existing one,
// nor any temporary file left behind.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>

namespace zq_tool_test {
namespace {

namespace fs = std::filesystem;

// A WAV header that declares no channels: libsndfile itself refuses it.
void write_channelless_wav(const fs::path& path) {
    const auto le = [](std::string& bytes, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    std::string format;
    le(format, 3, 2);     // IEEE float
    le(format, 0, 2);     // channels
    le(format, 48000, 4); // rate
    le(format, 0, 4);     // bytes per second
    le(format, 0, 2);     // block align
    le(format, 32, 2);    // bits
    std::string riff = "WAVEfmt ";
    le(riff, static_cast<uint32_t>(format.size()), 4);
    riff += format + "data";
    le(riff, 0, 4);
    std::string file = "RIFF";
    le(file, static_cast<uint32_t>(riff.size()), 4);
    std::ofstream(path, std::ios::binary) << file + riff;
}

struct failure_case {
    const char* name;
    std::vector<std::string> arguments; // {work} stands for the directory of the files
    int status;
    std::vector<std::string> messages;
};

void PrintTo(const failure_case& failure, std::ostream* out) {
    *out << failure.name;
}

class zq_filter_failure : public testing::TestWithParam<failure_case> {
protected:
    void SetUp() override {
        const sound stereo{2, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, noise(2000, 0.5f, 3)};
        write_sound(scratch.work / "in.wav", stereo);
        write_sound(scratch.work / "in44.wav", {1, 44100, stereo.format, noise(1000, 0.5f, 4)});
        write_sound(scratch.work / "twelve.wav",
                    {12, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, noise(1200, 0.5f, 5)});
        write_sound(scratch.work / "seven.wav",
                    {7, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, noise(700, 0.5f, 6)});
        write_channelless_wav(scratch.work / "zero.wav");
        std::ofstream(scratch.work / "notes.wav") << "not audio\n";
        fs::create_symlink("in.wav", scratch.work / "link.wav");
    }

    std::vector<std::string> arguments() const {
        std::vector<std::string> expanded = GetParam().arguments;
        for (std::string& argument : expanded)
            if (argument.rfind("{work}", 0) == 0) argument.replace(0, 6, scratch.work.string());
        return expanded;
    }

    void expect_refused(const run_result& result) const {
        const failure_case& expected = GetParam();
        EXPECT_EQ(result.status, expected.status) << result.err;
        EXPECT_EQ(result.err.rfind("zq-filter: error: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        for (const std::string& message : expected.messages)
            EXPECT_NE(result.err.find(message), std::string::npos)
                << "expected \"" << message << "\" in: " << result.err;
    }

    scratch_space scratch;
};

TEST_P(zq_filter_failure, reports_one_line_and_writes_nothing) {
    const std::string input_before = file_bytes(scratch.work / "in.wav");
    const std::vector<std::string> files_before = listing(scratch.work);
    expect_refused(run_program(ZQ_FILTER_PATH, arguments(), scratch.capture));
    EXPECT_EQ(listing(scratch.work), files_before);
    EXPECT_TRUE(file_bytes(scratch.work / "in.wav") == input_before);
}

TEST_P(zq_filter_failure, leaves_an_existing_output_as_it_was) {
    const fs::path output = scratch.work / "out.wav";
    std::ofstream(output) << "an earlier result\n";
    const std::vector<std::string> files_before = listing(scratch.work);
    expect_refused(run_program(ZQ_FILTER_PATH, arguments(), scratch.capture));
    EXPECT_EQ(listing(scratch.work), files_before);
    EXPECT_EQ(file_bytes(output), "an earlier result\n");
}

const std::string k_in = "{work}/in.wav";
const std::string k_out = "{work}/out.wav";

INSTANTIATE_TEST_SUITE_P(
    each_kind, zq_filter_failure,
    testing::Values(
        failure_case{"missing_input",
                     {"{work}/absent.wav", k_out},
                     2,
                     {"cannot open INPUT", "absent.wav", "No such file"}},
        failure_case{
            "input_not_audio", {"{work}/notes.wav", k_out}, 2, {"notes.wav\" is not audio"}},
        failure_case{"input_is_a_directory", {"{work}", k_out}, 2, {"is a directory"}},
        failure_case{"no_channels", {"{work}/zero.wav", k_out}, 2, {"zero.wav\" is not audio"}},
        failure_case{"twelve_channels",
                     {"{work}/twelve.wav", k_out},
                     2,
                     {"INPUT has 12 channels; the filter handles 1 to 10"}},
        failure_case{"high_cut_off_above_its_bound",
                     {"--highpass", "30000", k_in, k_out},
                     1,
                     {"setting \"hFrequency\" = 30000 is outside 50 .. 21600 for a 48000 Hz "
                      "stream (from --highpass 30000)"}},
        failure_case{"high_cut_off_below_its_bound",
                     {"--set", "hPass=1", "--set", "hFrequency=49.9", k_in, k_out},
                     1,
                     {"\"hFrequency\" = 49.9 is outside 50 .. 21600"}},
        failure_case{"low_cut_off_bound_follows_the_rate",
                     {"--lowpass", "20000", "{work}/in44.wav", k_out},
                     1,
                     {"\"lFrequency\" = 20 is outside 0.2 .. 19.845 for a 44100 Hz stream"}},
        failure_case{"switch_outside_its_bound",
                     {"--set", "lPass=2", k_in, k_out},
                     1,
                     {"\"lPass\" = 2 is outside 0 .. 1"}},
        failure_case{"switch_not_whole",
                     {"--set", "hPass=0.5", k_in, k_out},
                     1,
                     {"\"hPass\" = 0.5 is not a whole number"}},
        failure_case{"unknown_key",
                     {"--set", "hfrequency=300", k_in, k_out},
                     1,
                     {"unknown setting \"hfrequency\"", "\"hPass\"", "\"lPass\"", "\"hFrequency\"",
                      "\"lFrequency\""}},
        failure_case{"value_not_a_number",
                     {"--set", "hFrequency=fast", k_in, k_out},
                     1,
                     {"\"fast\" is not a number"}},
        failure_case{"friendly_value_not_a_number",
                     {"--lowpass", "4k", k_in, k_out},
                     1,
                     {"--lowpass 4k: \"4k\" is not a number"}},
        failure_case{
            "assignment_without_value", {"--set", "hPass", k_in, k_out}, 1, {"expected KEY=VALUE"}},
        failure_case{"key_given_twice",
                     {"--highpass", "300", "--set", "hFrequency=400", k_in, k_out},
                     1,
                     {"\"hFrequency\" given twice"}},
        failure_case{"output_is_input", {k_in, k_in}, 1, {"the same file"}},
        failure_case{"output_links_to_input", {k_in, "{work}/link.wav"}, 1, {"the same file"}},
        failure_case{"output_directory_missing",
                     {k_in, "{work}/absent/out.wav"},
                     3,
                     {"cannot write OUTPUT", "No such file"}},
        failure_case{"output_directory_is_a_file",
                     {k_in, "{work}/in.wav/out.wav"},
                     3,
                     {"cannot write OUTPUT", "Not a directory"}},
        failure_case{
            "output_container_unknown", {k_in, "{work}/out.xyz"}, 3, {"cannot tell the container"}},
        failure_case{
            "output_container_cannot_hold_the_samples", {k_in, "{work}/out.flac"}, 3, {"--format"}},
        failure_case{"module_missing",
                     {"--module", "{work}/absent.so", k_in, k_out},
                     4,
                     {"cannot load the component module", "absent.so"}},
        failure_case{"mix_from_seven_channels",
                     {"--mix", "stereo", "{work}/seven.wav", k_out},
                     1,
                     {"cannot mix 7 channels to stereo; from 7 channels the supported layouts "
                      "are: none"}},
        failure_case{"mix_to_three_channels",
                     {"--mix", "3", k_in, k_out},
                     1,
                     {"cannot mix 2 channels to 3 channels; from 2 channels the supported "
                      "layouts are: mono (1), 5.0 (5), 5.1 (6), 7.1 (8)"}},
        failure_case{"mix_twelve_channels_to_mono",
                     {"--mix", "mono", "{work}/twelve.wav", k_out},
                     1,
                     {"from 12 channels the supported layouts are: stereo (2)"}},
        failure_case{"mix_layout_unknown",
                     {"--mix", "quad", k_in, k_out},
                     1,
                     {"--mix quad: \"quad\" is not a layout"}},
        failure_case{"mix_with_route",
                     {"--mix", "stereo", "--route", "0:0", k_in, k_out},
                     1,
                     {"--mix excludes --route"}},
        failure_case{"pairs_without_mix", {"--pairs", k_in, k_out}, 1, {"--pairs requires --mix"}},
        failure_case{"route_without_colon",
                     {"--route", "0:0,0-1", k_in, k_out},
                     1,
                     {"--route 0:0,0-1: \"0-1\" is not IN:OUT"}},
        failure_case{
            "route_negative", {"--route", "0:-1", k_in, k_out}, 1, {"\"0:-1\" is not IN:OUT"}},
        failure_case{
            "route_empty_pair", {"--route", "0:0,,1:1", k_in, k_out}, 1, {"an empty pair"}},
        failure_case{"route_given_twice",
                     {"--route", "0:0,1:1,0:0", k_in, k_out},
                     1,
                     {"\"0:0\" given twice"}},
        failure_case{"route_beyond_the_map",
                     {"--route", "0:8", k_in, k_out},
                     1,
                     {"\"0:8\" names channel 8; the routing map is 8 x 8"}},
        failure_case{"route_from_a_channel_input_lacks",
                     {"--route", "2:0", k_in, k_out},
                     1,
                     {"--route 2:0: INPUT has no channel 2 (its channels are 0 .. 1)"}},
        failure_case{"route_from_twelve_channels",
                     {"--route", "0:0", "{work}/twelve.wav", k_out},
                     1,
                     {"--route takes INPUT of at most 8 channels", "INPUT has 12"}},
        failure_case{"output_argument_missing", {k_in}, 1, {"INPUT and OUTPUT are required"}},
        failure_case{"frames_zero", {"--frames", "0", k_in, k_out}, 1, {"--frames"}}),
    [](const testing::TestParamInfo<failure_case>& each) { return each.param.name; });

} // namespace
} // namespace zq_tool_test
