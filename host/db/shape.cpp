// shape.cpp - entities' shapes in the XY plane, and the exact tests on them (distance,
// meeting a segment, inside a polygon).
#include "shape.h"
#include "access.h"
#include "block_shape.h"
#include "database_impl.h"
#include "kept_shape.h"
#include "ocs.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "spatial.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <limits>

namespace tev::db {

// entities.cpp / polyline.cpp
void textBox(const AcDbText &t, AcGePoint3d corners[4]);
bool bulgeArc(const AcGePoint2d &a, const AcGePoint2d &b, double bulge, AcGePoint2d &center,
              double &radius, double &a0, double &a1);
std::vector<const AcDb2dVertex *> drawnVertices(const AcDb2dPolyline &pl);
std::vector<const AcDb3dPolylineVertex *> drawnVertices(const AcDb3dPolyline &pl);

bool layerShown(AcDbObjectId layerId, bool frozenOnly) {
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

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

P2 project(const AcGeMatrix3d &m, const AcGePoint3d &p) {
    AcGePoint3d q = m * p;
    return {q.x, q.y};
}

// An arc of radius r around center in the plane of normal, through m, in XY: an arc again
// when m keeps circles round in XY (mirrored or not; true), else a close chain of segments
// from a0 on (false).
bool addArc(Shape &out, const AcGeMatrix3d &m, const AcGePoint3d &center,
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
        return true;
    }
    int n = std::max(8, static_cast<int>(std::ceil(sweep / (std::numbers::pi / 64))));
    P2 prev = c + u * std::cos(a0) + v * std::sin(a0);
    for (int i = 1; i <= n; ++i) {
        double t = a0 + sweep * i / n;
        P2 next = c + u * std::cos(t) + v * std::sin(t);
        out.segs.push_back({prev, next});
        prev = next;
    }
    return false;
}

// Whether m's plan view keeps circles round (a rotation, a uniform scale, perhaps a
// mirror); then scale and mirrored say which.
bool planSimilarity(const AcGeMatrix3d &m, double &scale, bool &mirrored) {
    double a = m.entry[0][0], b = m.entry[1][0], c = m.entry[0][1], d = m.entry[1][1];
    double lx = a * a + b * b, ly = c * c + d * d, tol = 1e-9 * std::max(lx, ly);
    if (!(lx > 0) || std::fabs(lx - ly) > tol || std::fabs(a * c + b * d) > tol)
        return false;
    scale = std::sqrt(lx);
    mirrored = a * d - b * c < 0;
    return true;
}

// A vertex of a path in a plane's own coordinates (its z given apart).
struct Local {
    double x = 0, y = 0, bulge = 0;
};

// The drawn form of a path in a plane's own coordinates at height z through toWorld: arcs
// kept as bulges where toWorld keeps circles round, else followed by chords.
Chain drawnPath(const AcGeMatrix3d &toWorld, const std::vector<Local> &verts, double z,
                bool closed) {
    Chain chain;
    chain.closed = closed;
    auto at = [&](double x, double y) { return project(toWorld, AcGePoint3d(x, y, z)); };
    double scale = 1;
    bool mirrored = false;
    if (planSimilarity(toWorld, scale, mirrored)) {
        for (const Local &v : verts)
            chain.verts.push_back({at(v.x, v.y), mirrored ? -v.bulge : v.bulge});
        return chain;
    }
    std::size_t pieces = closed ? verts.size() : verts.size() - 1;
    std::vector<Point3> pts;
    for (std::size_t i = 0; i < pieces; ++i) {
        const Local &p = verts[i], &q = verts[(i + 1) % verts.size()];
        bulgePoints(pts, {p.x, p.y, 0}, {q.x, q.y, 0}, p.bulge);
    }
    if (!closed && !verts.empty())
        pts.push_back({verts.back().x, verts.back().y, 0});
    for (Point3 p : pts)
        chain.verts.push_back({at(p.x, p.y)});
    return chain;
}

// The unit tangent at the start (atEnd false) or end of the piece a→b with this bulge.
P2 pieceTangent(P2 a, P2 b, double bulge, bool atEnd) {
    P2 d = b - a;
    double l = len(d);
    if (l == 0)
        return {1, 0};
    double turn = (atEnd ? 1 : -1) * 2 * std::atan(bulge); // half the arc's sweep
    double c = std::cos(turn), s = std::sin(turn);
    return {(d.x * c - d.y * s) / l, (d.x * s + d.y * c) / l};
}

// The outline of one piece of a polyline drawn with widths tapering from w0 to w1, in its
// own coordinates: the left edge forward, then the right edge back.
std::vector<P2> bandOutline(P2 a, P2 b, double bulge, double w0, double w1) {
    std::vector<Point3> along;
    bulgePoints(along, {a.x, a.y, 0}, {b.x, b.y, 0}, bulge);
    along.push_back({b.x, b.y, 0});
    std::size_t n = along.size();
    std::vector<P2> left, right;
    for (std::size_t i = 0; i < n; ++i) {
        P2 t;
        if (i == 0 || i == n - 1) {
            t = pieceTangent(a, b, bulge, /*atEnd=*/i != 0);
        } else {
            P2 d{along[i + 1].x - along[i - 1].x, along[i + 1].y - along[i - 1].y};
            t = len(d) > 0 ? d * (1 / len(d)) : P2{1, 0};
        }
        double w = w0 + (w1 - w0) * static_cast<double>(i) / static_cast<double>(n - 1);
        P2 normal{-t.y * w / 2, t.x * w / 2}, mid{along[i].x, along[i].y};
        left.push_back(mid + normal);
        right.push_back(mid - normal);
    }
    left.insert(left.end(), right.rbegin(), right.rend());
    return left;
}

// The widths of a polyline's piece from a vertex to the next.
struct Widths {
    double start = 0, end = 0;
};

// The drawn form of a polyline (its widths one per vertex, or none): no widths, a thin
// chain; one width everywhere where toWorld keeps its shape, a chain stroked that wide;
// otherwise each wide piece a band (made in the polyline's own plane, then placed), the
// thin ones thin chains.
Chain drawnPolyline(const AcGeMatrix3d &toWorld, const std::vector<Local> &verts,
                    const std::vector<Widths> &widths, bool closed, double z) {
    std::size_t pieces = closed ? verts.size() : verts.size() - 1;
    bool anyWidth = false, constant = true;
    for (std::size_t i = 0; i < pieces && i < widths.size(); ++i) {
        anyWidth = anyWidth || widths[i].start > 0 || widths[i].end > 0;
        constant =
            constant && widths[i].start == widths[0].start && widths[i].end == widths[0].start;
    }
    double scale = 1;
    bool mirrored = false;
    if (!anyWidth || (constant && planSimilarity(toWorld, scale, mirrored))) {
        Chain chain = drawnPath(toWorld, verts, z, closed);
        chain.width = anyWidth ? widths[0].start * scale : 0;
        return chain;
    }
    Chain group;
    for (std::size_t i = 0; i < pieces; ++i) {
        const Local &a = verts[i], &b = verts[(i + 1) % verts.size()];
        if (widths[i].start > 0 || widths[i].end > 0) {
            Chain band;
            for (P2 p :
                 bandOutline({a.x, a.y}, {b.x, b.y}, a.bulge, widths[i].start, widths[i].end))
                band.band.push_back(project(toWorld, AcGePoint3d(p.x, p.y, z)));
            group.pieces.push_back(std::move(band));
        } else {
            group.pieces.push_back(drawnPath(toWorld, {a, {b.x, b.y, 0}}, z, /*closed=*/false));
        }
    }
    return group;
}

// A planar vertex chain (polyline) in the system of normal at elevation; its drawn form
// too when the shape keeps one.
void addChain(Shape &out, const AcGeMatrix3d &m, const std::vector<AcGePoint2d> &pts,
              const std::vector<double> &bulges, const std::vector<Widths> &widths, bool closed,
              double elevation, const AcGeVector3d &normal) {
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
    if (!out.drawn || n == 0)
        return;
    std::vector<Local> verts;
    for (std::size_t i = 0; i < n; ++i)
        verts.push_back({pts[i].x, pts[i].y, bulges[i]});
    out.chains.push_back(drawnPolyline(toWorld, verts, widths, closed, elevation));
}

// The drawn form of an arc of radius r (a whole circle when whole) around center in the
// plane of normal through m: a circle where m keeps it round, else two halves (so that no
// piece has a bulge near infinity).
void drawArc(Shape &out, const AcGeMatrix3d &m, const AcGePoint3d &center,
             const AcGeVector3d &normal, double r, double a0, double a1, bool whole) {
    if (!out.drawn)
        return;
    AcGeMatrix3d toWorld =
        m * AcGeMatrix3d::translation(center - AcGePoint3d::kOrigin) * ocsToWcs(normal);
    double scale = 1;
    bool mirrored = false;
    if (whole) {
        if (planSimilarity(toWorld, scale, mirrored))
            out.circles.push_back({project(toWorld, AcGePoint3d::kOrigin), r * scale, 0, kTwoPi});
        else
            out.chains.push_back(drawnPath(toWorld, {{r, 0, 1}, {-r, 0, 1}}, 0, /*closed=*/true));
        return;
    }
    double sweep = std::fmod(a1 - a0, kTwoPi);
    if (sweep <= 0)
        sweep += kTwoPi; // counter-clockwise from start to end; equal angles: a whole turn
    double mid = a0 + sweep / 2, end = a0 + sweep, bulge = std::tan(sweep / 8);
    out.chains.push_back(drawnPath(toWorld,
                                   {{r * std::cos(a0), r * std::sin(a0), bulge},
                                    {r * std::cos(mid), r * std::sin(mid), bulge},
                                    {r * std::cos(end), r * std::sin(end), 0}},
                                   0, /*closed=*/false));
}

P2 project(const AcGeMatrix3d &m, Point3 p) {
    return project(m, AcGePoint3d(p.x, p.y, p.z));
}

// The length rays and construction lines are followed for: beyond any drawing, and short
// enough that distances along them keep their precision.
constexpr double kUnbounded = 1e10;

// The entities one shape may still be collected from, and how deep its walk went.
struct Budget {
    std::size_t left = kMaxExpandedEntities;
    int lowest = kMaxBlockNesting + 1; // the least depth a block was walked at
    bool tooDeep = false;              // a block was left out for the depth
};

std::atomic<std::size_t> gCutShapes{0};

void collect(const AcDbEntity &e, const AcGeMatrix3d &m, int depth, Shape &out, Budget &budget);

// The box of one line of text, its characters 0.6 of its height wide.
void addTextBox(Shape &out, const AcGeMatrix3d &m, const KeptText &t) {
    double width = textWidth(t.text, t.height, t.widthFactor);
    double left = t.anchor == 0 ? 0 : t.anchor == 1 ? -width / 2 : -width;
    double bottom = t.baseline == 1 ? -t.height / 2 : t.baseline == 2 ? -t.height : 0;
    auto corner = [&](double u, double v) {
        return project(m, Point3{t.pos.x + t.along.x * u + t.up.x * v,
                                 t.pos.y + t.along.y * u + t.up.y * v,
                                 t.pos.z + t.along.z * u + t.up.z * v});
    };
    out.boxes.push_back({corner(left, bottom), corner(left + width, bottom),
                         corner(left + width, bottom + t.height), corner(left, bottom + t.height)});
}

// A line of text as drawn, through m: from its position, or its alignment point when it
// is justified otherwise than aligned or fit (those run from the position).
KeptText textLine(const AcDbText &text, const AcGeMatrix3d &m) {
    AcDb::TextHorzMode horz = text.horizontalMode();
    AcDb::TextVertMode vert = text.verticalMode();
    bool aligned = horz != AcDb::kTextLeft || vert != AcDb::kTextBase;
    bool spread = horz == AcDb::kTextAlign || horz == AcDb::kTextFit;
    AcGePoint3d at = m * (aligned && !spread ? text.alignmentPoint() : text.position());
    AcGeMatrix3d toWorld =
        m * ocsToWcs(text.normal()) * AcGeMatrix3d::rotation(text.rotation(), AcGeVector3d::kZAxis);
    AcGeVector3d along = toWorld * AcGeVector3d(1, 0, 0), up = toWorld * AcGeVector3d(0, 1, 0);
    KeptText t;
    t.pos = {at.x, at.y, at.z};
    t.along = {along.x, along.y, along.z};
    t.up = {up.x, up.y, up.z};
    t.height = text.height() > 0 ? text.height() : 1.0; // 0: the style's, not modelled
    t.widthFactor = text.widthFactor() > 0 ? text.widthFactor() : 1;
    t.text = text.textStringConst();
    t.anchor = horz == AcDb::kTextCenter || horz == AcDb::kTextMid ? 1
               : horz == AcDb::kTextRight                          ? 2
                                                                   : 0;
    t.baseline = horz == AcDb::kTextMid || vert == AcDb::kTextVertMid ? 1
                 : vert == AcDb::kTextTop                             ? 2
                 : vert == AcDb::kTextBottom                          ? 3
                                                                      : 0;
    return t;
}

// The attributes of a reference that show (their own layer on and thawed): their text is
// part of the reference, which a pick on them finds. They follow the reference's record.
void collectAttributes(const AcDbBlockReference &ref, const AcGeMatrix3d &m, Shape &out) {
    std::string_view src = ObjectAccess::source(ref);
    if (src.find("\nATTRIB") == std::string_view::npos || ref.database() == nullptr)
        return;
    auto *layers = peekAs<AcDbLayerTable>(ref.database()->layerTableId());
    std::vector<Groups> records = Groups::records(src);
    for (std::size_t i = 1; i < records.size(); ++i) {
        KeptText t;
        if (records[i].type() != "ATTRIB" || !attributeText(records[i], false, {}, t))
            continue;
        AcDbObjectId layer;
        std::string name = keptText(records[i].text(8), {});
        if (layers != nullptr &&
            layers->getAt(name.empty() ? "0" : name.c_str(), layer) == Acad::eOk &&
            !layerShown(layer))
            continue;
        addTextBox(out, m, t);
    }
}

// The entities of a block through m (a reference's or a dimension's), one by one.
void walkBlock(AcDbObjectId block, const AcGeMatrix3d &m, int depth, Shape &out, Budget &budget) {
    if (depth <= 0) {
        budget.tooDeep = true;
        return;
    }
    auto *rec = peekAs<AcDbBlockTableRecord>(block);
    if (rec == nullptr)
        return;
    budget.lowest = std::min(budget.lowest, depth);
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        if (out.cut)
            return;
        auto *child = static_cast<AcDbEntity *>(o);
        if (child != nullptr && !child->isErased() && nestedShown(*child))
            collect(*child, m, depth - 1, out, budget);
    }
}

