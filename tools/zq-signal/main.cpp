// zq-signal: the demo's test signal and level meter.
//
//   zq-signal demo OUT.wav [--seconds S]    tones at 50 Hz, 1 kHz and 10 kHz plus white noise,
//                                           stereo 32-bit float at 48 kHz
//   zq-signal levels BEFORE [AFTER]         level at each tone and broadband, in dBFS
//
// The levels are for people to read: each tone's RMS level measured with a Hann-windowed
// Goertzel filter, and the RMS of the whole signal, both averaged over the channels.
#include <CLI/CLI.hpp>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double k_pi = 3.14159265358979323846;
constexpr int k_rate = 48000;
constexpr int k_channels = 2;
constexpr double k_tone_amplitude = 0.25;
constexpr double k_noise_amplitude = 0.05; // uniform in -0.05 .. 0.05
constexpr double k_tones_hz[] = {50.0, 1000.0, 10000.0};
constexpr int k_tone_count = sizeof k_tones_hz / sizeof k_tones_hz[0];
constexpr sf_count_t k_block_frames = 4096;

struct file_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class sound_file {
public:
    sound_file(const std::string& path, int mode, SF_INFO info) : info_(info) {
        file_ = sf_open(path.c_str(), mode, &info_);
        if (!file_) throw file_error(path + ": " + sf_strerror(nullptr));
    }
    ~sound_file() { sf_close(file_); }
    sound_file(const sound_file&) = delete;
    sound_file& operator=(const sound_file&) = delete;

    const SF_INFO& info() const { return info_; }
    SNDFILE* get() const { return file_; }

private:
    SF_INFO info_;
    SNDFILE* file_;
};

void write_demo(const std::string& path, double seconds) {
    SF_INFO info{};
    info.channels = k_channels;
    info.samplerate = k_rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    const sound_file out(path, SFM_WRITE, info);
    std::vector<std::minstd_rand> noise(k_channels);
    for (int c = 0; c < k_channels; ++c)
        noise[c].seed(static_cast<unsigned>(c + 1));
    std::uniform_real_distribution<double> uniform(-k_noise_amplitude, k_noise_amplitude);
    const auto total = static_cast<sf_count_t>(seconds * k_rate);
    std::vector<float> block(k_block_frames * k_channels);
    for (sf_count_t start = 0; start < total; start += k_block_frames) {
        const sf_count_t frames = std::min(k_block_frames, total - start);
        for (sf_count_t f = 0; f < frames; ++f) {
            const double t = static_cast<double>(start + f) / k_rate;
            for (int c = 0; c < k_channels; ++c) {
                double sample = uniform(noise[c]);
                for (const double hz : k_tones_hz)
                    sample += k_tone_amplitude * std::sin(2.0 * k_pi * hz * t + 0.5 * c);
                block[f * k_channels + c] = static_cast<float>(sample);
            }
        }
        if (sf_writef_float(out.get(), block.data(), frames) != frames)
            throw file_error(path + ": " + sf_strerror(out.get()));
    }
}

// Mean power of each tone and of the whole signal, over all channels.
struct levels {
    double tone_power[k_tone_count] = {};
    double total_power = 0.0;
};

class goertzel {
public:
    explicit goertzel(double cycles_per_sample)
        : coefficient_(2.0 * std::cos(2.0 * k_pi * cycles_per_sample)) {}
    void add(double x) {
        const double s = x + coefficient_ * s1_ - s2_;
        s2_ = s1_;
        s1_ = s;
    }
    double magnitude_squared() const { return s1_ * s1_ + s2_ * s2_ - coefficient_ * s1_ * s2_; }

private:
    double coefficient_;
    double s1_ = 0.0;
    double s2_ = 0.0;
};

