// WAV samples read straight from the file must be, bit for bit, what libsndfile's own reading
// gives, whatever the encoding, channel count, length and the pieces they are asked for in.
#include "../support/sound_file_io.h"

#include <files/sound_files.h>
#include <files/wav_samples.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ns_audio_files::sound_input;
using ns_audio_files::wav_sample_reader;

struct wav_case {
    int format;
    int channels;
    sf_count_t frames;
};

// Noise beyond full scale (PCM clips it) with both extremes and the smallest steps of every
// encoding, so that scaling, sign and byte order all show.
std::vector<float> test_samples(std::size_t count) {
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-1.2f, 1.2f);
    std::vector<float> samples(count);
    for (float& sample : samples)
        sample = noise(generator);
    const float edges[] = {
        -1.0f, 1.0f, 0.0f, 1.0f / 32768, -1.0f / 32768, 1.0f / 8388608, -1.0f / 2147483648.0f};
    for (std::size_t i = 0; i < std::size(edges) && i < count; ++i)
        samples[i * 3 % count] = edges[i];
    return samples;
}

// A WAV with chunks before and after its samples, both of which the reader must skip.
void write_wav(const fs::path& path, const wav_case& c) {
    SF_INFO info{};
    info.channels = c.channels;
    info.samplerate = 48000;
    info.format = c.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_set_string(file, SF_STR_TITLE, "before the samples");
    const std::vector<float> samples =
        test_samples(static_cast<std::size_t>(c.frames) * c.channels);
    ASSERT_EQ(sf_writef_float(file, samples.data(), c.frames), c.frames);
    sf_set_string(file, SF_STR_COMMENT, "after the samples");
    sf_close(file);
}

// In pieces of an odd size, so that the last one comes short.
std::vector<float> read_by_input(const fs::path& path) {
    sound_input input(path.string());
    std::vector<float> samples;
    std::vector<float> piece(97 * static_cast<std::size_t>(input.channels()));
    while (const sf_count_t got = input.read(piece.data(), 97))
        samples.insert(samples.end(), piece.begin(), piece.begin() + got * input.channels());
    EXPECT_EQ(input.shortfall(), "");
    return samples;
}

bool taken_directly(const fs::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE);
    const bool taken = wav_sample_reader::open(file, descriptor, info) != nullptr;
    sf_close(file);
    return taken;
}

class scratch_file : public ::testing::Test {
protected:
    fs::path path_ =
        fs::temp_directory_path() / ("zq_wav_samples_" + std::to_string(::getpid()) + ".wav");
    void TearDown() override { fs::remove(path_); }
};

TEST_F(scratch_file, EveryLinearEncodingReadsAsLibsndfileReadsIt) {
    const int encodings[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32};
    const wav_case shapes[] = {{0, 1, 1001}, {0, 2, 4099}, {0, 6, 333}, {0, 3, 1}, {0, 2, 0}};
    for (const int encoding : encodings)
        for (const int container : {SF_FORMAT_WAV, SF_FORMAT_WAVEX})
            for (wav_case c : shapes) {
                c.format = container | encoding;
                SCOPED_TRACE(std::to_string(c.format) + ", " + std::to_string(c.channels) +
                             " channels, " + std::to_string(c.frames) + " frames");
                write_wav(path_, c);
                EXPECT_TRUE(taken_directly(path_));
                const std::vector<float> expected = zq_test::read_sound(path_).samples;
                const std::vector<float> got = read_by_input(path_);
                ASSERT_EQ(got.size(), expected.size());
                EXPECT_TRUE(
                    std::equal(got.begin(), got.end(), expected.begin(), [](float a, float b) {
                        return std::memcmp(&a, &b, sizeof a) == 0;
                    }));
            }
}

TEST_F(scratch_file, OtherEncodingsStayWithLibsndfile) {
    const int formats[] = {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SF_FORMAT_WAV | SF_FORMAT_DOUBLE,
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT | SF_ENDIAN_BIG,
                           SF_FORMAT_AIFF | SF_FORMAT_PCM_16};
    for (const int format : formats) {
        SCOPED_TRACE(format);
        write_wav(path_, {format, 2, 100});
        EXPECT_FALSE(taken_directly(path_));
    }
}

} // namespace
