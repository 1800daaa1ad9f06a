// kinds.cpp - reading the geometry of kept kinds from their groups and drawing it.
#include "kinds.h"

#include "mtext.h"
#include "text.h"

#include <algorithm>
#include <cmath>

namespace host::render {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;
// A hatch's pattern may ask for more lines than any screen shows: beyond this many pieces
// (or this much work cutting them) it is shown as a light fill instead.
constexpr std::size_t kMaxPatternPieces = 200'000;
constexpr double kMaxPatternWork = 5e7;

Point2 plan(const Xform &xf, Point3 p) {
    return xf.apply2(p.x, p.y, p.z);
}

Point3 add(Point3 a, Point3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Point3 scaled(Point3 a, double f) {
    return {a.x * f, a.y * f, a.z * f};
}
Point3 cross(Point3 a, Point3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Point3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
bool samePoint(Point3 a, Point3 b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

Xform ocs(const Xform &xf, const Groups &g) {
    Point3 n = g.point(210, {0, 0, 1});
    return xf * Xform::fromNormal(n.x, n.y, n.z);
}

void addPath(Scene &scene, std::string_view kind, const std::vector<Point3> &pts, const Xform &xf,
             bool closed, const Stroke &stroke) {
    PathItem item;
    item.kind = kind;
    item.closed = closed;
    item.stroke = stroke;
    item.verts.reserve(pts.size());
    for (Point3 p : pts)
        item.verts.push_back({plan(xf, p), 0});
    scene.add(std::move(item));
}

Rgb lighter(Rgb c) { // a quarter of the colour on white paper
    auto mix = [](int v) { return static_cast<std::uint8_t>(v + (255 - v) * 3 / 4); };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

// --- simple kinds ------------------------------------------------------------------------

void drawSolid(const Groups &g, const Xform &xf, const Stroke &stroke, Scene &scene) {
    Xform o = ocs(xf, g);
    Point3 p1 = g.point(10), p2 = g.point(11), p3 = g.point(12), p4 = g.point(13, p3);
    PolygonItem item;
    item.kind = std::string(g.type() == "TRACE" ? "trace" : "solid");
    item.fill = stroke.color;
    for (Point3 p : {p1, p2, p4, p3}) // the corners go 1-2-4-3 around
        item.pts.push_back(plan(o, p));
    scene.add(std::move(item));
}

void draw3dFace(const Groups &g, const Xform &xf, const Stroke &stroke, Scene &scene) {
    Point3 p[4] = {g.point(10), g.point(11), g.point(12), g.point(13, g.point(12))};
    long hidden = g.integer(70, 0);
    if ((hidden & 15) == 0) {
        std::vector<Point3> ring(p, p + 4);
        if (samePoint(ring[2], ring[3]))
            ring.pop_back();
        addPath(scene, "3dface", ring, xf, /*closed=*/true, stroke);
        return;
    }
    scene.open("3dface");
    for (int e = 0; e < 4; ++e)
        if ((hidden & (1 << e)) == 0 && !samePoint(p[e], p[(e + 1) % 4]))
            addPath(scene, "", {p[e], p[(e + 1) % 4]}, xf, false, stroke);
    scene.close();
}

void drawEllipse(const Groups &g, const Xform &xf, const Stroke &stroke, Scene &scene) {
    double start = g.number(41, 0), end = g.number(42, 2 * kPi);
    double ratio = g.number(40, 1);
    Point3 major = g.point(11, {1, 0, 0});
    if (!(ratio > 0) || length(major) == 0)
        return;
    bool full = std::fabs(std::fabs(end - start) - 2 * kPi) < 1e-9 || end == start;
    std::vector<Point3> pts =
        ellipsePoints(g.point(10), major, g.point(210, {0, 0, 1}), ratio, start, end);
    if (full && !pts.empty())
        pts.pop_back();
    addPath(scene, "ellipse", pts, xf, full, stroke);
}

// Every point of groups code/code+10/code+20 in order (for lists such as a spline's).
std::vector<Point3> pointList(const Groups &g, int code) {
    std::vector<Point3> pts;
    for (const Group &grp : g.list()) {
        if (grp.code == code)
            pts.push_back({Groups::number(grp), 0, 0});
        else if (grp.code == code + 10 && !pts.empty())
            pts.back().y = Groups::number(grp);
        else if (grp.code == code + 20 && !pts.empty())
            pts.back().z = Groups::number(grp);
    }
    return pts;
}

std::vector<double> numberList(const Groups &g, int code) {
    std::vector<double> v;
    for (const Group &grp : g.list())
        if (grp.code == code)
            v.push_back(Groups::number(grp));
    return v;
}

// A knot vector for control points without a usable one: clamped and uniform.
std::vector<double> clampedKnots(std::size_t n, int degree) {
    std::vector<double> k;
    std::size_t p = static_cast<std::size_t>(degree);
    for (std::size_t i = 0; i < n + p + 1; ++i)
        k.push_back(i <= p   ? 0.0
                    : i >= n ? static_cast<double>(n - p)
                             : static_cast<double>(i - p));
    return k;
}

// The points of a spline's curve from its control points (or fit points only).
std::vector<Point3> splinePoints(int degree, std::vector<double> knots,
                                 const std::vector<Point3> &ctrl, std::vector<double> weights,
                                 const std::vector<Point3> &fit, bool closed) {
    std::vector<Point3> out;
    if (weights.size() != ctrl.size() ||
        std::all_of(weights.begin(), weights.end(), [](double w) { return w == 1; }))
        weights.clear();
    if (ctrl.size() >= 2) {
        int p = std::clamp(degree, 1, static_cast<int>(std::min<std::size_t>(ctrl.size() - 1, 11)));
        if (p == degree && evaluateNurbs(p, knots, ctrl, weights, out))
            return out;
        if (evaluateNurbs(p, clampedKnots(ctrl.size(), p), ctrl, weights, out))
            return out;
    }
    return curveThroughPoints(fit, closed);
}

void drawSpline(const Groups &g, const Xform &xf, const Stroke &stroke, Scene &scene) {
    bool closed = (g.integer(70, 0) & 1) != 0;
    std::vector<Point3> pts =
        splinePoints(static_cast<int>(g.integer(71, 3)), numberList(g, 40), pointList(g, 10),
                     numberList(g, 41), pointList(g, 11), closed);
    addPath(scene, "spline", pts, xf, false, stroke);
}

void drawLeader(const Groups &g, const Xform &xf, const Stroke &stroke,
                const KindSettings &settings, Scene &scene) {
    std::vector<Point3> pts = pointList(g, 10);
    if (pts.size() < 2)
        return;
    scene.open("leader");
    addPath(scene, "", g.integer(72, 0) == 1 ? curveThroughPoints(pts, false) : pts, xf, false,
            stroke);
    Point2 tip = plan(xf, pts[0]), next = plan(xf, pts[1]);
    double dx = next.x - tip.x, dy = next.y - tip.y, len = std::hypot(dx, dy);
    auto style = settings.styleArrowSizes.find(g.text(3));
    double size = (style != settings.styleArrowSizes.end() ? style->second : settings.arrowSize) *
                  xf.planScale();
    if (g.integer(71, 1) != 0 && len > 0 && size > 0) {
        dx /= len, dy /= len;
        PolygonItem arrow;
        arrow.fill = stroke.color;
        Point2 base{tip.x + dx * size, tip.y + dy * size};
        arrow.pts = {tip,
                     {base.x - dy * size / 6, base.y + dx * size / 6},
                     {base.x + dy * size / 6, base.y - dx * size / 6}};
        scene.add(std::move(arrow));
    }
    scene.close();
}

// --- meshes ----------------------------------------------------------------------------

void drawMesh(const std::vector<Groups> &records, const Xform &xf, const Stroke &stroke,
              Scene &scene) {
    const Groups &head = records[0];
    long flags = head.integer(70, 0);
    std::vector<Point3> locations;
    std::vector<const Groups *> faces;
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (records[i].type() != "VERTEX")
            continue;
        long vflags = records[i].integer(70, 0);
        if ((flags & 64) != 0 && (vflags & 128) != 0 && (vflags & 64) == 0)
            faces.push_back(&records[i]);
        else
            locations.push_back(records[i].point(10));
    }
    scene.open("mesh");
    if ((flags & 64) != 0) { // a polyface mesh: the visible edges of each face
        for (const Groups *face : faces) {
            long idx[4] = {face->integer(71, 0), face->integer(72, 0), face->integer(73, 0),
                           face->integer(74, 0)};
            int n = 0;
            while (n < 4 && idx[n] != 0)
                ++n;
            for (int e = 0; e < n; ++e) {
                long a = idx[e], b = idx[(e + 1) % n];
                if (a < 0) // a negative index hides the edge that starts there
                    continue;
                long ib = b < 0 ? -b : b;
                if (a > static_cast<long>(locations.size()) || ib < 1 ||
                    ib > static_cast<long>(locations.size()) || a == ib)
                    continue;
                addPath(scene, "",
                        {locations[static_cast<std::size_t>(a - 1)],
                         locations[static_cast<std::size_t>(ib - 1)]},
                        xf, false, stroke);
            }
        }
    } else { // a polygon mesh: m rows of n vertices, each row and each column a line
        long m = head.integer(71, 0), n = head.integer(72, 0);
        const long have = static_cast<long>(locations.size());
        if (m < 1 || n < 1 || m > have || n > have || m * n > have) {
            scene.close();
            return;
        }
        auto at = [&](long r, long c) { return locations[static_cast<std::size_t>(r * n + c)]; };
        for (long r = 0; r < m; ++r) {
            std::vector<Point3> row;
            for (long c = 0; c < n; ++c)
                row.push_back(at(r, c));
            addPath(scene, "", row, xf, (flags & 32) != 0, stroke);
        }
        for (long c = 0; c < n; ++c) {
            std::vector<Point3> col;
            for (long r = 0; r < m; ++r)
                col.push_back(at(r, c));
            addPath(scene, "", col, xf, (flags & 1) != 0, stroke);
        }
    }
    scene.close();
}

// --- hatches ---------------------------------------------------------------------------

// Walks a record's groups in order; a group that is not where expected reads as the default.
class Cursor {
public:
    explicit Cursor(const std::vector<Group> &list, std::size_t at = 0) : mList(list), mAt(at) {}
    double number(int code, double dflt = 0) {
        return mAt < mList.size() && mList[mAt].code == code ? Groups::number(mList[mAt++], dflt)
                                                             : dflt;
    }
    long integer(int code, long dflt = 0) {
        return mAt < mList.size() && mList[mAt].code == code ? Groups::integer(mList[mAt++], dflt)
                                                             : dflt;
    }
    Point2 point(int code) {
        double x = number(code), y = number(code + 10);
        return {x, y};
    }
    // Moves to the next group of this code; false (at the end) when there is none.
    bool seek(int code) {
        while (mAt < mList.size() && mList[mAt].code != code)
            ++mAt;
        return mAt < mList.size();
    }
    bool done() const { return mAt >= mList.size(); }

private:
    const std::vector<Group> &mList;
    std::size_t mAt;
};

// A bounded count read from a file: nothing larger than the record could hold.
std::size_t countOf(long v, std::size_t limit) {
    return v < 0 ? 0 : std::min(static_cast<std::size_t>(v), limit);
}

void arcPoints(std::vector<Point2> &ring, Point2 c, Point2 major, double ratio, double startDeg,
               double endDeg, bool ccw) {
    double sweep = std::fmod(endDeg - startDeg, 360.0);
    if (sweep <= 1e-9)
        sweep += 360;
    int steps = std::max(2, static_cast<int>(std::ceil(sweep / 5)));
    Point2 minor{-major.y * ratio, major.x * ratio};
    for (int i = 0; i <= steps; ++i) {
        double t = (startDeg + sweep * i / steps) * kDegree;
        if (!ccw) // clockwise edges keep their angles mirrored
            t = -t;
        ring.push_back({c.x + std::cos(t) * major.x + std::sin(t) * minor.x,
                        c.y + std::cos(t) * major.y + std::sin(t) * minor.y});
    }
}

void appendPoints(std::vector<Point2> &ring, const std::vector<Point2> &pts) {
    for (Point2 p : pts)
        if (ring.empty() || ring.back().x != p.x || ring.back().y != p.y)
            ring.push_back(p);
}

// The boundary paths of a hatch as rings of points in its own coordinates.
std::vector<std::vector<Point2>> hatchRings(const Groups &g, Cursor &c) {
    std::vector<std::vector<Point2>> rings;
    const std::size_t limit = g.list().size();
    if (!c.seek(91))
        return rings;
    std::size_t paths = countOf(c.integer(91), limit);
    for (std::size_t p = 0; p < paths && c.seek(92); ++p) {
        long flags = c.integer(92);
        std::vector<Point2> ring;
        if ((flags & 2) != 0) { // a polyline path
            bool bulges = c.integer(72) != 0;
            (void)c.integer(73); // closed or not, the area is closed
            std::size_t n = countOf(c.integer(93), limit);
            std::vector<PathVertex> verts;
            for (std::size_t i = 0; i < n; ++i) {
                Point2 pt = c.point(10);
                verts.push_back({pt, bulges ? c.number(42) : 0});
            }
            for (std::size_t i = 0; i < verts.size(); ++i) {
                std::vector<Point2> seg = tessellateBulge(
                    verts[i].p, verts[(i + 1) % verts.size()].p, verts[i].bulge, 72);
                appendPoints(ring, seg);
            }
        } else {
            std::size_t edges = countOf(c.integer(93), limit);
            for (std::size_t e = 0; e < edges; ++e) {
                long type = c.integer(72);
                std::vector<Point2> seg;
                if (type == 1) {
                    Point2 a = c.point(10), b = c.point(11);
                    seg = {a, b};
                } else if (type == 2) {
                    Point2 ctr = c.point(10);
                    double r = c.number(40), s = c.number(50), en = c.number(51);
                    bool ccw = c.integer(73, 1) != 0;
                    arcPoints(seg, ctr, {r, 0}, 1, s, en, ccw);
                } else if (type == 3) {
                    Point2 ctr = c.point(10), major = c.point(11);
                    double ratio = c.number(40, 1), s = c.number(50), en = c.number(51);
                    bool ccw = c.integer(73, 1) != 0;
                    arcPoints(seg, ctr, major, ratio, s, en, ccw);
                } else if (type == 4) {
                    int degree = static_cast<int>(c.integer(94, 3));
                    bool rational = c.integer(73) != 0;
                    (void)c.integer(74);
                    std::size_t nk = countOf(c.integer(95), limit);
                    std::size_t nc = countOf(c.integer(96), limit);
                    std::vector<double> knots, weights;
                    std::vector<Point3> ctrl, fit;
                    for (std::size_t i = 0; i < nk; ++i)
                        knots.push_back(c.number(40));
                    for (std::size_t i = 0; i < nc; ++i) {
                        Point2 pt = c.point(10);
                        ctrl.push_back({pt.x, pt.y, 0});
                        if (rational)
                            weights.push_back(c.number(42, 1));
                    }
                    std::size_t nf = countOf(c.integer(97), limit);
                    for (std::size_t i = 0; i < nf; ++i) {
                        Point2 pt = c.point(11);
                        fit.push_back({pt.x, pt.y, 0});
                    }
                    for (Point3 q : splinePoints(degree, knots, ctrl, weights, fit, false))
                        seg.push_back({q.x, q.y});
                } else {
                    break; // an edge of no known kind: the rest of the path cannot be read
                }
                // An edge may run either way round: it joins the ring at its nearer end.
                if (!ring.empty() && seg.size() > 1) {
                    Point2 last = ring.back();
                    auto d2 = [&](Point2 q) {
                        return (q.x - last.x) * (q.x - last.x) + (q.y - last.y) * (q.y - last.y);
                    };
                    if (d2(seg.back()) < d2(seg.front()))
                        std::reverse(seg.begin(), seg.end());
                }
                appendPoints(ring, seg);
            }
        }
        if (ring.size() > 1 && ring.front().x == ring.back().x && ring.front().y == ring.back().y)
            ring.pop_back();
        if (ring.size() >= 3)
            rings.push_back(std::move(ring));
    }
    return rings;
}

struct PatternLine {
    double angle = 0; // radians
    Point2 base, offset;
    std::vector<double> dashes; // + dash, - gap, 0 dot
};

std::vector<PatternLine> patternLines(Cursor &c, std::size_t limit) {
    std::vector<PatternLine> lines;
    if (!c.seek(78))
        return lines;
    std::size_t n = countOf(c.integer(78), limit);
    for (std::size_t i = 0; i < n && c.seek(53); ++i) {
        PatternLine line;
        line.angle = c.number(53) * kDegree;
        line.base = {c.number(43), c.number(44)};
        line.offset = {c.number(45), c.number(46)};
        std::size_t dashes = countOf(c.integer(79), limit);
        for (std::size_t d = 0; d < dashes; ++d)
            line.dashes.push_back(c.number(49));
        lines.push_back(std::move(line));
    }
    return lines;
}

// The pieces [t0, t1] of each pattern line inside the rings (even-odd), in pattern terms:
// the line's origin, direction and the stretch along it. False when there would be too many.
struct Piece {
    Point2 from, to;
};
bool clipPattern(const std::vector<std::vector<Point2>> &rings,
                 const std::vector<PatternLine> &lines, std::vector<Piece> &pieces) {
    double minX = rings[0][0].x, maxX = minX, minY = rings[0][0].y, maxY = minY;
    std::size_t edges = 0;
    for (const auto &ring : rings) {
        edges += ring.size();
        for (Point2 p : ring) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    }
    double work = 0;
    std::vector<double> cuts;
    for (const PatternLine &line : lines) {
        Point2 d{std::cos(line.angle), std::sin(line.angle)}, n{-d.y, d.x};
        double spacing = line.offset.x * n.x + line.offset.y * n.y;
        if (!(std::fabs(spacing) > 0))
            return false;
        double sMin = 1e300, sMax = -1e300;
        for (Point2 q :
             {Point2{minX, minY}, Point2{maxX, minY}, Point2{minX, maxY}, Point2{maxX, maxY}}) {
            double s = (q.x - line.base.x) * n.x + (q.y - line.base.y) * n.y;
            sMin = std::min(sMin, s), sMax = std::max(sMax, s);
        }
        double k0 = std::ceil(std::min(sMin / spacing, sMax / spacing));
        double k1 = std::floor(std::max(sMin / spacing, sMax / spacing));
        work += (k1 - k0 + 1) * static_cast<double>(edges);
        if (!(work <= kMaxPatternWork))
            return false;
        double period = 0;
        for (double dash : line.dashes)
            period += std::fabs(dash);
        bool dashed = !line.dashes.empty() && period > 0;
        if (dashed && std::all_of(line.dashes.begin(), line.dashes.end(),
                                  [](double dash) { return dash < 0; }))
            continue; // nothing but gaps
        for (double k = k0; k <= k1; ++k) {
            Point2 o{line.base.x + k * line.offset.x, line.base.y + k * line.offset.y};
            cuts.clear();
            for (const auto &ring : rings) {
                for (std::size_t i = 0; i < ring.size(); ++i) {
                    Point2 p = ring[i], q = ring[(i + 1) % ring.size()];
                    double sp = (p.x - o.x) * n.x + (p.y - o.y) * n.y;
                    double sq = (q.x - o.x) * n.x + (q.y - o.y) * n.y;
                    if ((sp > 0) == (sq > 0))
                        continue;
                    double tp = (p.x - o.x) * d.x + (p.y - o.y) * d.y;
                    double tq = (q.x - o.x) * d.x + (q.y - o.y) * d.y;
                    cuts.push_back(tp + (tq - tp) * sp / (sp - sq));
                }
            }
            std::sort(cuts.begin(), cuts.end());
            for (std::size_t i = 0; i + 1 < cuts.size(); i += 2) {
                double t0 = cuts[i], t1 = cuts[i + 1];
                auto at = [&](double t) { return Point2{o.x + d.x * t, o.y + d.y * t}; };
                if (!dashed) {
                    pieces.push_back({at(t0), at(t1)});
                } else {
                    // Dashes start at the line's origin and repeat both ways.
                    double t = std::floor(t0 / period) * period;
                    for (std::size_t j = 0; t < t1; j = (j + 1) % line.dashes.size()) {
                        double len = line.dashes[j];
                        double a = t, b = t + std::fabs(len);
                        if (len >= 0 && b >= t0 && a <= t1)
                            pieces.push_back({at(std::max(a, t0)), at(std::min(b, t1))});
                        t = b;
                        if (pieces.size() > kMaxPatternPieces)
                            return false;
                    }
                }
                if (pieces.size() > kMaxPatternPieces)
                    return false;
            }
        }
    }
    return true;
}

// False when the hatch has no boundary that encloses anything.
bool drawHatch(const Groups &g, const Xform &xf, const Stroke &stroke, Scene &scene) {
    Xform o = ocs(xf, g) * Xform::translation(0, 0, g.point(10).z);
    Cursor c(g.list());
    std::vector<std::vector<Point2>> rings = hatchRings(g, c);
    if (rings.empty())
        return false;
    bool solid = g.integer(70, 0) != 0 || g.integer(450, 0) != 0;
    std::vector<PatternLine> lines =
        solid ? std::vector<PatternLine>{} : patternLines(c, g.list().size());
    std::vector<Piece> pieces;
    if (!solid && !lines.empty() && clipPattern(rings, lines, pieces)) {
        scene.open("hatch");
        Stroke s = stroke;
        s.dashes.clear();
        s.fixedDash = false;
        for (const Piece &piece : pieces) {
            PathItem item;
            item.stroke = s;
            item.verts = {{o.apply2(piece.from.x, piece.from.y, 0), 0},
                          {o.apply2(piece.to.x, piece.to.y, 0), 0}};
            scene.add(std::move(item));
        }
        scene.close();
        return true;
    }
    // A solid fill; a pattern that cannot be drawn line by line is a light fill.
    PolygonItem item;
    item.kind = "hatch";
    item.fill = solid ? stroke.color : lighter(stroke.color);
    for (std::size_t r = 0; r < rings.size(); ++r) {
        std::vector<Point2> ring;
        for (Point2 p : rings[r])
            ring.push_back(o.apply2(p.x, p.y, 0));
        if (r == 0)
            item.pts = std::move(ring);
        else
            item.holes.push_back(std::move(ring));
    }
    scene.add(std::move(item));
    return true;
}

// --- text ------------------------------------------------------------------------------

// The raw text of a paragraph text: its 3 groups in order, then its 1 group.
std::string mtextRaw(const Groups &g) {
    std::string raw;
    for (const Group &grp : g.list())
        if (grp.code == 3)
            raw += grp.value;
    raw += g.text(1);
    return raw;
}

void drawMText(const Groups &g, const Xform &xf, Rgb color, const KindSettings &settings,
               Scene &scene) {
    double height = g.number(40, 2.5);
    if (!(height > 0))
        height = 2.5;
    Point3 normal = g.point(210, {0, 0, 1});
    if (length(normal) == 0)
        normal = {0, 0, 1};
    normal = scaled(normal, 1 / length(normal));
    Point3 dir;
    if (g.has(11) && length(g.point(11)) > 0) {
        dir = g.point(11);
    } else {
        Xform o = Xform::fromNormal(normal.x, normal.y, normal.z);
        double a = g.number(50, 0) * kDegree;
        double x, y, z;
        o.apply(std::cos(a), std::sin(a), 0, x, y, z);
        dir = {x, y, z};
    }
    dir = scaled(dir, 1 / length(dir));
    Point3 up = cross(normal, dir);
    double pitch = height * 5.0 / 3.0 * std::clamp(g.number(44, 1), 0.25, 4.0);
    double width = g.number(41, 0);
    double perLine = width > 0 ? std::clamp(width / (0.6 * height), 1.0, 1e6) : 0;
    int maxChars = static_cast<int>(perLine);

    std::vector<std::string> lines;
    for (const std::string &para : mtextParagraphs(fileTextToDatabase(mtextRaw(g), settings)))
        for (std::string &line : wrapLine(para, maxChars))
            lines.push_back(std::move(line));
    long attach = std::clamp(g.integer(71, 1), 1L, 9L);
    long row = (attach - 1) / 3, column = (attach - 1) % 3;
    double n = static_cast<double>(lines.size());
    double total = height + (n - 1) * pitch;
    double firstBaseline = row == 0 ? -height : row == 1 ? total / 2 - height : total - height;
    Point3 ins = g.point(10);
    Point2 along = xf.applyVector2(dir.x, dir.y, dir.z), up2 = xf.applyVector2(up.x, up.y, up.z);
    double upLength = std::hypot(up2.x, up2.y);
    scene.open("mtext");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        double y = firstBaseline - static_cast<double>(i) * pitch;
        TextItem item;
        item.pos = plan(xf, add(ins, scaled(up, y)));
        item.height = height * upLength;
        item.rotation = std::atan2(along.y, along.x);
        item.widthFactor = upLength > 0 ? std::hypot(along.x, along.y) / upLength : 1;
        item.xmlText = drawingTextToXml(lines[i]);
        item.anchor = column == 0 ? Anchor::Start : column == 1 ? Anchor::Middle : Anchor::End;
        item.color = color;
        scene.add(std::move(item));
    }
    scene.close();
}

} // namespace

std::string fileTextToDatabase(std::string_view text, const KindSettings &settings) {
    if (!settings.toDatabaseText)
        return std::string(text);
    return settings.toDatabaseText(text);
}

bool drawKind(const std::vector<Groups> &records, const Xform &xf, const Stroke &stroke,
              const KindSettings &settings, Scene &scene, Deferred &deferred) {
    if (records.empty())
        return false;
    const Groups &g = records[0];
    std::string_view type = g.type();
    if (type == "SOLID" || type == "TRACE")
        drawSolid(g, xf, stroke, scene);
    else if (type == "3DFACE")
        draw3dFace(g, xf, stroke, scene);
    else if (type == "ELLIPSE")
        drawEllipse(g, xf, stroke, scene);
    else if (type == "SPLINE")
        drawSpline(g, xf, stroke, scene);
    else if (type == "LEADER")
        drawLeader(g, xf, stroke, settings, scene);
    else if (type == "HATCH")
        return drawHatch(g, xf, stroke, scene);
    else if (type == "MTEXT")
        drawMText(g, xf, stroke.color, settings, scene);
    else if (type == "POLYLINE" && (g.integer(70, 0) & (16 | 64)) != 0)
        drawMesh(records, xf, stroke, scene);
    else if (type == "POINT")
        deferred.marks.push_back({plan(xf, g.point(10)), stroke});
    else if (type == "RAY" || type == "XLINE") {
        Point3 dir = g.point(11, {1, 0, 0});
        Point2 d = xf.applyVector2(dir.x, dir.y, dir.z);
        double len = std::hypot(d.x, d.y);
        if (len > 0 && std::isfinite(len))
            deferred.lines.push_back(
                {plan(xf, g.point(10)), {d.x / len, d.y / len}, type == "XLINE", stroke});
    } else
        return false;
    return true;
}

void drawAttribute(const Groups &g, const Xform &xf, Rgb color, bool inBlock,
                   const KindSettings &settings, Scene &scene) {
    long flags = g.integer(70, 0);
    bool definition = g.type() == "ATTDEF";
    if ((flags & 1) != 0 || (definition && inBlock && (flags & 2) == 0))
        return; // invisible; a definition's prompt is no part of its block's picture
    std::string_view raw = definition && !inBlock ? g.text(2) : g.text(1);
    if (raw.empty())
        return;
    long horz = g.integer(72, 0), vert = g.integer(74, 0);
    bool aligned = horz != 0 || vert != 0;
    bool spread = horz == 3 || horz == 5;
    Point3 at = aligned && !spread && g.has(11) ? g.point(11) : g.point(10);
    Xform t = ocs(xf, g) * Xform::translation(at.x, at.y, at.z) *
              Xform::rotationZ(g.number(50, 0) * kDegree);
    Point2 along = t.applyVector2(1, 0, 0), up = t.applyVector2(0, 1, 0);
    double upLength = std::hypot(up.x, up.y);
    double height = g.number(40, 2.5);
    TextItem item;
    item.kind = "attrib";
    item.pos = t.apply2(0, 0, 0);
    item.height = (height > 0 ? height : 2.5) * upLength;
    item.rotation = std::atan2(along.y, along.x);
    double wf = g.number(41, 1);
    item.widthFactor =
        (wf > 0 ? wf : 1) * (upLength > 0 ? std::hypot(along.x, along.y) / upLength : 1);
    item.xmlText = drawingTextToXml(fileTextToDatabase(raw, settings));
    item.color = color;
    if (horz == 1 || horz == 4)
        item.anchor = Anchor::Middle;
    else if (horz == 2)
        item.anchor = Anchor::End;
    if (horz == 4 || vert == 2)
        item.baseline = Baseline::Middle;
    else if (vert == 3)
        item.baseline = Baseline::Top;
    else if (vert == 1)
        item.baseline = Baseline::Bottom;
    scene.add(std::move(item));
}

void finishDeferred(const Deferred &deferred, Scene &scene) {
    if (deferred.lines.empty() && deferred.marks.empty())
        return;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = scene.hasBox();
    scene.box(minX, minY, maxX, maxY);
    auto cover = [&](Point2 p) {
        if (!any) {
            minX = maxX = p.x, minY = maxY = p.y, any = true;
        }
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    };
    for (const Deferred::Line &l : deferred.lines)
        cover(l.base);
    for (const Deferred::Mark &m : deferred.marks)
        cover(m.at);
    double size = std::max({maxX - minX, maxY - minY, 1e-9});
    if (size <= 1e-9)
        size = 10; // nothing but one place: some room around it
    double margin = size * 0.1;
    minX -= margin, minY -= margin, maxX += margin, maxY += margin;
    for (const Deferred::Line &l : deferred.lines) {
        // The part of base + t·dir inside the box (the base is inside it).
        double tMin = l.bothWays ? -1e300 : 0, tMax = 1e300;
        auto slab = [&](double p, double d, double lo, double hi) {
            if (d == 0)
                return;
            double a = (lo - p) / d, b = (hi - p) / d;
            if (a > b)
                std::swap(a, b);
            tMin = std::max(tMin, a), tMax = std::min(tMax, b);
        };
        slab(l.base.x, l.dir.x, minX, maxX);
        slab(l.base.y, l.dir.y, minY, maxY);
        PathItem item;
        item.kind = l.bothWays ? "xline" : "ray";
        item.stroke = l.stroke;
        item.verts = {{{l.base.x + l.dir.x * tMin, l.base.y + l.dir.y * tMin}, 0},
                      {{l.base.x + l.dir.x * tMax, l.base.y + l.dir.y * tMax}, 0}};
        scene.add(std::move(item));
    }
    double half = size * 0.005;
    for (const Deferred::Mark &m : deferred.marks) {
        scene.open("point");
        for (Point2 d : {Point2{half, 0}, Point2{0, half}}) {
            PathItem item;
            item.stroke = m.stroke;
            item.verts = {{{m.at.x - d.x, m.at.y - d.y}, 0}, {{m.at.x + d.x, m.at.y + d.y}, 0}};
            scene.add(std::move(item));
        }
        scene.close();
    }
}

} // namespace host::render
