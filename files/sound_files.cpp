#include "sound_files.h"

#include "channel_layouts.h"
#include "codec_bitrate.h"
#include "file_error.h"
#include "resampling_filter.h"
#include "signals.h"
#include "standard_streams.h"
#include "temporaries.h"

#include <primitives/finite_samples.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace ns_audio_files {

namespace {

struct named_format {
    const char* name;
    int code;
};

// Samples between two starts of the writeback: 1 MB of float, so that what waits for the disk
// stays small whatever the channel count.
constexpr sf_count_t k_writeback_samples = 1 << 18;

constexpr named_format k_sample_formats[] = {
    {"float", SF_FORMAT_FLOAT},   {"double", SF_FORMAT_DOUBLE}, {"pcm16", SF_FORMAT_PCM_16},
    {"pcm24", SF_FORMAT_PCM_24},  {"pcm32", SF_FORMAT_PCM_32},  {"s8", SF_FORMAT_PCM_S8},
    {"u8", SF_FORMAT_PCM_U8},     {"ulaw", SF_FORMAT_ULAW},     {"alaw", SF_FORMAT_ALAW},
    {"vorbis", SF_FORMAT_VORBIS}, {"opus", SF_FORMAT_OPUS},     {"mp3", SF_FORMAT_MPEG_LAYER_III}};

// Names people give containers that libsndfile lists under another extension, with the codec
// the name implies for a lossy container.
struct container_alias {
    const char* name;
    int container;
    int codec; // 0: none implied
};
constexpr container_alias k_container_aliases[] = {
    {"aif", SF_FORMAT_AIFF, 0},
    {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
};

constexpr int k_lossy_codecs[] = {SF_FORMAT_VORBIS, SF_FORMAT_OPUS, SF_FORMAT_MPEG_LAYER_I,
                                  SF_FORMAT_MPEG_LAYER_II, SF_FORMAT_MPEG_LAYER_III};

struct container_choice {
    int container;
    int codec; // 0: none implied
};

std::string in_quotes(const std::string& text) {
    return "\"" + text + "\"";
}

std::string lower_case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string format_name(int code) {
    SF_FORMAT_INFO info{};
    info.format = code;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
        return "format " + std::to_string(code);
    return info.name;
}

int sample_format_code(const std::string& name) {
    for (const named_format& format : k_sample_formats)
        if (name == format.name) return format.code;
    throw file_error(failure::usage, "unknown sample format " + in_quotes(name));
}

// The first of libsndfile's containers or encodings (as count_command and item_command list
// them) that `matches`; a blank entry (null name) when none does.
template <typename Match>
SF_FORMAT_INFO find_format(int count_command, int item_command, Match matches) {
    int count = 0;
    sf_command(nullptr, count_command, &count, sizeof count);
    for (int index = 0; index < count; ++index) {
        SF_FORMAT_INFO info{};
        info.format = index;
        sf_command(nullptr, item_command, &info, sizeof info);
        if (info.name && matches(info)) return info;
    }
    return {};
}

// The container `name` (an extension or a --type) stands for; throws file_error(usage)
// naming `what` when libsndfile knows none by that name.
container_choice container_named(const std::string& name, const std::string& what) {
    const std::string wanted = lower_case(name);
    for (const container_alias& alias : k_container_aliases)
        if (wanted == alias.name) return {alias.container, alias.codec};
    const SF_FORMAT_INFO major = find_format(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR,
                                             [&wanted](const SF_FORMAT_INFO& info) {
                                                 return info.extension && wanted == info.extension;
                                             });
    if (major.name) return {major.format, 0};
    throw file_error(failure::usage, "cannot tell the container of " + what +
                                         "; use one libsndfile writes, e.g. wav, flac, aiff, "
                                         "caf, ogg, opus, mp3");
}

container_choice container_for(const std::string& path, const std::string& type) {
    if (!type.empty()) return container_named(type, "--type " + type);
    if (path == "-") return {SF_FORMAT_WAV, 0};
    // extension() keeps the dot, or is empty.
    const std::string dotted = std::filesystem::path(path).extension().string();
    return container_named(dotted.empty() ? dotted : dotted.substr(1),
                           "OUTPUT " + in_quotes(path) + " from its extension");
}

bool is_lossy(int codec) {
    return std::find(std::begin(k_lossy_codecs), std::end(k_lossy_codecs), codec) !=
           std::end(k_lossy_codecs);
}

// What a container holds when INPUT's encoding does not fit it: the codec of a lossy container,
// 24 bits for FLAC, float where the container takes it.
int default_encoding(int container) {
    switch (container) {
    case SF_FORMAT_OGG:
        return SF_FORMAT_VORBIS;
    case SF_FORMAT_MPEG:
        return SF_FORMAT_MPEG_LAYER_III;
    case SF_FORMAT_FLAC:
        return SF_FORMAT_PCM_24;
    default:
        return SF_FORMAT_FLOAT;
    }
}

// Vorbis and Opus headers count channels in one byte; libsndfile's check does not know it, and
// its open then fails with "Format not recognised."
constexpr int k_most_ogg_channels = 255;

bool holds(int format, int channels, int sample_rate) {
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG && channels > k_most_ogg_channels)
        return false;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sample_rate;
    info.format = format;
    return sf_format_check(&info) != 0;
}

// Whether this libsndfile was built with the encoder: the codecs it lacks are not listed.
bool has_encoding(int encoding) {
    return find_format(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE,
                       [encoding](const SF_FORMAT_INFO& info) { return info.format == encoding; })
               .name != nullptr;
}

std::string library_version() {
    char version[128] = {};
    sf_command(nullptr, SFC_GET_LIB_VERSION, version, sizeof version);
    return version;
}

mode_t mode_for_new_file(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Where writing `path` lands: the end of its chain of symbolic links, which need not exist yet,
// so that OUTPUT's link stays a link.
std::string link_target(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return path;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) return path;
        path = target.is_absolute() ? target.string()
                                    : (std::filesystem::path(path).parent_path() / target).string();
    }
    return path;
}

