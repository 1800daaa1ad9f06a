// point_snaps.h - where a point given at a point prompt lands: a typed object snap
// modifier (END, MID, ... and the Russian edition's names) for the next point, running
// snaps (OSMODE) for picked points, and for picked points with no object snap grid snap
// (SNAPMODE, SNAPUNIT, SNAPBASE) and ortho (ORTHOMODE) or polar tracking (AUTOSNAP bit 8,
// POLARANG), all turned by SNAPANG. Typed coordinates are never moved but by a modifier.
#pragma once

#include "answer_parse.h"
#include "command_line.h"

#include <optional>
#include <string_view>

namespace host {

// The OSMODE bits of a typed modifier (Windows-1251, any case, "_" before it allowed):
// the snap kind's bit, -1 for NON (no snap for the next point); nullopt when text is none.
std::optional<int> snapModifier(std::string_view text);

// OSMODE bits of a list of mode names ("END,MID", "NONE", "OFF"); nullopt for a name
// that is none.
std::optional<int> snapModeList(std::string_view text);

struct LandedPoint {
    Point3 at;
    const char *kind = ""; // the object snap taken ("END", ...), "" for none
    bool found = true;     // false: a modifier found nothing within the aperture
};

// Where a point lands. picked: it came from a pointing device, with the aperture (drawing
// units) to find running snaps within; modifier: a typed modifier's bits (0 none, -1 NON);
// base: the prompt's base point, when it has one.
LandedPoint landPoint(const Point3 &given, bool picked, double aperture, int modifier,
                      const Point3 *base);

// The same for the point prompt waiting now (its base point and pending modifier), for a
// cursor at p: where a click there would land.
LandedPoint trackPoint(const Point3 &p, double aperture);

// The snaps of one point prompt, while it waits: its base point and a modifier typed at it
// (which the view's tracking sees too). A prompt asks with prompt(), passes each text answer
// to modifier() (true: it was one, ask again), and each point it parsed to land().
class PromptSnaps {
public:
    // base: the point ortho, polar, PER and TAN go from; none for a first point.
    explicit PromptSnaps(const Point3 *base);
    ~PromptSnaps();
    PromptSnaps(const PromptSnaps &) = delete;
    PromptSnaps &operator=(const PromptSnaps &) = delete;
    // "of " while a modifier waits for its point, else normal.
    std::string prompt(const std::string &normal) const;
    // Whether a modifier waits; drop() forgets it (Enter at "of ").
    bool pending() const;
    void drop();
    bool modifier(const Answer &a);
    // Where the point parsed from a lands; nullopt, with the refusal shown, when a
    // modifier found nothing there (the prompt asks again).
    std::optional<Point3> land(const Point3 &parsed, const Answer &a);

private:
    bool hasBase_ = false;
    Point3 base_;
};

// OSNAP and -OSNAP: shows the running modes and takes a list of names (NONe: none, OFF:
// suspended, the modes kept).
void osnapCommand();

} // namespace host
