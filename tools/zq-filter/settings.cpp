#include "settings.h"

#include <files/file_error.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

namespace {

std::string in_quotes(const std::string& text) {
    return "\"" + text + "\"";
}

std::string printed(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Digits enough to read back as the same float, so a bound of 21.6f prints as 21.6.
std::string shortest(float value) {
    for (int digits = 6; digits < 9; ++digits) {
        char text[48];
        std::snprintf(text, sizeof text, "%.*g", digits, double{value});
        if (std::strtof(text, nullptr) == value) return text;
    }
    return printed("%.9g", double{value});
}

double parse_number(const std::string& text, const std::string& origin) {
    const char* begin = text.c_str();
    char* end = nullptr;
    // An underflow (1e-320) reads as the tiny number it is, for the bounds to judge; an
    // overflow reads as infinity.
    const double value = std::strtod(begin, &end);
    const bool whole_text_read =
        !text.empty() && !std::isspace(static_cast<unsigned char>(text[0])) && *end == '\0';
    if (!whole_text_read)
        throw file_error(failure::usage, origin + ": " + in_quotes(text) + " is not a number");
    if (!std::isfinite(value))
        throw file_error(failure::usage,
                         origin + ": " + in_quotes(text) + " is not a finite number");
    return value;
}

struct typed_frequency {
    double hz;
    std::string unit; // "Hz" or "kHz", as typed
    double hz_per_unit;
};

// "300", "300Hz", "4k", "4kHz" (any case).
typed_frequency parse_frequency(const std::string& text, const std::string& origin) {
    std::size_t digits_end = text.size();
    while (digits_end > 0 && std::isalpha(static_cast<unsigned char>(text[digits_end - 1])))
        --digits_end;
    std::string suffix = text.substr(digits_end);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool in_khz = suffix == "k" || suffix == "khz";
    if (digits_end == 0 || !(in_khz || suffix.empty() || suffix == "hz"))
        throw file_error(failure::usage, origin + ": " + in_quotes(text) +
                                             " is not a frequency; write e.g. 4000, 4000Hz, "
                                             "4k or 4kHz");
    const double per_unit = in_khz ? 1000.0 : 1.0;
    return {parse_number(text.substr(0, digits_end), origin) * per_unit, in_khz ? "kHz" : "Hz",
            per_unit};
}

class setting_list {
public:
    void add(const setting& each) {
        for (const setting& given : settings_)
            if (given.key == each.key)
                throw file_error(failure::usage, "setting " + in_quotes(each.key) +
                                                     " given twice (" + given.origin + ", " +
                                                     each.origin + ")");
        settings_.push_back(each);
    }
    std::vector<setting> take() { return std::move(settings_); }

private:
    std::vector<setting> settings_;
};

} // namespace

std::vector<setting> collect_settings(const std::vector<std::string>& assignments,
                                      const std::string& highpass_hz,
                                      const std::string& lowpass_hz) {
    setting_list settings;
    for (const std::string& assignment : assignments) {
        const std::string origin = "--set " + assignment;
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0)
            throw file_error(failure::usage, origin + ": expected KEY=VALUE");
        settings.add({assignment.substr(0, equals),
                      parse_number(assignment.substr(equals + 1), origin), origin});
    }
    if (!highpass_hz.empty()) {
        const std::string origin = "--highpass " + highpass_hz;
        const typed_frequency cutoff = parse_frequency(highpass_hz, origin);
        settings.add({ns_filter_engine::k_high_pass_key, 1, origin});
        settings.add({ns_filter_engine::k_high_frequency_key, cutoff.hz, origin, cutoff.unit,
                      1.0 / cutoff.hz_per_unit, cutoff.hz});
    }
    if (!lowpass_hz.empty()) {
        const std::string origin = "--lowpass " + lowpass_hz;
        const typed_frequency cutoff = parse_frequency(lowpass_hz, origin);
        settings.add({ns_filter_engine::k_low_pass_key, 1, origin});
        // The component reads kHz.
        settings.add({ns_filter_engine::k_low_frequency_key, cutoff.hz / 1000.0, origin,
                      cutoff.unit, 1000.0 / cutoff.hz_per_unit, cutoff.hz});
    }
    return settings.take();
}

checked_configuration::checked_configuration(std::vector<setting> settings, double sample_rate)
    : settings_(std::move(settings)), sample_rate_(sample_rate) {}

