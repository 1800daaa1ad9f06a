// prompt_band.h - the rubber band a point or pick prompt shows from its base point, for a
// source that can point (the view draws it to the cursor). The module's prompts get theirs from
// what the host saw of the command so far: a point asked from a base point draws a line from it,
// Lp's side prompt the two legs of its corner, Jl's second pick the line that would join the two. A
// prompt holds its band while it asks (BandScope), re-asks after a refused answer included.
#pragma once

#include "answer_parse.h"

#include <string>
#include <string_view>

namespace host {

struct Band {
    enum class Kind {
        None,
        Line,     // from `from` to the cursor
        Segment,  // a polyline segment from `from`, startWidth to endWidth wide
        Circle,   // a circle around `from` through the cursor (a radius)
        Distance, // a line from `from`, its length and angle shown
        Window,   // a rectangle from the corner `from` to the cursor
        Corner,   // Lp: from `from` (P) to `to` (N) by the corner on the cursor's side
        Join,     // Jl: the line `from`-`to` picked first at `pick`, joined to the one under
                  // the cursor by their far endpoints
    };
    Kind kind = Kind::None;
    Point3 from, to, pick;
    double startWidth = 0, endWidth = 0;
};

// What the host remembers of the command that runs, for the bands of its prompts.
struct PromptBands {
    Band current;        // the band of the prompts asked now
    std::string command; // the global name of the module command that runs ("" for none)
    // The last point prompt asked from a base point: the base and the point answered.
    bool haveBased = false;
    Point3 basedFrom, basedAnswer;
    // The last entity picked in this command, when it was a line: its ends and pick point.
    bool haveLine = false;
    Point3 lineStart, lineEnd, linePick;

    // A command starts: what was remembered of the one before goes.
    void start(std::string_view globalName);
};

// The band as JSON ("null" for none): {"kind", "x", "y", ...} in drawing units.
std::string bandJson(const Band &band);

// Holds a band for the prompts asked while it lives; the one before comes back after.
class BandScope {
public:
    explicit BandScope(const Band &band);
    ~BandScope();
    BandScope(const BandScope &) = delete;
    BandScope &operator=(const BandScope &) = delete;

private:
    Band before_;
};

// A band of kind from base.
Band bandFrom(Band::Kind kind, const Point3 &base);

} // namespace host
