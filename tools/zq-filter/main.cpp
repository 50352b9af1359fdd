// zq-filter: filters an audio file with the Butterworth filter its flags name (the engine's
// precise realization) or, with --exact or --set, runs the "zq.filter.audio.hl-pass" component
// over it exactly as a host runs it: load the module, attach the queues, configure, feed
// frames, write what comes out. Everything zq-filter and the component say goes to standard error;
// standard output carries only audio (OUTPUT "-"), --help and --version.
#include "build_description.h"
#include "component_host.h"
#include "option_suggestions.h"
#include "precise_filter.h"
#include "response_report.h"
#include "settings.h"
#include "soundness_gate.h"
#include "stdout_capture.h"
#include <files/file_error.h>
#include <files/filter_file.h>
#include <files/signals.h>
#include <files/sound_files.h>
#include <files/standard_streams.h>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

namespace {

using ns_audio_files::file_events;
using ns_audio_files::file_job;
using ns_audio_files::file_result;
using ns_audio_files::is_standard_stream;
using ns_audio_files::mix_matrix_names;
using ns_audio_files::read_channel_request;
using ns_audio_files::sample_format_names;
using ns_audio_files::stream_facts;
using ns_audio_files::stream_filter;

constexpr int k_default_frames = 1024;
constexpr int k_max_frames = 1 << 20;
constexpr int k_default_order = 4;
constexpr double k_default_response_rate = 48000.0;
// Shorter files finish before a progress display would be worth drawing.
constexpr double k_progress_from_seconds = 5.0;

struct options {
    std::string input;
    std::string output;
    std::string module;
    std::string sample_format;
    std::string type;
    std::vector<std::string> assignments;
    std::string highpass_hz;
    std::string lowpass_hz;
    std::string gain_db;
    bool no_dither = false;
    std::string mix_layout;
    bool mix_pairs = false;
    std::string mix_matrix = "standard";
    std::string routes;
    int frames = k_default_frames;
    bool precise = false;
    bool exact = false;
    int order = k_default_order;
    bool order_given = false;
    bool strict = false;
    int bitrate = 0;      // 0: the codec's default
    std::string response; // "", "text" or "csv"
    double response_rate = k_default_response_rate;
    bool quiet = false;
    bool version = false;
};

constexpr char k_footer[] = R"(The filter:
  --highpass F and --lowpass F give a Butterworth filter with -3 dB at F, order 4 per side
  (--order 2, 4, 6 or 8), designed and run in double precision, at any rate from 8 kHz to
  384 kHz and cut-offs from 10 Hz to 0.49 x rate; both together make a band-pass (the
  high-pass cut-off below the low-pass one). --precise names this default.

The component's design (--exact, or any --set):
  The same flags as the component's settings, run by the component itself, bit for bit: its
  single-precision designs of order 4, where a high-pass below 0.015 x rate is two identical
  second-order sections (-6 dB at the cut-off, -3 dB higher up), a band's high-pass side is
  second order below 0.01 x rate, and a band with both cut-offs below 0.005 x rate is its
  low-pass alone. Its cut-offs: high-pass 50 Hz .. 0.45 x rate, low-pass 200 Hz .. 0.45 x
  rate. Where that design is unsound (unstable, a boost, a broken passband) zq-filter refuses
  before writing anything; where it only loses stopband depth it warns (--strict refuses).
  --response [--rate R | INPUT] shows what the settings do in both, the one that runs first.

Settings, as the component reads them (--set, which runs the component):
  hPass=0|1         high-pass on or off
  lPass=0|1         low-pass on or off
  hFrequency=HZ     high-pass cut-off in Hz, 50 .. 0.45 x rate
  lFrequency=KHZ    low-pass cut-off in kHz (!), 0.2 .. 0.00045 x rate

Levels:
  --gain DB         Scales INPUT before the filter (and before --mix or --route).
  Samples past full scale of an integer OUTPUT are clipped and counted at the end. TPDF dither
  is added when OUTPUT is 16-bit (or 8-bit) PCM and INPUT had more bits (--no-dither: none);
  float and 24/32-bit OUTPUTs are never dithered.

Lossy OUTPUT:
  --bitrate KBPS    MP3: constant bitrate (default 128 kb/s; 32 .. 320 from 32 kHz, 8 .. 160
                    from 16 kHz, 8 .. 64 below). Opus: the encoder's variable bitrate aims at
                    it (default 64 kb/s mono, 48 kb/s a channel above: 96 stereo; 6 .. 256 a
                    channel). Vorbis: the quality whose nominal bitrate it is (default quality
                    4, about 128 kb/s stereo at 44.1 kHz). Refused for other OUTPUTs.
  Opus takes 8, 12, 16, 24 and 48 kHz only, MP3 8, 11.025, 12, 16, 22.05, 24, 32, 44.1 and
  48 kHz: another rate is resampled after the filter to the nearest above it, or 48 kHz
  (libsoxr, high quality), and a note says so.

Channels, converted before the filter (OUTPUT has the converted channels):
  --mix LAYOUT      mono, stereo, 5.0, 5.1, 7.1 or a channel count, in the orders
                    5.0 C L R Ls Rs, 5.1 C L R Ls Rs LFE, 7.1 C L R Lside Rside Ls Rs LFE.
                    5.0, 5.1 and 7.1 mix down to stereo and mono (see --mix-matrix); mono
                    and stereo mix to each other and up to 5.0, 5.1 and 7.1; 5.1 to 5.0
                    (drops the LFE) and 7.1; 7.1 to 5.1; an even count of 10 or more to
                    stereo by pairs. INPUT already in LAYOUT passes through untouched; any
                    other combination is refused, listing the layouts INPUT can be mixed to.
                    INPUT's channels are taken from where its channel map (or its container,
                    FLAC or Ogg) places them; a file that declares nothing is taken in these
                    orders.
  --mix-matrix standard|library
                    The down-mix to stereo and mono from 5.0, 5.1 and 7.1; every other mix
                    is the channel library's either way.
                    standard (the default, ITU-R BS.775): each side keeps its own channels,
                    the centre and surrounds at g = 0.7071 (1/sqrt 2, -3 dB), no LFE:
                      5.0, 5.1  L' = L + g C + g Ls            R' = R + g C + g Rs
                      7.1       L' = L + g C + g Lside + g Ls  R' = R + g C + g Rside + g Rs
                      mono      M = (L' + R') x 0.5
                    library (the channel library's): every channel but L and R into both
                    sides, with s = 0.3535 (C + Ls + Rs + LFE):
                      5.0       L' = 0.5 L + s, s without LFE  R' = 0.5 R + s
                      5.1       L' = 0.4143 L + s              R' = 0.4143 R + s
                      7.1       L' = 0.5 (L + Lside) + s       R' = 0.5 (R + Rside) + s
                      mono      5.1: M = 0.166 x the sum of all six; 7.1: 0.125 x all eight;
                                5.0: none
  --pairs           With --mix stereo from an even count: L = ch0 + ch2 + ..., R = ch1 + ch3
                    + ..., without gain (instead of the 5.1 or 7.1 down-mix).
  --route IN:OUT,..
                    Sends channel IN of INPUT to channel OUT, both counted from 0 and at most 7
                    (the routing map is 8 x 8); the stream gets the highest OUT + 1 channels.
                    An OUT fed by several inputs is their average, one fed by none is silent,
                    and channels not routed are dropped. Not together with --mix.
  Down-mixes add channels and nothing scales them back: they can exceed full scale (the
  standard 7.1 one up to 3.12 x, +9.9 dB); integer OUTPUT clips, float keeps it all.
  OUTPUT keeps its channels in its container's order (a WAV's 5.1: L R C LFE Ls Rs) and
  declares them where the container can (WAV, CAF, AIFF).

