#include "standard_streams.h"

#include "file_error.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace ns_audio_files {

namespace {

// What libsndfile reads from a pipe and writes to one (tried with each of its containers: FLAC
// loses sync reading, CAF reads no frames, AIFF writes a header without samples).
constexpr int k_piped_input[] = {SF_FORMAT_WAV, SF_FORMAT_WAVEX, SF_FORMAT_AIFF, SF_FORMAT_AU,
                                 SF_FORMAT_W64, SF_FORMAT_OGG,   SF_FORMAT_MPEG};
constexpr char k_piped_input_names[] = "WAV, AIFF, AU, W64, Ogg (Vorbis, Opus) and MP3";
constexpr int k_piped_output[] = {SF_FORMAT_WAV, SF_FORMAT_WAVEX, SF_FORMAT_FLAC,
                                  SF_FORMAT_OGG, SF_FORMAT_MPEG,  SF_FORMAT_AU};
constexpr char k_piped_output_names[] = "wav, flac, ogg, opus, mp3, au";

template <std::size_t count>
bool listed(const int (&containers)[count], int format) {
    for (const int container : containers)
        if (container == (format & SF_FORMAT_TYPEMASK)) return true;
    return false;
}

std::string container_name(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info);
    return info.name ? info.name : "this";
}

bool seekable(int descriptor) {
    return ::lseek(descriptor, 0, SEEK_CUR) >= 0;
}

// A little-endian byte image of a RIFF header.
class riff_bytes {
public:
    riff_bytes& tag(const char (&four)[5]) {
        bytes_.append(four, 4);
        return *this;
    }
    riff_bytes& u16(unsigned value) { return little_endian(value, 2); }
    riff_bytes& u32(std::uint32_t value) { return little_endian(value, 4); }
    const std::string& bytes() const noexcept { return bytes_; }

private:
    riff_bytes& little_endian(std::uint32_t value, int size) {
        for (int byte = 0; byte < size; ++byte)
            bytes_.push_back(static_cast<char>((value >> (8 * byte)) & 0xFFu));
        return *this;
    }
    std::string bytes_;
};

struct wav_encoding {
    int subtype;
    unsigned tag; // the WAVE format tag
    unsigned bits;
};

constexpr wav_encoding k_wav_encodings[] = {{SF_FORMAT_PCM_U8, 1, 8},  {SF_FORMAT_PCM_16, 1, 16},
                                            {SF_FORMAT_PCM_24, 1, 24}, {SF_FORMAT_PCM_32, 1, 32},
                                            {SF_FORMAT_FLOAT, 3, 32},  {SF_FORMAT_DOUBLE, 3, 64},
                                            {SF_FORMAT_ALAW, 6, 8},    {SF_FORMAT_ULAW, 7, 8}};

const wav_encoding& wav_encoding_of(int format) {
    for (const wav_encoding& encoding : k_wav_encodings)
        if (encoding.subtype == (format & SF_FORMAT_SUBMASK)) return encoding;
    throw file_error(failure::output, "a WAV written to a pipe holds PCM, float, u-law or a-law "
                                      "samples only; choose one with --format");
}

// sox's mark of a WAV stream of unknown length; readers take it as "up to the end".
constexpr std::uint32_t k_unknown_length = 0x7FFFF000;

// The data size for `frames` frames (0: not known) of `block` bytes.
std::uint32_t data_size(sf_count_t frames, unsigned block) {
    const auto bytes = static_cast<std::uint64_t>(frames) * block;
    return frames > 0 && bytes < k_unknown_length ? static_cast<std::uint32_t>(bytes)
                                                  : k_unknown_length;
}

// The header of a WAV stream, sized for the frames INPUT declares (a pipe cannot be rewound
// to correct it when the stream ends).
std::string streamed_wav_header(const SF_INFO& info, unsigned channel_mask) {
    const wav_encoding& encoding = wav_encoding_of(info.format);
    const auto channels = static_cast<unsigned>(info.channels);
    const unsigned block = channels * encoding.bits / 8;
    const bool extensible = channels > 2 || (encoding.tag == 1 && encoding.bits > 16);
    const unsigned format_size = extensible ? 40 : encoding.tag == 1 ? 16 : 18;
    const std::uint32_t data = data_size(info.frames, block);
    riff_bytes header;
    header.tag("RIFF").u32(data + format_size + 20).tag("WAVE").tag("fmt ").u32(format_size);
    header.u16(extensible ? 0xFFFE : encoding.tag).u16(channels);
    header.u32(static_cast<std::uint32_t>(info.samplerate))
        .u32(static_cast<std::uint32_t>(info.samplerate) * block);
    header.u16(block).u16(encoding.bits);
    if (extensible) {
        // cbSize, valid bits, speaker mask, then the KSDATAFORMAT_SUBTYPE GUID of the tag.
        header.u16(22).u16(encoding.bits).u32(channel_mask);
        header.u32(encoding.tag).u32(0x00100000).u32(0xAA000080).u32(0x719B3800);
    } else if (format_size == 18) {
        header.u16(0);
    }
    header.tag("data").u32(data);
    return header.bytes();
}

