// dashes.h - linetype patterns as SVG dash arrays.
#pragma once
#include <vector>

namespace host::render {

// A linetype's pattern (+ dash, - gap, 0 dot, in drawing units) times scale as an SVG dash
// array: a dash first (a pattern opening with a gap is started at its first dash instead),
// neighbours of one kind merged, an even count so that SVG's repetition keeps dashes and
// gaps apart. A dot stays a zero dash (round caps draw it). Empty (draw solid) when the
// pattern has no dash, no length, or a number that is not finite.
std::vector<double> dashArray(const std::vector<double> &pattern, double scale);

// The dashes of a linetype record when its class keeps them (numDashes / dashLengthAt, as
// the host's API names them); empty otherwise, and the caller falls back on the pattern
// length.
template <class Record> std::vector<double> dashesOf(const Record &rec) {
    std::vector<double> dashes;
    if constexpr (requires(const Record &r) {
                      r.numDashes();
                      r.dashLengthAt(0);
                  }) {
        for (int i = 0; i < static_cast<int>(rec.numDashes()); ++i)
            dashes.push_back(rec.dashLengthAt(i));
    }
    return dashes;
}

} // namespace host::render