// Clearing what killed writers left (temporaries.h) keeps a folder written again and again from
// filling up; a folder that cannot be listed is the writing's to report.
void sweep_stale_temporaries(const std::filesystem::path& directory) {
    try {
        remove_stale_temporaries(directory.string());
    } catch (const file_error&) {
    }
}

bool is_riff(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

} // namespace

// The RIFF sizes are 32 bits: the data must leave room below 4 GiB for the header and the
// metadata chunks after it.
sf_count_t riff_bytes_left(int format, int channels, sf_count_t frames) {
    constexpr sf_count_t k_riff_limit = (sf_count_t{1} << 32) - (sf_count_t{1} << 20);
    return k_riff_limit - frames * channels * bytes_per_sample(format);
}

sound_input::sound_input(const std::string& path) : path_(path) {
    if (is_standard_stream(path)) {
        file_ = open_standard_input(info_, streamed_);
        stated_ = read_stated_length(STDIN_FILENO, info_);
        return;
    }
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0)
        throw system_failure(failure::input, "cannot open INPUT " + in_quotes(path));
    const bool is_directory = ::fstat(descriptor_, &identity_) == 0 && S_ISDIR(identity_.st_mode);
    if (!is_directory) file_ = sf_open_fd(descriptor_, SFM_READ, &info_, SF_FALSE);
    if (file_) {
        stated_ = read_stated_length(descriptor_, info_);
        wav_samples_ = wav_sample_reader::open(file_, descriptor_, info_);
        return;
    }
    const std::string reason = is_directory ? "it is a directory" : sf_strerror(nullptr);
    ::close(descriptor_);
    throw file_error(failure::input, "INPUT " + in_quotes(path) + " is not audio (" + reason + ")");
}

sound_input::~sound_input() {
    sf_close(file_);
    if (descriptor_ >= 0) ::close(descriptor_);
}

sf_count_t sound_input::read(float* interleaved, sf_count_t frames) {
    const sf_count_t got = wav_samples_ ? wav_samples_->read(interleaved, frames)
                                        : sf_readf_float(file_, interleaved, frames);
    if (got < 0) throw system_failure(failure::input, "cannot read INPUT " + in_quotes(path_));
    if (got < frames && !wav_samples_ && sf_error(file_) != SF_ERR_NO_ERROR)
        throw file_error(failure::input,
                         "cannot read INPUT " + in_quotes(path_) + ": " + sf_strerror(file_));
    // The filter would carry such a sample into every later one of its channel.
    const std::string bad = first_non_finite(interleaved, got, channels(), frames_read_);
    if (!bad.empty())
        throw file_error(failure::input,
                         "INPUT " + in_quotes(path_) + " holds " + bad + "; nothing was written");
    frames_read_ += got;
    return got;
}

