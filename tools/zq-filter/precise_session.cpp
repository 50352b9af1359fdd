#include "precise_session.h"

#include "component_host.h"
#include "tool_error.h"

#include <lib/cm/Object>

namespace zq_tool {

namespace {

using ns_filter_engine::engine_settings;
using ns_filter_engine::realization;

engine_settings precise_settings(double sample_rate, int order, checked_configuration& settings) {
    engine_settings chosen;
    chosen.kind = realization::precise;
    chosen.precise_order = order;
    try {
        chosen.request = read_filter_request(
            settings, ns_filter_engine::limits_for(realization::precise, sample_rate));
    } catch (const ZQ::CException&) {
        throw tool_error(failure::usage, settings.violation());
    }
    settings.require_all_known();
    return chosen;
}

ns_filter_engine::filter_engine checked_engine(int channels, double sample_rate,
                                               const engine_settings& chosen) {
    require_filter_channels(channels);
    const std::string refusal = ns_filter_engine::check_settings(sample_rate, channels, chosen);
    if (!refusal.empty()) throw tool_error(failure::usage, refusal);
    return {sample_rate, channels, chosen};
}

} // namespace

precise_session::precise_session(int channels, double sample_rate, int order,
                                 checked_configuration& settings)
    : engine_(
          checked_engine(channels, sample_rate, precise_settings(sample_rate, order, settings))) {}

void precise_session::filter(const float* interleaved, long frames, const sink& output) {
    block_.assign(interleaved, interleaved + frames * engine_.channels());
    engine_.process_interleaved(block_.data(), frames);
    output(block_.data(), frames);
}

} // namespace zq_tool
