// zq-filter's reading of option values on mutated text: the input is split at newlines into
// the values of --set (several), --highpass, --lowpass, --route, --mix and --gain, and each
// goes to the function the tool hands it to. Every outcome is either a value or a
// file_error(usage); any other exception, a crash, a leak or undefined behaviour is a find.
#include <files/channel_conversion.h>
#include <files/file_error.h>
#include <files/levels.h>

#include "settings.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines_of(const uint8_t* bytes, std::size_t size) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(bytes[i]);
    }
    return lines;
}

template <typename Parse>
void expect_value_or_usage_error(Parse parse) {
    try {
        parse();
    } catch (const ns_audio_files::file_error& error) {
        if (error.kind() != ns_audio_files::failure::usage) std::abort();
    }
}

// The line at `index`, or "" (an option not given) past the end.
std::string line_at(const std::vector<std::string>& lines, std::size_t index) {
    return index < lines.size() ? lines[index] : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    const std::vector<std::string> lines = lines_of(bytes, size);
    // Lines 0..4: --highpass, --lowpass, --route, --mix, --gain; the rest are --set values.
    const std::vector<std::string> assignments(
        lines.begin() + std::min<std::size_t>(5, lines.size()), lines.end());
    expect_value_or_usage_error([&] {
        for (const zq_tool::setting& setting :
             zq_tool::collect_settings(assignments, line_at(lines, 0), line_at(lines, 1)))
            if (!std::isfinite(setting.value)) std::abort();
    });
    expect_value_or_usage_error([&] {
        for (const ns_audio_files::channel_route& route :
             ns_audio_files::parse_routes(line_at(lines, 2)))
            if (route.input < 0 || route.input > 7 || route.output < 0 || route.output > 7)
                std::abort();
    });
    expect_value_or_usage_error([&] {
        if (ns_audio_files::layout_channels(line_at(lines, 3)) < 1) std::abort();
    });
    expect_value_or_usage_error([&] {
        const double decibels = ns_audio_files::input_gain(line_at(lines, 4)).decibels();
        if (!(decibels >= -120.0 && decibels <= 120.0)) std::abort();
    });
    return 0;
}
