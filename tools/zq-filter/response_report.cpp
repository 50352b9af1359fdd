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

void row(std::FILE* out, const std::string& label, const std::string& exact,
         const std::string& precise) {
    std::fprintf(out, "  %-28s %-22s %s\n", label.c_str(), exact.c_str(), precise.c_str());
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

void print_notes(std::FILE* out, const column& exact, const column& precise, double rate) {
    if (!exact.refusal.empty()) std::fprintf(out, "\nexact: %s\n", exact.refusal.c_str());
    if (!precise.refusal.empty()) std::fprintf(out, "\nprecise: %s\n", precise.refusal.c_str());
    if (!exact.refusal.empty()) return;
    for (const auto& each : ns_filter_engine::assess_exact(rate, exact.settings.request).findings)
        std::fprintf(out, "\nexact: %s\n", each.message.c_str());
}

} // namespace

void print_response_table(std::FILE* out, double rate, const filter_request& request, int order) {
    const column exact = column_for(realization::exact, rate, request, order);
    const column precise = column_for(realization::precise, rate, request, order);
    std::fprintf(out, "Response at %g Hz: %s (precise: Butterworth order %d per side)\n\n", rate,
                 filter_text(request).c_str(), order);
    row(out, "", "exact", "precise");
    row(out, "-3 dB at", points_text(exact, rate), points_text(precise, rate));
    for (const double hz : landmarks(rate, request)) {
        auto level = [&](const column& each) {
            return each.refusal.empty() ? level_text(gain_db(each, rate, hz)) : std::string("-");
        };
        row(out, "gain at " + frequency_text(hz, rate), level(exact), level(precise));
    }
    if (request.high_pass) {
        const double hz = request.high_hz / 8.0;
        row(out, printed("slope %g", hz) + printed(" .. %g Hz", 2 * hz),
            slope_text(exact, rate, hz), slope_text(precise, rate, hz));
    }
    if (request.low_pass) {
        const double hz = 2.0 * request.low_hz;
        row(out, printed("slope %g", hz) + printed(" .. %g Hz", 2 * hz),
            slope_text(exact, rate, hz), slope_text(precise, rate, hz));
    }
    row(out, "verdict", verdict_text(exact, rate), verdict_text(precise, rate));
    print_notes(out, exact, precise, rate);
}

void print_response_csv(std::FILE* out, double rate, const filter_request& request, int order) {
    const column exact = column_for(realization::exact, rate, request, order);
    const column precise = column_for(realization::precise, rate, request, order);
    const std::vector<double> frequencies = log_spaced(k_csv_lowest_hz, rate / 2, k_csv_points);
    auto levels = [&](const column& each) {
        return each.refusal.empty()
                   ? ns_filter_engine::magnitude_db(rate, each.settings, frequencies)
                   : std::vector<double>(frequencies.size(), std::nan(""));
    };
    const std::vector<double> exact_db = levels(exact), precise_db = levels(precise);
    std::fputs("frequency_hz,exact_db,precise_db\n", out);
    for (std::size_t i = 0; i < frequencies.size(); ++i)
        std::fprintf(out, "%.6g,%.6g,%.6g\n", frequencies[i], exact_db[i], precise_db[i]);
}

} // namespace zq_tool
