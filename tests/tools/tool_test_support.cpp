#include "tool_test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace zq_tool_test {

double tone_amplitude(const sound& content, int channel, double hz) {
    const std::size_t frames = content.samples.size() / content.channels;
    std::complex<double> sum;
    for (std::size_t i = 0; i < frames; ++i)
        sum += double{content.samples[i * content.channels + channel]} *
               std::polar(1.0, -2.0 * M_PI * hz * double(i) / content.rate);
    return 2.0 * std::abs(sum) / double(frames);
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> split;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        split.push_back(word);
    return split;
}

bool installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string notes(const std::string& err) {
    std::string kept;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("zq-filter: ", 0) == 0 && line.rfind("zq-filter: wrote", 0) != 0)
            kept += line + "\n";
    return kept;
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

run_result scratch_space::run(const std::vector<std::string>& arguments,
                              const std::string& program) const {
    return finish(start(arguments, {}, program));
}

pid_t scratch_space::start(const std::vector<std::string>& arguments, const child_setup& setup,
                           const std::string& program) const {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child != 0) return child;
    const int out_file = open((root / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_file = open((root / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out_file < 0 || err_file < 0 || dup2(out_file, STDOUT_FILENO) < 0 ||
        dup2(err_file, STDERR_FILENO) < 0)
        _exit(126);
    if (setup) setup();
    execvp(program.c_str(), argv.data()); // programs named bare are found on PATH
    _exit(127);
}

run_result scratch_space::finish(pid_t child) const {
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    const int status =
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return {status, file_bytes(root / "stdout"), file_bytes(root / "stderr")};
}

static std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

run_result scratch_space::shell(const std::string& command_line) const {
    const std::string script = "zq-filter() { " + shell_quoted(ZQ_FILTER_PATH) + " \"$@\"; }; cd " +
                               shell_quoted(work) + " && " + command_line;
    return run({"-o", "pipefail", "-c", script}, "bash");
}

run_result scratch_space::filter(const std::string& options) const {
    return shell("zq-filter -q " + options + " in.wav out.wav");
}

std::vector<float> filter_with_engine(const sound& input, double high_hz, double low_hz,
                                      realization kind) {
    ns_filter_engine::engine_settings settings;
    settings.kind = kind;
    settings.request = {high_hz > 0.0, high_hz, low_hz > 0.0, low_hz};
    const auto channels = static_cast<std::size_t>(input.channels);
    const std::size_t frames = input.samples.size() / channels;
    std::vector<float> output = input.samples, alone(frames);
    for (std::size_t c = 0; c < channels; ++c) {
        ns_filter_engine::filter_engine engine(input.rate, 1, settings);
        for (std::size_t f = 0; f < frames; ++f)
            alone[f] = input.samples[f * channels + c];
        engine.process_interleaved(alone.data(), static_cast<long>(frames));
        for (std::size_t f = 0; f < frames; ++f)
            output[f * channels + c] = alone[f];
    }
    return output;
}

} // namespace zq_tool_test
