#include "option_suggestions.h"

#include <algorithm>
#include <numeric>

namespace zq_tool {

namespace {

// Edits from one name to the other, a swap of neighbours counting as one.
std::size_t edit_distance(const std::string& from, const std::string& to) {
    std::vector<std::vector<std::size_t>> d(from.size() + 1,
                                            std::vector<std::size_t>(to.size() + 1));
    for (std::size_t i = 0; i <= from.size(); ++i)
        d[i][0] = i;
    std::iota(d[0].begin(), d[0].end(), std::size_t{0});
    for (std::size_t i = 1; i <= from.size(); ++i)
        for (std::size_t j = 1; j <= to.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[from.size()][to.size()];
}

// The known name nearest to `name`, if near enough to be what was meant.
std::string nearest(const std::string& name, const std::vector<std::string>& known) {
    std::string best;
    std::size_t best_distance = std::max<std::size_t>(2, name.size() / 3) + 1;
    for (const std::string& candidate : known) {
        const std::size_t distance = edit_distance(name, candidate);
        if (distance < best_distance) {
            best = candidate;
            best_distance = distance;
        }
    }
    return best;
}

} // namespace

std::string unknown_option(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& known) {
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument.size() <= 2 || argument.compare(0, 2, "--") != 0) continue;
        const std::string name = argument.substr(2, argument.find('=') - 2);
        if (std::find(known.begin(), known.end(), name) != known.end()) continue;
        const std::string meant = nearest(name, known);
        return "unknown option --" + name +
               (meant.empty() ? " (see zq-filter --help)" : "; did you mean --" + meant + "?");
    }
    return "";
}

} // namespace zq_tool
