// shape.h - the shape of an entity in the XY plane (the plan view): segments, circular arcs,
// filled areas and text boxes, for every kind, the ones kept as the file's groups included,
// and block references through their blocks (with the text of their attributes). The
// spatial index, picks, windows, crossings, fences, the extents and the pictures all take an
// entity's geometry from here.
#pragma once
#include "dbmain.h"
#include "gegeom.h"
#include "kept_shape.h"

#include <array>
#include <cstddef>
#include <cmath>
#include <numbers>
#include <string>
#include <unordered_map>
#include <vector>

namespace tev::db {

struct P2 {
    double x = 0, y = 0;
};
inline P2 operator-(P2 a, P2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline P2 operator+(P2 a, P2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline P2 operator*(P2 a, double s) {
    return {a.x * s, a.y * s};
}
inline double dot(P2 a, P2 b) {
    return a.x * b.x + a.y * b.y;
}
inline double cross(P2 a, P2 b) {
    return a.x * b.y - a.y * b.x;
}
inline double len(P2 a) {
    return std::hypot(a.x, a.y);
}

struct Seg {
    P2 a, b;
};
struct Arc { // counter-clockwise from a0 through sweep (0, 2π]
    P2 c;
    double r, a0, sweep;
    P2 at(double t) const { return {c.x + r * std::cos(t), c.y + r * std::sin(t)}; }
    bool covers(double angle) const {
        constexpr double kTwoPi = 2 * std::numbers::pi;
        double rel = std::fmod(angle - a0, kTwoPi);
        if (rel < 0)
            rel += kTwoPi;
        return rel <= sweep + 1e-12;
    }
};
using Box4 = std::array<P2, 4>;            // a filled quadrilateral (a line of text)
using Area = std::vector<std::vector<P2>>; // rings filled by the even-odd rule

// How a chain of lines and arcs is drawn: one stroke joined at its corners (a line, an arc,
// a polyline), thin or as wide as width; or, for a polyline whose widths vary, its pieces
// in order, each a thin chain or a filled band.
struct ChainVertex {
    P2 p;
    double bulge = 0; // of the piece to the next vertex: tan(sweep / 4), + counter-clockwise
};
struct Chain {
    std::vector<ChainVertex> verts;
    bool closed = false;
    double width = 0; // in drawing units
    std::vector<Chain> pieces;
    std::vector<P2> band; // a piece's filled outline
};

struct Shape {
    // Set before collecting, for pictures: the shape also keeps how its parts are drawn
    // (chains, whole circles and lines of text, below), which its pieces above do not say.
    bool drawn = false;
    std::vector<Chain> chains;
    std::vector<Arc> circles;
    std::vector<KeptText> texts; // world coordinates
    std::vector<Seg> segs;
    std::vector<Arc> arcs;
    std::vector<Box4> boxes;
    std::vector<Area> areas;
    // Rays and construction lines: segments far longer than any drawing, whose boxes count
    // only their base points (what a picture of the drawing's extents would hold).
    std::vector<Seg> unbounded;
    std::vector<P2> unboundedBases;
    bool cut = false; // stopped at kMaxExpandedEntities: the rest of its blocks left out
    bool empty() const {
        return segs.empty() && arcs.empty() && boxes.empty() && areas.empty() && unbounded.empty();
    }
    // The box of the shape (unbounded lines by their bases); false when it is empty.
    bool box(P2 &lo, P2 &hi) const;
};

// Whether a layer is on and thawed (frozenOnly: thawed); a missing layer shows.
bool layerShown(AcDbObjectId layerId, bool frozenOnly = false);

// Whether an entity inside a block shows: it is visible and its layer is on and thawed, or
// is layer "0" (which takes the reference's, checked before).
bool nestedShown(const AcDbEntity &e);

// The most entities one shape is collected from through block references. A real block
// tree stays far below it (a thousand-entity block placed a thousand times over); past it a
// shape stops, marked cut, so that a block nested into itself ten times at every level costs
// a fraction of a second and some megabytes, not hours and gigabytes.
constexpr std::size_t kMaxExpandedEntities = 1'000'000;

// How many entities a block stands for through the references in it, each block counted
// once however often it is placed; saturates at SIZE_MAX. A block that inserts itself adds
// nothing more. The counts are kept: one counter serves one look at an unchanged drawing.
class ExpansionCounter {
public:
    std::size_t ofBlock(AcDbObjectId block);
    // 1 when e is no reference.
    std::size_t ofEntity(const AcDbEntity &e);

private:
    std::unordered_map<AcDbStub *, std::size_t> mCounts;
};

// The blocks placed in a layout (model or paper space) that stand for more than
// kMaxExpandedEntities entities, by name: structures picks and pictures expand only in part.
std::vector<std::string> oversizedBlocks(const AcDbDatabase &db);

// How many shapes have been cut so far: a caller compares before and after a query to
// tell the user that part of a reference was not looked at.
std::size_t cutShapes();
// Counts one more cut (for searches that expand references themselves).
void noteCutShape();

// The shape of e through m (block coordinates to world), following block references depth
// levels deep. Entities inside blocks that do not show (invisible, their layer off or
// frozen; layer "0" takes the reference's) are left out.
void collectShape(const AcDbEntity &e, const AcGeMatrix3d &m, int depth, Shape &out);

// The nearest distance from p to the shape (0 inside a filled area or a text box).
double distance(const Shape &s, P2 p);
// Whether any part of the shape meets the segment g (edges of areas and boxes included).
bool shapeMeets(const Shape &s, const Seg &g);
// Window (all inside) or crossing (inside or touching) against a closed polygon.
bool matchesPolygon(const Shape &s, const std::vector<P2> &poly, bool crossing);
// Whether a fence (an open polyline) touches the shape.
bool matchesFence(const Shape &s, const std::vector<P2> &fence);

} // namespace tev::db