// Returns the errno that stopped it, 0 once all is written.
int write_all(int descriptor, const char* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(descriptor, bytes + done, count - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 ? errno : EIO;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

[[noreturn]] void throw_write_failure(int descriptor, int system_error) {
    const std::string what = descriptor == STDOUT_FILENO ? "standard output" : "OUTPUT";
    throw file_error(failure::output,
                     "cannot write to " + what + ": " + std::strerror(system_error), system_error);
}

SNDFILE* open_streamed_wav(int descriptor, SF_INFO& info, unsigned channel_mask,
                           std::unique_ptr<wav_stream>& stream) {
    stream = std::make_unique<wav_stream>(streamed_wav_header(info, channel_mask), descriptor);
    SF_INFO raw = info;
    raw.format = SF_FORMAT_RAW | (info.format & SF_FORMAT_SUBMASK) | SF_ENDIAN_LITTLE;
    return sf_open_virtual(&stream->io(), SFM_WRITE, &raw, stream.get());
}

} // namespace

wav_stream::wav_stream(std::string header, int descriptor)
    : held_(std::move(header)), descriptor_(descriptor) {
    // A pipe has no length and no place but the end; libsndfile asks for both all the same.
    io_.get_filelen = [](void* self) { return static_cast<wav_stream*>(self)->position_; };
    io_.seek = [](sf_count_t offset, int whence, void* self) -> sf_count_t {
        const sf_count_t at = static_cast<wav_stream*>(self)->position_;
        const bool stays = (whence == SEEK_CUR && offset == 0) || offset == at;
        return stays ? at : -1;
    };
    io_.read = [](void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io_.write = [](const void* bytes, sf_count_t count, void* self) {
        return static_cast<wav_stream*>(self)->write(bytes, count);
    };
    io_.tell = [](void* self) { return static_cast<wav_stream*>(self)->position_; };
}

sf_count_t wav_stream::write(const void* bytes, sf_count_t count) noexcept {
    const char* const data = static_cast<const char*>(bytes);
    if (!held_.empty()) {
        try {
            held_.append(data, static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            system_error_ = ENOMEM;
            return 0;
        }
        system_error_ = write_all(descriptor_, held_.data(), held_.size());
        held_.clear();
        held_.shrink_to_fit();
    } else {
        system_error_ = write_all(descriptor_, data, static_cast<std::size_t>(count));
    }
    if (system_error_ != 0) return 0;
    position_ += count;
    return count;
}

void wav_stream::finish() {
    if (held_.empty()) return;
    const int error = write_all(descriptor_, held_.data(), held_.size());
    held_.clear();
    if (error != 0) throw_write_failure(descriptor_, error);
}

void wav_stream::report_failure() const {
    if (system_error_ != 0) throw_write_failure(descriptor_, system_error_);
}

bool is_standard_stream(const std::string& path) {
    return path == "-";
}

SNDFILE* open_standard_input(SF_INFO& info, bool& streamed) {
    streamed = !seekable(STDIN_FILENO);
    SNDFILE* const file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
    const std::string works = std::string("; from a pipe libsndfile reads ") + k_piped_input_names +
                              ", so give other files by name";
    if (!file) {
        const std::string reason = sf_strerror(nullptr);
        throw file_error(failure::input, "cannot read INPUT from standard input (" + reason + ")" +
                                             (streamed ? works : ""));
    }
    if (streamed && !listed(k_piped_input, info.format)) {
        sf_close(file);
        throw file_error(failure::input, "standard input is a pipe, and libsndfile cannot read " +
                                             container_name(info.format) + " from one" + works);
    }
    if (streamed) info.frames = 0;
    return file;
}

SNDFILE* open_output_stream(int descriptor, const std::string& name, SF_INFO& info,
                            unsigned channel_mask, std::unique_ptr<wav_stream>& stream) {
    if (::isatty(descriptor))
        throw file_error(failure::output,
                         name + " is a terminal; send the output to a file or a pipe");
    if (seekable(descriptor)) return sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!listed(k_piped_output, info.format))
        throw file_error(failure::output, name + " is a pipe, and " + container_name(info.format) +
                                              " cannot be written to one; types that stream: " +
                                              k_piped_output_names + " (choose with --type)");
    const int container = info.format & SF_FORMAT_TYPEMASK;
    if (container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX)
        return open_streamed_wav(descriptor, info, channel_mask, stream);
    return sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
}

} // namespace ns_audio_files
