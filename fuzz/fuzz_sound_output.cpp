// The file layer's writing of OUTPUT from mutated choices: container (by extension), encoding,
// channel count, rate, bitrate, channel map and metadata, then a few blocks of samples and the
// commit, into a directory in memory where the system offers one. Every outcome is either a
// written file or a file_error; a crash, a leak or undefined behaviour in the file layer is a
// find.
#include <files/codec_bitrate.h>
#include <files/file_error.h>
#include <files/sound_files.h>

#include <engine/filter_engine>

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const k_extensions[] = {"wav", "w64",  "rf64", "aiff", "au",  "caf", "flac",
                                    "ogg", "opus", "mp3",  "raw",  "snd", "txt"};

ns_audio_files::sound_metadata metadata_from(FuzzedDataProvider& data) {
    ns_audio_files::sound_metadata metadata;
    for (int i = data.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        const int kind = data.ConsumeIntegralInRange<int>(SF_STR_FIRST, SF_STR_LAST);
        metadata.strings.emplace_back(kind, data.ConsumeRandomLengthString(64));
    }
    if (data.ConsumeBool()) {
        metadata.broadcast = std::make_unique<ns_audio_files::broadcast_info>();
        const std::string text = data.ConsumeRandomLengthString(256);
        metadata.broadcast->coding_history_size = static_cast<uint32_t>(text.size());
        std::copy(text.begin(), text.end(), metadata.broadcast->coding_history);
    }
    for (int i = data.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        SF_CUE_POINT cue{};
        cue.indx = data.ConsumeIntegral<int32_t>();
        cue.position = data.ConsumeIntegral<uint32_t>();
        cue.sample_offset = data.ConsumeIntegral<uint32_t>();
        metadata.cues.push_back(cue);
    }
    return metadata;
}

void write_output(FuzzedDataProvider& data, const std::string& directory) {
    const std::string path = directory + "/output." + data.PickValueInArray(k_extensions);
    const std::vector<std::string> formats = ns_audio_files::sample_format_names();
    const std::string sample_format =
        data.ConsumeBool()
            ? std::string()
            : formats[data.ConsumeIntegralInRange<std::size_t>(0, formats.size() - 1)];
    // Mostly the usual counts; now and then any the filter takes, past what Ogg can count (255).
    const int channels = data.ConsumeBool()
                             ? data.ConsumeIntegralInRange(1, 12)
                             : data.ConsumeIntegralInRange(13, ns_filter_engine::k_max_channels);
    const int rate = data.ConsumeIntegralInRange(1, 400000);
    const int input_format =
        SF_FORMAT_WAV | data.ConsumeIntegralInRange<int>(SF_FORMAT_PCM_S8, SF_FORMAT_DOUBLE);
    const ns_audio_files::output_encoding encoding =
        ns_audio_files::output_format(path, "", input_format, sample_format, channels, rate);

    ns_audio_files::output_description description;
    description.format = encoding.format;
    description.channels = channels;
    description.sample_rate = encoding.sample_rate;
    description.frames = data.ConsumeIntegralInRange<sf_count_t>(0, 4096);
    if (data.ConsumeBool())
        for (int channel = 0; channel < channels; ++channel)
            description.channel_map.push_back(
                data.ConsumeIntegralInRange<int>(SF_CHANNEL_MAP_INVALID, SF_CHANNEL_MAP_MAX - 1));
    description.bitrate =
        ns_audio_files::codec_bitrate(encoding.format, channels, encoding.sample_rate,
                                      data.ConsumeBool() ? 0 : data.ConsumeIntegralInRange(1, 600));
    description.metadata = metadata_from(data);

    ns_audio_files::sound_output output(path, description);
    const int blocks = data.ConsumeIntegralInRange(0, 3);
    for (int block = 0; block < blocks; ++block) {
        std::vector<float> samples(static_cast<std::size_t>(data.ConsumeIntegralInRange(0, 512)) *
                                   static_cast<std::size_t>(channels));
        // Samples reach the writer finite (the caller stops any other), within or beyond full
        // scale.
        for (float& sample : samples)
            sample = data.ConsumeFloatingPointInRange(-4.0f, 4.0f);
        output.write(samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    }
    output.commit();
    std::remove(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    // A directory of its own for each input, so that a run that ends by its time limit (when
    // libFuzzer skips atexit handlers) leaves nothing behind.
    std::string directory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    directory += "/zq-fuzz-output.XXXXXX";
    if (!mkdtemp(directory.data())) return 0;
    FuzzedDataProvider data(bytes, size);
    try {
        write_output(data, directory);
    } catch (const ns_audio_files::file_error&) {
    }
    rmdir(directory.c_str());
    return 0;
}
