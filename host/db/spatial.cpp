// spatial.cpp - picks and selections: an R-tree of entity boxes per space, and exact 2D
// tests on each candidate's drawn geometry (segments, circular arcs, text boxes).
#include "spatial.h"
#include "access.h"
#include "database_impl.h"
#include "ocs.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace tev::db {

// entities.cpp / polyline.cpp
void textBox(const AcDbText &t, AcGePoint3d corners[4]);
bool bulgeArc(const AcGePoint2d &a, const AcGePoint2d &b, double bulge, AcGePoint2d &center,
              double &radius, double &a0, double &a1);
std::vector<const AcDb2dVertex *> drawnVertices(const AcDb2dPolyline &pl);
std::vector<const AcDb3dPolylineVertex *> drawnVertices(const AcDb3dPolyline &pl);

namespace {

using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using Value = std::pair<BBox, AcDbStub *>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// --- drawn geometry in the XY plane
// ----------------------------------------------------------------

struct P2 {
    double x = 0, y = 0;
};
P2 operator-(P2 a, P2 b) {
    return {a.x - b.x, a.y - b.y};
}
P2 operator+(P2 a, P2 b) {
    return {a.x + b.x, a.y + b.y};
}
P2 operator*(P2 a, double s) {
    return {a.x * s, a.y * s};
}
double dot(P2 a, P2 b) {
    return a.x * b.x + a.y * b.y;
}
double cross(P2 a, P2 b) {
    return a.x * b.y - a.y * b.x;
}
double len(P2 a) {
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
        double rel = std::fmod(angle - a0, kTwoPi);
        if (rel < 0)
            rel += kTwoPi;
        return rel <= sweep + 1e-12;
    }
};
using Box4 = std::array<P2, 4>; // a filled quadrilateral (text)

struct Shape {
    std::vector<Seg> segs;
    std::vector<Arc> arcs;
    std::vector<Box4> boxes;
    bool empty() const { return segs.empty() && arcs.empty() && boxes.empty(); }
};

P2 project(const AcGeMatrix3d &m, const AcGePoint3d &p) {
    AcGePoint3d q = m * p;
    return {q.x, q.y};
}

// An arc of radius r around center in the plane of normal, through m, in XY: an arc again
// when m keeps circles round in XY (mirrored or not), else a close chain of segments.
void addArc(Shape &out, const AcGeMatrix3d &m, const AcGePoint3d &center,
            const AcGeVector3d &normal, double r, double a0, double a1) {
    double sweep = std::fmod(a1 - a0, kTwoPi);
    if (sweep <= 0)
        sweep += kTwoPi;
    AcGeMatrix3d toWorld = ocsToWcs(normal);
    AcGeVector3d u3 = m * (toWorld * AcGeVector3d(r, 0, 0));
    AcGeVector3d v3 = m * (toWorld * AcGeVector3d(0, r, 0));
    P2 c = project(m, center), u{u3.x, u3.y}, v{v3.x, v3.y};
    double lu = len(u), lv = len(v);
    if (lu > 0 && std::fabs(dot(u, v)) <= 1e-9 * lu * lv && std::fabs(lu - lv) <= 1e-9 * lu) {
        P2 d0 = u * std::cos(a0) + v * std::sin(a0);
        double start = std::atan2(d0.y, d0.x);
        if (cross(u, v) < 0)
            start -= sweep; // mirrored: the same points, run the other way
        out.arcs.push_back({c, lu, start, sweep});
        return;
    }
    int n = std::max(8, static_cast<int>(std::ceil(sweep / (std::numbers::pi / 64))));
    P2 prev = c + u * std::cos(a0) + v * std::sin(a0);
    for (int i = 1; i <= n; ++i) {
        double t = a0 + sweep * i / n;
        P2 next = c + u * std::cos(t) + v * std::sin(t);
        out.segs.push_back({prev, next});
        prev = next;
    }
}

