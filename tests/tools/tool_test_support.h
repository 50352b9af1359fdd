// Running zq-filter as a user would, on files the tests write, and reading back what it wrote.
#pragma once

#include <sndfile.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zq_tool_test {

struct run_result {
    int status; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `program` with `arguments`, capturing standard output and error in `capture_dir`.
run_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& capture_dir);

// `options` followed by --quiet, INPUT and OUTPUT, as zq-filter takes them.
std::vector<std::string> with_files(std::vector<std::string> options,
                                    const std::filesystem::path& input,
                                    const std::filesystem::path& output);

struct sound {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> samples; // interleaved, as libsndfile reads them
};

constexpr int k_float_wav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

void write_sound(const std::filesystem::path& path, const sound& content);
sound read_sound(const std::filesystem::path& path);

// Interleaved uniform noise in -amplitude .. amplitude, the same for the same seed.
std::vector<float> noise(std::size_t samples, float amplitude, unsigned seed);
// A float WAV of noise at half full scale, the same for the same shape.
sound test_signal(int channels, int rate, int frames);

std::string file_bytes(const std::filesystem::path& path);
// Names in `directory`, sorted: shows files that appeared, including stray temporaries.
std::vector<std::string> listing(const std::filesystem::path& directory);

// A fresh directory per test, removed afterwards; `work` for the files under test and
// `capture` for the captured streams.
class scratch_space {
public:
    scratch_space();
    ~scratch_space();
    scratch_space(const scratch_space&) = delete;
    scratch_space& operator=(const scratch_space&) = delete;

    std::filesystem::path root;
    std::filesystem::path work;
    std::filesystem::path capture;
};

} // namespace zq_tool_test
