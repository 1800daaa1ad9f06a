// snap.cpp - object snaps over entity shapes: the candidates of every kind asked for near
// the cursor, and the choice among them.
#include "snap.h"
#include "access.h"
#include "database_impl.h"
#include "dbents.h"
#include "groups.h"
#include "ocs.h"
#include "spatial.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace tev::db {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kEps = 1e-9;
// The most entities one snap looks at.
constexpr std::size_t kMaxCandidates = 4096;

// Whether p lies on the arc (its angle within the sweep).
bool onArc(const Arc &a, P2 p) {
    P2 rel = p - a.c;
    return a.covers(std::atan2(rel.y, rel.x));
}

bool fullCircle(const Arc &a) {
    return a.sweep >= kTwoPi - 1e-12;
}

double distToSeg(P2 p, const Seg &s, P2 *foot = nullptr) {
    P2 d = s.b - s.a;
    double l2 = dot(d, d);
    double t = l2 > 0 ? std::clamp(dot(p - s.a, d) / l2, 0.0, 1.0) : 0.0;
    P2 q = s.a + d * t;
    if (foot)
        *foot = q;
    return len(p - q);
}

double distToArc(P2 p, const Arc &a, P2 *foot = nullptr) {
    P2 rel = p - a.c;
    double l = len(rel);
    if (l > 0 && onArc(a, p)) {
        if (foot)
            *foot = a.c + rel * (a.r / l);
        return std::fabs(l - a.r);
    }
    P2 s = a.at(a.a0), e = a.at(a.a0 + a.sweep);
    bool first = len(p - s) <= len(p - e);
    if (foot)
        *foot = first ? s : e;
    return first ? len(p - s) : len(p - e);
}

// The points where two segments meet (none when parallel).
void meetSegSeg(const Seg &u, const Seg &v, std::vector<P2> &out) {
    P2 d = u.b - u.a, e = v.b - v.a;
    double den = cross(d, e);
    if (std::fabs(den) <= kEps * len(d) * len(e))
        return;
    double t = cross(v.a - u.a, e) / den, s = cross(v.a - u.a, d) / den;
    if (t >= -kEps && t <= 1 + kEps && s >= -kEps && s <= 1 + kEps)
        out.push_back(u.a + d * t);
}

// The points where the line through s meets the circle of a, with their parameters on s.
void lineCircle(const Seg &s, const Arc &a, std::vector<std::pair<double, P2>> &out) {
    P2 d = s.b - s.a, f = s.a - a.c;
    double A = dot(d, d), B = 2 * dot(f, d), C = dot(f, f) - a.r * a.r;
    if (A <= 0)
        return;
    double disc = B * B - 4 * A * C;
    if (disc < -kEps * A * a.r * a.r)
        return;
    double root = std::sqrt(std::max(0.0, disc));
    for (double t : {(-B - root) / (2 * A), (-B + root) / (2 * A)}) {
        out.emplace_back(t, s.a + d * t);
        if (root == 0)
            break;
    }
}

void meetSegArc(const Seg &s, const Arc &a, std::vector<P2> &out) {
    std::vector<std::pair<double, P2>> pts;
    lineCircle(s, a, pts);
    for (auto [t, p] : pts)
        if (t >= -kEps && t <= 1 + kEps && onArc(a, p))
            out.push_back(p);
}

void meetArcArc(const Arc &a, const Arc &b, std::vector<P2> &out) {
    P2 d = b.c - a.c;
    double l = len(d);
    if (l <= kEps || l > a.r + b.r + kEps || l < std::fabs(a.r - b.r) - kEps)
        return;
    double x = (l * l + a.r * a.r - b.r * b.r) / (2 * l);
    double h = std::sqrt(std::max(0.0, a.r * a.r - x * x));
    P2 u = d * (1 / l), n{-u.y, u.x};
    P2 m = a.c + u * x;
    for (P2 p : {m + n * h, m - n * h}) {
        if (onArc(a, p) && onArc(b, p))
            out.push_back(p);
        if (h == 0)
            break;
    }
}

struct Chooser {
    P2 cursor;
    double aperture = 0;
    int bits = 0;
    std::optional<SnapHit> best;
    double bestDist = std::numeric_limits<double>::infinity();
    std::optional<SnapHit> nearest; // NEA: only when nothing else is found
    double nearestDist = std::numeric_limits<double>::infinity();

    bool wants(int kind) const { return (bits & kind) != 0; }
    // A candidate at p; rank is how near the cursor it counts as (its own distance unless
    // the kind says otherwise).
    void offer(int kind, P2 p, double rank = -1) {
        if (!wants(kind))
            return;
        if (rank < 0)
            rank = len(p - cursor);
        if (!(rank <= aperture))
            return;
        if (kind == kSnapNea) {
            if (rank < nearestDist)
                nearest = SnapHit{p, kind}, nearestDist = rank;
            return;
        }
        if (rank < bestDist - 1e-12 || (rank <= bestDist + 1e-12 && best && kind < best->kind)) {
            best = SnapHit{p, kind};
            bestDist = std::min(rank, bestDist);
        }
    }
};