// A planar vertex chain (polyline) in the system of normal at elevation.
void addChain(Shape &out, const AcGeMatrix3d &m, const std::vector<AcGePoint2d> &pts,
              const std::vector<double> &bulges, bool closed, double elevation,
              const AcGeVector3d &normal) {
    AcGeMatrix3d toWorld = m * ocsToWcs(normal);
    std::size_t n = pts.size();
    if (n == 1) {
        P2 p = project(toWorld, AcGePoint3d(pts[0].x, pts[0].y, elevation));
        out.segs.push_back({p, p});
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 == n && !closed)
            break;
        const AcGePoint2d &a = pts[i], &b = pts[(i + 1) % n];
        AcGePoint2d c;
        double r, a0, a1;
        if (bulgeArc(a, b, bulges[i], c, r, a0, a1)) {
            addArc(out, toWorld, AcGePoint3d(c.x, c.y, elevation), AcGeVector3d::kZAxis, r, a0, a1);
            continue;
        }
        out.segs.push_back({project(toWorld, AcGePoint3d(a.x, a.y, elevation)),
                            project(toWorld, AcGePoint3d(b.x, b.y, elevation))});
    }
}

bool layerShown(AcDbObjectId layerId, bool frozenOnly = false) {
    auto *layer = peekAs<AcDbLayerTableRecord>(layerId);
    if (layer == nullptr)
        return true;
    return !layer->isFrozen() && (frozenOnly || !layer->isOff());
}

// Whether an entity inside a block shows: its own layer, or layer "0" (which takes the
// reference's, already checked).
bool nestedShown(const AcDbEntity &e) {
    if (!e.isVisible())
        return false;
    auto *layer = peekAs<AcDbSymbolTableRecord>(e.layerId());
    return (layer != nullptr && layer->nameRef() == "0") || layerShown(e.layerId());
}

void collect(const AcDbEntity &e, const AcGeMatrix3d &m, int depth, Shape &out) {
    if (auto *line = AcDbLine::cast(&e)) {
        out.segs.push_back({project(m, line->startPoint()), project(m, line->endPoint())});
    } else if (auto *arc = AcDbArc::cast(&e)) {
        addArc(out, m, arc->center(), arc->normal(), arc->radius(), arc->startAngle(),
               arc->endAngle());
    } else if (auto *circle = AcDbCircle::cast(&e)) {
        addArc(out, m, circle->center(), circle->normal(), circle->radius(), 0, kTwoPi);
    } else if (auto *lw = AcDbPolyline::cast(&e)) {
        std::vector<AcGePoint2d> pts(lw->numVerts());
        std::vector<double> bulges(lw->numVerts());
        for (unsigned i = 0; i < lw->numVerts(); ++i) {
            (void)lw->getPointAt(i, pts[i]); // i is in range
            (void)lw->getBulgeAt(i, bulges[i]);
        }
        addChain(out, m, pts, bulges, lw->isClosed(), lw->elevation(), lw->normal());
    } else if (auto *p2 = AcDb2dPolyline::cast(&e)) {
        std::vector<AcGePoint2d> pts;
        std::vector<double> bulges;
        for (const AcDb2dVertex *v : drawnVertices(*p2)) {
            pts.emplace_back(v->position().x, v->position().y);
            bulges.push_back(v->bulge());
        }
        addChain(out, m, pts, bulges, p2->isClosed(), p2->elevation(), p2->normal());
    } else if (auto *p3 = AcDb3dPolyline::cast(&e)) {
        auto vs = drawnVertices(*p3);
        for (std::size_t i = 0; i + 1 < vs.size() + (p3->isClosed() ? 1 : 0); ++i)
            out.segs.push_back(
                {project(m, vs[i]->position()), project(m, vs[(i + 1) % vs.size()]->position())});
    } else if (auto *text = AcDbText::cast(&e)) {
        AcGePoint3d c[4];
        textBox(*text, c);
        out.boxes.push_back(
            {project(m, c[0]), project(m, c[1]), project(m, c[2]), project(m, c[3])});
    } else if (auto *ref = AcDbBlockReference::cast(&e)) {
        auto *rec = peekAs<AcDbBlockTableRecord>(ref->blockTableRecord());
        if (rec == nullptr || depth <= 0)
            return;
        AcGeMatrix3d inner = m * ref->blockTransform();
        for (AcDbObject *o : ObjectAccess::entities(*rec)) {
            auto *child = static_cast<AcDbEntity *>(o);
            if (child != nullptr && !child->isErased() && nestedShown(*child))
                collect(*child, inner, depth - 1, out);
        }
    }
}

// --- exact tests
// -----------------------------------------------------------------------------------

