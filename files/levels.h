// Levels around the filter: --gain before it, and on the way to OUTPUT the count of samples an
// integer encoding clips and the TPDF dither that keeps a quiet signal's distortion out of a
// coarser one. Float and lossy OUTPUTs are neither counted nor dithered, and 0 dB of gain
// touches nothing, so a float run stays bit for bit what the component produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ns_audio_files {

class input_gain {
public:
    // `decibels` as given to --gain ("" for none); throws file_error(usage) for anything but a
    // number within -120 .. 120.
    explicit input_gain(const std::string& decibels);

    double decibels() const noexcept { return decibels_; }
    void apply(float* samples, std::size_t count) const;

private:
    double decibels_ = 0.0;
    float factor_ = 1.0f;
};

class output_levels {
public:
    // `output_format` and `input_format` are libsndfile formats. Dither is added, unless
    // `dither_allowed` is false, when OUTPUT's encoding is linear PCM of 16 bits or fewer
    // and INPUT's had more.
    output_levels(int output_format, int input_format, bool dither_allowed);

    bool dithers() const noexcept { return dither_scale_ > 0.0f; }
    long long clipped() const noexcept { return static_cast<long long>(clipped_); }
    // The samples to write in place of `samples`: counted, then dithered when chosen. The
    // result stays valid until the next call.
    const float* prepare(const float* samples, std::size_t count);
    // "clipped N samples (P%); use --gain G or a float format" when any sample went past full
    // scale of an integer OUTPUT, G making room for the loudest; empty otherwise.
    std::string clip_report(const input_gain& gain) const;

private:
    static constexpr std::size_t k_lanes = 8;

    float with_dither(float sample, std::uint32_t& state) const;

    bool counts_;
    float dither_scale_ = 0.0f; // one step of OUTPUT in 2^16ths; 0 without dither
    std::uint32_t lanes_[k_lanes] = {0x9E3779B9u, 0x7F4A7C15u, 0x85EBCA6Bu, 0xC2B2AE35u,
                                     0x27D4EB2Fu, 0x165667B1u, 0xD3A2646Cu, 0xFD7046C5u};
    std::uint64_t samples_ = 0, clipped_ = 0;
    float peak_ = 0.0f;
    std::vector<float> dithered_;
};

} // namespace ns_audio_files