std::string sound_input::shortfall() const {
    if (!stated_.cut) return {};
    const std::string held = std::to_string(frames_read_);
    if (stated_.frames == 0)
        return "its last Ogg page does not end the stream, it holds " + held + " frames";
    return "its header declares " + std::to_string(stated_.frames) + " frames, it holds " + held;
}

std::vector<int> sound_input::channel_map() const {
    std::vector<int> map(static_cast<std::size_t>(info_.channels));
    const int bytes = static_cast<int>(map.size() * sizeof(int));
    if (!sf_command(file_, SFC_GET_CHANNEL_MAP_INFO, map.data(), bytes)) map.clear();
    return map;
}

bool sound_input::is_same_file(const std::string& path) const {
    if (descriptor_ < 0) return false;
    // "-" is whatever standard output was redirected to, INPUT itself with ">>".
    struct stat other {};
    const int found =
        is_standard_stream(path) ? ::fstat(STDOUT_FILENO, &other) : ::stat(path.c_str(), &other);
    return found == 0 && other.st_dev == identity_.st_dev && other.st_ino == identity_.st_ino;
}

std::string first_non_finite(const float* interleaved, sf_count_t frames, int channels,
                             sf_count_t frames_before) {
    const auto count = static_cast<std::size_t>(frames) * channels;
    const std::size_t index = ns_primitives::first_non_finite(interleaved, count);
    if (index == count) return {};
    const auto frame = static_cast<sf_count_t>(index / channels);
    return std::string(std::isnan(interleaved[index]) ? "a NaN" : "an infinite") +
           " sample at frame " + std::to_string(frames_before + frame) + ", channel " +
           std::to_string(index % channels);
}

std::vector<std::string> sample_format_names() {
    std::vector<std::string> names;
    for (const named_format& format : k_sample_formats)
        names.emplace_back(format.name);
    return names;
}

output_encoding output_format(const std::string& path, const std::string& type, int input_format,
                              const std::string& sample_format, int channels, int sample_rate) {
    const container_choice choice = container_for(path, type);
    const int container = choice.container;
    const int carried = input_format & SF_FORMAT_SUBMASK;
    output_encoding chosen{container | carried, "", sample_rate};
    if (!sample_format.empty()) {
        chosen.format = container | sample_format_code(sample_format);
    } else if (choice.codec != 0) {
        chosen.format = container | choice.codec;
    } else if (is_lossy(carried) || !holds(chosen.format, channels, sample_rate)) {
        chosen.format = container | default_encoding(container);
        chosen.note = "OUTPUT is " + format_name(chosen.format & SF_FORMAT_SUBMASK) + ": a " +
                      format_name(container) + " file does not take INPUT's " +
                      format_name(carried) + " (--format chooses another)";
    }
    const int samples = chosen.format & SF_FORMAT_SUBMASK;
    if (!has_encoding(samples)) {
        // libsndfile cannot name what it was built without; --format can.
        const auto named =
            std::find_if(std::begin(k_sample_formats), std::end(k_sample_formats),
                         [samples](const named_format& format) { return format.code == samples; });
        throw file_error(failure::usage,
                         "OUTPUT " + in_quotes(path) + ": this libsndfile (" + library_version() +
                             ") was built without the " +
                             (named == std::end(k_sample_formats) ? format_name(samples)
                                                                  : std::string(named->name)) +
                             " encoder; choose another container or --format");
    }
    chosen.sample_rate = codec_rate(chosen.format, sample_rate);
    if (holds(chosen.format, channels, chosen.sample_rate)) return chosen;
    throw file_error(failure::usage,
                     "OUTPUT " + in_quotes(path) + ": a " + format_name(container) +
                         " file cannot hold " + std::to_string(channels) + " channels of " +
                         format_name(samples) + " at " + std::to_string(chosen.sample_rate) +
                         " Hz; --format chooses another sample format, --mix fewer channels");
}