// The same from the block's kept shape where that gives the same: what the walk would reach
// at this depth within the budget, placed flat.
void collectBlock(AcDbObjectId block, const AcGeMatrix3d &m, int depth, Shape &out,
                  Budget &budget) {
    if (depth > 0 && !out.drawn && placesFlat(m)) { // the kept shape has no drawn parts
        const BlockShape *kept = keptBlockShape(block);
        if (kept != nullptr && depth >= kept->needs && kept->walked <= budget.left) {
            placeShape(kept->shape, m, out);
            budget.left -= kept->walked;
            budget.lowest = std::min(budget.lowest, depth - kept->needs + 1);
            return;
        }
    }
    walkBlock(block, m, depth, out, budget);
}

void collectKept(const AcDbUnknownEntity &e, const AcGeMatrix3d &m, int depth, Shape &out,
                 Budget &budget) {
    KeptShape k;
    std::vector<Groups> records = Groups::records(ObjectAccess::source(e));
    auto *owner = peekAs<AcDbBlockTableRecord>(e.ownerId());
    if (owner != nullptr && !owner->isLayout() && !records.empty() &&
        records[0].type() == "ATTDEF") {
        KeptText t; // in a block, what its references show
        if (attributeText(records[0], /*inBlock=*/true, {}, t))
            addTextBox(out, m, t);
        return;
    }
    if (!keptShape(records, {}, k))
        return;
    for (const KeptPath &path : k.paths) {
        std::size_t n = path.pts.size();
        if (n == 1)
            out.segs.push_back({project(m, path.pts[0]), project(m, path.pts[0])});
        for (std::size_t i = 0; i + 1 < n + (path.closed && n > 2 ? 1 : 0); ++i)
            out.segs.push_back({project(m, path.pts[i]), project(m, path.pts[(i + 1) % n])});
    }
    for (const auto &rings : k.areas) {
        Area area;
        for (const std::vector<Point3> &ring : rings) {
            std::vector<P2> r;
            r.reserve(ring.size());
            for (Point3 p : ring)
                r.push_back(project(m, p));
            area.push_back(std::move(r));
        }
        out.areas.push_back(std::move(area));
    }
    for (const KeptText &t : k.texts)
        addTextBox(out, m, t);
    for (Point3 p : k.points)
        out.segs.push_back({project(m, p), project(m, p)});
    for (const KeptLine &l : k.lines) {
        P2 base = project(m, l.base);
        P2 dir =
            project(m, Point3{l.base.x + l.dir.x, l.base.y + l.dir.y, l.base.z + l.dir.z}) - base;
        if (!(len(dir) > 0))
            out.segs.push_back({base, base}); // seen end on: a point
        else {
            out.unboundedBases.push_back(base);
            out.unbounded.push_back({l.bothWays ? base - dir * (kUnbounded / len(dir)) : base,
                                     base + dir * (kUnbounded / len(dir))});
        }
    }
    if (!k.block.empty() && e.database() != nullptr) {
        auto *table = peekAs<AcDbBlockTable>(e.database()->blockTableId());
        AcDbObjectId block;
        if (table != nullptr && table->getAt(keptText(k.block, {}).c_str(), block) == Acad::eOk)
            collectBlock(block, m, depth, out, budget); // placed in world coordinates as it is
    }
}

