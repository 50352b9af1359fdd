#include "stated_length.h"

#include "wav_samples.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

namespace ns_audio_files {

namespace {

// Up to `count` bytes of `descriptor` from `at`, leaving its offset where libsndfile has it.
std::string read_at(int descriptor, std::uint64_t at, std::size_t count) {
    std::string got(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t step =
            ::pread(descriptor, got.data() + done, count - done, static_cast<off_t>(at + done));
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) break;
        done += static_cast<std::size_t>(step);
    }
    got.resize(done);
    return got;
}

std::uint64_t number(const std::string& from, std::size_t at, std::size_t width, bool big_endian) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(from[at + i])}
                 << 8 * (big_endian ? width - 1 - i : i);
    return value;
}

bool tagged(const std::string& from, std::size_t at, const std::string& tag) {
    return from.compare(at, tag.size(), tag) == 0;
}

// Where the samples start and how many bytes the header gives them; 0 bytes: not stated.
struct data_span {
    std::uint64_t start = 0;
    std::uint64_t size = 0;
};

// How a container lays out its chunks: an id, then a size of `size_bytes`.
struct chunk_layout {
    std::size_t id_bytes; // W64's ids are GUIDs
    std::size_t size_bytes;
    bool big_endian;
    bool size_counts_header; // W64's does
    std::uint64_t alignment; // a chunk of an odd size is followed by a pad byte (W64: to 8)
};

constexpr chunk_layout k_riff = {4, 4, false, false, 2};
constexpr chunk_layout k_rifx = {4, 4, true, false, 2};
constexpr chunk_layout k_iff = {4, 4, true, false, 2};
constexpr chunk_layout k_w64 = {16, 8, false, true, 8};

// A hostile file of many small chunks could otherwise take a read for each.
constexpr int k_chunks_searched = 1024;

// The body of the first chunk named `id` from `at` on, as start and size.
data_span find_chunk(int descriptor, std::uint64_t at, const chunk_layout& layout,
                     const std::string& id) {
    const std::size_t header = layout.id_bytes + layout.size_bytes;
    for (int chunk = 0; chunk < k_chunks_searched; ++chunk) {
        const std::string head = read_at(descriptor, at, header);
        if (head.size() < header) break;
        std::uint64_t size = number(head, layout.id_bytes, layout.size_bytes, layout.big_endian);
        if (layout.size_counts_header) {
            if (size < header) break;
            size -= header;
        }
        if (head.compare(0, layout.id_bytes, id) == 0) return {at + header, size};
        if (size > UINT64_MAX - at - header - layout.alignment) break;
        at += header + (size + layout.alignment - 1) / layout.alignment * layout.alignment;
    }
    return {};
}

// From here a 32-bit size is a streaming writer's mark of a length not known: sox's WAV mark
// is 0x7FFFF000 (ours too), its AIFF mark 0x7F000000, the AU format's 0xFFFFFFFF.
constexpr std::uint64_t k_unknown_size_marks = 0x7F000000;

data_span sized_32(data_span span) {
    return span.size >= k_unknown_size_marks ? data_span{} : span;
}

data_span riff_data(int descriptor, const std::string& head) {
    if (!tagged(head, 8, "WAVE")) return {};
    if (tagged(head, 0, "RIFF")) return sized_32(find_chunk(descriptor, 12, k_riff, "data"));
    if (tagged(head, 0, "RIFX")) return sized_32(find_chunk(descriptor, 12, k_rifx, "data"));
    return {};
}

// RF64's 'data' chunk leaves its size to the 64-bit one of the 'ds64' chunk that opens the file.
data_span rf64_data(int descriptor, const std::string& head) {
    if (!(tagged(head, 0, "RF64") || tagged(head, 0, "BW64")) || !tagged(head, 12, "ds64"))
        return riff_data(descriptor, head);
    data_span data = find_chunk(descriptor, 12, k_riff, "data");
    const std::string sizes = read_at(descriptor, 20, 16); // of the RIFF, then of 'data'
    if (data.size == 0xFFFFFFFF) data.size = sizes.size() == 16 ? number(sizes, 8, 8, false) : 0;
    return data.size == UINT64_MAX ? data_span{} : data;
}

