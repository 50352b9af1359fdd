#include "levels.h"

#include "file_error.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ns_audio_files {

namespace {

constexpr double k_gain_limit_db = 120.0;

struct encoding_bits {
    int encoding;
    int bits;
};

// Linear PCM encodings and their resolution; the dither's step is one of their least
// significant bits.
constexpr encoding_bits k_linear_bits[] = {
    {SF_FORMAT_PCM_S8, 8},   {SF_FORMAT_PCM_U8, 8},   {SF_FORMAT_DPCM_8, 8},
    {SF_FORMAT_DWVW_12, 12}, {SF_FORMAT_PCM_16, 16},  {SF_FORMAT_DPCM_16, 16},
    {SF_FORMAT_DWVW_16, 16}, {SF_FORMAT_ALAC_16, 16}, {SF_FORMAT_ALAC_20, 20},
    {SF_FORMAT_PCM_24, 24},  {SF_FORMAT_DWVW_24, 24}, {SF_FORMAT_ALAC_24, 24},
    {SF_FORMAT_PCM_32, 32},  {SF_FORMAT_ALAC_32, 32}};

// Encodings that hold samples beyond full scale, or whose decoders see to it themselves.
constexpr int k_unclipped[] = {
    SF_FORMAT_FLOAT,        SF_FORMAT_DOUBLE,        SF_FORMAT_VORBIS,        SF_FORMAT_OPUS,
    SF_FORMAT_MPEG_LAYER_I, SF_FORMAT_MPEG_LAYER_II, SF_FORMAT_MPEG_LAYER_III};

// The linear resolution of an encoding, 0 for one that is not linear PCM.
int linear_bits(int format) {
    for (const encoding_bits& each : k_linear_bits)
        if (each.encoding == (format & SF_FORMAT_SUBMASK)) return each.bits;
    return 0;
}

// What INPUT resolved: float and the lossy codecs decode to more than any 16-bit OUTPUT keeps,
// companded and ADPCM encodings to no more than 16 bits.
int input_bits(int format) {
    const int bits = linear_bits(format);
    if (bits > 0) return bits;
    const int encoding = format & SF_FORMAT_SUBMASK;
    return std::count(std::begin(k_unclipped), std::end(k_unclipped), encoding) ? 32 : 16;
}

} // namespace

input_gain::input_gain(const std::string& decibels) {
    if (decibels.empty()) return;
    char* end = nullptr;
    errno = 0;
    decibels_ = std::strtod(decibels.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !(std::fabs(decibels_) <= k_gain_limit_db))
        throw file_error(failure::usage,
                         "--gain " + decibels + ": give decibels from -120 to 120, e.g. -3");
    factor_ = static_cast<float>(std::pow(10.0, decibels_ / 20.0));
}

void input_gain::apply(float* samples, std::size_t count) const {
    if (decibels_ == 0.0) return;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] *= factor_;
}

output_levels::output_levels(int output_format, int input_format, bool dither_allowed)
    : counts_(std::count(std::begin(k_unclipped), std::end(k_unclipped),
                         output_format & SF_FORMAT_SUBMASK) == 0) {
    const int bits = linear_bits(output_format);
    if (dither_allowed && bits > 0 && bits <= 16 && input_bits(input_format) > bits)
        // libsndfile scales full scale to 2^(bits - 1); the halves count in 2^16ths.
        dither_scale_ = std::ldexp(1.0f, 1 - bits - 16);
}

const float* output_levels::prepare(const float* samples, std::size_t count) {
    if (counts_) {
        samples_ += count;
        for (std::size_t i = 0; i < count; ++i) {
            const float magnitude = std::fabs(samples[i]);
            clipped_ += magnitude > 1.0f;
            peak_ = std::max(peak_, magnitude);
        }
    }
    if (!dithers()) return samples;
    dithered_.resize(count);
    std::size_t i = 0;
    for (; i + k_lanes <= count; i += k_lanes)
        for (std::size_t lane = 0; lane < k_lanes; ++lane)
            dithered_[i + lane] = with_dither(samples[i + lane], lanes_[lane]);
    for (std::size_t lane = 0; i < count; ++i, ++lane)
        dithered_[i] = with_dither(samples[i], lanes_[lane]);
    return dithered_.data();
}

float output_levels::with_dither(float sample, std::uint32_t& state) const {
    // xorshift32: cheap, and the same noise on every run, so the same input gives the same file.
    // One generator per lane lets them run side by side.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Its two halves are two uniform values whose difference is triangular over one step each
    // way: noise that leaves the error of rounding independent of the signal.
    const auto high = static_cast<float>(state >> 16);
    const auto low = static_cast<float>(state & 0xFFFFu);
    return sample + (high - low) * dither_scale_;
}

std::string output_levels::clip_report(const input_gain& gain) const {
    if (clipped_ == 0) return "";
    const double room_db = std::ceil(20.0 * std::log10(double{peak_}));
    char text[160];
    std::snprintf(text, sizeof text,
                  "clipped %llu samples (%.2g%%); use --gain %g or a float format",
                  static_cast<unsigned long long>(clipped_),
                  100.0 * static_cast<double>(clipped_) / static_cast<double>(samples_),
                  gain.decibels() - room_db);
    return text;
}

} // namespace ns_audio_files
