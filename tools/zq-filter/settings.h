// The settings a user gives zq-filter, and the configuration object that hands them to the
// component while holding them to the bounds the component states.
//
// The component names every setting it reads, with a default and bounds, through getInt and
// getFloat. checked_configuration answers those calls from the user's settings and refuses a
// value outside the bounds the component gives (which may depend on the sample rate) by
// throwing ZQ::CException out of configure; the component holds nothing across it. Keys the
// component never asked for are refused after configure, listing the keys it did ask for.
#pragma once

#include <engine/filter_engine>
#include <lib/cm/CMConfiguration>

#include <string>
#include <vector>

namespace zq_tool {

struct setting {
    std::string key;
    double value;
    std::string origin; // the option as the user wrote it, for messages
    // The unit the user gave a frequency in ("Hz", "kHz"), and its count in one unit of the
    // setting, so that messages answer in it; empty for a value given as the setting itself.
    std::string unit = "";
    double per_setting_unit = 1.0;
    double hz = 0.0; // a cut-off as typed in Hz (--highpass, --lowpass); 0 for a --set value
};

// Builds the settings from the repeatable --set KEY=VALUE and the friendly --highpass HZ
// (hPass=1, hFrequency=HZ) and --lowpass HZ (lPass=1, lFrequency=HZ/1000, the component
// reading kHz), whose frequencies may end in Hz, k or kHz (any case); empty strings stand for
// options not given. Throws file_error(usage) for a malformed assignment, a value that is not
// a finite number, a frequency in another unit, or a key given twice.
std::vector<setting> collect_settings(const std::vector<std::string>& assignments,
                                      const std::string& highpass_hz,
                                      const std::string& lowpass_hz);

class checked_configuration final : public ZQ::CM::RFilterConfiguration {
public:
    checked_configuration(std::vector<setting> settings, double sample_rate);

    // The user's value, or the default when unset. A value outside minimum .. maximum, or an
    // int setting that is not a whole number, is recorded in violation() and thrown as
    // ZQ::CException.
    int getInt(const char* key, int defaultValue, int minimum, int maximum) override;
    float getFloat(const char* key, float defaultValue, float minimum, float maximum) override;

    // Added to a refusal of a value outside its bounds: where else the value is taken.
    void explain_bounds_with(std::string way_out) { way_out_ = std::move(way_out); }
    // What made a getter throw; empty when none did.
    const std::string& violation() const noexcept { return violation_; }
    // Throws file_error(usage) for a setting whose key the component never asked for.
    void require_all_known() const;
    // The cut-off `key` as the user typed it, in Hz (a --set value times `hz_per_value`), so
    // that the band's edges are compared as typed; `read_hz` when it was not given.
    double typed_hz(const char* key, double hz_per_value, double read_hz) const;

private:
    const setting* find(const char* key);
    [[noreturn]] void refuse(const setting& value, const std::string& why,
                             const std::string& after = "");
    [[noreturn]] void refuse_range(const setting& value, float minimum, float maximum);
    std::string range_text(double minimum, double maximum) const;

    std::vector<setting> settings_;
    std::vector<std::string> asked_;
    double sample_rate_;
    std::string violation_;
    std::string way_out_;
};

// The filter the settings ask for, read through `config` in the order the component reads them
// and held to `limits` (the realization's, at the stream's rate); defaults as the component's.
ns_filter_engine::filter_request read_filter_request(checked_configuration& config,
                                                     const ns_filter_engine::cutoff_limits& limits);

// read_filter_request with every refusal as file_error(usage): a value out of `limits`, and a
// key the component never reads.
ns_filter_engine::filter_request requested_filter(checked_configuration& config,
                                                  const ns_filter_engine::cutoff_limits& limits);

} // namespace zq_tool
