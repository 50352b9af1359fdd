#include "response_report.h"

#include <engine/response.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace zq_tool {

namespace {

using ns_filter_engine::engine_settings;
using ns_filter_engine::filter_request;
using ns_filter_engine::realization;

constexpr double k_half_power_db = -3.0103;
constexpr int k_csv_points = 200;
constexpr double k_csv_lowest_hz = 10.0;
constexpr int k_search_points = 2000;
constexpr double k_search_lowest_hz = 1.0;
constexpr double k_landmarks_hz[] = {0.0, 20.0, 50.0, 100.0, 1000.0, 10000.0};

// One realization for the settings, or why it refuses them.
struct column {
    engine_settings settings;
    std::string refusal;
    const char* name() const { return settings.kind == realization::exact ? "exact" : "precise"; }
};

// The realization that runs, then the other.
struct columns {
    column runs, other;
};

column column_for(realization kind, double rate, const filter_request& request, int order) {
    column result;
    result.settings.request = request;
    result.settings.kind = kind;
    result.settings.precise_order = order;
    result.refusal = ns_filter_engine::check_settings(rate, 1, result.settings);
    return result;
}

double gain_db(const column& each, double rate, double hz) {
    return ns_filter_engine::magnitude_db(rate, each.settings, {hz}).front();
}

std::vector<double> log_spaced(double from_hz, double to_hz, int count) {
    std::vector<double> points;
    for (int i = 0; i < count; ++i)
        points.push_back(from_hz * std::pow(to_hz / from_hz, double(i) / (count - 1)));
    return points;
}

// Frequencies where the response crosses -3 dB, each refined by bisection.
std::vector<double> half_power_points(const column& each, double rate) {
    const std::vector<double> grid = log_spaced(k_search_lowest_hz, rate / 2, k_search_points);
    const std::vector<double> levels = ns_filter_engine::magnitude_db(rate, each.settings, grid);
    std::vector<double> crossings;
    for (std::size_t i = 1; i < grid.size(); ++i) {
        if ((levels[i - 1] < k_half_power_db) == (levels[i] < k_half_power_db)) continue;
        double low = grid[i - 1], high = grid[i];
        const bool rising = levels[i] > levels[i - 1];
        for (int step = 0; step < 60; ++step) {
            const double middle = std::sqrt(low * high);
            ((gain_db(each, rate, middle) < k_half_power_db) == rising ? low : high) = middle;
        }
        crossings.push_back(std::sqrt(low * high));
    }
    return crossings;
}

std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string level_text(double db) {
    if (std::isinf(db)) return db > 0 ? "+inf dB" : "-inf dB";
    return printed("%+.2f dB", std::fabs(db) < 0.005 ? 0.0 : db);
}

std::string frequency_text(double hz, double rate) {
    if (hz == 0.0) return "DC";
    if (hz == rate / 2) return printed("%g Hz (Nyquist)", hz);
    return printed("%g Hz", hz);
}

std::string points_text(const column& each, double rate) {
    if (!each.refusal.empty()) return "-";
    std::string text;
    for (const double hz : half_power_points(each, rate))
        text += (text.empty() ? "" : ", ") + printed("%.1f Hz", hz);
    return text.empty() ? "none" : text;
}

// dB per octave between f and 2f.
std::string slope_text(const column& each, double rate, double hz) {
    if (!each.refusal.empty() || !(2 * hz < rate / 2) || hz < k_search_lowest_hz) return "-";
    return printed("%+.1f dB/octave", gain_db(each, rate, 2 * hz) - gain_db(each, rate, hz));
}

std::string verdict_text(const column& each, double rate) {
    if (!each.refusal.empty()) return "refused";
    if (each.settings.kind == realization::precise) return "sound";
    switch (ns_filter_engine::exact_verdict(rate, each.settings.request)) {
    case ns_filter_engine::verdict::sound:
        return "sound";
    case ns_filter_engine::verdict::degraded:
        return "degraded";
    default:
        return "unsound";
    }
}

columns columns_for(realization runs, double rate, const filter_request& request, int order) {
    const realization other =
        runs == realization::exact ? realization::precise : realization::exact;
    return {column_for(runs, rate, request, order), column_for(other, rate, request, order)};
}

void row(std::FILE* out, const std::string& label, const std::string& first,
         const std::string& second) {
    std::fprintf(out, "  %-28s %-22s %s\n", label.c_str(), first.c_str(), second.c_str());
}

std::vector<double> landmarks(double rate, const filter_request& request) {
    std::vector<double> points(std::begin(k_landmarks_hz), std::end(k_landmarks_hz));
    if (request.high_pass) points.push_back(request.high_hz);
    if (request.low_pass) points.push_back(request.low_hz);
    points.erase(std::remove_if(points.begin(), points.end(),
                                [rate](double hz) { return !(hz < rate / 2); }),
                 points.end());
    points.push_back(rate / 2);
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

std::string filter_text(const filter_request& request) {
    std::string text;
    if (request.high_pass) text = printed("high-pass %g Hz", request.high_hz);
    if (request.low_pass)
        text += (text.empty() ? "" : ", ") + printed("low-pass %g Hz", request.low_hz);
    return text.empty() ? "no filter (bypass)" : text;
}

void print_notes(std::FILE* out, const columns& both, double rate) {
    for (const column* each : {&both.runs, &both.other}) {
        if (!each->refusal.empty())
            std::fprintf(out, "\n%s: %s\n", each->name(), each->refusal.c_str());
        if (!each->refusal.empty() || each->settings.kind != realization::exact) continue;
        for (const auto& finding :
             ns_filter_engine::assess_exact(rate, each->settings.request).findings)
            std::fprintf(out, "\nexact: %s\n", finding.message.c_str());
    }
}

} // namespace

void print_response_table(std::FILE* out, double rate, const filter_request& request, int order,
                          realization runs) {
    const columns both = columns_for(runs, rate, request, order);
    const column& first = both.runs;
    const column& second = both.other;
    std::fprintf(out,
                 "Response at %g Hz: %s\nprecise: Butterworth, order %d per side; exact: the "
                 "component's design (--exact); %s runs\n\n",
                 rate, filter_text(request).c_str(), order, both.runs.name());
    row(out, "", first.name(), second.name());
    row(out, "-3 dB at", points_text(first, rate), points_text(second, rate));
    for (const double hz : landmarks(rate, request)) {
        auto level = [&](const column& each) {
            return each.refusal.empty() ? level_text(gain_db(each, rate, hz)) : std::string("-");
        };
        row(out, "gain at " + frequency_text(hz, rate), level(first), level(second));
    }
    if (request.high_pass) {
        const double hz = request.high_hz / 8.0;
        row(out, printed("slope %g", hz) + printed(" .. %g Hz", 2 * hz),
            slope_text(first, rate, hz), slope_text(second, rate, hz));
    }
    if (request.low_pass) {
        const double hz = 2.0 * request.low_hz;
        row(out, printed("slope %g", hz) + printed(" .. %g Hz", 2 * hz),
            slope_text(first, rate, hz), slope_text(second, rate, hz));
    }
    row(out, "verdict", verdict_text(first, rate), verdict_text(second, rate));
    print_notes(out, both, rate);
}

void print_response_csv(std::FILE* out, double rate, const filter_request& request, int order,
                        realization runs) {
    const columns both = columns_for(runs, rate, request, order);
    const column& first = both.runs;
    const column& second = both.other;
    const std::vector<double> frequencies = log_spaced(k_csv_lowest_hz, rate / 2, k_csv_points);
    auto levels = [&](const column& each) {
        return each.refusal.empty()
                   ? ns_filter_engine::magnitude_db(rate, each.settings, frequencies)
                   : std::vector<double>(frequencies.size(), std::nan(""));
    };
    const std::vector<double> first_db = levels(first), second_db = levels(second);
    std::fprintf(out, "frequency_hz,%s_db,%s_db\n", first.name(), second.name());
    for (std::size_t i = 0; i < frequencies.size(); ++i)
        std::fprintf(out, "%.6g,%.6g,%.6g\n", frequencies[i], first_db[i], second_db[i]);
}

} // namespace zq_tool
