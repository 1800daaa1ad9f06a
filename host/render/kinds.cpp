// kinds.cpp - drawing the kept kinds from their shapes.
#include "kinds.h"

#include "text.h"

#include <algorithm>
#include <cmath>

namespace host::render {
namespace {

constexpr double kPi = 3.14159265358979323846;
// A hatch's pattern may ask for more lines than any screen shows: beyond this many pieces
// (or this much work cutting them) it is shown as a light fill instead.
constexpr std::size_t kMaxPatternPieces = 200'000;
constexpr double kMaxPatternWork = 5e7;

Point2 plan(const Xform &xf, Point3 p) {
    return xf.apply2(p.x, p.y, p.z);
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

// The pieces [t0, t1] of each pattern line inside the rings (even-odd), in pattern terms:
// the line's origin, direction and the stretch along it. False when there would be too many.
struct Piece {
    Point2 from, to;
};
bool clipPattern(const std::vector<std::vector<Point2>> &rings,
                 const std::vector<tev::db::PatternLine> &lines, std::vector<Piece> &pieces) {
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
    for (const tev::db::PatternLine &line : lines) {
        Point2 d{std::cos(line.angle), std::sin(line.angle)}, n{-d.y, d.x};
        double spacing = line.offsetX * n.x + line.offsetY * n.y;
        if (!(std::fabs(spacing) > 0))
            return false;
        double sMin = 1e300, sMax = -1e300;
        for (Point2 q :
             {Point2{minX, minY}, Point2{maxX, minY}, Point2{minX, maxY}, Point2{maxX, maxY}}) {
            double s = (q.x - line.baseX) * n.x + (q.y - line.baseY) * n.y;
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
            Point2 o{line.baseX + k * line.offsetX, line.baseY + k * line.offsetY};
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

void addArea(Scene &scene, std::string_view kind, const std::vector<std::vector<Point3>> &rings,
             const Xform &xf, Rgb fill) {
    PolygonItem item;
    item.kind = kind;
    item.fill = fill;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        std::vector<Point2> ring;
        ring.reserve(rings[r].size());
        for (Point3 p : rings[r])
            ring.push_back(plan(xf, p));
        if (r == 0)
            item.pts = std::move(ring);
        else
            item.holes.push_back(std::move(ring));
    }
    scene.add(std::move(item));
}

// A hatch: its pattern's lines cut at the boundary, or its area filled (a pattern too
// dense to draw line by line is a light fill).
void drawHatch(const tev::db::KeptShape &k, const Xform &xf, const Stroke &stroke, Scene &scene) {
    const tev::db::KeptHatch &h = k.hatch;
    Xform o = xf * Xform::fromNormal(h.normal.x, h.normal.y, h.normal.z) *
              Xform::translation(0, 0, h.elevation);
    std::vector<std::vector<Point2>> rings;
    for (const std::vector<Point3> &ring : h.rings) {
        rings.emplace_back();
        for (Point3 p : ring)
            rings.back().push_back({p.x, p.y});
    }
    std::vector<Piece> pieces;
    if (!h.solid && !h.pattern.empty() && clipPattern(rings, h.pattern, pieces)) {
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
        return;
    }
    addArea(scene, "hatch", k.areas[0], xf, h.solid ? stroke.color : lighter(stroke.color));
}

void drawLeaderArrow(const tev::db::KeptShape &k, const Xform &xf, const Stroke &stroke,
                     const KindSettings &settings, Scene &scene) {
    Point2 tip = plan(xf, k.arrowTip), next = plan(xf, k.arrowNext);
    double dx = next.x - tip.x, dy = next.y - tip.y, len = std::hypot(dx, dy);
    auto style = settings.styleArrowSizes.find(k.arrowStyle);
    double size = (style != settings.styleArrowSizes.end() ? style->second : settings.arrowSize) *
                  xf.planScale();
    if (!k.arrow || !(len > 0) || !(size > 0))
        return;
    dx /= len, dy /= len;
    PolygonItem arrow;
    arrow.fill = stroke.color;
    Point2 base{tip.x + dx * size, tip.y + dy * size};
    arrow.pts = {tip,
                 {base.x - dy * size / 6, base.y + dx * size / 6},
                 {base.x + dy * size / 6, base.y - dx * size / 6}};
    scene.add(std::move(arrow));
}

} // namespace

void drawTextLines(const std::vector<tev::db::KeptText> &texts, const Xform &xf, Rgb color,
                   std::string_view kind, Scene &scene) {
    for (const tev::db::KeptText &t : texts) {
        Point2 along = xf.applyVector2(t.along.x, t.along.y, t.along.z),
               up = xf.applyVector2(t.up.x, t.up.y, t.up.z);
        double upLength = std::hypot(up.x, up.y);
        TextItem item;
        item.kind = kind;
        item.pos = plan(xf, t.pos);
        item.height = t.height * upLength;
        item.rotation = std::atan2(along.y, along.x);
        item.widthFactor =
            t.widthFactor * (upLength > 0 ? std::hypot(along.x, along.y) / upLength : 1);
        item.xmlText = drawingTextToXml(t.text);
        item.anchor = static_cast<Anchor>(std::clamp(t.anchor, 0, 2));
        item.baseline = static_cast<Baseline>(std::clamp(t.baseline, 0, 3));
        item.color = color;
        scene.add(std::move(item));
    }
}

std::string fileTextToDatabase(std::string_view text, const KindSettings &settings) {
    if (!settings.toDatabaseText)
        return std::string(text);
    return settings.toDatabaseText(text);
}

bool drawKind(const std::vector<Groups> &records, const Xform &xf, const Stroke &stroke,
              const KindSettings &settings, Scene &scene, Deferred &deferred) {
    if (records.empty())
        return false;
    std::string_view type = records[0].type();
    tev::db::KeptShape k;
    if (!tev::db::keptShape(records, settings.toDatabaseText, k))
        // A kind known here whose record makes no shape draws nothing; a hatch without a
        // boundary, or a kind not known, is not drawn and says so.
        return type == "ELLIPSE" || type == "SPLINE" || type == "LEADER" || type == "RAY" ||
               type == "XLINE";
    std::string kind = type == "POLYLINE" ? "mesh" : std::string(type);
    for (char &c : kind)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (k.isHatch) {
        drawHatch(k, xf, stroke, scene);
        return true;
    }
    bool group = k.paths.size() + k.areas.size() > 1 || !k.texts.empty() || kind == "mesh" ||
                 kind == "leader";
    if (group)
        scene.open(kind);
    for (const tev::db::KeptPath &path : k.paths)
        addPath(scene, group ? "" : kind, path.pts, xf, path.closed, stroke);
    for (const auto &rings : k.areas)
        addArea(scene, group ? "" : kind, rings, xf, stroke.color);
    drawTextLines(k.texts, xf, stroke.color, "", scene);
    if (k.arrow)
        drawLeaderArrow(k, xf, stroke, settings, scene);
    if (group)
        scene.close();
    for (Point3 p : k.points)
        deferred.marks.push_back({plan(xf, p), stroke});
    deferred.pointMode = settings.pointMode;
    deferred.pointSize = settings.pointSize;
    deferred.viewHeight = settings.viewHeight;
    for (const tev::db::KeptLine &l : k.lines) {
        Point2 d = xf.applyVector2(l.dir.x, l.dir.y, l.dir.z);
        double len = std::hypot(d.x, d.y);
        if (len > 0 && std::isfinite(len))
            deferred.lines.push_back(
                {plan(xf, l.base), {d.x / len, d.y / len}, l.bothWays, stroke});
    }
    return true;
}

void drawAttribute(const Groups &g, const Xform &xf, Rgb color, bool inBlock,
                   const KindSettings &settings, Scene &scene) {
    tev::db::KeptText t;
    if (tev::db::attributeText(g, inBlock, settings.toDatabaseText, t))
        drawTextLines({t}, xf, color, "attrib", scene);
}

namespace {

// A point's mark as the header says (PDMODE): the figure in its lowest bits (0 a dot, 1
// nothing, 2 a cross, 3 an oblique cross, 4 a tick upwards), and around it a circle (32)
// and a square (64), all size across.
void drawPointMark(const Deferred::Mark &m, int mode, double size, Scene &scene) {
    double h = size / 2;
    Point2 p = m.at;
    auto add = [&](std::vector<Point2> pts, bool closed) {
        PathItem item;
        item.stroke = m.stroke;
        item.closed = closed;
        for (Point2 q : pts)
            item.verts.push_back({{p.x + q.x, p.y + q.y}, 0});
        scene.add(std::move(item));
    };
    scene.open("point");
    switch (mode & 7) {
    case 0:
        add({{0, 0}, {0, 0}}, false); // a dot: the round ends of a line of no length
        break;
    case 2:
        add({{-h, 0}, {h, 0}}, false);
        add({{0, -h}, {0, h}}, false);
        break;
    case 3:
        add({{-h, -h}, {h, h}}, false);
        add({{-h, h}, {h, -h}}, false);
        break;
    case 4:
        add({{0, 0}, {0, h}}, false);
        break;
    default: // 1: nothing
        break;
    }
    if ((mode & 32) != 0 && h > 0)
        scene.add(CircleItem{"", p, h, m.stroke});
    if ((mode & 64) != 0)
        add({{-h, -h}, {h, -h}, {h, h}, {-h, h}}, true);
    scene.close();
}

// The size of point marks (PDSIZE): positive in drawing units; 0 a twentieth of the
// height drawn; negative that percentage of it.
double pointSize(double setting, double height) {
    if (setting > 0 && std::isfinite(setting))
        return setting;
    if (setting < 0 && std::isfinite(setting))
        return height * -setting / 100;
    return height * 0.05;
}

} // namespace

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
    // The height point sizes are a share of: the view's, or the picture's with the margins
    // the picture is drawn with.
    double height = deferred.viewHeight > 0 ? deferred.viewHeight : maxY - minY + size * 0.1;
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
    for (const Deferred::Mark &m : deferred.marks)
        drawPointMark(m, deferred.pointMode, pointSize(deferred.pointSize, height), scene);
}

} // namespace host::render