double distSeg(P2 p, const Seg &s) {
    P2 d = s.b - s.a;
    double l2 = dot(d, d);
    double t = l2 > 0 ? std::clamp(dot(p - s.a, d) / l2, 0.0, 1.0) : 0.0;
    return len(p - (s.a + d * t));
}

double distArc(P2 p, const Arc &a) {
    P2 rel = p - a.c;
    if (len(rel) > 0 && a.covers(std::atan2(rel.y, rel.x)))
        return std::fabs(len(rel) - a.r);
    return std::min(len(p - a.at(a.a0)), len(p - a.at(a.a0 + a.sweep)));
}

bool insidePolygon(P2 p, const P2 *poly, std::size_t n) {
    bool in = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
            p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
            in = !in;
    }
    return in;
}

double distBox(P2 p, const Box4 &b) {
    if (insidePolygon(p, b.data(), 4))
        return 0;
    double d = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 4; ++i)
        d = std::min(d, distSeg(p, {b[i], b[(i + 1) % 4]}));
    return d;
}

double distance(const Shape &s, P2 p) {
    double d = std::numeric_limits<double>::infinity();
    for (const Seg &g : s.segs)
        d = std::min(d, distSeg(p, g));
    for (const Arc &a : s.arcs)
        d = std::min(d, distArc(p, a));
    for (const Box4 &b : s.boxes)
        d = std::min(d, distBox(p, b));
    return d;
}

bool onSegment(P2 p, const Seg &s) {
    return std::min(s.a.x, s.b.x) - 1e-12 <= p.x && p.x <= std::max(s.a.x, s.b.x) + 1e-12 &&
           std::min(s.a.y, s.b.y) - 1e-12 <= p.y && p.y <= std::max(s.a.y, s.b.y) + 1e-12;
}

bool segsCross(const Seg &s, const Seg &t) {
    double d1 = cross(t.b - t.a, s.a - t.a), d2 = cross(t.b - t.a, s.b - t.a);
    double d3 = cross(s.b - s.a, t.a - s.a), d4 = cross(s.b - s.a, t.b - s.a);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && onSegment(s.a, t)) || (d2 == 0 && onSegment(s.b, t)) ||
           (d3 == 0 && onSegment(t.a, s)) || (d4 == 0 && onSegment(t.b, s));
}

bool arcCrossesSeg(const Arc &a, const Seg &s) {
    P2 d = s.b - s.a, f = s.a - a.c;
    double qa = dot(d, d), qb = 2 * dot(f, d), qc = dot(f, f) - a.r * a.r;
    if (qa == 0)
        return std::fabs(len(f) - a.r) <= 1e-12 && a.covers(std::atan2(f.y, f.x));
    double disc = qb * qb - 4 * qa * qc;
    if (disc < 0)
        return false;
    double root = std::sqrt(disc);
    for (double t : {(-qb - root) / (2 * qa), (-qb + root) / (2 * qa)}) {
        if (t < -1e-12 || t > 1 + 1e-12)
            continue;
        P2 q = s.a + d * t - a.c;
        if (a.covers(std::atan2(q.y, q.x)))
            return true;
    }
    return false;
}

// Whether any drawn part of s meets segment g.
bool shapeMeets(const Shape &s, const Seg &g) {
    for (const Seg &t : s.segs)
        if (segsCross(t, g))
            return true;
    for (const Arc &a : s.arcs)
        if (arcCrossesSeg(a, g))
            return true;
    for (const Box4 &b : s.boxes)
        for (int i = 0; i < 4; ++i)
            if (segsCross({b[i], b[(i + 1) % 4]}, g))
                return true;
    return false;
}

// One point on each part of s.
std::vector<P2> samplePoints(const Shape &s) {
    std::vector<P2> pts;
    for (const Seg &t : s.segs)
        pts.push_back(t.a);
    for (const Arc &a : s.arcs)
        pts.push_back(a.at(a.a0));
    for (const Box4 &b : s.boxes)
        pts.push_back(b[0]);
    return pts;
}

bool boxHolds(const Shape &s, P2 p) {
    for (const Box4 &b : s.boxes)
        if (insidePolygon(p, b.data(), 4))
            return true;
    return false;
}