Examples:
  zq-filter --highpass 300 --lowpass 4000 in.wav out.wav      band-pass 300 Hz .. 4 kHz
  zq-filter --highpass 80 --lowpass 12k in.flac out.flac      units: Hz, k or kHz
  zq-filter --highpass 20 --order 2 in.wav out.wav           rumble filter, second order
  zq-filter --exact --highpass 300 in.wav out.wav             the component's design
  zq-filter --set hPass=1 --set hFrequency=80 in.wav out.wav  the component, high-pass at 80 Hz
  zq-filter --lowpass 8000 --format pcm16 in.wav out.wav      low-pass, 16-bit, dithered
  zq-filter --gain -3 --lowpass 4000 in.wav out.mp3           3 dB of headroom, MP3 out
  sox in.wav -t wav - | zq-filter --lowpass 4k - - | play -   through pipes (WAV)
  zq-filter --mix stereo --highpass 80 in71.wav out.wav       7.1 to stereo, then high-pass
  zq-filter --mix stereo --pairs in12ch.wav out.wav           12 channels summed by pairs
  zq-filter --route 0:0,0:1 mono.wav dual.wav                 mono copied to two channels
  zq-filter --route 1:0,0:1 in.wav swapped.wav                left and right swapped

OUTPUT is written to a temporary file beside it and takes its name only when complete; on any
failure an existing OUTPUT is left as it was, and not even SIGKILL strands the temporary file
where the file system has unnamed ones (elsewhere the next run clears it away). A symbolic
link is written through to its target; a device or a FIFO is written into, as standard output
is; a write-protected OUTPUT is refused, as cp refuses it. A .wav whose data passes 4 GiB
becomes RF64 (from a pipe, whose length is not known, it is refused at 4 GiB). Through a
pipe, INPUT may be WAV, AIFF, AU, W64, Ogg or MP3, and OUTPUT wav, flac, ogg, opus, mp3 or au;
a redirected file takes any.