sound_output::sound_output(const std::string& path, const output_description& description)
    : path_(path), target_(link_target(path)), channels_(description.channels) {
    SF_INFO info{};
    info.channels = description.channels;
    info.samplerate = description.sample_rate;
    info.format = description.format;
    info.frames = description.frames;
    const std::vector<int>& map = description.channel_map;
    if (!map.empty() && info.channels > 2 && (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV)
        info.format = SF_FORMAT_WAVEX | (info.format & SF_FORMAT_SUBMASK);
    if (is_standard_stream(path)) {
        file_ = open_output_stream(STDOUT_FILENO, "standard output", info, wav_channel_mask(map),
                                   wav_stream_);
    } else if (open_existing_stream()) {
        file_ = open_output_stream(stream_descriptor_, "OUTPUT " + in_quotes(path_), info,
                                   wav_channel_mask(map), wav_stream_);
    } else {
        open_temporary_file();
        if (is_riff(info.format) && riff_bytes_left(info.format, info.channels, info.frames) < 0) {
            info.format = SF_FORMAT_RF64 | (info.format & SF_FORMAT_SUBMASK);
            container_note_ = "OUTPUT is RF64: its data passes the 4 GiB a WAV file can hold";
        }
        file_ = sf_open_fd(descriptor_, SFM_WRITE, &info, SF_FALSE);
    }
    // A piped WAV marks its length unknown, which readers take as "to the end".
    if (is_riff(info.format) && !wav_stream_)
        riff_bytes_left_ = riff_bytes_left(info.format, info.channels, 0);
    format_ = info.format;
    if (!file_) {
        const std::string reason = sf_strerror(nullptr);
        discard();
        throw file_error(failure::output, "cannot write OUTPUT " + in_quotes(path) + ": " + reason);
    }
    // Containers without a map keep their own order, which the channels are already in.
    if (!map.empty())
        sf_command(file_, SFC_SET_CHANNEL_MAP_INFO, const_cast<int*>(map.data()),
                   static_cast<int>(map.size() * sizeof(int)));
    if (!set_codec_bitrate(file_, info.format, info.channels, info.samplerate,
                           description.bitrate)) {
        const std::string reason = sf_strerror(file_);
        discard();
        throw file_error(failure::output,
                         "cannot set the bitrate of OUTPUT " + in_quotes(path) + ": " + reason);
    }
    const std::string lost = write_metadata(file_, info.format, description.metadata);
    if (!lost.empty())
        metadata_lost_ = "OUTPUT's container, " + format_name(info.format & SF_FORMAT_TYPEMASK) +
                         ", does not keep INPUT's " + lost;
    // Filtering can push a signal past full scale; clip rather than wrap around, or crash an
    // encoder that indexes a table with the sample (libsndfile clips PCM only).
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const int samples = info.format & SF_FORMAT_SUBMASK;
    clamps_ = samples != SF_FORMAT_FLOAT && samples != SF_FORMAT_DOUBLE;
    follows_call_sizes_ = is_lossy(samples);
    // A PEAK chunk carries the time of writing, so the same samples would not give the same file.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

bool sound_output::open_existing_stream() {
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) != 0 || S_ISREG(existing.st_mode) ||
        S_ISDIR(existing.st_mode))
        return false;
    stream_descriptor_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (stream_descriptor_ < 0)
        throw system_failure(failure::output, "cannot write OUTPUT " + in_quotes(path_));
    return true;
}

