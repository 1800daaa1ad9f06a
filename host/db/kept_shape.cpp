// kept_shape.cpp - reading the geometry of kept kinds from their groups.
#include "kept_shape.h"

#include "mtext.h"
#include "ocs.h"
#include "text_codec.h"

#include <algorithm>
#include <cmath>

namespace tev::db {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

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

// A point of an entity's own coordinate system (its normal, group 210) in the world.
class Ocs {
public:
    explicit Ocs(Point3 n) : mToWorld(ocsToWcs(AcGeVector3d(n.x, n.y, n.z))) {}
    explicit Ocs(const Groups &g) : Ocs(g.point(210, {0, 0, 1})) {}
    Point3 operator()(Point3 p) const {
        AcGePoint3d w = mToWorld * AcGePoint3d(p.x, p.y, p.z);
        return {w.x, w.y, w.z};
    }
    Point3 vector(Point3 v) const {
        AcGeVector3d w = mToWorld * AcGeVector3d(v.x, v.y, v.z);
        return {w.x, w.y, w.z};
    }

private:
    AcGeMatrix3d mToWorld;
};

// --- simple kinds ------------------------------------------------------------------------

void solidShape(const Groups &g, KeptShape &out) {
    Ocs ocs(g);
    Point3 p1 = g.point(10), p2 = g.point(11), p3 = g.point(12), p4 = g.point(13, p3);
    std::vector<Point3> ring;
    for (Point3 p : {p1, p2, p4, p3}) // the corners go 1-2-4-3 around
        ring.push_back(ocs(p));
    out.areas.push_back({std::move(ring)});
}

void faceShape(const Groups &g, KeptShape &out) {
    Point3 p[4] = {g.point(10), g.point(11), g.point(12), g.point(13, g.point(12))};
    long hidden = g.integer(70, 0);
    if ((hidden & 15) == 0) {
        std::vector<Point3> ring(p, p + 4);
        if (samePoint(ring[2], ring[3]))
            ring.pop_back();
        out.paths.push_back({std::move(ring), true});
        return;
    }
    for (int e = 0; e < 4; ++e)
        if ((hidden & (1 << e)) == 0 && !samePoint(p[e], p[(e + 1) % 4]))
            out.paths.push_back({{p[e], p[(e + 1) % 4]}, false});
}

bool ellipseShape(const Groups &g, KeptShape &out) {
    double start = g.number(41, 0), end = g.number(42, 2 * kPi);
    double ratio = g.number(40, 1);
    Point3 major = g.point(11, {1, 0, 0});
    if (!(ratio > 0) || length(major) == 0)
        return false;
    bool full = std::fabs(std::fabs(end - start) - 2 * kPi) < 1e-9 || end == start;
    std::vector<Point3> pts =
        ellipsePoints(g.point(10), major, g.point(210, {0, 0, 1}), ratio, start, end);
    if (full && !pts.empty())
        pts.pop_back();
    out.paths.push_back({std::move(pts), full});
    return true;
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

bool splineShape(const Groups &g, KeptShape &out) {
    bool closed = (g.integer(70, 0) & 1) != 0;
    std::vector<Point3> pts =
        splinePoints(static_cast<int>(g.integer(71, 3)), numberList(g, 40), pointList(g, 10),
                     numberList(g, 41), pointList(g, 11), closed);
    if (pts.empty())
        return false;
    out.paths.push_back({std::move(pts), false});
    return true;
}

bool leaderShape(const Groups &g, KeptShape &out) {
    std::vector<Point3> pts = pointList(g, 10);
    if (pts.size() < 2)
        return false;
    out.paths.push_back({g.integer(72, 0) == 1 ? curveThroughPoints(pts, false) : pts, false});
    // The arrow runs from the first vertex towards the second (not the curve's first chord).
    out.arrow = g.integer(71, 1) != 0;
    out.arrowTip = pts[0];
    out.arrowNext = pts[1];
    out.arrowStyle = g.text(3);
    return true;
}

// --- meshes ----------------------------------------------------------------------------

void meshShape(const std::vector<Groups> &records, KeptShape &out) {
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
                out.paths.push_back({{locations[static_cast<std::size_t>(a - 1)],
                                      locations[static_cast<std::size_t>(ib - 1)]},
                                     false});
            }
        }
        return;
    }
    // A polygon mesh: m rows of n vertices, each row and each column a line.
    long m = head.integer(71, 0), n = head.integer(72, 0);
    const long have = static_cast<long>(locations.size());
    if (m < 1 || n < 1 || m > have || n > have || m * n > have)
        return;
    auto at = [&](long r, long c) { return locations[static_cast<std::size_t>(r * n + c)]; };
    for (long r = 0; r < m; ++r) {
        KeptPath row{{}, (flags & 32) != 0};
        for (long c = 0; c < n; ++c)
            row.pts.push_back(at(r, c));
        out.paths.push_back(std::move(row));
    }
    for (long c = 0; c < n; ++c) {
        KeptPath col{{}, (flags & 1) != 0};
        for (long r = 0; r < m; ++r)
            col.pts.push_back(at(r, c));
        out.paths.push_back(std::move(col));
    }
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
    Point3 point(int code) {
        double x = number(code), y = number(code + 10);
        return {x, y, 0};
    }
    // Moves to the next group of this code; false (at the end) when there is none.
    bool seek(int code) {
        while (mAt < mList.size() && mList[mAt].code != code)
            ++mAt;
        return mAt < mList.size();
    }

