#include <engine/filter_engine.h>

#include "../support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace ns_filter_engine;

template <std::size_t N>
struct stored_output {
    double peak;
    std::int32_t units[N]; // in 1e-7 of peak
};

struct precise_case {
    double rate;
    int order;
    float high_hz; // 0: no high-pass
    float low_khz; // 0: no low-pass
    stored_output<256> noise;
    stored_output<64> impulse, step;
    std::int32_t millidb[200];
};

#include "data/precise_reference.inc"

filter_request request_of(const precise_case& c) {
    return {c.high_hz > 0.0f, c.high_hz, c.low_khz > 0.0f, hz_from_khz(c.low_khz)};
}

// The largest deviation from scipy's output, relative to the output's peak magnitude.
template <std::size_t N>
double output_error(const precise_case& c, std::vector<float> samples,
                    const stored_output<N>& expected) {
    precise_filter filter(c.rate, 1, request_of(c), c.order);
    float* data = samples.data();
    filter.process_planar(&data, static_cast<long>(N));
    double worst = 0.0;
    for (std::size_t k = 0; k < N; ++k)
        worst = std::max(worst, std::abs(samples[k] - 1e-7 * expected.peak * expected.units[k]));
    return worst / expected.peak;
}

double response_db(const std::vector<biquad>& sections, double hz, double rate) {
    const std::complex<double> delay = std::polar(1.0, -2.0 * M_PI * hz / rate);
    std::complex<double> h = 1.0;
    for (const biquad& q : sections)
        h *= (q.b0 + delay * (q.b1 + delay * q.b2)) / (1.0 + delay * (q.a1 + delay * q.a2));
    return 20.0 * std::log10(std::abs(h));
}

// The stored magnitudes are at 200 frequencies from 1 Hz to 0.499 x rate, evenly spaced in log.
double worst_response_error(const precise_case& c) {
    const precise_filter filter(c.rate, 1, request_of(c), c.order);
    double worst = 0.0;
    for (int k = 0; k < 200; ++k) {
        const double hz = std::pow(0.499 * c.rate, k / 199.0);
        worst = std::max(
            worst, std::abs(response_db(filter.sections(), hz, c.rate) - 1e-3 * c.millidb[k]));
    }
    return worst;
}

TEST(PreciseFilter, AgreesWithScipyOutputsAndResponse) {
    const std::vector<float> noise(std::begin(k_noise), std::end(k_noise));
    std::vector<float> impulse(64, 0.0f);
    impulse[0] = 1.0f;
    const std::vector<float> step(64, 1.0f);
    double worst_output = 0.0, worst_db = 0.0;
    for (const precise_case& c : k_precise_cases) {
        const double output =
            std::max({output_error(c, noise, c.noise), output_error(c, impulse, c.impulse),
                      output_error(c, step, c.step)});
        const double db = worst_response_error(c);
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, order " << c.order << ", " << c.high_hz
                                        << " Hz .. " << c.low_khz << " kHz");
        EXPECT_LT(output, 1e-6);
        EXPECT_LT(db, 0.01);
        worst_output = std::max(worst_output, output);
        worst_db = std::max(worst_db, db);
    }
    RecordProperty("worst_output_error_in_1e-9_of_peak", std::to_string(worst_output * 1e9));
    RecordProperty("worst_response_error_in_millidb", std::to_string(worst_db * 1e3));
}