// Window or crossing against a closed polygon.
bool matchesPolygon(const Shape &s, const std::vector<P2> &poly, bool crossing) {
    if (s.empty())
        return false;
    bool meets = false;
    for (std::size_t i = 0; i < poly.size() && !meets; ++i)
        meets = shapeMeets(s, {poly[i], poly[(i + 1) % poly.size()]});
    if (meets)
        return crossing;
    // No part crosses the boundary: each part is wholly inside or wholly outside.
    bool anyIn = false, allIn = true;
    for (P2 p : samplePoints(s)) {
        bool in = insidePolygon(p, poly.data(), poly.size());
        anyIn = anyIn || in;
        allIn = allIn && in;
    }
    if (!crossing)
        return allIn;
    return anyIn || boxHolds(s, poly[0]);
}

bool matchesFence(const Shape &s, const std::vector<P2> &fence) {
    for (std::size_t i = 0; i + 1 < fence.size(); ++i)
        if (shapeMeets(s, {fence[i], fence[i + 1]}))
            return true;
    return !fence.empty() && boxHolds(s, fence[0]);
}

} // namespace

// --- the index
// --------------------------------------------------------------------------------------

struct SpaceIndex {
    bgi::rtree<Value, bgi::rstar<16>> tree;
    std::unordered_map<AcDbStub *, BBox> boxes;
};

void SpaceIndexDeleter::operator()(SpaceIndex *index) const {
    delete index;
}

namespace {

bool boxOf(const AcDbObject *o, BBox &box) {
    const auto *e = AcDbEntity::cast(o);
    AcDbExtents ext;
    if (e == nullptr || e->isErased() || e->getGeomExtents(ext) != Acad::eOk || ext.isEmpty())
        return false;
    box = BBox(BPoint(ext.minPoint().x, ext.minPoint().y),
               BPoint(ext.maxPoint().x, ext.maxPoint().y));
    return true;
}

SpaceIndex *indexOf(const AcDbDatabase &db, AcDbObjectId space) {
    if (space.isNull() || space.database() != &db || peekAs<AcDbBlockTableRecord>(space) == nullptr)
        return nullptr;
    DatabaseImpl &impl = tev::db::implOf(db);
    auto it = impl.spatial.find(space.stub());
    if (it != impl.spatial.end())
        return it->second.get();
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    std::vector<Value> values;
    auto index = std::unique_ptr<SpaceIndex, SpaceIndexDeleter>(new SpaceIndex);
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        BBox box;
        if (o != nullptr && boxOf(o, box)) {
            values.emplace_back(box, o->objectId().stub());
            index->boxes.emplace(o->objectId().stub(), box);
        }
    }
    index->tree = bgi::rtree<Value, bgi::rstar<16>>(values.begin(), values.end()); // packed
    SpaceIndex *raw = index.get();
    impl.spatial.emplace(space.stub(), std::move(index));
    return raw;
}

// The candidates of a query, as entities that show, in drawing order.
template <class Pred> std::vector<AcDbStub *> candidates(SpaceIndex &index, Pred pred) {
    std::vector<Value> hits;
    index.tree.query(pred, std::back_inserter(hits));
    std::vector<AcDbStub *> out;
    for (const Value &v : hits) {
        auto *e = AcDbEntity::cast(v.second->object);
        if (e != nullptr && !v.second->erased && e->isVisible() && layerShown(e->layerId()))
            out.push_back(v.second);
    }
    std::sort(out.begin(), out.end(),
              [](const AcDbStub *a, const AcDbStub *b) { return a->order < b->order; });
    return out;
}

std::vector<AcDbObjectId> ids(const std::vector<AcDbStub *> &stubs) {
    std::vector<AcDbObjectId> out;
    out.reserve(stubs.size());
    for (AcDbStub *s : stubs)
        out.emplace_back(s);
    return out;
}

Shape shapeOf(const AcDbEntity &e, const AcGeMatrix3d &m = AcGeMatrix3d()) {
    Shape s;
    collect(e, m, kMaxBlockNesting, s);
    return s;
}

BBox boundsOf(const std::vector<P2> &pts) {
    BBox b(BPoint(pts[0].x, pts[0].y), BPoint(pts[0].x, pts[0].y));
    for (P2 p : pts)
        bg::expand(b, BPoint(p.x, p.y));
    return b;
}

} // namespace

void updateSpaceIndex(SpaceIndex &index, AcDbStub *stub) {
    auto it = index.boxes.find(stub);
    if (it != index.boxes.end()) {
        index.tree.remove(Value(it->second, stub));
        index.boxes.erase(it);
    }
    BBox box;
    if (stub->object != nullptr && boxOf(stub->object, box)) {
        index.tree.insert(Value(box, stub));
        index.boxes.emplace(stub, box);
    }
}

