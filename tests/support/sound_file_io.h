// Sound files as the suites that read and write them through libsndfile see them.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zq_test {

struct sound {
    int channels = 0, rate = 0, format = 0;
    std::vector<float> samples; // interleaved, as libsndfile reads them
};

constexpr int k_float_wav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

// Handed to libsndfile `piece_frames` frames at a time, or all at once for 0.
void write_sound(const std::filesystem::path& path, const sound& content, int piece_frames = 0);
sound read_sound(const std::filesystem::path& path);
// A float WAV of uniform noise at half full scale, the same for the same arguments.
sound test_signal(int channels, int rate, int frames);
std::string file_bytes(const std::filesystem::path& path);
// The low `bytes` bytes of `value`, least significant first, as headers store their fields.
std::string little_endian(std::uint64_t value, int bytes);

} // namespace zq_test
