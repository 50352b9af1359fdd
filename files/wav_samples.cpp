#include "wav_samples.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace ns_audio_files {

namespace {

constexpr float k_scale_16 = 1.0f / 32768.0f;
constexpr float k_scale_32 = 1.0f / 2147483648.0f;

bool is_wav(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

// Where the samples start: libsndfile leaves the descriptor there once it has read the header.
off_t sample_start(int descriptor) {
    return ::lseek(descriptor, 0, SEEK_CUR);
}

bool samples_fit(int descriptor, off_t start, sf_count_t bytes) {
    struct stat status {};
    return start > 0 && ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
           bytes <= status.st_size - start;
}

std::int32_t little_endian_32(const unsigned char* bytes) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
}

// Bytes per sample of the encodings read here; 0 for any other.
int encoded_sample_bytes(int encoding) {
    const bool read_here = encoding == SF_FORMAT_PCM_16 || encoding == SF_FORMAT_PCM_24 ||
                           encoding == SF_FORMAT_PCM_32 || encoding == SF_FORMAT_FLOAT;
    return read_here ? bytes_per_sample(encoding) : 0;
}

// `count` little-endian PCM samples of `encoding` from `bytes` into `samples`, scaled as libsndfile
// scales them: by 2^-15 and 2^-31 (a 24-bit sample fills the top three bytes of a 32-bit word).
void decode_samples(const unsigned char* bytes, std::size_t count, int encoding, float* samples) {
    switch (encoding) {
    case SF_FORMAT_PCM_16:
        for (std::size_t i = 0; i < count; ++i) {
            const auto low = static_cast<std::uint32_t>(bytes[2 * i]);
            const auto high = static_cast<std::uint32_t>(bytes[2 * i + 1]);
            samples[i] =
                static_cast<float>(static_cast<std::int16_t>(low | high << 8)) * k_scale_16;
        }
        return;
    case SF_FORMAT_PCM_24:
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char word[4] = {0, bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
            samples[i] = static_cast<float>(little_endian_32(word)) * k_scale_32;
        }
        return;
    case SF_FORMAT_PCM_32:
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<float>(little_endian_32(bytes + 4 * i)) * k_scale_32;
        return;
    default:
        return;
    }
}

} // namespace

int bytes_per_sample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

std::unique_ptr<wav_sample_reader> wav_sample_reader::open(SNDFILE* file, int descriptor,
                                                           const SF_INFO& info) {
    const int encoding = info.format & SF_FORMAT_SUBMASK;
    const int sample_bytes = encoded_sample_bytes(encoding);
    // A big-endian WAV (RIFX), or a big-endian processor, swaps bytes.
    if (!is_wav(info.format) || sample_bytes == 0 || info.channels <= 0 ||
        sf_command(file, SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) != SF_FALSE)
        return nullptr;
    const off_t start = sample_start(descriptor);
    const sf_count_t bytes = info.frames * info.channels * sample_bytes;
    if (!samples_fit(descriptor, start, bytes)) return nullptr;
    ::posix_fadvise(descriptor, start, bytes, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<wav_sample_reader>(
        new wav_sample_reader(descriptor, encoding, info.channels, start, info.frames));
}

wav_sample_reader::wav_sample_reader(int descriptor, int encoding, int channels, off_t start,
                                     sf_count_t frames)
    : descriptor_(descriptor), encoding_(encoding), channels_(channels),
      frame_bytes_(channels * encoded_sample_bytes(encoding)), position_(start),
      frames_left_(frames) {}

sf_count_t wav_sample_reader::read(float* interleaved, sf_count_t frames) {
    const sf_count_t wanted = std::min(frames, frames_left_);
    const auto bytes = static_cast<std::size_t>(wanted) * frame_bytes_;
    // Floats land where they are wanted; PCM passes through a buffer on its way there.
    const bool direct = encoding_ == SF_FORMAT_FLOAT;
    if (!direct) encoded_.resize(std::max(encoded_.size(), bytes));
    void* into = direct ? static_cast<void*>(interleaved) : encoded_.data();
    const ssize_t got = read_bytes(into, bytes);
    if (got < 0) return -1;
    // A file cut short since it was opened ends with the last whole frame it still holds.
    const sf_count_t frames_got = got / frame_bytes_;
    frames_left_ = got == static_cast<ssize_t>(bytes) ? frames_left_ - frames_got : 0;
    if (!direct)
        decode_samples(encoded_.data(), static_cast<std::size_t>(frames_got) * channels_, encoding_,
                       interleaved);
    return frames_got;
}

ssize_t wav_sample_reader::read_bytes(void* into, std::size_t bytes) {
    auto* cursor = static_cast<unsigned char*>(into);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(descriptor_, cursor + done, bytes - done, position_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
        position_ += got;
    }
    return static_cast<ssize_t>(done);
}

} // namespace ns_audio_files
