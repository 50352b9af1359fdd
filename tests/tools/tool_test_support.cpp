#include "tool_test_support.h"

#include <dsp/libdspaudio>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zq_tool_test {

namespace fs = std::filesystem;
using ns_audio_dsp::libdspaudio;

static std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void write_sound(const fs::path& path, const sound& content) {
    SF_INFO info{};
    info.channels = content.channels;
    info.samplerate = content.rate;
    info.format = content.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(path.string() + ": " + sf_strerror(nullptr));
    sf_writef_float(file, content.samples.data(),
                    static_cast<sf_count_t>(content.samples.size()) / content.channels);
    sf_close(file);
}

sound read_sound(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error(path.string() + ": " + sf_strerror(nullptr));
    sound content{info.channels, info.samplerate, info.format, {}};
    // Up to the end: a WAV written to a pipe declares a length it could not know.
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    while (const sf_count_t got = sf_readf_float(file, block.data(), 4096))
        content.samples.insert(content.samples.end(), block.begin(),
                               block.begin() + got * info.channels);
    sf_close(file);
    return content;
}

sound test_signal(int channels, int rate, int frames, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    sound content{channels, rate, k_float_wav, std::vector<float>(std::size_t(frames) * channels)};
    for (float& value : content.samples)
        value = uniform(generator);
    return content;
}

std::string file_bytes(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> split;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        split.push_back(word);
    return split;
}

scratch_space::scratch_space() {
    std::string pattern = (fs::temp_directory_path() / "zq-tool-test.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch directory");
    root = pattern;
    work = root / "work";
    in = work / "in.wav";
    out = work / "out.wav";
    fs::create_directories(work);
}

scratch_space::~scratch_space() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

static run_result captured(std::string command, const fs::path& root) {
    const fs::path out_file = root / "stdout", err_file = root / "stderr";
    command += " >" + shell_quoted(out_file) + " 2>" + shell_quoted(err_file);
    const int wait_status = std::system(command.c_str());
    const int status =
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return {status, file_bytes(out_file), file_bytes(err_file)};
}

run_result scratch_space::run(const std::vector<std::string>& arguments,
                              const std::string& program) const {
    std::string command = shell_quoted(program);
    for (const std::string& argument : arguments)
        command += " " + shell_quoted(argument);
    return captured(command, root);
}

run_result scratch_space::shell(const std::string& command_line) const {
    const std::string script = "zq-filter() { " + shell_quoted(ZQ_FILTER_PATH) + " \"$@\"; }; cd " +
                               shell_quoted(work) + " && " + command_line;
    return captured("bash -o pipefail -c " + shell_quoted(script), root);
}

run_result scratch_space::filter(const std::string& text) const {
    std::vector<std::string> options = words(text);
    options.insert(options.end(), {in.string(), out.string()});
    return run(options);
}

std::vector<float> filter_with_library(const sound& input, float high_hz, float low_khz) {
    bool high_pass = high_hz > 0.0f;
    const bool low_pass = low_khz > 0.0f;
    if (!high_pass && !low_pass) return input.samples;
    const float high = static_cast<float>(double{high_hz} / input.rate);
    const float low = static_cast<float>(double{1000.0f * low_khz} / input.rate);
    // A band whose both edges lie below 0.005 of the rate runs as its low-pass alone.
    if (high_pass && low_pass && high < 0.005 && low < 0.005) high_pass = false;
    const bool band = high_pass && low_pass;
    // A high-pass alone below 0.015 of the rate runs as two second-order sections; in a band,
    // one below 0.01 is a second-order section padded to the low-pass's order.
    const bool high_in_two_sections = high_pass && !low_pass && double{high} < 0.015;
    const int high_order = high_in_two_sections || (band && double{high} < 0.01) ? 2 : 4;

    const auto dsp = std::make_unique<libdspaudio>();
    dsp->filter_init(2000);
    float a1[9] = {}, b1[9] = {}, a2[5] = {}, b2[5] = {};
    if (high_pass) dsp->butter_hp_design(high, high_order, a1, b1);
    if (high_in_two_sections) dsp->butter_hp_design(high, 2, a2, b2);
    if (low_pass) dsp->butter_lp_design(low, 4, band ? a2 : a1, band ? b2 : b1);
    const bool two_stage = band || high_in_two_sections;
    const int order = high_in_two_sections ? 2 : 4;

    const int channels = input.channels;
    const int frames = static_cast<int>(input.samples.size()) / channels;
    std::vector<float> output(input.samples.size());
    std::vector<float> run(frames);
    for (int c = 0; c < channels; ++c) {
        for (int f = 0; f < frames; ++f)
            run[f] = input.samples[f * channels + c];
        const float* filtered =
            two_stage ? dsp->arma_filter_2stage(run.data(), frames, a1, b1, a2, b2, order, c)
                      : dsp->arma_filter(run.data(), frames, a1, b1, order, c);
        for (int f = 0; f < frames; ++f)
            output[f * channels + c] = filtered[f];
    }
    dsp->filter_destroy();
    return output;
}

testing::AssertionResult same_bits(const std::vector<float>& got,
                                   const std::vector<float>& expected) {
    if (got.size() != expected.size())
        return testing::AssertionFailure()
               << got.size() << " samples, expected " << expected.size();
    for (std::size_t i = 0; i < got.size(); ++i)
        if (std::memcmp(&got[i], &expected[i], sizeof(float)) != 0)
            return testing::AssertionFailure()
                   << "sample " << i << " is " << got[i] << ", expected " << expected[i];
    return testing::AssertionSuccess();
}

} // namespace zq_tool_test
