// The soundness check before any audio is processed: an exact design that would write
// NaN/Inf, a boost or a broken passband is refused; one that only loses stopband depth, or a
// band built as a plain low-pass, is reported on standard error (refused with --strict).
#pragma once

#include <engine/filter_engine>

#include <string>

namespace zq_tool {

// Throws file_error(usage) naming the problem when the engine refuses the request (an inverted
// band), and naming `way_out` (how to get the Butterworth design instead) when the exact
// realization is unsound for it at `sample_rate`, or degraded and `strict`; otherwise prints
// each warning, with `way_out`, on standard error (--quiet does not hide them: they are about
// the output itself).
void check_exact_request(double sample_rate, int channels,
                         const ns_filter_engine::filter_request& request, bool strict,
                         const std::string& way_out);

} // namespace zq_tool