data_span w64_data(int descriptor, const std::string&) {
    static const std::string data_guid("data\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 16);
    return find_chunk(descriptor, 40, k_w64, data_guid);
}

// The samples of 'SSND' follow its offset and block size, after `offset` bytes more.
data_span aiff_data(int descriptor, const std::string& head) {
    if (!tagged(head, 0, "FORM") || !(tagged(head, 8, "AIFF") || tagged(head, 8, "AIFC")))
        return {};
    const data_span chunk = sized_32(find_chunk(descriptor, 12, k_iff, "SSND"));
    if (chunk.size < 8) return {};
    const std::string fields = read_at(descriptor, chunk.start, 4);
    if (fields.size() < 4) return {};
    const std::uint64_t offset = number(fields, 0, 4, true);
    if (chunk.size - 8 < offset) return {};
    return {chunk.start + 8 + offset, chunk.size - 8 - offset};
}

// A big-endian header, or libsndfile's little-endian variant of it.
data_span au_data(int, const std::string& head) {
    const bool big_endian = tagged(head, 0, ".snd");
    if ((!big_endian && !tagged(head, 0, "dns.")) || head.size() < 12) return {};
    return sized_32({number(head, 4, 4, big_endian), number(head, 8, 4, big_endian)});
}

struct container_data {
    int container;
    data_span (*find)(int descriptor, const std::string& head);
};

constexpr container_data k_containers[] = {
    {SF_FORMAT_WAV, riff_data}, {SF_FORMAT_WAVEX, riff_data}, {SF_FORMAT_RF64, rf64_data},
    {SF_FORMAT_W64, w64_data},  {SF_FORMAT_AIFF, aiff_data},  {SF_FORMAT_AU, au_data},
};

constexpr std::size_t k_page_header = 27;
constexpr std::size_t k_largest_page = k_page_header + 255 + 255 * 255;

// Whether the last Ogg page of a file of `file_size` bytes, complete up to the end of the file,
// marks the end of its stream; false too when the file ends within a page.
bool ends_its_stream(int descriptor, std::uint64_t file_size) {
    const std::uint64_t from = file_size - std::min<std::uint64_t>(file_size, k_largest_page);
    const std::string tail = read_at(descriptor, from, static_cast<std::size_t>(file_size - from));
    for (std::size_t at = tail.rfind("OggS"); at != std::string::npos;
         at = at == 0 ? std::string::npos : tail.rfind("OggS", at - 1)) {
        if (tail.size() < at + k_page_header || tail[at + 4] != '\0') continue;
        const std::size_t segments = static_cast<unsigned char>(tail[at + 26]);
        if (tail.size() < at + k_page_header + segments) continue;
        std::size_t end = at + k_page_header + segments;
        for (std::size_t i = 0; i < segments; ++i)
            end += static_cast<unsigned char>(tail[at + k_page_header + i]);
        if (end == tail.size()) return (tail[at + 5] & 0x04) != 0;
    }
    return false;
}

} // namespace

stated_length read_stated_length(int descriptor, const SF_INFO& info) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return {};
    const auto file_size = static_cast<std::uint64_t>(status.st_size);
    const int container = info.format & SF_FORMAT_TYPEMASK;
    if (container == SF_FORMAT_OGG) return {!ends_its_stream(descriptor, file_size), 0};
    const int frame_bytes = bytes_per_sample(info.format) * info.channels;
    const auto found = std::find_if(
        std::begin(k_containers), std::end(k_containers),
        [container](const container_data& each) { return each.container == container; });
    if (found == std::end(k_containers) || frame_bytes <= 0) return {};
    const data_span data = found->find(descriptor, read_at(descriptor, 0, 16));
    const auto frames = [frame_bytes](std::uint64_t size) {
        return static_cast<sf_count_t>(size / static_cast<std::uint64_t>(frame_bytes));
    };
    // Whole frames only: libsndfile reads no partial last frame either.
    const sf_count_t declared = frames(data.size);
    const bool cut = declared > frames(file_size - std::min(file_size, data.start));
    return cut ? stated_length{true, declared} : stated_length{};
}

} // namespace ns_audio_files