// The pieces of the shapes within the aperture, for intersections.
struct Near {
    std::vector<Seg> segs;
    std::vector<Arc> arcs;
};

void addPolygonEdges(const std::vector<P2> &ring, bool closed, std::vector<Seg> &out) {
    for (std::size_t i = 0; i + 1 < ring.size() + (closed && ring.size() > 2 ? 1 : 0); ++i)
        out.push_back({ring[i], ring[(i + 1) % ring.size()]});
}

void offerShape(const SnapSubject &subject, const P2 *base, Chooser &c, Near &near) {
    const Shape &s = subject.shape;
    if (subject.insertion)
        c.offer(kSnapIns, *subject.insertion);
    std::vector<Seg> segs = s.segs;
    std::vector<P2> corners;
    for (const Area &area : s.areas)
        for (const auto &ring : area) {
            addPolygonEdges(ring, true, segs);
            corners.insert(corners.end(), ring.begin(), ring.end());
        }
    for (P2 p : corners)
        c.offer(kSnapEnd, p);
    const std::size_t bounded = segs.size(); // rays and construction lines have no ends
    segs.insert(segs.end(), s.unbounded.begin(), s.unbounded.end());
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const Seg &g = segs[i];
        if (len(g.b - g.a) <= 0) {
            c.offer(kSnapNod, g.a);
            continue;
        }
        P2 foot;
        double d = distToSeg(c.cursor, g, &foot);
        if (d > c.aperture)
            continue;
        near.segs.push_back(g);
        if (i < bounded) {
            c.offer(kSnapEnd, g.a);
            c.offer(kSnapEnd, g.b);
            c.offer(kSnapMid, (g.a + g.b) * 0.5);
        }
        c.offer(kSnapNea, foot);
        if (base && c.wants(kSnapPer)) {
            P2 dir = g.b - g.a;
            double t = dot(*base - g.a, dir) / dot(dir, dir);
            if (t >= -kEps && t <= 1 + kEps)
                c.offer(kSnapPer, g.a + dir * t);
        }
    }
    for (const Arc &a : s.arcs) {
        P2 foot;
        double d = distToArc(c.cursor, a, &foot);
        double toCentre = len(c.cursor - a.c);
        // The centre is found from the curve as well as from itself.
        c.offer(kSnapCen, a.c, std::min(d, toCentre));
        if (d > c.aperture)
            continue;
        near.arcs.push_back(a);
        c.offer(kSnapNea, foot);
        if (!fullCircle(a)) {
            c.offer(kSnapEnd, a.at(a.a0));
            c.offer(kSnapEnd, a.at(a.a0 + a.sweep));
            c.offer(kSnapMid, a.at(a.a0 + a.sweep / 2));
        }
        for (int q = 0; q < 4; ++q) {
            double angle = q * std::numbers::pi / 2;
            if (a.covers(angle))
                c.offer(kSnapQua, a.at(angle));
        }
        if (base) {
            P2 rel = *base - a.c;
            double l = len(rel);
            if (l > 0 && c.wants(kSnapPer))
                for (double sign : {1.0, -1.0}) {
                    P2 p = a.c + rel * (sign * a.r / l);
                    if (onArc(a, p))
                        c.offer(kSnapPer, p);
                }
            if (l > a.r && c.wants(kSnapTan)) {
                double toBase = std::atan2(rel.y, rel.x), spread = std::acos(a.r / l);
                for (double angle : {toBase + spread, toBase - spread})
                    if (a.covers(angle))
                        c.offer(kSnapTan, a.at(angle));
            }
        }
    }
    for (const Box4 &b : s.boxes) {
        Seg edges[4] = {{b[0], b[1]}, {b[1], b[2]}, {b[2], b[3]}, {b[3], b[0]}};
        for (const Seg &g : edges) {
            P2 foot;
            if (distToSeg(c.cursor, g, &foot) <= c.aperture)
                c.offer(kSnapNea, foot);
        }
    }
}

// The most pieces intersections are looked for among: the nearest to the cursor, so that a
// crowded aperture (a whole drawing at a glance) costs milliseconds, not seconds.
constexpr std::size_t kMaxNearPieces = 512;