void collect(const AcDbEntity &e, const AcGeMatrix3d &m, int depth, Shape &out, Budget &budget) {
    if (budget.left == 0) {
        out.cut = true;
        return;
    }
    --budget.left;
    if (auto *line = AcDbLine::cast(&e)) {
        P2 a = project(m, line->startPoint()), b = project(m, line->endPoint());
        out.segs.push_back({a, b});
        if (out.drawn)
            out.chains.emplace_back().verts = {{a}, {b}};
    } else if (auto *arc = AcDbArc::cast(&e)) {
        addArc(out, m, arc->center(), arc->normal(), arc->radius(), arc->startAngle(),
               arc->endAngle());
        drawArc(out, m, arc->center(), arc->normal(), arc->radius(), arc->startAngle(),
                arc->endAngle(), /*whole=*/false);
    } else if (auto *circle = AcDbCircle::cast(&e)) {
        addArc(out, m, circle->center(), circle->normal(), circle->radius(), 0, kTwoPi);
        drawArc(out, m, circle->center(), circle->normal(), circle->radius(), 0, kTwoPi,
                /*whole=*/true);
    } else if (auto *lw = AcDbPolyline::cast(&e)) {
        std::vector<AcGePoint2d> pts(lw->numVerts());
        std::vector<double> bulges(lw->numVerts());
        std::vector<Widths> widths(lw->numVerts());
        for (unsigned i = 0; i < lw->numVerts(); ++i) {
            (void)lw->getPointAt(i, pts[i]); // i is in range
            (void)lw->getBulgeAt(i, bulges[i]);
            (void)lw->getWidthsAt(i, widths[i].start, widths[i].end);
        }
        addChain(out, m, pts, bulges, widths, lw->isClosed(), lw->elevation(), lw->normal());
    } else if (auto *p2 = AcDb2dPolyline::cast(&e)) {
        std::vector<AcGePoint2d> pts;
        std::vector<double> bulges;
        std::vector<Widths> widths;
        for (const AcDb2dVertex *v : drawnVertices(*p2)) {
            pts.emplace_back(v->position().x, v->position().y);
            bulges.push_back(v->bulge());
            widths.push_back({v->startWidth(), v->endWidth()});
        }
        addChain(out, m, pts, bulges, widths, p2->isClosed(), p2->elevation(), p2->normal());
    } else if (auto *p3 = AcDb3dPolyline::cast(&e)) {
        auto vs = drawnVertices(*p3);
        Chain chain;
        chain.closed = p3->isClosed();
        for (const AcDb3dPolylineVertex *v : vs)
            chain.verts.push_back({project(m, v->position())});
        for (std::size_t i = 0; i + 1 < vs.size() + (p3->isClosed() ? 1 : 0); ++i)
            out.segs.push_back({chain.verts[i].p, chain.verts[(i + 1) % vs.size()].p});
        if (out.drawn)
            out.chains.push_back(std::move(chain));
    } else if (auto *text = AcDbText::cast(&e)) {
        AcGePoint3d c[4];
        textBox(*text, c);
        out.boxes.push_back(
            {project(m, c[0]), project(m, c[1]), project(m, c[2]), project(m, c[3])});
        if (out.drawn)
            out.texts.push_back(textLine(*text, m));
    } else if (auto *ref = AcDbBlockReference::cast(&e)) {
        collectBlock(ref->blockTableRecord(), m * ref->blockTransform(), depth, out, budget);
        collectAttributes(*ref, m, out);
    } else if (auto *kept = AcDbUnknownEntity::cast(&e)) {
        collectKept(*kept, m, depth, out, budget);
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

// Inside an area by the even-odd rule over all its rings.
bool insideArea(P2 p, const Area &area) {
    bool in = false;
    for (const std::vector<P2> &ring : area)
        if (ring.size() >= 3 && insidePolygon(p, ring.data(), ring.size()))
            in = !in;
    return in;
}

double distRing(P2 p, const std::vector<P2> &ring) {
    double d = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < ring.size(); ++i)
        d = std::min(d, distSeg(p, {ring[i], ring[(i + 1) % ring.size()]}));
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

// One point on each part of s (the bounded parts: an unbounded line is never inside).
std::vector<P2> samplePoints(const Shape &s) {
    std::vector<P2> pts;
    for (const Seg &t : s.segs)
        pts.push_back(t.a);
    for (const Arc &a : s.arcs)
        pts.push_back(a.at(a.a0));
    for (const Box4 &b : s.boxes)
        pts.push_back(b[0]);
    for (const Area &area : s.areas)
        for (const std::vector<P2> &ring : area)
            if (!ring.empty())
                pts.push_back(ring[0]);
    return pts;
}

// Whether a filled part of s (a text box, an area) holds p.
bool filledHolds(const Shape &s, P2 p) {
    for (const Box4 &b : s.boxes)
        if (insidePolygon(p, b.data(), 4))
            return true;
    for (const Area &area : s.areas)
        if (insideArea(p, area))
            return true;
    return false;
}

} // namespace

// A block's shape in its own coordinates, for block_shape.cpp: false when part of it was
// left out (for the depth or the budget). walked: the entities looked at; needs: the depth
// a walk needs to reach all of it.
bool collectWholeBlock(AcDbObjectId block, Shape &out, std::size_t &walked, int &needs) {
    Budget budget;
    walkBlock(block, AcGeMatrix3d(), kMaxBlockNesting, out, budget);
    walked = kMaxExpandedEntities - budget.left;
    needs = kMaxBlockNesting - std::min(budget.lowest, kMaxBlockNesting) + 1;
    return !out.cut && !budget.tooDeep;
}

void collectShape(const AcDbEntity &e, const AcGeMatrix3d &m, int depth, Shape &out) {
    Budget budget;
    bool wasCut = out.cut;
    collect(e, m, depth, out, budget);
    if (out.cut && !wasCut)
        noteCutShape();
}

std::size_t ExpansionCounter::ofBlock(AcDbObjectId block) {
    auto *rec = peekAs<AcDbBlockTableRecord>(block);
    if (rec == nullptr)
        return 0;
    auto [it, added] = mCounts.emplace(block.stub(), 0); // 0 while counted: a cycle adds 0
    if (!added)
        return it->second;
    std::size_t total = 0;
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        if (o == nullptr || o->isErased())
            continue;
        auto *ref = AcDbBlockReference::cast(o);
        std::size_t n = ref != nullptr ? ofBlock(ref->blockTableRecord()) : 1;
        total = n > SIZE_MAX - total ? SIZE_MAX : total + n;
    }
    mCounts[block.stub()] = total;
    return total;
}

