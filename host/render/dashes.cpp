// dashes.cpp - linetype patterns as SVG dash arrays.
#include "dashes.h"

#include <cmath>
#include <cstddef>

namespace host::render {

std::vector<double> dashArray(const std::vector<double> &pattern, double scale) {
    // SVG starts with a dash: a pattern that opens with a gap is turned round to start at
    // its first dash (the same line, a phase shifted). Only gaps: nothing to dash.
    std::size_t first = 0;
    while (first < pattern.size() && pattern[first] < 0)
        ++first;
    if (first == pattern.size())
        return {};
    std::vector<double> turned(pattern.begin() + static_cast<std::ptrdiff_t>(first), pattern.end());
    turned.insert(turned.end(), pattern.begin(),
                  pattern.begin() + static_cast<std::ptrdiff_t>(first));
    std::vector<double> out;
    for (double d : turned) {
        if (!std::isfinite(d) || !std::isfinite(d * scale))
            return {};
        bool on = d >= 0;
        double len = std::fabs(d * scale);
        bool lastOn = out.size() % 2 == 1; // odd count: the last entry is a dash
        if (!out.empty() && lastOn == on)
            out.back() += len;
        else
            out.push_back(len);
    }
    if (out.size() % 2 == 1 && out.size() > 1) { // ends with a dash: it runs into the first
        out.front() += out.back();
        out.pop_back();
    }
    if (out.size() % 2 == 1)
        out.push_back(0);
    double total = 0;
    for (double d : out)
        total += d;
    if (!(total > 0))
        return {};
    return out;
}

} // namespace host::render
