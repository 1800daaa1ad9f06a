// block_shape.cpp - each block's shape kept in its own coordinates, placed by references.
#include "block_shape.h"
#include "access.h"
#include "database_impl.h"
#include "spatial.h"
#include "dbents.h"
#include "dbsymtb.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

namespace tev::db {

bool collectWholeBlock(AcDbObjectId block, Shape &out, std::size_t &walked,
                       int &needs); // shape.cpp

namespace {

// All kept shapes together hold no more parts than this (a part: a segment, an arc, a text
// box, an area's point): some hundred megabytes at most. Blocks beyond it are walked.
constexpr std::size_t kMaxKeptParts = 4'000'000;

std::size_t partsOf(const Shape &s) {
    std::size_t n = s.segs.size() + s.arcs.size() + s.boxes.size() + s.unbounded.size();
    for (const Area &area : s.areas)
        for (const std::vector<P2> &ring : area)
            n += ring.size();
    return n;
}

// The convex hull (Andrew's monotone chain) of the finite points of the shape's straight
// parts; arcs are placed one by one.
std::vector<P2> hullOf(const Shape &s) {
    std::vector<P2> pts;
    auto add = [&](P2 p) {
        if (std::isfinite(p.x) && std::isfinite(p.y))
            pts.push_back(p);
    };
    for (const Seg &g : s.segs)
        add(g.a), add(g.b);
    for (const Box4 &b : s.boxes)
        for (P2 p : b)
            add(p);
    for (const Area &area : s.areas)
        for (const std::vector<P2> &ring : area)
            for (P2 p : ring)
                add(p);
    for (P2 p : s.unboundedBases)
        add(p);
    std::sort(pts.begin(), pts.end(),
              [](P2 a, P2 b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    pts.erase(
        std::unique(pts.begin(), pts.end(), [](P2 a, P2 b) { return a.x == b.x && a.y == b.y; }),
        pts.end());
    if (pts.size() < 3)
        return pts;
    std::vector<P2> hull(2 * pts.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        while (k >= 2 && cross(hull[k - 1] - hull[k - 2], pts[i] - hull[k - 2]) <= 0)
            --k;
        hull[k++] = pts[i];
    }
    for (std::size_t i = pts.size() - 1, t = k + 1; i-- > 0;) {
        while (k >= t && cross(hull[k - 1] - hull[k - 2], pts[i] - hull[k - 2]) <= 0)
            --k;
        hull[k++] = pts[i];
    }
    hull.resize(k - 1);
    return hull;
}

struct Kept {
    enum State { Building, Done, Walked } state = Building;
    std::unique_ptr<BlockShape> shape;
};

} // namespace

struct BlockShapes {
    std::uint64_t epoch = 0;
    std::size_t parts = 0;
    std::unordered_map<const AcDbStub *, Kept> blocks;
    // How many entities a walk of each block looks at (its references and what they place),
    // counted before it is collected; saturates, and a block met through itself adds 0.
    std::unordered_map<const AcDbStub *, std::size_t> walks;
    std::size_t walkOf(AcDbObjectId block) {
        auto *rec = peekAs<AcDbBlockTableRecord>(block);
        if (rec == nullptr)
            return 0;
        auto [it, added] = walks.try_emplace(block.stub(), 0);
        if (!added)
            return it->second;
        std::size_t total = 0;
        for (AcDbObject *o : ObjectAccess::entities(*rec)) {
            if (o == nullptr || o->isErased())
                continue;
            auto *ref = AcDbBlockReference::cast(o);
            std::size_t n = 1 + (ref != nullptr ? walkOf(ref->blockTableRecord()) : 0);
            total = n > SIZE_MAX - total ? SIZE_MAX : total + n;
        }
        walks[block.stub()] = total;
        return total;
    }
};

void BlockShapesDeleter::operator()(BlockShapes *shapes) const {
    delete shapes;
}

const BlockShape *keptBlockShape(AcDbObjectId block) {
    if (block.isNull() || block.stub()->db == nullptr)
        return nullptr;
    DatabaseImpl &db = *block.stub()->db;
    if (!db.blockShapes || db.blockShapes->epoch != db.blockEpoch) {
        db.blockShapes.reset(new BlockShapes);
        db.blockShapes->epoch = db.blockEpoch;
    }
    BlockShapes &kept = *db.blockShapes;
    auto [it, added] = kept.blocks.try_emplace(block.stub());
    if (!added)
        return it->second.state == Kept::Done ? it->second.shape.get() : nullptr;
    // A block that stands for more than a shape takes is walked as far as the budget goes,
    // never collected whole first.
    if (kept.walkOf(block) > kMaxExpandedEntities) {
        kept.blocks[block.stub()].state = Kept::Walked;
        return nullptr;
    }
    // Building: a reference to the block met while it is collected (through itself) walks.
    auto shape = std::make_unique<BlockShape>();
    bool whole = collectWholeBlock(block, shape->shape, shape->walked, shape->needs);
    std::size_t parts = partsOf(shape->shape);
    Kept &entry = kept.blocks[block.stub()]; // found again: collecting may have added blocks
    if (!whole || parts > kMaxKeptParts - std::min(kept.parts, kMaxKeptParts)) {
        entry.state = Kept::Walked;
        return nullptr;
    }
    shape->hull = hullOf(shape->shape);
    kept.parts += parts;
    entry.state = Kept::Done;
    entry.shape = std::move(shape);
    return entry.shape.get();
}

bool placesFlat(const AcGeMatrix3d &m) {
    return m.entry[0][2] == 0 && m.entry[1][2] == 0 && m.entry[3][0] == 0 && m.entry[3][1] == 0 &&
           m.entry[3][2] == 0 && m.entry[3][3] == 1;
}

namespace {

// The XY part of a flat placement.
struct Flat {
    double a, b, c, d, tx, ty; // x' = a x + b y + tx, y' = c x + d y + ty
    explicit Flat(const AcGeMatrix3d &m)
        : a(m.entry[0][0]), b(m.entry[0][1]), c(m.entry[1][0]), d(m.entry[1][1]), tx(m.entry[0][3]),
          ty(m.entry[1][3]) {}
    P2 operator()(P2 p) const { return {a * p.x + b * p.y + tx, c * p.x + d * p.y + ty}; }
    P2 vec(P2 v) const { return {a * v.x + b * v.y, c * v.x + d * v.y}; }
};

// An arc placed: an arc again when the placement keeps circles round (mirrored or not), else
// a close chain of segments, as the shape of an arc through such a map is.
void placeArc(const Arc &arc, const Flat &f, Shape &out) {
    P2 u = f.vec({arc.r, 0}), v = f.vec({0, arc.r}), c = f(arc.c);
    double lu = len(u), lv = len(v);
    if (lu > 0 && std::fabs(dot(u, v)) <= 1e-9 * lu * lv && std::fabs(lu - lv) <= 1e-9 * lu) {
        P2 d0 = u * std::cos(arc.a0) + v * std::sin(arc.a0);
        double start = std::atan2(d0.y, d0.x);
        if (cross(u, v) < 0)
            start -= arc.sweep; // mirrored: the same points, run the other way
        out.arcs.push_back({c, lu, start, arc.sweep});
        return;
    }
    int n = std::max(8, static_cast<int>(std::ceil(arc.sweep / (std::numbers::pi / 64))));
    P2 prev = c + u * std::cos(arc.a0) + v * std::sin(arc.a0);
    for (int i = 1; i <= n; ++i) {
        double t = arc.a0 + arc.sweep * i / n;
        P2 next = c + u * std::cos(t) + v * std::sin(t);
        out.segs.push_back({prev, next});
        prev = next;
    }
}

// As far as rays and construction lines are followed (shape.cpp).
constexpr double kUnbounded = 1e10;

} // namespace

void placeShape(const Shape &s, const AcGeMatrix3d &m, Shape &out) {
    Flat f(m);
    out.segs.reserve(out.segs.size() + s.segs.size());
    for (const Seg &g : s.segs)
        out.segs.push_back({f(g.a), f(g.b)});
    for (const Arc &a : s.arcs)
        placeArc(a, f, out);
    for (const Box4 &b : s.boxes)
        out.boxes.push_back({f(b[0]), f(b[1]), f(b[2]), f(b[3])});
    for (const Area &area : s.areas) {
        Area placed;
        placed.reserve(area.size());
        for (const std::vector<P2> &ring : area) {
            std::vector<P2> &r = placed.emplace_back();
            r.reserve(ring.size());
            for (P2 p : ring)
                r.push_back(f(p));
        }
        out.areas.push_back(std::move(placed));
    }
    // Lines without end keep their length from their bases.
    for (std::size_t i = 0; i < s.unbounded.size() && i < s.unboundedBases.size(); ++i) {
        const Seg &g = s.unbounded[i];
        P2 base = f(s.unboundedBases[i]), dir = f(g.b) - base;
        double l = len(dir);
        if (!(l > 0)) {
            out.segs.push_back({base, base}); // seen end on: a point
            continue;
        }
        bool bothWays = g.a.x != s.unboundedBases[i].x || g.a.y != s.unboundedBases[i].y;
        out.unboundedBases.push_back(base);
        out.unbounded.push_back(
            {bothWays ? base - dir * (kUnbounded / l) : base, base + dir * (kUnbounded / l)});
    }
}

bool placedBox(const BlockShape &b, const AcGeMatrix3d &m, P2 &lo, P2 &hi) {
    Flat f(m);
    Shape arcs;
    for (const Arc &a : b.shape.arcs)
        placeArc(a, f, arcs);
    bool any = arcs.box(lo, hi);
    for (P2 p : b.hull) {
        P2 q = f(p);
        if (!std::isfinite(q.x) || !std::isfinite(q.y))
            continue;
        if (!any) {
            lo = hi = q;
            any = true;
        }
        lo = {std::min(lo.x, q.x), std::min(lo.y, q.y)};
        hi = {std::max(hi.x, q.x), std::max(hi.y, q.y)};
    }
    return any;
}

bool shapeBox(const AcDbEntity &e, P2 &lo, P2 &hi, bool &unbounded) {
    if (auto *ref = AcDbBlockReference::cast(&e)) {
        AcGeMatrix3d m = ref->blockTransform();
        // A reference's attributes are part of its shape: those it holds are collected below.
        bool attributes = ObjectAccess::source(*ref).find("\nATTRIB") != std::string_view::npos;
        const BlockShape *kept =
            placesFlat(m) && !attributes ? keptBlockShape(ref->blockTableRecord()) : nullptr;
        // The walk's depth and budget, as collectShape has them for a reference.
        if (kept != nullptr && kMaxBlockNesting >= kept->needs &&
            kept->walked < kMaxExpandedEntities) {
            unbounded = !kept->shape.unbounded.empty();
            return placedBox(*kept, m, lo, hi);
        }
    }
    Shape shape;
    collectShape(e, AcGeMatrix3d(), kMaxBlockNesting, shape);
    unbounded = !shape.unbounded.empty();
    return shape.box(lo, hi);
}

} // namespace tev::db