std::size_t ExpansionCounter::ofEntity(const AcDbEntity &e) {
    auto *ref = AcDbBlockReference::cast(&e);
    return ref != nullptr ? ofBlock(ref->blockTableRecord()) : 1;
}

std::vector<std::string> oversizedBlocks(const AcDbDatabase &db) {
    std::vector<std::string> names;
    auto *table = peekAs<AcDbBlockTable>(db.blockTableId());
    if (table == nullptr)
        return names;
    ExpansionCounter counter;
    std::unordered_map<AcDbStub *, bool> named;
    for (AcDbObject *o : ObjectAccess::records(*table)) {
        auto *layout = AcDbBlockTableRecord::cast(o);
        if (layout == nullptr || layout->isErased() || !layout->isLayout())
            continue;
        for (AcDbObject *child : ObjectAccess::entities(*layout)) {
            auto *ref = AcDbBlockReference::cast(child);
            if (ref == nullptr || ref->isErased() ||
                counter.ofBlock(ref->blockTableRecord()) <= kMaxExpandedEntities)
                continue;
            auto *rec = peekAs<AcDbBlockTableRecord>(ref->blockTableRecord());
            if (rec != nullptr && named.emplace(ref->blockTableRecord().stub(), true).second)
                names.push_back(rec->nameRef());
        }
    }
    return names;
}