// --- queries
// -----------------------------------------------------------------------------------------

bool isOnVisibleLayer(const AcDbEntity &ent) {
    return layerShown(ent.layerId());
}

AcDbObjectId pickEntity(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt,
                        double aperture) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || !(aperture >= 0))
        return AcDbObjectId();
    BBox around(BPoint(pt.x - aperture, pt.y - aperture), BPoint(pt.x + aperture, pt.y + aperture));
    AcDbStub *best = nullptr;
    double bestDist = std::numeric_limits<double>::infinity();
    for (AcDbStub *s : candidates(*index, bgi::intersects(around))) {
        double d = distance(shapeOf(*static_cast<AcDbEntity *>(s->object)), {pt.x, pt.y});
        if (d <= aperture && d <= bestDist + 1e-12) { // later in drawing order wins a tie
            best = s;
            bestDist = std::min(d, bestDist);
        }
    }
    return AcDbObjectId(best);
}

namespace {
struct NestedSearch {
    P2 pt;
    double best = std::numeric_limits<double>::infinity();
    std::vector<AcDbObjectId> chain; // references, outermost first
    NestedPick result;
    bool found = false;

    void visit(const AcDbEntity &e, const AcGeMatrix3d &m, int depth) {
        if (auto *ref = AcDbBlockReference::cast(&e)) {
            auto *rec = peekAs<AcDbBlockTableRecord>(ref->blockTableRecord());
            if (rec == nullptr || depth <= 0)
                return;
            chain.push_back(e.objectId());
            AcGeMatrix3d inner = m * ref->blockTransform();
            for (AcDbObject *o : ObjectAccess::entities(*rec)) {
                auto *child = static_cast<AcDbEntity *>(o);
                if (child != nullptr && !child->isErased() && nestedShown(*child))
                    visit(*child, inner, depth - 1);
            }
            chain.pop_back();
            return;
        }
        Shape s;
        collect(e, m, 0, s);
        double d = distance(s, pt);
        if (d <= best + 1e-12) {
            best = std::min(best, d);
            found = true;
            result.entity = e.objectId();
            result.containers.assign(chain.rbegin(), chain.rend());
            result.xform = m;
        }
    }
};
} // namespace

bool pickNested(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt, double aperture,
                NestedPick &out) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || !(aperture >= 0))
        return false;
    BBox around(BPoint(pt.x - aperture, pt.y - aperture), BPoint(pt.x + aperture, pt.y + aperture));
    NestedSearch search;
    search.pt = {pt.x, pt.y};
    for (AcDbStub *s : candidates(*index, bgi::intersects(around)))
        search.visit(*static_cast<AcDbEntity *>(s->object), AcGeMatrix3d(), kMaxBlockNesting);
    if (!search.found || search.best > aperture)
        return false;
    out = search.result;
    return true;
}

std::vector<AcDbObjectId> selectPolygon(const AcDbDatabase &db, AcDbObjectId space,
                                        const std::vector<AcGePoint2d> &polygon, bool crossing) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || polygon.size() < 3)
        return {};
    std::vector<P2> poly;
    for (const AcGePoint2d &p : polygon)
        poly.push_back({p.x, p.y});
    BBox bounds = boundsOf(poly);
    std::vector<AcDbStub *> hits;
    auto test = [&](AcDbStub *s) {
        return matchesPolygon(shapeOf(*static_cast<AcDbEntity *>(s->object)), poly, crossing);
    };
    if (crossing) {
        for (AcDbStub *s : candidates(*index, bgi::intersects(bounds)))
            if (test(s))
                hits.push_back(s);
    } else {
        for (AcDbStub *s : candidates(*index, bgi::covered_by(bounds)))
            if (test(s))
                hits.push_back(s);
    }
    return ids(hits);
}

