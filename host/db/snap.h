// snap.h - object snaps: the point on the geometry near a cursor that a pick lands on
// (an endpoint, a midpoint, a centre, ...), found over the shapes the spatial index has
// near it. Entities on layers that are off or frozen, and invisible ones, are never
// snapped to; block references are snapped into through their blocks.
#pragma once
#include "dbmain.h"
#include "shape.h"

#include <optional>
#include <vector>

namespace tev::db {

// The kinds of snap, as the OSMODE bits spell them.
enum SnapBits : int {
    kSnapEnd = 1,
    kSnapMid = 2,
    kSnapCen = 4,
    kSnapNod = 8,
    kSnapQua = 16,
    kSnapInt = 32,
    kSnapIns = 64,
    kSnapPer = 128,
    kSnapTan = 256,
    kSnapNea = 512,
    kSnapApp = 2048,
    kSnapOff = 16384, // running snaps suspended (the other bits kept): nothing is found
};

struct SnapHit {
    P2 at;
    int kind = 0; // one of SnapBits
};

// The snap point of the kinds in bits nearest the cursor, within aperture (drawing units)
// of it; base is the point a perpendicular or a tangent is drawn from (none: no PER, TAN).
// The nearest candidate wins, a lower bit on a tie; the nearest point on a curve (NEA)
// only when nothing else is there.
std::optional<SnapHit> findSnap(const AcDbDatabase &db, AcDbObjectId space, P2 cursor,
                                double aperture, int bits, const P2 *base = nullptr);

// The same over shapes given (for tests and callers that hold shapes), with the insertion
// points of those that have one.
struct SnapSubject {
    Shape shape;
    std::optional<P2> insertion;
};
std::optional<SnapHit> findSnapIn(const std::vector<SnapSubject> &subjects, P2 cursor,
                                  double aperture, int bits, const P2 *base = nullptr);

// "END", "MID", ... for one kind; "" for none.
const char *snapKindName(int kind);

} // namespace tev::db
