// Running zq-filter as a user would on files the tests write, and what it should have written,
// computed with the libraries directly.
#pragma once

#include "../support/reference.h"
#include "../support/sound_file_io.h"

#include <engine/filter_engine>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zq_tool_test {

namespace fs = std::filesystem;
using ns_filter_engine::realization;
using zq_test::file_bytes;
using zq_test::k_float_wav;
using zq_test::read_sound;
using zq_test::same_bits;
using zq_test::sound;
using zq_test::test_signal;
using zq_test::write_sound;

struct run_result {
    int status; // exit status, or 128 + signal
    std::string out, err;
};

// The amplitude of a tone of `hz` in `channel`, from one DFT bin: the tone must complete whole
// periods over the sound.
double tone_amplitude(const sound& content, int channel, double hz);
// `text` split at spaces.
std::vector<std::string> words(const std::string& text);
// zq-filter's own lines on standard error but its closing summary: libraries and the component
// may add theirs.
std::string notes(const std::string& err);
// Whether `program` is on PATH: the tests of a host that is not skip.
bool installed(const std::string& program);

// A fresh directory per test, removed afterwards: `work` holds the files under test.
class scratch_space {
public:
    scratch_space();
    ~scratch_space();
    scratch_space(const scratch_space&) = delete;
    scratch_space& operator=(const scratch_space&) = delete;

    // What the child does before it becomes the program (limits, descriptors).
    using child_setup = std::function<void()>;

    run_result run(const std::vector<std::string>& arguments,
                   const std::string& program = ZQ_FILTER_PATH) const;
    // run in two halves, for a test that acts while the program runs.
    pid_t start(const std::vector<std::string>& arguments, const child_setup& setup = {},
                const std::string& program = ZQ_FILTER_PATH) const;
    run_result finish(pid_t child) const;
    // zq-filter run quietly with `options` from `in` to `out`.
    run_result filter(const std::string& options) const;
    // A bash command line run in `work` with pipefail, "zq-filter" standing for the program.
    run_result shell(const std::string& command_line) const;

    fs::path root, work, in, out;
};

// The input filtered by the engine called directly, each channel alone, with the given cut-offs
// in Hz (0 for none): a channel mixed up with another, or reaching into one, shows. The engine's
// exact realization is checked against the component and the libraries elsewhere.
std::vector<float> filter_with_engine(const sound& input, double high_hz, double low_hz,
                                      realization kind = realization::exact);

} // namespace zq_tool_test
