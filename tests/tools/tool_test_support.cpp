#include "tool_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace zq_tool_test {

namespace fs = std::filesystem;

run_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const fs::path& capture_dir) {
    const std::string out_path = (capture_dir / "stdout").string();
    const std::string err_path = (capture_dir / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot run " + program);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    const int status =
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return {status, file_bytes(out_path), file_bytes(err_path)};
}

std::vector<std::string> with_files(std::vector<std::string> options, const fs::path& input,
                                    const fs::path& output) {
    options.insert(options.end(), {"--quiet", input.string(), output.string()});
    return options;
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
    content.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(file, content.samples.data(), info.frames);
    sf_close(file);
    return content;
}

std::vector<float> noise(std::size_t samples, float amplitude, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
    std::vector<float> values(samples);
    for (float& value : values)
        value = uniform(generator);
    return values;
}

sound test_signal(int channels, int rate, int frames) {
    return {channels, rate, k_float_wav,
            noise(static_cast<std::size_t>(frames) * channels, 0.5f, 7)};
}

std::string file_bytes(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

std::vector<std::string> listing(const fs::path& directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

scratch_space::scratch_space() {
    std::string pattern = (fs::temp_directory_path() / "zq-tool-test.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch directory");
    root = pattern;
    work = root / "work";
    capture = root / "capture";
    fs::create_directories(work);
    fs::create_directories(capture);
}

scratch_space::~scratch_space() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

} // namespace zq_tool_test