template <class Piece, class Dist>
void keepNearest(std::vector<Piece> &pieces, P2 cursor, Dist dist) {
    if (pieces.size() <= kMaxNearPieces)
        return;
    std::vector<std::pair<double, Piece>> ranked;
    ranked.reserve(pieces.size());
    for (const Piece &p : pieces)
        ranked.emplace_back(dist(cursor, p), p);
    std::nth_element(ranked.begin(), ranked.begin() + kMaxNearPieces, ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    pieces.clear();
    for (std::size_t i = 0; i < kMaxNearPieces; ++i)
        pieces.push_back(ranked[i].second);
}

void offerIntersections(Near &near, Chooser &c) {
    if (!c.wants(kSnapInt) && !c.wants(kSnapApp))
        return;
    keepNearest(near.segs, c.cursor, [](P2 p, const Seg &s) { return distToSeg(p, s); });
    keepNearest(near.arcs, c.cursor, [](P2 p, const Arc &a) { return distToArc(p, a); });
    std::vector<P2> pts;
    for (std::size_t i = 0; i < near.segs.size(); ++i) {
        for (std::size_t j = i + 1; j < near.segs.size(); ++j)
            meetSegSeg(near.segs[i], near.segs[j], pts);
        for (const Arc &a : near.arcs)
            meetSegArc(near.segs[i], a, pts);
    }
    for (std::size_t i = 0; i < near.arcs.size(); ++i)
        for (std::size_t j = i + 1; j < near.arcs.size(); ++j)
            meetArcArc(near.arcs[i], near.arcs[j], pts);
    // Shapes are the plan view: where two pieces cross in it they meet, and an apparent
    // intersection is the same point.
    for (P2 p : pts) {
        c.offer(kSnapInt, p);
        c.offer(kSnapApp, p);
    }
}

// The insertion point of a reference or a text (the alignment point of text placed by
// it), of paragraph text its group 10; none for other kinds.
std::optional<P2> insertionOf(const AcDbEntity &e) {
    if (auto *ref = AcDbBlockReference::cast(&e))
        return P2{ref->position().x, ref->position().y};
    if (auto *text = AcDbText::cast(&e)) {
        bool aligned =
            text->horizontalMode() != AcDb::kTextLeft || text->verticalMode() != AcDb::kTextBase;
        AcGePoint3d p =
            ocsToWcs(text->normal()) * (aligned ? text->alignmentPoint() : text->position());
        return P2{p.x, p.y};
    }
    if (auto *kept = AcDbUnknownEntity::cast(&e)) {
        std::string_view type = kept->dxfTypeName();
        if (type == "MTEXT") {
            Point3 p = Groups::first(ObjectAccess::source(e)).point(10);
            return P2{p.x, p.y};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<SnapHit> findSnapIn(const std::vector<SnapSubject> &subjects, P2 cursor,
                                  double aperture, int bits, const P2 *base) {
    if (bits & kSnapOff)
        return std::nullopt;
    Chooser c;
    c.cursor = cursor;
    c.aperture = aperture;
    c.bits = bits;
    if (c.bits == 0 || !(aperture >= 0))
        return std::nullopt;
    Near near;
    for (const SnapSubject &s : subjects)
        offerShape(s, base, c, near);
    offerIntersections(near, c);
    return c.best ? c.best : c.nearest;
}

std::optional<SnapHit> findSnap(const AcDbDatabase &db, AcDbObjectId space, P2 cursor,
                                double aperture, int bits, const P2 *base) {
    if ((bits & kSnapOff) || bits == 0 || !(aperture >= 0))
        return std::nullopt;
    // In a crowded aperture the largest entities count (what shows at that scale).
    std::vector<AcDbObjectId> ids =
        entitiesInBox(db, space, AcGePoint2d(cursor.x - aperture, cursor.y - aperture),
                      AcGePoint2d(cursor.x + aperture, cursor.y + aperture), 0, kMaxCandidates);
    std::vector<SnapSubject> subjects;
    subjects.reserve(ids.size());
    for (AcDbObjectId id : ids) {
        auto *e = peekAs<AcDbEntity>(id);
        if (e == nullptr)
            continue;
        SnapSubject s;
        collectShape(*e, AcGeMatrix3d(), kMaxBlockNesting, s.shape);
        s.insertion = insertionOf(*e);
        subjects.push_back(std::move(s));
    }
    return findSnapIn(subjects, cursor, aperture, bits, base);
}

const char *snapKindName(int kind) {
    switch (kind) {
    case kSnapEnd:
        return "END";
    case kSnapMid:
        return "MID";
    case kSnapCen:
        return "CEN";
    case kSnapNod:
        return "NOD";
    case kSnapQua:
        return "QUA";
    case kSnapInt:
        return "INT";
    case kSnapIns:
        return "INS";
    case kSnapPer:
        return "PER";
    case kSnapTan:
        return "TAN";
    case kSnapNea:
        return "NEA";
    case kSnapApp:
        return "APP";
    default:
        return "";
    }
}

} // namespace tev::db
