// The magnitude response of what a realization computes, for display and comparison: the
// exact realization's float coefficients, or the precise realization's sections, evaluated in
// double precision. It shows the transfer function only; rounding noise inside the exact
// filters is the soundness check's business.
#pragma once

#include "filter_engine.h"

#include <vector>

namespace ns_filter_engine {

// 20 log10 |H| at each frequency in Hz (0 .. rate / 2); -inf where |H| is 0. Settings are
// taken as given: call check_settings first.
std::vector<double> magnitude_db(double rate, const engine_settings& settings,
                                 const std::vector<double>& frequencies_hz);

} // namespace ns_filter_engine
