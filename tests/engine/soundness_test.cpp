#include <engine/filter_engine.h>

#include "../support/exact_modes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ns_filter_engine;
using zq_test::asked;

struct verdict_case {
    double rate;
    float high_hz, low_hz; // 0 for none
    verdict expected;
};

// The broken settings found by trying the exact design at common rates, and everyday ones. The
// last four sit either side of the limits, as the check reckons: a passband 1.45 dB and 0.99 dB
// off, a stopband 15.3 dB and 9.3 dB above the design's own response.
const verdict_case k_verdicts[] = {
    {96000, 0, 200, verdict::unsound},     {96000, 0, 300, verdict::unsound},
    {192000, 0, 500, verdict::unsound},    {48000, 20000, 0, verdict::unsound},
    {48000, 490, 4000, verdict::degraded}, {96000, 1000, 20000, verdict::degraded},
    {48000, 100, 200, verdict::unsound},   {44100, 100, 200, verdict::degraded},
    {48000, 300, 4000, verdict::sound},    {48000, 100, 0, verdict::sound},
    {48000, 0, 4000, verdict::sound},      {44100, 80, 0, verdict::sound},
    {8000, 0, 3600, verdict::sound},       {192000, 0, 2000, verdict::sound},
    {48000, 0, 200, verdict::unsound},     {44100, 0, 250, verdict::sound},
    {48000, 950, 0, verdict::degraded},    {48000, 1000, 0, verdict::sound},
};

TEST(Soundness, TellsTheBrokenExactDesignsFromTheSoundOnes) {
    for (const verdict_case& each : k_verdicts) {
        SCOPED_TRACE(std::to_string(each.rate) + " Hz, " + std::to_string(each.high_hz) + " .. " +
                     std::to_string(each.low_hz));
        const filter_request request = asked(each.high_hz, each.low_hz);
        EXPECT_EQ(exact_verdict(each.rate, request), each.expected);
        const soundness_report report = assess_exact(each.rate, request);
        EXPECT_EQ(report.overall, each.expected);
        EXPECT_EQ(report.findings.empty(), each.expected == verdict::sound);
    }
}

// Level in dB of what the exact filter leaves of a full-scale sine at `hz` once settled.
double measured_residual_db(double rate, const filter_request& request, double hz) {
    engine_settings settings;
    settings.request = request;
    filter_engine engine(rate, 1, settings);
    const int frames = static_cast<int>(rate) * 2, settled = frames / 2;
    std::vector<float> signal(frames);
    for (int i = 0; i < frames; ++i)
        signal[i] = static_cast<float>(std::sin(2.0 * M_PI * hz * i / rate));
    engine.process_interleaved(signal.data(), frames);
    double energy = 0.0;
    for (int i = settled; i < frames; ++i)
        energy += double{signal[i]} * signal[i];
    return 10.0 * std::log10(energy / (frames - settled) / 0.5);
}

// The figures a warning quotes are estimates of rounding noise; they must stay close to what
// the exact filter really leaves in its stopband.
TEST(Soundness, QuotesStopbandFiguresCloseToTheFiltersOutput) {
    for (const auto& [rate, high_hz, low_hz] :
         {std::tuple{48000.0, 490.0f, 4000.0f}, std::tuple{96000.0, 1000.0f, 20000.0f}}) {
        const filter_request request = asked(high_hz, low_hz);
        const std::string message = assess_exact(rate, request).findings.at(0).message;
        SCOPED_TRACE(message);
        const std::size_t at = message.find("stopband at "), about = message.find("about ");
        ASSERT_NE(at, std::string::npos);
        ASSERT_NE(about, std::string::npos);
        const double hz = std::atof(message.c_str() + at + 12);
        const double quoted_db = std::atof(message.c_str() + about + 6);
        EXPECT_NEAR(quoted_db, measured_residual_db(rate, request, hz), 6.0);
    }
}

} // namespace