void sound_output::open_temporary_file() {
    const std::filesystem::path target(target_);
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw file_error(failure::output, "OUTPUT " + in_quotes(path_) + " is a directory");
    // As cp does: a write-protected file is not the user's to replace (root may).
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        throw system_failure(failure::output, "cannot write OUTPUT " + in_quotes(path_));
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string file_name = target.filename().string();
    if (file_name.size() > name_limit(directory))
        throw file_error(failure::output, "OUTPUT " + in_quotes(path_) + ": its name is " +
                                              std::to_string(file_name.size()) +
                                              " bytes long; that directory takes at most " +
                                              std::to_string(name_limit(directory)));
    sweep_stale_temporaries(directory);
    descriptor_ = open_unnamed_temporary(directory);
    unnamed_ = descriptor_ >= 0;
    if (!unnamed_ && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw system_failure(failure::output, "cannot write OUTPUT " + in_quotes(path_) + " into " +
                                                  in_quotes(directory.string()));
    if (!unnamed_) descriptor_ = create_temporary_file(directory, file_name, temporary_path_);
    if (descriptor_ < 0)
        throw system_failure(failure::output, "cannot write OUTPUT " + in_quotes(path_) + " into " +
                                                  in_quotes(directory.string()));
    ::fchmod(descriptor_, mode_for_new_file(target_));
}

sound_output::~sound_output() {
    discard();
}

void sound_output::discard() noexcept {
    if (file_) sf_close(file_);
    file_ = nullptr;
    // Removed while still locked, so that no clean-up takes it for a dead writer's.
    if (!temporary_path_.empty()) ::unlink(temporary_path_.c_str());
    temporary_path_.clear();
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    if (stream_descriptor_ >= 0) ::close(stream_descriptor_);
    stream_descriptor_ = -1;
    remove_on_signal({});
}

void sound_output::write(const float* interleaved, sf_count_t frames) {
    if (riff_bytes_left_) {
        *riff_bytes_left_ -= frames * channels_ * bytes_per_sample(format_);
        if (*riff_bytes_left_ < 0)
            throw file_error(failure::output,
                             "OUTPUT " + in_quotes(path_) +
                                 " would pass the 4 GiB a WAV file can hold; give --type rf64 "
                                 "(or w64, caf) when INPUT's length is not known");
    }
    if (clamps_) {
        clamped_.assign(interleaved, interleaved + frames * channels_);
        for (float& sample : clamped_)
            sample = std::clamp(sample, -1.0f, 1.0f);
        interleaved = clamped_.data();
    }
    errno = 0;
    if (sf_writef_float(file_, interleaved, frames) != frames) {
        if (wav_stream_) wav_stream_->report_failure();
        // libsndfile's own text for a failed write is only "System error."; the errno it
        // leaves names the reason (a full disk, a file size limit).
        if (errno != 0)
            throw system_failure(failure::output, "cannot write OUTPUT " + in_quotes(path_));
        throw file_error(failure::output,
                         "cannot write OUTPUT " + in_quotes(path_) + ": " + sf_strerror(file_));
    }
    // The disk writes while the filter runs: the final fsync then takes milliseconds instead of
    // a tenth of a second for ten minutes of stereo float. Only a hint; commit() checks.
    samples_since_writeback_ += frames * channels_;
    if (descriptor_ < 0 || samples_since_writeback_ < k_writeback_samples) return;
    ::sync_file_range(descriptor_, 0, 0, SYNC_FILE_RANGE_WRITE);
    samples_since_writeback_ = 0;
}

void sound_output::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0)
        throw file_error(failure::output, "cannot finish OUTPUT " + in_quotes(path_) + ": " +
                                              sf_error_number(closed));
    if (wav_stream_) wav_stream_->finish();
    if (descriptor_ < 0) return; // a stream: nothing to rename
    // On disk before it takes OUTPUT's name, so a crash never leaves a truncated OUTPUT.
    if (::fsync(descriptor_) != 0)
        throw system_failure(failure::output, "cannot finish OUTPUT " + in_quotes(path_));
    const std::filesystem::path target(target_);
    if (unnamed_ &&
        !name_temporary_file(descriptor_, target.has_parent_path() ? target.parent_path() : ".",
                             target.filename().string(), temporary_path_))
        throw system_failure(failure::output,
                             "cannot name the finished file of OUTPUT " + in_quotes(path_));
    {
        // A signal now would find OUTPUT written and the registration gone, or neither.
        const signals_held held;
        if (::rename(temporary_path_.c_str(), target_.c_str()) != 0)
            throw system_failure(failure::output,
                                 "cannot rename the finished file to OUTPUT " + in_quotes(path_));
        temporary_path_.clear();
        remove_on_signal({});
        output_written();
    }
    // Closed only now: the lock stays until the file is OUTPUT, whose samples fsync has
    // already seen to the disk.
    ::close(std::exchange(descriptor_, -1));
    keep_name_durable();
}

// Until its directory reaches the disk a crash can still undo the rename, leaving the old
// OUTPUT (or none) under the name, whole either way. Filesystems that cannot sync a directory
// keep the rename as durable as they keep anything, so a failure here is not an error.
void sound_output::keep_name_durable() const {
    const std::filesystem::path directory = std::filesystem::path(target_).parent_path();
    const int descriptor =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

} // namespace ns_audio_files