Exit status:
  0  success
  1  bad command line or setting, settings the component cannot filter soundly, an OUTPUT
     container, --format or --bitrate libsndfile cannot write, or a --mix or --route INPUT's
     channels do not allow
  2  INPUT missing, unreadable, not audio, with a channel count the filter refuses, holding
     a NaN or infinite sample, or shorter than its header declares (with --strict)
  3  OUTPUT or standard output cannot be written (a closed pipe, a full disk, ulimit -f)
  4  the component module cannot be loaded, or the filter failed (a non-finite sample)
  130, 143  interrupted by SIGINT or SIGTERM (also while waiting on a pipe); nothing written
)";

// What zq-filter prints on standard output (--version, --response) is its answer: losing it is
// a failure to write.
void flush_standard_output() {
    if (std::fflush(stdout) != 0)
        throw file_error(failure::output,
                         std::string("cannot write standard output: ") + std::strerror(errno));
}

// CLI11 would call "abc" out of range; say what is wrong with it.
const CLI::Validator k_whole_number(
    [](std::string& text) {
        const bool digits =
            !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        return digits ? std::string() : "\"" + text + "\" is not a whole number";
    },
    "N");

void define_options(CLI::App& app, options& chosen) {
    app.add_option("INPUT", chosen.input,
                   "Audio file to filter (any format libsndfile reads), - for standard input");
    app.add_option("OUTPUT", chosen.output,
                   "File to write; its extension chooses the container (.wav, .flac, .ogg, "
                   ".opus, .mp3, ...); - for standard output");
    app.add_option("--highpass", chosen.highpass_hz, "Butterworth high-pass, -3 dB at HZ")
        ->type_name("HZ");
    app.add_option("--lowpass", chosen.lowpass_hz, "Butterworth low-pass, -3 dB at HZ")
        ->type_name("HZ");
    app.add_option("--gain", chosen.gain_db, "Gain before the filter, -120 .. 120 dB")
        ->type_name("DB");
    app.add_flag("--no-dither", chosen.no_dither,
                 "No TPDF dither when OUTPUT has 16 bits or fewer and INPUT more");
    app.add_option("-s,--set", chosen.assignments,
                   "Component setting, repeatable; runs the component")
        ->type_name("KEY=VALUE")
        ->allow_extra_args(false)
        ->take_all();
    CLI::Option* mix =
        app.add_option("--mix", chosen.mix_layout, "Mix INPUT's channels to LAYOUT first")
            ->type_name("LAYOUT");
    app.add_flag("--pairs", chosen.mix_pairs, "With --mix stereo: sum channel pairs")->needs(mix);
    app.add_option("--mix-matrix", chosen.mix_matrix,
                   "Down-mix to stereo and mono from 5.0, 5.1 and 7.1")
        ->type_name("standard|library")
        ->capture_default_str()
        ->check(CLI::IsMember(mix_matrix_names()))
        ->needs(mix);
    app.add_option("--route", chosen.routes, "Route INPUT's channels first")
        ->type_name("IN:OUT,...")
        ->excludes(mix);
    app.add_option("--format", chosen.sample_format, "Sample format of OUTPUT (default: INPUT's)")
        ->type_name("NAME")
        ->check(CLI::IsMember(sample_format_names()));
    app.add_option("-t,--type", chosen.type,
                   "Container of OUTPUT instead of its extension's (wav for -)")
        ->type_name("EXT");
    app.add_option("--bitrate", chosen.bitrate, "Bitrate of an MP3, Opus or Vorbis OUTPUT")
        ->type_name("KBPS")
        ->check(k_whole_number)
        ->check(CLI::Range(1, 100000));
    app.add_option("--frames", chosen.frames, "Samples per channel in each frame handed over")
        ->type_name("N")
        ->capture_default_str()
        ->check(k_whole_number)
        ->check(CLI::Range(1, k_max_frames));
    app.add_flag("--precise", chosen.precise, "The Butterworth design (the default)");
    app.add_flag("--exact", chosen.exact,
                 "The component's own design instead, bit for bit (--highpass: hPass=1, "
                 "hFrequency=HZ; --lowpass: lPass=1, lFrequency=HZ/1000)");
    app.add_option("--order", chosen.order, "Order of each side of the Butterworth design")
        ->type_name("2|4|6|8")
        ->capture_default_str()
        ->check(CLI::IsMember({2, 4, 6, 8}))
        ->each([&chosen](const std::string&) { chosen.order_given = true; });
    app.add_flag("--strict", chosen.strict,
                 "Refuse settings the component's design only degrades, and a truncated INPUT");
    app.add_option("--response", chosen.response,
                   "Print the response of the settings (text, or csv) instead of filtering")
        ->type_name("[=csv]")
        ->expected(0, 1)
        ->check(CLI::IsMember({"text", "csv"}));
    app.add_option("--rate", chosen.response_rate, "Sample rate for --response without INPUT")
        ->type_name("HZ")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    app.add_option("--module", chosen.module,
                   "Component module to load (default: the one installed beside zq-filter)")
        ->type_name("PATH");
    app.add_flag("-q,--quiet", chosen.quiet, "No progress display or summary");
    app.add_flag("--version", chosen.version, "Print the version and the module's banner");
    app.footer(k_footer);
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Percent done and speed as a multiple of real time, redrawn a few times a second.
class progress_display {
public:
    progress_display(bool shown, long long total_frames, double sample_rate)
        : shown_(shown), total_frames_(total_frames), sample_rate_(sample_rate) {}
    ~progress_display() { erase(); }
    progress_display(const progress_display&) = delete;
    progress_display& operator=(const progress_display&) = delete;

    void update(long long frames_done) {
        if (!shown_ || seconds_since(last_drawn_) < 0.25) return;
        last_drawn_ = std::chrono::steady_clock::now();
        const double elapsed = seconds_since(start_);
        const auto done = static_cast<double>(frames_done);
        std::fprintf(stderr, "\rzq-filter: %3.0f%%  %.0fx real time",
                     100.0 * done / static_cast<double>(total_frames_),
                     done / sample_rate_ / elapsed);
        drawn_ = true;
    }

private:
    void erase() {
        if (drawn_) std::fputs("\r\033[K", stderr);
    }

    bool shown_;
    bool drawn_ = false;
    long long total_frames_;
    double sample_rate_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_drawn_ = start_;
};

// Shorter files, pipes and a redirected standard error go without it.
bool shows_progress(const options& chosen, const stream_facts& stream) {
    return !chosen.quiet && !stream.streamed && ::isatty(STDERR_FILENO) != 0 &&
           static_cast<double>(stream.declared_frames) >
               k_progress_from_seconds * stream.sample_rate;
}

void print_version(const options& chosen) {
    std::printf("%s\n", build_description().c_str());
    const std::string path = chosen.module.empty() ? default_module_path() : chosen.module;
    const component_module module(path);
    const std::string banner = module.banner();
    std::printf("module %s\n  %s\n", path.c_str(), banner.empty() ? "(no banner)" : banner.c_str());
}

// --exact, and --set which speaks the component's language, run the component.
bool runs_exact(const options& chosen) {
    return chosen.exact || !chosen.assignments.empty();
}

ns_filter_engine::realization realization_of(const options& chosen) {
    return runs_exact(chosen) ? ns_filter_engine::realization::exact
                              : ns_filter_engine::realization::precise;
}

// What a refusal of the component's design suggests instead.
std::string butterworth_way_out(const options& chosen) {
    return chosen.exact ? "drop --exact for the Butterworth design"
                        : "give --highpass/--lowpass without --set for the Butterworth design";
}

// The exact realization is the component itself, loaded as a host loads it, and only once
// what it is asked to do has passed the soundness check: a refused run never configures it.
std::unique_ptr<stream_filter> exact_filter_for(const options& chosen, const stream_facts& stream,
                                                checked_configuration& configuration,
                                                std::unique_ptr<component_module>& module,
                                                std::string& component_said) {
    configuration.explain_bounds_with(butterworth_way_out(chosen) +
                                      ", which takes 10 Hz .. 0.49 x rate");
    check_exact_request(stream.sample_rate, stream.channels,
                        requested_filter(configuration, ns_filter_engine::limits_for(
                                                            ns_filter_engine::realization::exact,
                                                            stream.sample_rate)),
                        chosen.strict, butterworth_way_out(chosen));
    module = std::make_unique<component_module>(chosen.module.empty() ? default_module_path()
                                                                      : chosen.module);
    stdout_capture capture;
    auto session = std::make_unique<filter_session>(*module, stream.channels, stream.sample_rate,
                                                    configuration);
    component_said = capture.release();
    return session;
}

file_job job_of(const options& chosen) {
    file_job job;
    job.input = chosen.input;
    job.output = chosen.output;
    job.type = chosen.type;
    job.sample_format = chosen.sample_format;
    job.gain_db = chosen.gain_db;
    job.dither = !chosen.no_dither;
    job.channels =
        read_channel_request(chosen.mix_layout, chosen.mix_pairs, chosen.mix_matrix, chosen.routes);
    job.block_frames = chosen.frames;
    job.strict = chosen.strict;
    job.bitrate = chosen.bitrate;
    return job;
}

void filter_file(const options& chosen) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<setting> settings =
        collect_settings(chosen.assignments, chosen.highpass_hz, chosen.lowpass_hz);
    const file_job job = job_of(chosen);
    std::unique_ptr<component_module> module; // outlives the filter it makes
    std::unique_ptr<checked_configuration> configuration;
    std::string component_said; // shown once OUTPUT is open, so a failure says one line
    std::unique_ptr<progress_display> progress;
    file_events events;
    events.make_filter = [&](const stream_facts& stream) -> std::unique_ptr<stream_filter> {
        configuration =
            std::make_unique<checked_configuration>(std::move(settings), stream.sample_rate);
        if (!runs_exact(chosen))
            return precise_filter_for(stream.channels, stream.sample_rate, chosen.order,
                                      *configuration);
        return exact_filter_for(chosen, stream, *configuration, module, component_said);
    };
    events.started = [&](const stream_facts& stream, const std::vector<std::string>& notes) {
        progress = std::make_unique<progress_display>(shows_progress(chosen, stream),
                                                      stream.declared_frames, stream.sample_rate);
        if (chosen.quiet) return;
        std::fputs(component_said.c_str(), stderr);
        for (const std::string& note : notes)
            std::fprintf(stderr, "zq-filter: %s\n", note.c_str());
    };
    events.progress = [&progress](long long frames_done) { progress->update(frames_done); };
    const file_result result = ns_audio_files::filter_file(job, events);
    progress.reset();
    if (!result.truncation.empty())
        std::fprintf(stderr, "zq-filter: warning: %s\n", result.truncation.c_str());
    if (!result.clip_report.empty())
        std::fprintf(stderr, "zq-filter: %s\n", result.clip_report.c_str());

    if (chosen.quiet) return;
    const double elapsed = seconds_since(started);
    const int rate = result.sample_rate;
    std::fprintf(stderr,
                 "zq-filter: wrote %s: %lld frames of %d channels at %d Hz in %.2f s (%.0fx real "
                 "time)\n",
                 is_standard_stream(chosen.output) ? "standard output" : chosen.output.c_str(),
                 result.frames, result.stream.channels, rate, elapsed,
                 static_cast<double>(result.frames) / rate / elapsed);
}