std::size_t cutShapes() {
    return gCutShapes.load();
}

void noteCutShape() {
    ++gCutShapes;
}

bool Shape::box(P2 &lo, P2 &hi) const {
    bool any = false;
    auto cover = [&](P2 p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return;
        if (!any) {
            lo = hi = p;
            any = true;
        }
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
    };
    for (const Seg &s : segs)
        cover(s.a), cover(s.b);
    for (const Arc &a : arcs) {
        cover(a.at(a.a0));
        cover(a.at(a.a0 + a.sweep));
        for (int q = 0; q < 4; ++q) // the extreme points the arc passes
            if (a.covers(q * std::numbers::pi / 2))
                cover(a.at(q * std::numbers::pi / 2));
    }
    for (const Box4 &b : boxes)
        for (P2 p : b)
            cover(p);
    for (const Area &area : areas)
        for (const std::vector<P2> &ring : area)
            for (P2 p : ring)
                cover(p);
    for (P2 p : unboundedBases)
        cover(p);
    return any;
}

double distance(const Shape &s, P2 p) {
    double d = std::numeric_limits<double>::infinity();
    for (const Seg &g : s.segs)
        d = std::min(d, distSeg(p, g));
    for (const Seg &g : s.unbounded)
        d = std::min(d, distSeg(p, g));
    for (const Arc &a : s.arcs)
        d = std::min(d, distArc(p, a));
    for (const Box4 &b : s.boxes)
        d = std::min(d, insidePolygon(p, b.data(), 4)
                            ? 0.0
                            : distRing(p, std::vector<P2>(b.begin(), b.end())));
    for (const Area &area : s.areas) {
        if (insideArea(p, area))
            return 0;
        for (const std::vector<P2> &ring : area)
            d = std::min(d, distRing(p, ring));
    }
    return d;
}

