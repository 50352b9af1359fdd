#include "soundness_gate.h"

#include <files/file_error.h>

#include <cstdio>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

void check_exact_request(double sample_rate, int channels,
                         const ns_filter_engine::filter_request& request, bool strict,
                         const std::string& way_out) {
    using ns_filter_engine::verdict;
    ns_filter_engine::engine_settings exact;
    exact.request = request;
    const std::string refusal = ns_filter_engine::check_settings(sample_rate, channels, exact);
    if (!refusal.empty()) throw file_error(failure::usage, refusal);
    const ns_filter_engine::soundness_report report =
        ns_filter_engine::assess_exact(sample_rate, request);
    for (const ns_filter_engine::finding& each : report.findings) {
        if (each.severity == verdict::unsound)
            throw file_error(failure::usage, each.message + "; " + way_out);
        if (strict)
            throw file_error(failure::usage, each.message + "; " + way_out +
                                                 ", or leave out --strict to accept it");
    }
    for (const ns_filter_engine::finding& each : report.findings)
        std::fprintf(stderr, "zq-filter: warning: %s; %s\n", each.message.c_str(), way_out.c_str());
}

} // namespace zq_tool