levels measure(const std::string& path) {
    const sound_file in(path, SFM_READ, SF_INFO{});
    const int channels = in.info().channels;
    const double length = static_cast<double>(in.info().frames);
    std::vector<goertzel> filters;
    for (int c = 0; c < channels; ++c)
        for (const double hz : k_tones_hz)
            filters.emplace_back(hz / in.info().samplerate);
    double window_sum = 0.0;
    double square_sum = 0.0;
    sf_count_t position = 0;
    std::vector<float> block(k_block_frames * channels);
    while (const sf_count_t got = sf_readf_float(in.get(), block.data(), k_block_frames)) {
        for (sf_count_t f = 0; f < got; ++f, ++position) {
            const double phase = static_cast<double>(position) / (length - 1.0);
            const double window = 0.5 - 0.5 * std::cos(2.0 * k_pi * phase);
            window_sum += window;
            for (int c = 0; c < channels; ++c) {
                const double x = block[f * channels + c];
                square_sum += x * x;
                for (int t = 0; t < k_tone_count; ++t)
                    filters[c * k_tone_count + t].add(window * x);
            }
        }
    }
    if (position == 0) throw file_error(path + ": no samples");
    levels result;
    result.total_power = square_sum / (static_cast<double>(position) * channels);
    for (int c = 0; c < channels; ++c)
        for (int t = 0; t < k_tone_count; ++t) {
            // A sine of amplitude A gives |X| = A * window_sum / 2; its power is A² / 2.
            const double amplitude =
                2.0 * std::sqrt(filters[c * k_tone_count + t].magnitude_squared()) / window_sum;
            result.tone_power[t] += amplitude * amplitude / 2.0 / channels;
        }
    return result;
}

double decibels(double power) {
    return 10.0 * std::log10(std::max(power, 1e-30));
}

std::string tone_name(double hz) {
    char text[32];
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%g kHz tone", hz / 1000.0);
    else
        std::snprintf(text, sizeof text, "%g Hz tone", hz);
    return text;
}

void print_row(const std::string& name, const std::vector<double>& powers) {
    std::printf("  %-12s", name.c_str());
    for (const double power : powers)
        std::printf("  %7.1f dB", decibels(power));
    if (powers.size() == 2) {
        // Rounded first so that a change of nothing prints as +0.0, not -0.0.
        const double change = std::round(10.0 * (decibels(powers[1]) - decibels(powers[0])));
        std::printf("  %+7.1f dB", change / 10.0 + 0.0);
    }
    std::printf("\n");
}

void print_levels(const std::vector<std::string>& paths) {
    std::vector<levels> measured;
    for (const std::string& path : paths)
        measured.push_back(measure(path));
    std::printf("  %-12s  %10s", "level (dBFS)", "before");
    if (paths.size() == 2) std::printf("  %10s  %10s", "after", "change");
    std::printf("\n");
    for (int t = 0; t < k_tone_count; ++t) {
        std::vector<double> powers;
        for (const levels& each : measured)
            powers.push_back(each.tone_power[t]);
        print_row(tone_name(k_tones_hz[t]), powers);
    }
    std::vector<double> totals;
    for (const levels& each : measured)
        totals.push_back(each.total_power);
    print_row("broadband", totals);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("Test signal and level meter for the zq-filter demo.", "zq-signal");
    app.require_subcommand(1);
    std::string output;
    double seconds = 5.0;
    CLI::App* demo = app.add_subcommand("demo", "Write the demo signal (stereo float, 48 kHz)");
    demo->add_option("OUT", output, "WAV file to write")->required();
    demo->add_option("--seconds", seconds, "Length")
        ->capture_default_str()
        ->check(CLI::Range(0.001, 36000.0));
    std::vector<std::string> inputs;
    CLI::App* meter = app.add_subcommand("levels", "Print tone and broadband levels");
    meter->add_option("FILES", inputs, "One file, or BEFORE and AFTER")->required()->expected(1, 2);
    CLI11_PARSE(app, argc, argv);
    try {
        if (*demo)
            write_demo(output, seconds);
        else
            print_levels(inputs);
    } catch (const file_error& error) {
        std::fprintf(stderr, "zq-signal: error: %s\n", error.what());
        return 2;
    }
    return 0;
}