// The rate --response shows: INPUT's when given, --rate's otherwise.
double response_rate(const options& chosen) {
    if (chosen.input.empty()) return chosen.response_rate;
    return ns_audio_files::sound_input(chosen.input).sample_rate();
}

// --response: the settings read as the filter would read them, at --rate, with the wider of
// the two realizations' bounds so that either column can show what it does.
void print_response(const options& chosen) {
    const double rate = response_rate(chosen);
    checked_configuration configuration(
        collect_settings(chosen.assignments, chosen.highpass_hz, chosen.lowpass_hz), rate);
    const ns_filter_engine::filter_request request = requested_filter(
        configuration, ns_filter_engine::limits_for(ns_filter_engine::realization::precise, rate));
    if (chosen.response == "csv")
        print_response_csv(stdout, rate, request, chosen.order, realization_of(chosen));
    else
        print_response_table(stdout, rate, request, chosen.order, realization_of(chosen));
}

// Options that ask for both realizations at once, or for what the chosen one lacks.
void refuse_contradictions(const CLI::App& app, const options& chosen) {
    const bool set = !chosen.assignments.empty();
    if (chosen.exact && chosen.precise)
        throw CLI::ValidationError("--exact and --precise name different designs; give one");
    if (set && chosen.precise)
        throw CLI::ValidationError("--set gives the component's settings and runs the component; "
                                   "--precise takes --highpass and --lowpass");
    if (chosen.order_given && runs_exact(chosen))
        throw CLI::ValidationError(std::string("--order sets the Butterworth design's order; ") +
                                   (set ? "--set" : "--exact") +
                                   " runs the component, whose order is its own");
    if (!chosen.response.empty() && !chosen.output.empty())
        throw CLI::ValidationError("--response writes no OUTPUT; give INPUT alone for its rate");
    if (!chosen.response.empty() && !chosen.input.empty() && app.count("--rate") > 0)
        throw CLI::ValidationError("--rate and INPUT both give the rate for --response; give one");
}