// Interleaved noise filtered through the engine in blocks of `block` frames, with a reset and
// a second pass: both passes must equal each channel run alone in one call (channels side by
// side in lanes, one alone with its sections pipelined).
TEST(PreciseFilter, BlockSizeChannelCountAndResetLeaveTheBitsUnchanged) {
    constexpr long frames = 9000;
    engine_settings settings{{true, 40.0, true, 12000.0}, realization::precise, 8};
    for (const int channels : {1, 2, 3}) {
        const std::vector<float> input = zq_test::random_floats(frames * channels, 5u);
        std::vector<std::vector<float>> planar(channels, std::vector<float>(frames));
        std::vector<float*> channel_data;
        for (std::vector<float>& channel : planar)
            channel_data.push_back(channel.data());
        for (long i = 0; i < frames * channels; ++i)
            planar[i % channels][i / channels] = input[i];
        for (float* channel : channel_data)
            precise_filter(48000.0, 1, settings.request, settings.precise_order)
                .process_planar(&channel, frames);
        for (const long block : {1L, 7L, 4096L}) {
            filter_engine engine(48000.0, channels, settings);
            for (int pass = 0; pass < 2; ++pass, engine.reset()) {
                std::vector<float> output = input;
                for (long done = 0; done < frames; done += block)
                    engine.process_interleaved(output.data() + done * channels,
                                               std::min(block, frames - done));
                for (long i = 0; i < frames * channels; ++i)
                    ASSERT_EQ(output[i], planar[i % channels][i / channels])
                        << channels << " channels, blocks of " << block << ", pass " << pass;
            }
        }
    }
}

// Double samples go through the same arithmetic as float ones: for float-valued input, each
// double output rounds to the float path's output, for lanes and a lone channel alike.
// The exact realization has no double path.
TEST(PreciseFilter, DoubleSamplesRoundToTheFloatPathsOutput) {
    constexpr int channels = 3;
    constexpr long frames = 5000;
    const engine_settings settings{{true, 25.0, true, 9000.0}, realization::precise, 6};
    std::vector<float> single = zq_test::random_floats(frames * channels, 9u);
    std::vector<double> wide(single.begin(), single.end());
    filter_engine(44100.0, channels, settings).process_interleaved(single.data(), frames);
    filter_engine double_engine(44100.0, channels, settings);
    double_engine.process_interleaved(wide.data(), 777);
    double_engine.process_interleaved(wide.data() + 777 * channels, frames - 777);
    for (long i = 0; i < frames * channels; ++i)
        ASSERT_EQ(static_cast<float>(wide[i]), single[i]) << "sample " << i;
    engine_settings exact = settings;
    exact.kind = realization::exact;
    exact.request.high_hz = 100.0;
    EXPECT_THROW(filter_engine(44100.0, 1, exact).process_interleaved(wide.data(), 1),
                 std::logic_error);
}

// The tail of an impulse, with subnormal numbers flushed and without: where the outputs are
// normal floats they agree, where they are subnormal the flushed ones are zero, and the tail
// does pass through that range. Exact refuses to flush.
TEST(PreciseFilter, FlushingSubnormalsZeroesOnlyTheSubnormalOutputs) {
    constexpr long frames = 20000;
    engine_settings settings{{true, 300.0, true, 4000.0}, realization::precise, 4};
    std::vector<float> kept(frames), flushed(frames);
    kept[0] = flushed[0] = 1.0f;
    filter_engine(48000.0, 1, settings).process_interleaved(kept.data(), frames);
    settings.flush_subnormals = true;
    filter_engine(48000.0, 1, settings).process_interleaved(flushed.data(), frames);
    long subnormal = 0;
    for (long f = 0; f < frames; ++f) {
        const bool is_subnormal = std::fpclassify(kept[f]) == FP_SUBNORMAL;
        subnormal += is_subnormal;
        ASSERT_EQ(flushed[f], is_subnormal ? 0.0f : kept[f]) << "frame " << f;
    }
    EXPECT_GT(subnormal, 100);
    settings.kind = realization::exact;
    EXPECT_NE(check_settings(48000.0, 1, settings), "");
}

using ns_primitives::instruction_set;

struct lane_case {
    int order;
    filter_request request;
};

// Noise in blocks of none, one and odd lengths, then silence long enough for the outputs to
// decay into subnormal floats.
constexpr long k_blocks[] = {0, 1, 333, 0, 2048, 17, 9000};
constexpr long k_block_frames = 0 + 1 + 333 + 0 + 2048 + 17 + 9000;
constexpr long k_noise_frames = 2400;