const setting* checked_configuration::find(const char* key) {
    if (std::find(asked_.begin(), asked_.end(), key) == asked_.end()) asked_.emplace_back(key);
    const auto given = std::find_if(settings_.begin(), settings_.end(),
                                    [key](const setting& each) { return each.key == key; });
    return given == settings_.end() ? nullptr : &*given;
}

void checked_configuration::refuse(const setting& value, const std::string& why,
                                   const std::string& after) {
    violation_ = "setting " + in_quotes(value.key) + " = " + printed("%.10g", value.value) + " " +
                 why + " for a " + printed("%g", sample_rate_) + " Hz stream";
    if (value.origin.rfind("--set ", 0) != 0) violation_ += " (from " + value.origin + ")";
    violation_ += after;
    throw ZQ::CException("zq-filter", __LINE__, __FILE__, __func__, violation_);
}

void checked_configuration::refuse_range(const setting& value, float minimum, float maximum) {
    const std::string way_out = way_out_.empty() ? "" : "; " + way_out_;
    if (value.unit.empty())
        refuse(value, "is outside " + shortest(minimum) + " .. " + shortest(maximum), way_out);
    const auto shown = [&value](double in_setting_units) {
        return printed("%.6g", in_setting_units * value.per_setting_unit);
    };
    violation_ = value.origin + ": " + shown(value.value) + " " + value.unit + " is outside " +
                 shown(double{minimum}) + " .. " + shown(double{maximum}) + " " + value.unit +
                 " for a " + printed("%g", sample_rate_) + " Hz stream" + way_out;
    throw ZQ::CException("zq-filter", __LINE__, __FILE__, __func__, violation_);
}

int checked_configuration::getInt(const char* key, int defaultValue, int minimum, int maximum) {
    const setting* given = find(key);
    if (!given) return defaultValue;
    const std::string range = std::to_string(minimum) + " .. " + std::to_string(maximum);
    if (given->value != std::trunc(given->value))
        refuse(*given, "is not a whole number in " + range);
    if (given->value < minimum || given->value > maximum) refuse(*given, "is outside " + range);
    return static_cast<int>(given->value);
}

float checked_configuration::getFloat(const char* key, float defaultValue, float minimum,
                                      float maximum) {
    const setting* given = find(key);
    if (!given) return defaultValue;
    const auto value = static_cast<float>(given->value);
    if (!(value >= minimum && value <= maximum)) refuse_range(*given, minimum, maximum);
    return value;
}

ns_filter_engine::filter_request
read_filter_request(checked_configuration& config, const ns_filter_engine::cutoff_limits& limits) {
    using namespace ns_filter_engine;
    const cutoff_bounds bounds{static_cast<float>(limits.high_min_hz),
                               static_cast<float>(limits.high_max_hz),
                               khz_from_hz(limits.low_min_hz), khz_from_hz(limits.low_max_hz)};
    const component_settings read = read_component_settings(config, bounds);
    filter_request request;
    request.high_pass = read.high_pass == 1;
    request.low_pass = read.low_pass == 1;
    request.high_hz = config.typed_hz(k_high_frequency_key, 1.0, read.high_hz);
    request.low_hz = config.typed_hz(k_low_frequency_key, 1000.0, hz_from_khz(read.low_khz));
    return request;
}

double checked_configuration::typed_hz(const char* key, double hz_per_value, double read_hz) const {
    const auto given = std::find_if(settings_.begin(), settings_.end(),
                                    [key](const setting& each) { return each.key == key; });
    if (given == settings_.end()) return read_hz;
    return given->hz != 0.0 ? given->hz : given->value * hz_per_value;
}

void checked_configuration::require_all_known() const {
    for (const setting& given : settings_) {
        if (std::find(asked_.begin(), asked_.end(), given.key) != asked_.end()) continue;
        std::string known;
        for (const std::string& key : asked_)
            known += (known.empty() ? "" : ", ") + in_quotes(key);
        throw file_error(failure::usage, "unknown setting " + in_quotes(given.key) + " (" +
                                             given.origin + "); the component reads " + known);
    }
}

ns_filter_engine::filter_request requested_filter(checked_configuration& config,
                                                  const ns_filter_engine::cutoff_limits& limits) {
    ns_filter_engine::filter_request request;
    try {
        request = read_filter_request(config, limits);
    } catch (const ZQ::CException&) {
        throw file_error(failure::usage, config.violation());
    }
    config.require_all_known();
    return request;
}

} // namespace zq_tool