std::vector<AcDbObjectId> selectWindow(const AcDbDatabase &db, AcDbObjectId space,
                                       const AcGePoint2d &corner1, const AcGePoint2d &corner2,
                                       bool crossing) {
    double x0 = std::min(corner1.x, corner2.x), x1 = std::max(corner1.x, corner2.x);
    double y0 = std::min(corner1.y, corner2.y), y1 = std::max(corner1.y, corner2.y);
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr)
        return {};
    BBox window(BPoint(x0, y0), BPoint(x1, y1));
    if (!crossing) // the boxes are exact: an entity whose box is inside is inside
        return ids(candidates(*index, bgi::covered_by(window)));
    std::vector<P2> poly = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    std::vector<AcDbStub *> hits;
    for (AcDbStub *s : candidates(*index, bgi::intersects(window))) {
        BBox box = index->boxes.at(s);
        if (bg::covered_by(box, window) ||
            matchesPolygon(shapeOf(*static_cast<AcDbEntity *>(s->object)), poly, true))
            hits.push_back(s);
    }
    return ids(hits);
}

std::vector<AcDbObjectId> selectFence(const AcDbDatabase &db, AcDbObjectId space,
                                      const std::vector<AcGePoint2d> &fence) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || fence.size() < 2)
        return {};
    std::vector<P2> pts;
    for (const AcGePoint2d &p : fence)
        pts.push_back({p.x, p.y});
    std::vector<AcDbStub *> hits;
    for (AcDbStub *s : candidates(*index, bgi::intersects(boundsOf(pts))))
        if (matchesFence(shapeOf(*static_cast<AcDbEntity *>(s->object)), pts))
            hits.push_back(s);
    return ids(hits);
}

std::vector<AcDbObjectId> entitiesInBox(const AcDbDatabase &db, AcDbObjectId space,
                                        const AcGePoint2d &lo, const AcGePoint2d &hi,
                                        double minSize, std::size_t maxCount) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr)
        return {};
    BBox view(BPoint(lo.x, lo.y), BPoint(hi.x, hi.y));
    // One pass over the boxes: each hit with its size (the larger side).
    std::vector<std::pair<double, AcDbStub *>> hits;
    for (auto it = index->tree.qbegin(bgi::intersects(view)); it != index->tree.qend(); ++it) {
        const BBox &b = it->first;
        double size = std::max(b.max_corner().get<0>() - b.min_corner().get<0>(),
                               b.max_corner().get<1>() - b.min_corner().get<1>());
        if (size >= minSize)
            hits.emplace_back(size, it->second);
    }
    if (hits.size() > maxCount) { // the largest maxCount
        std::nth_element(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(maxCount),
                         hits.end(),
                         [](const auto &a, const auto &b) { return a.first > b.first; });
        hits.resize(maxCount);
    }
    std::vector<AcDbStub *> out;
    out.reserve(hits.size());
    for (const auto &[size, stub] : hits) {
        auto *e = AcDbEntity::cast(stub->object);
        if (e != nullptr && !stub->erased && e->isVisible() && layerShown(e->layerId()))
            out.push_back(stub);
    }
    std::sort(out.begin(), out.end(),
              [](const AcDbStub *a, const AcDbStub *b) { return a->order < b->order; });
    return ids(out);
}

bool spaceExtents(const AcDbDatabase &db, AcDbObjectId space, AcGePoint2d &lo, AcGePoint2d &hi) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || index->tree.empty())
        return false;
    BBox b = index->tree.bounds();
    lo.set(b.min_corner().get<0>(), b.min_corner().get<1>());
    hi.set(b.max_corner().get<0>(), b.max_corner().get<1>());
    return true;
}

std::vector<AcDbObjectId> selectAll(const AcDbDatabase &db, AcDbObjectId space) {
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    if (rec == nullptr || space.database() != &db)
        return {};
    std::vector<AcDbObjectId> out;
    out.reserve(ObjectAccess::entities(*rec).size());
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        auto *e = static_cast<AcDbEntity *>(o);
        if (e != nullptr && !e->isErased() && layerShown(e->layerId(), /*frozenOnly=*/true))
            out.push_back(e->objectId());
    }
    return out;
}

AcDbObjectId lastEntity(const AcDbDatabase &db, AcDbObjectId space) {
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    if (rec == nullptr || space.database() != &db)
        return AcDbObjectId();
    const auto &list = ObjectAccess::entities(*rec);
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto *e = static_cast<AcDbEntity *>(*it);
        if (e != nullptr && !e->isErased() && e->isVisible() && layerShown(e->layerId()))
            return e->objectId();
    }
    return AcDbObjectId();
}

} // namespace tev::db