// Samples interleaved, or (floats only) planar, as the engine hands them over.
template <typename sample>
sample& sample_at(std::vector<sample>& samples, bool planar, int channels, int c, long frame) {
    return planar ? samples[c * k_block_frames + frame] : samples[frame * channels + c];
}
template <typename sample>
void filter_block(precise_filter& filter, sample* samples, bool planar, int channels, long done,
                  long block) {
    if (!planar) return filter.process_interleaved(samples + done * channels, block);
    if constexpr (std::is_same_v<sample, float>) {
        std::vector<float*> planes;
        for (int c = 0; c < channels; ++c)
            planes.push_back(samples + c * k_block_frames + done);
        filter.process_planar(planes.data(), block);
    }
}

template <typename sample>
std::vector<sample> filtered_on(instruction_set set, const lane_case& lanes, int channels,
                                bool planar = false) {
    const std::vector<float> noise = zq_test::random_floats(k_block_frames * channels, 3u);
    std::vector<sample> samples(noise.size());
    for (int c = 0; c < channels; ++c)
        for (long f = 0; f < k_noise_frames; ++f)
            sample_at(samples, planar, channels, c, f) = noise[f * channels + c];
    precise_filter filter(48000.0, channels, lanes.request, lanes.order);
    EXPECT_TRUE(filter.use_path(set));
    long done = 0;
    for (const long block : k_blocks) {
        filter_block(filter, samples.data(), planar, channels, done, block);
        done += block;
    }
    return samples;
}

// Every vector path against the reference (the scalar set: channel by channel, section by
// section), bit for bit: chains of 1 to 8 sections, gain-free sections (1, +-2, 1) after each
// side's first or none, 1 to 16 channels, float samples planar and interleaved, double samples.
TEST(PreciseFilter, EveryPathMatchesTheReferenceBitForBit) {
    const lane_case cases[] = {{2, {true, 300.0, false, 0.0}},   {2, {true, 300.0, true, 4000.0}},
                               {4, {false, 0.0, true, 4000.0}},  {6, {true, 40.0, false, 0.0}},
                               {4, {true, 300.0, true, 4000.0}}, {8, {false, 0.0, true, 12000.0}},
                               {6, {true, 25.0, true, 9000.0}},  {8, {true, 40.0, true, 20000.0}}};
    // Neither side passes every sample unchanged.
    const std::vector<float> noise = zq_test::random_floats(64 * 3, 4u);
    std::vector<float> passed = noise;
    filter_engine(48000.0, 3, {{false, 0.0, false, 0.0}, realization::precise, 4})
        .process_interleaved(passed.data(), 64);
    ASSERT_TRUE(zq_test::same_bits(passed, noise));
    std::vector<instruction_set> sets;
    for (const instruction_set set : {instruction_set::sse2, instruction_set::avx,
                                      instruction_set::neon, instruction_set::avx512}) {
        if (precise_filter(48000.0, 1, cases[0].request, 2).use_path(set))
            sets.push_back(set);
        else
            std::printf("note: no %s path on this build or processor, not tested\n",
                        ns_primitives::instruction_set_name(set));
    }
    for (const lane_case& c : cases)
        for (int channels = 1; channels <= 16; ++channels) {
            const std::vector<float> planes =
                filtered_on<float>(instruction_set::scalar, c, channels, true);
            const std::vector<float> single =
                filtered_on<float>(instruction_set::scalar, c, channels);
            const std::vector<double> wide =
                filtered_on<double>(instruction_set::scalar, c, channels);
            for (const instruction_set set : sets) {
                SCOPED_TRACE(testing::Message()
                             << ns_primitives::instruction_set_name(set) << ", order " << c.order
                             << ", " << channels << " channels");
                ASSERT_TRUE(zq_test::same_bits(filtered_on<float>(set, c, channels, true), planes));
                ASSERT_TRUE(zq_test::same_bits(filtered_on<float>(set, c, channels), single));
                ASSERT_EQ(std::memcmp(filtered_on<double>(set, c, channels).data(), wide.data(),
                                      wide.size() * sizeof(double)),
                          0);
            }
        }
}

} // namespace