int report(const char* message, int exit_status) {
    std::fprintf(stderr, "zq-filter: error: %s\n", message);
    return exit_status;
}

std::vector<std::string> long_option_names(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options())
        for (const std::string& name : option->get_lnames())
            names.push_back(name);
    return names;
}

} // namespace

int run(int argc, char** argv) {
    CLI::App app("Filters an audio file with Butterworth high-, low- or band-pass filters, or with "
                 "the zq.filter.audio.hl-pass component.",
                 "zq-filter");
    options chosen;
    define_options(app, chosen);
    const std::string mistyped = unknown_option({argv + 1, argv + argc}, long_option_names(app));
    if (!mistyped.empty()) return report(mistyped.c_str(), static_cast<int>(failure::usage));
    try {
        app.parse(argc, argv);
        if (app.count("--response") > 0 && chosen.response.empty()) chosen.response = "text";
        if (!chosen.version && chosen.response.empty() && chosen.output.empty())
            throw CLI::ValidationError("INPUT and OUTPUT are required");
        refuse_contradictions(app, chosen);
    } catch (const CLI::CallForHelp& request) {
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        return report((std::string(error.what()) + " (see zq-filter --help)").c_str(),
                      static_cast<int>(failure::usage));
    }
    ns_audio_files::handle_signals();
    try {
        if (chosen.version)
            print_version(chosen);
        else if (!chosen.response.empty())
            print_response(chosen);
        else
            filter_file(chosen);
        flush_standard_output();
        return 0;
    } catch (const file_error& error) {
        return report(error.what(), error.exit_status());
    } catch (const std::bad_alloc&) {
        return report("out of memory", static_cast<int>(failure::filter));
    } catch (const std::exception& error) {
        return report(error.what(), static_cast<int>(failure::filter));
    }
}

} // namespace zq_tool

int main(int argc, char** argv) {
    return zq_tool::run(argc, argv);
}
