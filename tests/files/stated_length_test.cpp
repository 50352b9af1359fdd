// A file shorter than its container states is told from a whole one, whatever the container
// and whatever lengths a streaming writer leaves unknown.
#include "../support/sound_file_io.h"

#include <files/sound_files.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Mono noise of `frames` frames at 48 kHz.
std::string written_by_library(const fs::path& path, int format, int frames) {
    zq_test::sound content = zq_test::test_signal(1, 48000, frames);
    content.format = format;
    zq_test::write_sound(path, content);
    return zq_test::file_bytes(path);
}

std::string le32(std::uint32_t value) {
    return zq_test::little_endian(value, 4);
}

// 8-bit mono WAV at 8 kHz: an odd chunk (and its pad byte) before an odd 'data' chunk of
// 1001 frames whose own pad byte a careless writer left out.
std::string odd_chunks_wav() {
    const std::string format = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) +
                               le32(8000) + std::string("\x01\x00\x08\x00", 4);
    const std::string body = "WAVE" + format + "note" + le32(3) + "abc" + std::string(1, '\0') +
                             "data" + le32(1001) + std::string(1001, '\x80');
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

std::string third(const std::string& bytes) {
    return bytes.substr(0, bytes.size() / 3);
}

// Whole pages only, the last of them not the end of the stream.
std::string before_last_page(const std::string& bytes) {
    return bytes.substr(0, bytes.rfind("OggS"));
}

// The 'data' chunk's size set to `size` (a streaming writer's "unknown"), then a third kept.
std::function<std::string(const std::string&)> data_size_then_third(std::uint32_t size) {
    return [size](const std::string& bytes) {
        std::string marked = bytes;
        marked.replace(marked.find("data") + 4, 4, le32(size));
        return third(marked);
    };
}

struct length_case {
    const char* name;
    int format; // 0: odd_chunks_wav()
    int frames;
    std::function<std::string(const std::string&)> damage;
    const char* told; // in the shortfall; "" for none
};

const length_case k_cases[] = {
    {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 3000, third, "declares 3000 frames"},
    {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 3000, third, "declares 3000 frames"},
    {"pcm24.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_24, 3000, third, "declares 3000 frames"},
    {"pcm16.au", SF_FORMAT_AU | SF_FORMAT_PCM_16, 3000, third, "declares 3000 frames"},
    {"float.rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT, 3000, third, "declares 3000 frames"},
    {"odd.wav", 0, 0, third, "declares 1001 frames"},
    // libsndfile refuses an Ogg file cut within a page; one cut between pages reads as whole.
    {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 96000, before_last_page, "last Ogg page"},
    {"opus.ogg", SF_FORMAT_OGG | SF_FORMAT_OPUS, 96000, before_last_page, "last Ogg page"},
    {"size0.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3000, data_size_then_third(0), ""},
    {"sizeFFFFFFFF.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3000, data_size_then_third(0xFFFFFFFF),
     ""},
};

std::string shortfall_of(const fs::path& path) {
    ns_audio_files::sound_input input(path.string());
    std::vector<float> block(256 * static_cast<std::size_t>(input.channels()));
    while (input.read(block.data(), 256) > 0) {
    }
    return input.shortfall();
}

TEST(StatedLength, ACutFileIsToldAndAWholeOneIsNot) {
    const fs::path path = fs::temp_directory_path() / ("zq_stated_" + std::to_string(::getpid()));
    for (const length_case& each : k_cases) {
        SCOPED_TRACE(each.name);
        const std::string whole = each.format == 0
                                      ? odd_chunks_wav()
                                      : written_by_library(path, each.format, each.frames);
        write_bytes(path, whole);
        EXPECT_EQ(shortfall_of(path), "");
        write_bytes(path, each.damage(whole));
        const std::string said = shortfall_of(path);
        EXPECT_EQ(said.empty(), *each.told == '\0') << said;
        EXPECT_NE(said.find(each.told), std::string::npos) << said;
    }
    fs::remove(path);
}

} // namespace
