#include "filter_file.h"

#include "channel_layouts.h"
#include "codec_bitrate.h"
#include "file_error.h"
#include "levels.h"
#include "pipeline.h"
#include "resampling_filter.h"
#include "sound_files.h"

#include <algorithm>
#include <new>
#include <utility>

namespace ns_audio_files {

namespace {

channel_conversion conversion_for(const channel_request& request, int input_channels) {
    if (request.mix_channels > 0)
        return channel_conversion::mix(input_channels, request.mix_channels, request.mix_pairs,
                                       request.matrix);
    if (!request.routes.empty()) return channel_conversion::route(input_channels, request.routes);
    return channel_conversion(input_channels);
}

// The most samples a block may hold (64 MiB of floats): frames per block times a wide
// stream's channels can ask for gigabytes, which the system may grant and then kill the
// process for touching, so the request is refused instead.
constexpr long long k_max_block_samples = 1LL << 24;

std::string block_size(int frames, int channels) {
    return "a block of " + std::to_string(frames) + " frames of " + std::to_string(channels) +
           " channels (" + std::to_string(frames * (channels * sizeof(float)) >> 20) + " MiB)";
}

// A block of `frames` frames of `channels` samples; its size is the user's to choose, so a
// refusal says what was asked for.
std::vector<float> sample_block(int frames, int channels) {
    if (static_cast<long long>(frames) * channels > k_max_block_samples)
        throw file_error(failure::usage, block_size(frames, channels) +
                                             " is more than the 64 MiB a block may take; choose "
                                             "fewer frames per block");
    try {
        return std::vector<float>(static_cast<std::size_t>(frames) * channels);
    } catch (const std::bad_alloc&) {
        throw file_error(failure::usage, "not enough memory for " + block_size(frames, channels) +
                                             "; choose fewer frames per block");
    }
}

// A container that promised more than the file holds: a warning, a refusal when strict.
std::string truncation_warning(const sound_input& input, bool strict) {
    const std::string shortfall = input.shortfall();
    if (shortfall.empty()) return {};
    const std::string message = "INPUT \"" + input.path() + "\" is truncated: " + shortfall;
    if (strict) throw file_error(failure::input, message + "; --strict refuses it");
    return message + "; all of them were filtered";
}

// Stops the run before a sample that is not a finite number reaches OUTPUT.
void require_finite(const float* samples, long frames, int channels, sf_count_t frames_before) {
    const std::string bad = first_non_finite(samples, frames, channels, frames_before);
    if (!bad.empty())
        throw file_error(failure::filter,
                         "the filter produced " + bad + "; OUTPUT was not written");
}

// Where the channels are before and after the conversion. A fixed mix takes INPUT's channels
// in the library's order of their layout and gives its own; routing leaves their places open.
struct channel_places {
    channel_order to_library; // INPUT into the library's order, for a fixed mix
    channel_positions converted;
    std::string assumed; // what the mix took an undeclared order to be, or empty
};

channel_places place_channels(const channel_request& request, const sound_input& input,
                              int converted_channels) {
    const int channels = input.channels();
    channel_places places;
    const channel_positions declared =
        input_positions(input.channel_map(), input.format() & SF_FORMAT_TYPEMASK, channels);
    places.converted = declared;
    if (!request.routes.empty()) places.converted.clear();
    if (request.mix_channels == 0 || converted_channels == channels) return places;
    if (!sums_channel_pairs(channels, converted_channels, request.mix_pairs) &&
        !library_positions(channels).empty())
        places.to_library = order_for_mixing(declared, channels, places.assumed);
    places.converted = library_positions(converted_channels);
    return places;
}

// The filter, resampled after it where OUTPUT's codec does not take the stream's rate.
std::unique_ptr<stream_filter> filter_for_output(const file_events& events,
                                                 const stream_facts& facts, int output_rate,
                                                 std::string& note) {
    std::unique_ptr<stream_filter> filter = events.make_filter(facts);
    if (output_rate == facts.sample_rate) return filter;
    note = "OUTPUT's codec takes " + std::to_string(output_rate) + " Hz: resampled from " +
           std::to_string(facts.sample_rate) + " Hz after the filter";
    return std::make_unique<resampling_filter>(std::move(filter), facts.channels, facts.sample_rate,
                                               output_rate);
}

// What happens to the samples besides the filter, in the order they meet it.
struct stream_stages {
    input_gain gain;
    channel_order to_library;
    channel_conversion conversion;
    channel_order to_container;
    output_levels levels;
};

struct frame_counts {
    sf_count_t read = 0;
    sf_count_t written = 0; // differs where OUTPUT is resampled
};

// Feeds INPUT through the stages and the filter into OUTPUT, the reading, the filtering and
// the writing overlapped (pipeline.h).
frame_counts filter_stream(sound_input& input, stream_stages& stages, stream_filter& filter,
                           sound_output& output, int block_frames,
                           const std::function<void(long long)>& progress) {
    const int channels = stages.conversion.output_channels();
    frame_counts counts;
    sf_count_t& prepared = counts.written;
    pipeline_stages pipeline;
    pipeline.allocate = sample_block;
    pipeline.read = [&input](float* block, long frames) {
        return static_cast<long>(input.read(block, frames));
    };
    pipeline.filter = [&](float* piece, long frames, const stream_filter::sink& emit) {
        stages.gain.apply(piece, static_cast<std::size_t>(frames) * input.channels());
        stages.to_library.apply_in_place(piece, frames);
        filter.filter(stages.conversion.convert(piece, frames), frames, emit);
    };
    pipeline.finish = [&filter](const stream_filter::sink& emit) { filter.finish(emit); };
    pipeline.prepare = [&](float* piece, long frames) {
        require_finite(piece, frames, channels, prepared);
        stages.to_container.apply_in_place(piece, frames);
        const std::size_t count = static_cast<std::size_t>(frames) * channels;
        const float* leveled = stages.levels.prepare(piece, count);
        if (leveled != piece) std::copy_n(leveled, count, piece);
        prepared += frames;
    };
    pipeline.write = [&output](const float* block, long frames) { output.write(block, frames); };
    counts.read = run_pipeline(
        pipeline, {input.channels(), channels, block_frames, output.follows_call_sizes()},
        [&progress](long long frames_done) {
            if (progress) progress(frames_done);
        });
    return counts;
}

} // namespace

channel_request read_channel_request(const std::string& mix_layout, bool mix_pairs,
                                     const std::string& mix_matrix_name,
                                     const std::string& routes) {
    channel_request request;
    if (!mix_layout.empty()) request.mix_channels = layout_channels(mix_layout);
    request.mix_pairs = mix_pairs;
    request.matrix = mix_matrix_named(mix_matrix_name);
    if (!routes.empty()) request.routes = parse_routes(routes);
    return request;
}

file_result filter_file(const file_job& job, const file_events& events) {
    input_gain gain(job.gain_db);
    sound_input input(job.input);
    if (input.is_same_file(job.output))
        throw file_error(failure::usage, "INPUT and OUTPUT are the same file (\"" + job.output +
                                             "\"); choose another OUTPUT");
    channel_conversion conversion = conversion_for(job.channels, input.channels());
    const stream_facts facts{conversion.output_channels(), input.sample_rate(), input.frames(),
                             input.streamed()};
    channel_places places = place_channels(job.channels, input, facts.channels);
    const output_encoding encoding = output_format(
        job.output, job.type, input.format(), job.sample_format, facts.channels, facts.sample_rate);
    channel_order to_container =
        order_for_container(places.converted, encoding.format & SF_FORMAT_TYPEMASK);

    const int bitrate =
        codec_bitrate(encoding.format, facts.channels, encoding.sample_rate, job.bitrate);

    sound_metadata metadata = input.metadata();
    metadata.settings_note = job.settings_note;
    std::string resampled;
    const std::unique_ptr<stream_filter> filter =
        filter_for_output(events, facts, encoding.sample_rate, resampled);
    sound_output output(job.output,
                        {encoding.format, facts.channels, encoding.sample_rate,
                         resampled_frames(input.frames(), facts.sample_rate, encoding.sample_rate),
                         to_container.applied_to(places.converted), std::move(metadata), bitrate});
    std::vector<std::string> notes;
    for (const std::string& note : {places.assumed, encoding.note, resampled,
                                    output.container_note(), output.metadata_lost()})
        if (!note.empty()) notes.push_back(note);
    if (events.started) events.started(facts, notes);

    stream_stages stages{std::move(gain), std::move(places.to_library), std::move(conversion),
                         std::move(to_container),
                         output_levels(encoding.format, input.format(), job.dither)};
    file_result result;
    result.stream = facts;
    const frame_counts counts =
        filter_stream(input, stages, *filter, output, job.block_frames, events.progress);
    result.frames = counts.written;
    result.sample_rate = encoding.sample_rate;
    result.truncation = truncation_warning(input, job.strict);
    output.commit();
    result.clipped = stages.levels.clipped();
    result.clip_report = stages.levels.clip_report(stages.gain);
    return result;
}

} // namespace ns_audio_files