bool shapeMeets(const Shape &s, const Seg &g) {
    for (const Seg &t : s.segs)
        if (segsCross(t, g))
            return true;
    for (const Seg &t : s.unbounded)
        if (segsCross(t, g))
            return true;
    for (const Arc &a : s.arcs)
        if (arcCrossesSeg(a, g))
            return true;
    for (const Box4 &b : s.boxes)
        for (int i = 0; i < 4; ++i)
            if (segsCross({b[i], b[(i + 1) % 4]}, g))
                return true;
    for (const Area &area : s.areas)
        for (const std::vector<P2> &ring : area)
            for (std::size_t i = 0; i < ring.size(); ++i)
                if (segsCross({ring[i], ring[(i + 1) % ring.size()]}, g))
                    return true;
    return false;
}

bool matchesPolygon(const Shape &s, const std::vector<P2> &poly, bool crossing) {
    if (s.empty())
        return false;
    bool meets = false;
    for (std::size_t i = 0; i < poly.size() && !meets; ++i)
        meets = shapeMeets(s, {poly[i], poly[(i + 1) % poly.size()]});
    if (meets)
        return crossing;
    if (!s.unbounded.empty() && !crossing)
        return false; // a line without end is never wholly inside
    // No part crosses the boundary: each part is wholly inside or wholly outside.
    bool anyIn = false, allIn = true;
    for (P2 p : samplePoints(s)) {
        bool in = insidePolygon(p, poly.data(), poly.size());
        anyIn = anyIn || in;
        allIn = allIn && in;
    }
    if (!crossing)
        return allIn;
    return anyIn || filledHolds(s, poly[0]);
}

bool matchesFence(const Shape &s, const std::vector<P2> &fence) {
    for (std::size_t i = 0; i + 1 < fence.size(); ++i)
        if (shapeMeets(s, {fence[i], fence[i + 1]}))
            return true;
    return !fence.empty() && filledHolds(s, fence[0]);
}

} // namespace tev::db
