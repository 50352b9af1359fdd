// Filtering one audio file into another, the way every front-end does it: INPUT opened and
// checked, its channels converted (--mix, --route), the stream filtered on three threads, the
// levels (gain, clip count, dither) and channel order OUTPUT's encoding asks for, metadata
// carried over, the filtered stream resampled for a codec that does not take its rate (Opus),
// and OUTPUT written beside itself and renamed only when complete. The caller
// brings the filter for the converted stream and decides what the user sees; every failure is
// a file_error telling its kind.
#pragma once

#include "channel_conversion.h"
#include "stream_filter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ns_audio_files {

// The channel conversion asked for, read before INPUT is opened so that a mistyped layout
// or route is reported before anything is read.
struct channel_request {
    int mix_channels = 0;                     // 0 without a mix
    bool mix_pairs = false;                   // stereo from an even count by summing pairs
    mix_matrix matrix = mix_matrix::standard; // --mix down to stereo and mono
    std::vector<channel_route> routes;        // empty without routing
};

// `mix_layout` as layout_channels() takes it ("" for no mix), `mix_matrix_name` as
// mix_matrix_named() takes it, `routes` as parse_routes() takes it ("" for none).
channel_request read_channel_request(const std::string& mix_layout, bool mix_pairs,
                                     const std::string& mix_matrix_name, const std::string& routes);

struct file_job {
    std::string input;  // a path, or "-" for standard input
    std::string output; // a path, or "-" for standard output
    std::string type;   // OUTPUT's container instead of its extension's; "" for the extension's
    std::string sample_format; // one of sample_format_names(), "" to choose (output_format())
    std::string gain_db;       // gain before the filter, as input_gain takes it; "" for none
    bool dither = true;        // TPDF dither into 16 bits or fewer from more
    channel_request channels;
    int block_frames = 1024; // frames handed to the filter at a time
    bool strict = false;     // refuse a truncated INPUT instead of warning
    int bitrate = 0;         // kb/s of an MP3, Opus or Vorbis OUTPUT; 0 for the default
    // What made OUTPUT, as the last line of its comment where the container keeps strings (a
    // batch tells its finished outputs by it); "" for none, which keeps OUTPUT as zq-filter
    // writes it.
    std::string settings_note;
};

// What the stream is, once INPUT is open and its channels converted.
struct stream_facts {
    int channels = 0;              // after the conversion: the filter's and OUTPUT's
    int sample_rate = 0;           // the filter's; OUTPUT's may differ (a note says so)
    long long declared_frames = 0; // as INPUT's header states it; 0 when not known
    bool streamed = false;         // INPUT is a pipe
};

struct file_events {
    // The filter for the stream; throws file_error to refuse it. Called before OUTPUT exists,
    // so a refusal leaves nothing behind.
    std::function<std::unique_ptr<stream_filter>(const stream_facts&)> make_filter;
    // OUTPUT is open and the run begins: what the user should know first (the channel order
    // assumed, an encoding changed, a rate changed for the codec, metadata the container
    // cannot keep).
    std::function<void(const stream_facts&, const std::vector<std::string>& notes)> started;
    // After each block, the frames filtered so far. May be empty.
    std::function<void(long long frames_done)> progress;
};

struct file_result {
    long long frames = 0; // per channel, as written
    int sample_rate = 0;  // OUTPUT's
    stream_facts stream;
    long long clipped = 0;   // samples an integer OUTPUT clipped
    std::string clip_report; // what clipped and the gain that avoids it; empty for none
    std::string truncation;  // INPUT held fewer frames than its header declares; or empty
};

// Filters job.input into job.output. Throws file_error: usage for a setting, a channel
// conversion, an encoding or a bitrate that cannot be, input for what INPUT holds (a NaN or
// infinite sample, a truncation under `strict`), output for what cannot be written, filter for a
// sample the filter made non-finite; whatever make_filter throws passes through. OUTPUT is
// untouched by any failure.
file_result filter_file(const file_job& job, const file_events& events);

} // namespace ns_audio_files