private:
    const std::vector<Group> &mList;
    std::size_t mAt;
};

// A bounded count read from a file: nothing larger than the record could hold.
std::size_t countOf(long v, std::size_t limit) {
    return v < 0 ? 0 : std::min(static_cast<std::size_t>(v), limit);
}

void arcPoints(std::vector<Point3> &ring, Point3 c, Point3 major, double ratio, double startDeg,
               double endDeg, bool ccw) {
    double sweep = std::fmod(endDeg - startDeg, 360.0);
    if (sweep <= 1e-9)
        sweep += 360;
    int steps = std::max(2, static_cast<int>(std::ceil(sweep / 5)));
    Point3 minor{-major.y * ratio, major.x * ratio, 0};
    for (int i = 0; i <= steps; ++i) {
        double t = (startDeg + sweep * i / steps) * kDegree;
        if (!ccw) // clockwise edges keep their angles mirrored
            t = -t;
        ring.push_back({c.x + std::cos(t) * major.x + std::sin(t) * minor.x,
                        c.y + std::cos(t) * major.y + std::sin(t) * minor.y, 0});
    }
}

} // namespace

void bulgePoints(std::vector<Point3> &ring, Point3 a, Point3 b, double bulge) {
    double chord = std::hypot(b.x - a.x, b.y - a.y);
    ring.push_back(a);
    if (std::fabs(bulge) < 1e-12 || chord == 0 || !std::isfinite(bulge))
        return;
    double sweep = 4 * std::atan(bulge);
    double offset = chord * (1 - bulge * bulge) / (4 * bulge);
    double cx = (a.x + b.x) / 2 - (b.y - a.y) / chord * offset;
    double cy = (a.y + b.y) / 2 + (b.x - a.x) / chord * offset;
    double r = std::hypot(a.x - cx, a.y - cy), start = std::atan2(a.y - cy, a.x - cx);
    int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (2 * kPi) * 72)));
    for (int i = 1; i < steps; ++i) {
        double t = start + sweep * i / steps;
        ring.push_back({cx + r * std::cos(t), cy + r * std::sin(t), 0});
    }
}

