#include "soundness_gate.h"

#include "tool_error.h"

#include <cstdio>

namespace zq_tool {

void check_exact_request(double sample_rate, int channels,
                         const ns_filter_engine::filter_request& request, bool strict) {
    using ns_filter_engine::verdict;
    ns_filter_engine::engine_settings exact;
    exact.request = request;
    const std::string refusal = ns_filter_engine::check_settings(sample_rate, channels, exact);
    if (!refusal.empty()) throw tool_error(failure::usage, refusal);
    const ns_filter_engine::soundness_report report =
        ns_filter_engine::assess_exact(sample_rate, request);
    for (const ns_filter_engine::finding& each : report.findings) {
        if (each.severity == verdict::unsound)
            throw tool_error(failure::usage, each.message + "; use --precise");
        if (strict)
            throw tool_error(failure::usage,
                             each.message + "; use --precise, or leave out --strict to accept it");
    }
    for (const ns_filter_engine::finding& each : report.findings)
        std::fprintf(stderr, "zq-filter: warning: %s; --precise avoids it\n", each.message.c_str());
}

} // namespace zq_tool
