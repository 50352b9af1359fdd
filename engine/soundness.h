// The soundness check: whether the exact realization can be trusted for a request at a rate.
//
// The exact designs round every coefficient to single precision and run direct-form
// recursions of order up to 4 in single precision. At low cut-off fractions that breaks down:
// poles move onto or outside the unit circle (the output blows up), the response gains a
// boost the user did not ask for, or rounding noise, amplified by the recursion, fills the
// stopband. The check looks at the float coefficients the exact realization would use,
// evaluated in double, against the same design computed in double precision.
#pragma once

#include "section_plan.h"

#include <string>
#include <vector>

namespace ns_filter_engine {

enum class verdict { sound, degraded, unsound };

struct finding {
    verdict severity;
    std::string message; // one line in a user's terms, with the figures
};

struct soundness_report {
    verdict overall = verdict::sound;
    std::vector<finding> findings;
};

// Allocation-free and cheap (microseconds): a real-time host may call it when a control
// changes.
verdict exact_verdict(double rate, const filter_request& request) noexcept;

// The same verdict with every finding spelled out, for front-ends to print.
soundness_report assess_exact(double rate, const filter_request& request);

} // namespace ns_filter_engine