namespace {

void appendPoints(std::vector<Point3> &ring, const std::vector<Point3> &pts) {
    for (Point3 p : pts)
        if (ring.empty() || ring.back().x != p.x || ring.back().y != p.y)
            ring.push_back(p);
}

// The boundary paths of a hatch as rings of points in its own coordinates.
std::vector<std::vector<Point3>> hatchRings(const Groups &g, Cursor &c) {
    std::vector<std::vector<Point3>> rings;
    const std::size_t limit = g.list().size();
    if (!c.seek(91))
        return rings;
    std::size_t paths = countOf(c.integer(91), limit);
    for (std::size_t p = 0; p < paths && c.seek(92); ++p) {
        long flags = c.integer(92);
        std::vector<Point3> ring;
        if ((flags & 2) != 0) { // a polyline path
            bool bulges = c.integer(72) != 0;
            (void)c.integer(73); // closed or not, the area is closed
            std::size_t n = countOf(c.integer(93), limit);
            std::vector<std::pair<Point3, double>> verts;
            for (std::size_t i = 0; i < n; ++i) {
                Point3 pt = c.point(10);
                verts.emplace_back(pt, bulges ? c.number(42) : 0);
            }
            for (std::size_t i = 0; i < verts.size(); ++i) {
                std::vector<Point3> seg;
                bulgePoints(seg, verts[i].first, verts[(i + 1) % verts.size()].first,
                            verts[i].second);
                appendPoints(ring, seg);
            }
        } else {
            std::size_t edges = countOf(c.integer(93), limit);
            for (std::size_t e = 0; e < edges; ++e) {
                long type = c.integer(72);
                std::vector<Point3> seg;
                if (type == 1) {
                    Point3 a = c.point(10), b = c.point(11);
                    seg = {a, b};
                } else if (type == 2) {
                    Point3 ctr = c.point(10);
                    double r = c.number(40), s = c.number(50), en = c.number(51);
                    bool ccw = c.integer(73, 1) != 0;
                    arcPoints(seg, ctr, {r, 0, 0}, 1, s, en, ccw);
                } else if (type == 3) {
                    Point3 ctr = c.point(10), major = c.point(11);
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
                        ctrl.push_back(c.point(10));
                        if (rational)
                            weights.push_back(c.number(42, 1));
                    }
                    std::size_t nf = countOf(c.integer(97), limit);
                    for (std::size_t i = 0; i < nf; ++i)
                        fit.push_back(c.point(11));
                    for (Point3 q : splinePoints(degree, knots, ctrl, weights, fit, false))
                        seg.push_back({q.x, q.y, 0});
                } else {
                    break; // an edge of no known kind: the rest of the path cannot be read
                }
                // An edge may run either way round: it joins the ring at its nearer end.
                if (!ring.empty() && seg.size() > 1) {
                    Point3 last = ring.back();
                    auto d2 = [&](Point3 q) {
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

std::vector<PatternLine> patternLines(Cursor &c, std::size_t limit) {
    std::vector<PatternLine> lines;
    if (!c.seek(78))
        return lines;
    std::size_t n = countOf(c.integer(78), limit);
    for (std::size_t i = 0; i < n && c.seek(53); ++i) {
        PatternLine line;
        line.angle = c.number(53) * kDegree;
        line.baseX = c.number(43);
        line.baseY = c.number(44);
        line.offsetX = c.number(45);
        line.offsetY = c.number(46);
        std::size_t dashes = countOf(c.integer(79), limit);
        for (std::size_t d = 0; d < dashes; ++d)
            line.dashes.push_back(c.number(49));
        lines.push_back(std::move(line));
    }
    return lines;
}

bool hatchShape(const Groups &g, KeptShape &out) {
    Cursor c(g.list());
    KeptHatch &h = out.hatch;
    h.rings = hatchRings(g, c);
    if (h.rings.empty())
        return false;
    h.solid = g.integer(70, 0) != 0 || g.integer(450, 0) != 0;
    if (!h.solid)
        h.pattern = patternLines(c, g.list().size());
    h.normal = g.point(210, {0, 0, 1});
    h.elevation = g.point(10).z;
    Ocs ocs(h.normal);
    std::vector<std::vector<Point3>> world;
    for (const std::vector<Point3> &ring : h.rings) {
        std::vector<Point3> w;
        w.reserve(ring.size());
        for (Point3 p : ring)
            w.push_back(ocs({p.x, p.y, h.elevation}));
        world.push_back(std::move(w));
    }
    out.areas.push_back(std::move(world));
    out.isHatch = true;
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

void mtextShape(const Groups &g, const TextConverter &convert, KeptShape &out) {
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
        double a = g.number(50, 0) * kDegree;
        dir = Ocs(normal).vector({std::cos(a), std::sin(a), 0});
    }
    dir = scaled(dir, 1 / length(dir));
    Point3 up = cross(normal, dir);
    double pitch = height * 5.0 / 3.0 * std::clamp(g.number(44, 1), 0.25, 4.0);
    double width = g.number(41, 0);
    double perLine = width > 0 ? std::clamp(width / (0.6 * height), 1.0, 1e6) : 0;
    int maxChars = static_cast<int>(perLine);

    std::vector<std::string> lines;
    for (const std::string &para : mtextParagraphs(keptText(mtextRaw(g), convert)))
        for (std::string &line : wrapLine(para, maxChars))
            lines.push_back(std::move(line));
    long attach = std::clamp(g.integer(71, 1), 1L, 9L);
    long row = (attach - 1) / 3, column = (attach - 1) % 3;
    double n = static_cast<double>(lines.size());
    double total = height + (n - 1) * pitch;
    double firstBaseline = row == 0 ? -height : row == 1 ? total / 2 - height : total - height;
    Point3 ins = g.point(10);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        double y = firstBaseline - static_cast<double>(i) * pitch;
        KeptText t;
        t.pos = add(ins, scaled(up, y));
        t.along = dir;
        t.up = up;
        t.height = height;
        t.text = std::move(lines[i]);
        t.anchor = static_cast<int>(column);
        out.texts.push_back(std::move(t));
    }
}

} // namespace

std::string keptText(std::string_view fileText, const TextConverter &toDatabaseText) {
    if (toDatabaseText)
        return toDatabaseText(fileText);
    bool ascii = std::all_of(fileText.begin(), fileText.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || !host::text::isValidUtf8(fileText))
        return std::string(fileText);
    return host::text::utf8ToCp1251(fileText);
}

bool attributeText(const Groups &g, bool inBlock, const TextConverter &toDatabaseText,
                   KeptText &out) {
    long flags = g.integer(70, 0);
    bool definition = g.type() == "ATTDEF";
    if ((flags & 1) != 0 || (definition && inBlock && (flags & 2) == 0))
        return false;
    std::string_view raw = definition && !inBlock ? g.text(2) : g.text(1);
    if (raw.empty())
        return false;
    long horz = g.integer(72, 0), vert = g.integer(74, 0);
    bool aligned = horz != 0 || vert != 0;
    bool spread = horz == 3 || horz == 5; // aligned and fit run from the first point
    Ocs ocs(g);
    double angle = g.number(50, 0) * kDegree;
    out.pos = ocs(aligned && !spread && g.has(11) ? g.point(11) : g.point(10));
    out.along = ocs.vector({std::cos(angle), std::sin(angle), 0});
    out.up = ocs.vector({-std::sin(angle), std::cos(angle), 0});
    double height = g.number(40, 2.5), widthFactor = g.number(41, 1);
    out.height = height > 0 ? height : 2.5;
    out.widthFactor = widthFactor > 0 ? widthFactor : 1;
    out.text = keptText(raw, toDatabaseText);
    out.anchor = horz == 1 || horz == 4 ? 1 : horz == 2 ? 2 : 0;
    out.baseline = horz == 4 || vert == 2 ? 1 : vert == 3 ? 2 : vert == 1 ? 3 : 0;
    return true;
}

double textWidth(std::string_view databaseText, double height, double widthFactor) {
    return 0.6 * height * widthFactor * static_cast<double>(characterCount(databaseText));
}

bool keptShape(const std::vector<Groups> &records, const TextConverter &toDatabaseText,
               KeptShape &out) {
    if (records.empty())
        return false;
    const Groups &g = records[0];
    std::string_view type = g.type();
    if (type == "SOLID" || type == "TRACE") {
        solidShape(g, out);
    } else if (type == "3DFACE") {
        faceShape(g, out);
    } else if (type == "ELLIPSE") {
        return ellipseShape(g, out);
    } else if (type == "SPLINE") {
        return splineShape(g, out);
    } else if (type == "LEADER") {
        return leaderShape(g, out);
    } else if (type == "HATCH") {
        return hatchShape(g, out);
    } else if (type == "MTEXT") {
        mtextShape(g, toDatabaseText, out);
    } else if (type == "POLYLINE" && (g.integer(70, 0) & (16 | 64)) != 0) {
        meshShape(records, out);
    } else if (type == "ATTDEF" || type == "ATTRIB") {
        KeptText t;
        if (attributeText(g, /*inBlock=*/false, toDatabaseText, t))
            out.texts.push_back(std::move(t));
    } else if (type == "POINT") {
        out.points.push_back(g.point(10));
    } else if (type == "RAY" || type == "XLINE") {
        Point3 dir = g.point(11, {1, 0, 0});
        double len = length(dir);
        if (!(len > 0) || !std::isfinite(len))
            return false;
        out.lines.push_back({g.point(10), scaled(dir, 1 / len), type == "XLINE"});
    } else if (type == "DIMENSION") {
        out.block = std::string(g.text(2));
        return !out.block.empty();
    } else {
        return false;
    }
    return true;
}

} // namespace tev::db
