#include "sound_file_io.h"

#include "reference.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zq_test {

void write_sound(const std::filesystem::path& path, const sound& content, int piece_frames) {
    SF_INFO info{};
    info.channels = content.channels;
    info.samplerate = content.rate;
    info.format = content.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(path.string() + ": " + sf_strerror(nullptr));
    const auto frames = static_cast<sf_count_t>(content.samples.size()) / content.channels;
    const sf_count_t piece = piece_frames > 0 ? piece_frames : std::max<sf_count_t>(frames, 1);
    for (sf_count_t at = 0; at < frames; at += piece)
        sf_writef_float(file, content.samples.data() + at * content.channels,
                        std::min(piece, frames - at));
    sf_close(file);
}

sound read_sound(const std::filesystem::path& path) {
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

sound test_signal(int channels, int rate, int frames) {
    sound content{channels, rate, k_float_wav, random_floats(std::size_t(frames) * channels, 7)};
    for (float& value : content.samples)
        value *= 0.5f;
    return content;
}

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

std::string little_endian(std::uint64_t value, int bytes) {
    std::string stored;
    for (int i = 0; i < bytes; ++i)
        stored += static_cast<char>(value >> (8 * i) & 0xFF);
    return stored;
}

} // namespace zq_test
