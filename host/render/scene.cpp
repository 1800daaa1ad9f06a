// scene.cpp - the geometry of pictures (transforms, arcs, boxes) and the SVG text of a scene.
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace host::render {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Coordinates beyond this are taken as broken data: no drawing is that large, and the box
// arithmetic must not overflow.
constexpr double kLargest = 1e15;

bool sane(double v) {
    return std::isfinite(v) && std::fabs(v) < kLargest;
}
bool sane(Point2 p) {
    return sane(p.x) && sane(p.y);
}

bool sane(const Stroke &s) {
    return sane(s.weight) &&
           std::all_of(s.dashes.begin(), s.dashes.end(), [](double d) { return sane(d); });
}

// The width of a line of this weight (millimetres), in the picture's pixels at 96 dots per
// inch; the thinnest line is one pixel.
double weightPixels(double weightMm) {
    return std::max(1.0, weightMm * 96 / 25.4);
}

// The number of characters (code points) of escaped XML text, entities counted once.
std::size_t visibleLength(std::string_view xml) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < xml.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(xml[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        if (c == '&') {
            std::size_t semi = xml.find(';', i);
            if (semi != std::string_view::npos)
                i = semi;
        }
        ++n;
    }
    return n;
}

struct SvgFrame {
    double thin = 1;      // the width of a thin line, in world units
    double fixedDash = 1; // the length of the dash of a linetype without a known pattern
};

// y flipped: the drawing's y goes up, SVG's goes down.
std::string xy(Point2 p) {
    return formatNumber(p.x) + " " + formatNumber(-p.y);
}

void strokeAttributes(std::string &out, const Stroke &s, const SvgFrame &frame) {
    out += " stroke=\"" + rgbToHex(s.color) + "\"";
    if (s.fixedDash) {
        out += " stroke-dasharray=\"" + formatNumber(frame.fixedDash) + " " +
               formatNumber(frame.fixedDash / 2) + "\"";
    } else if (!s.dashes.empty()) {
        out += " stroke-dasharray=\"";
        for (std::size_t i = 0; i < s.dashes.size(); ++i)
            out += (i ? " " : "") + formatNumber(s.dashes[i]);
        out += "\"";
    }
    if (s.weight > 0 && weightPixels(s.weight) > 1)
        out += " stroke-width=\"" + formatNumber(frame.thin * weightPixels(s.weight)) + "\"";
}

void classAttribute(std::string &out, const std::string &kind) {
    if (!kind.empty())
        out += " class=\"" + kind + "\"";
}

// Path data with SVG arcs for bulged segments. The picture looks as the drawing does, so a
// counter-clockwise bulge stays counter-clockwise on screen: SVG's sweep flag 0.
std::string pathData(const std::vector<PathVertex> &verts, bool closed) {
    std::string d = "M" + xy(verts[0].p);
    std::size_t segments = closed ? verts.size() : verts.size() - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const PathVertex &a = verts[i];
        Point2 b = verts[(i + 1) % verts.size()].p;
        double chord = std::hypot(b.x - a.p.x, b.y - a.p.y);
        if (std::fabs(a.bulge) < 1e-12 || chord == 0) {
            d += " L" + xy(b);
            continue;
        }
        double radius = chord * (1 + a.bulge * a.bulge) / (4 * std::fabs(a.bulge));
        d += " A" + formatNumber(radius) + " " + formatNumber(radius) + " 0 " +
             (std::fabs(a.bulge) > 1 ? "1 " : "0 ") + (a.bulge > 0 ? "0 " : "1 ") + xy(b);
    }
    if (closed)
        d += " Z";
    return d;
}

void writeItem(std::string &out, const PathItem &item, const SvgFrame &frame) {
    out += "<path";
    classAttribute(out, item.kind);
    out += " d=\"" + pathData(item.verts, item.closed) + "\"";
    Stroke stroke = item.stroke;
    if (item.width > 0) // a wide polyline's own width stands for the weight
        stroke.weight = 0;
    strokeAttributes(out, stroke, frame);
    if (item.width > 0)
        out += " stroke-width=\"" + formatNumber(item.width) +
               "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"";
    out += "/>\n";
}

void ringData(std::string &out, const std::vector<Point2> &pts) {
    out += "M" + xy(pts[0]);
    for (std::size_t i = 1; i < pts.size(); ++i)
        out += " L" + xy(pts[i]);
    out += " Z";
}

void writeItem(std::string &out, const PolygonItem &item, const SvgFrame &) {
    out += "<path";
    classAttribute(out, item.kind);
    out += " d=\"";
    ringData(out, item.pts);
    for (const std::vector<Point2> &hole : item.holes) {
        out += " ";
        ringData(out, hole);
    }
    out += "\" fill=\"" + rgbToHex(item.fill) + "\"";
    if (!item.holes.empty())
        out += " fill-rule=\"evenodd\"";
    out += " stroke=\"none\"/>\n";
}

void writeItem(std::string &out, const CircleItem &item, const SvgFrame &frame) {
    out += "<circle";
    classAttribute(out, item.kind);
    out += " cx=\"" + formatNumber(item.center.x) + "\" cy=\"" + formatNumber(-item.center.y) +
           "\" r=\"" + formatNumber(item.radius) + "\"";
    strokeAttributes(out, item.stroke, frame);
    out += "/>\n";
}

void writeItem(std::string &out, const TextItem &item, const SvgFrame &) {
    static constexpr const char *kAnchor[] = {"start", "middle", "end"};
    static constexpr const char *kBaseline[] = {"auto", "central", "hanging", "text-after-edge"};
    out += "<text";
    classAttribute(out, item.kind);
    // Drawn at the origin of its own frame: moved, turned (SVG turns clockwise), stretched.
    out += " transform=\"translate(" + xy(item.pos) + ")";
    if (item.rotation != 0)
        out += " rotate(" + formatNumber(-item.rotation * 180 / kPi) + ")";
    if (item.widthFactor != 1)
        out += " scale(" + formatNumber(item.widthFactor) + " 1)";
    out += "\" font-size=\"" + formatNumber(item.height) + "\" fill=\"" + rgbToHex(item.color) +
           "\" stroke=\"none\"";
    if (item.anchor != Anchor::Start)
        out += std::string(" text-anchor=\"") + kAnchor[static_cast<int>(item.anchor)] + "\"";
    if (item.baseline != Baseline::Alphabetic)
        out += std::string(" dominant-baseline=\"") + kBaseline[static_cast<int>(item.baseline)] +
               "\"";
    out += ">" + item.xmlText + "</text>\n";
}

void writeItem(std::string &out, const GroupOpen &item, const SvgFrame &) {
    out += "<g";
    classAttribute(out, item.kind);
    out += ">\n";
}

void writeItem(std::string &out, const GroupClose &, const SvgFrame &) {
    out += "</g>\n";
}

// A comment must not hold "--" nor end in "-".
std::string commentText(std::string_view note) {
    std::string s;
    for (char c : note) {
        if (c == '-' && !s.empty() && s.back() == '-')
            s += ' ';
        s += c;
    }
    if (!s.empty() && s.back() == '-')
        s += ' ';
    return s;
}

} // namespace

// --- transforms -------------------------------------------------------------------------------

Xform Xform::translation(double x, double y, double z) {
    Xform t;
    t.m[0][3] = x, t.m[1][3] = y, t.m[2][3] = z;
    return t;
}

Xform Xform::rotationZ(double angle) {
    Xform t;
    double c = std::cos(angle), s = std::sin(angle);
    t.m[0][0] = c, t.m[0][1] = -s;
    t.m[1][0] = s, t.m[1][1] = c;
    return t;
}

Xform Xform::scaling(double sx, double sy, double sz) {
    Xform t;
    t.m[0][0] = sx, t.m[1][1] = sy, t.m[2][2] = sz;
    return t;
}

Xform Xform::fromNormal(double nx, double ny, double nz) {
    double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0) || !std::isfinite(len))
        return Xform();
    nx /= len, ny /= len, nz /= len;
    // The arbitrary axis rule: x is world Y × N when N is near the Z axis, else world Z × N.
    double ax, ay, az;
    if (std::fabs(nx) < 1.0 / 64 && std::fabs(ny) < 1.0 / 64)
        ax = nz, ay = 0, az = -nx; // (0,1,0) × N
    else
        ax = -ny, ay = nx, az = 0; // (0,0,1) × N
    double alen = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= alen, ay /= alen, az /= alen;
    double bx = ny * az - nz * ay, by = nz * ax - nx * az, bz = nx * ay - ny * ax; // N × Ax
    Xform t;
    double cols[3][3] = {{ax, ay, az}, {bx, by, bz}, {nx, ny, nz}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            t.m[r][c] = cols[c][r];
    return t;
}

Xform Xform::operator*(const Xform &right) const {
    Xform t;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double v = c == 3 ? m[r][3] : 0;
            for (int k = 0; k < 3; ++k)
                v += m[r][k] * right.m[k][c];
            t.m[r][c] = v;
        }
    }
    return t;
}

void Xform::apply(double x, double y, double z, double &ox, double &oy, double &oz) const {
    ox = m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3];
    oy = m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3];
    oz = m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3];
}

Point2 Xform::apply2(double x, double y, double z) const {
    return {m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3],
            m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]};
}

Point2 Xform::applyVector2(double x, double y, double z) const {
    return {m[0][0] * x + m[0][1] * y + m[0][2] * z, m[1][0] * x + m[1][1] * y + m[1][2] * z};
}

bool Xform::isPlanSimilarity(double &scale, bool &mirrored) const {
    double a = m[0][0], b = m[1][0], c = m[0][1], d = m[1][1];
    double lx = a * a + b * b, ly = c * c + d * d;
    double tol = 1e-9 * std::max(lx, ly);
    if (!(lx > 0) || std::fabs(lx - ly) > tol || std::fabs(a * c + b * d) > tol)
        return false;
    scale = std::sqrt(lx);
    mirrored = a * d - b * c < 0;
    return true;
}

double Xform::planScale() const {
    return std::sqrt(std::fabs(m[0][0] * m[1][1] - m[1][0] * m[0][1]));
}

// --- arcs ---------------------------------------------------------------------------------

std::vector<Point2> tessellateBulge(Point2 a, Point2 b, double bulge, int perFullCircle) {
    double chord = std::hypot(b.x - a.x, b.y - a.y);
    if (std::fabs(bulge) < 1e-12 || chord == 0)
        return {a, b};
    double sweep = 4 * std::atan(bulge); // signed, + counter-clockwise
    // The centre lies off the chord's middle, on its left for a counter-clockwise arc.
    double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
    double offset = chord * (1 - bulge * bulge) / (4 * bulge); // signed distance
    double nx = -(b.y - a.y) / chord, ny = (b.x - a.x) / chord;
    double cx = mx + nx * offset, cy = my + ny * offset;
    double radius = std::hypot(a.x - cx, a.y - cy);
    double start = std::atan2(a.y - cy, a.x - cx);
    int steps = std::max(
        1, static_cast<int>(std::ceil(std::fabs(sweep) / (2 * kPi) * std::max(perFullCircle, 4))));
    std::vector<Point2> pts;
    pts.reserve(static_cast<std::size_t>(steps) + 1);
    pts.push_back(a);
    for (int i = 1; i < steps; ++i) {
        double t = start + sweep * i / steps;
        pts.push_back({cx + radius * std::cos(t), cy + radius * std::sin(t)});
    }
    pts.push_back(b);
    return pts;
}

// --- the scene ----------------------------------------------------------------------------

bool Scene::refuse() {
    ++mRefused;
    return false;
}

void Scene::cover(Point2 p, double pad) {
    if (!hasBox()) {
        mMinX = mMaxX = p.x;
        mMinY = mMaxY = p.y;
    }
    mMinX = std::min(mMinX, p.x - pad);
    mMinY = std::min(mMinY, p.y - pad);
    mMaxX = std::max(mMaxX, p.x + pad);
    mMaxY = std::max(mMaxY, p.y + pad);
}

bool Scene::add(PathItem item) {
    if (item.verts.size() < 2 || !sane(item.width) || !sane(item.stroke))
        return refuse();
    for (const PathVertex &v : item.verts)
        if (!sane(v.p) || !sane(v.bulge))
            return refuse();
    std::size_t segments = item.closed ? item.verts.size() : item.verts.size() - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const PathVertex &a = item.verts[i];
        for (Point2 p : tessellateBulge(a.p, item.verts[(i + 1) % item.verts.size()].p, a.bulge))
            cover(p, item.width / 2);
    }
    ++mPrimitives;
    mItems.emplace_back(std::move(item));
    return true;
}

bool Scene::add(PolygonItem item) {
    if (item.pts.size() < 3)
        return refuse();
    for (Point2 p : item.pts)
        if (!sane(p))
            return refuse();
    // A hole of fewer than three points encloses nothing: left out.
    std::erase_if(item.holes, [](const std::vector<Point2> &h) { return h.size() < 3; });
    for (const std::vector<Point2> &hole : item.holes)
        for (Point2 p : hole)
            if (!sane(p))
                return refuse();
    for (Point2 p : item.pts)
        cover(p);
    for (const std::vector<Point2> &hole : item.holes)
        for (Point2 p : hole)
            cover(p);
    ++mPrimitives;
    mItems.emplace_back(std::move(item));
    return true;
}

bool Scene::add(CircleItem item) {
    if (!sane(item.center) || !sane(item.radius) || item.radius <= 0 || !sane(item.stroke))
        return refuse();
    cover(item.center, item.radius);
    ++mPrimitives;
    mItems.emplace_back(std::move(item));
    return true;
}

bool Scene::add(TextItem item) {
    if (!sane(item.pos) || !sane(item.height) || item.height <= 0 || !sane(item.rotation) ||
        !sane(item.widthFactor) || item.widthFactor <= 0)
        return refuse();
    // An estimate of the text's box: characters about 0.6 of the height wide.
    double width =
        0.6 * item.height * item.widthFactor * static_cast<double>(visibleLength(item.xmlText));
    double left = item.anchor == Anchor::Start    ? 0
                  : item.anchor == Anchor::Middle ? -width / 2
                                                  : -width;
    double bottom = item.baseline == Baseline::Alphabetic ? 0
                    : item.baseline == Baseline::Middle   ? -item.height / 2
                    : item.baseline == Baseline::Top      ? -item.height
                                                          : 0;
    double c = std::cos(item.rotation), s = std::sin(item.rotation);
    for (double u : {left, left + width})
        for (double v : {bottom, bottom + item.height})
            cover({item.pos.x + u * c - v * s, item.pos.y + u * s + v * c});
    ++mPrimitives;
    mItems.emplace_back(std::move(item));
    return true;
}

void Scene::open(std::string_view kind) {
    mItems.emplace_back(GroupOpen{std::string(kind)});
}
void Scene::close() {
    mItems.emplace_back(GroupClose{});
}

void Scene::box(double &minX, double &minY, double &maxX, double &maxY) const {
    if (!hasBox()) {
        minX = minY = maxX = maxY = 0;
        return;
    }
    minX = mMinX, minY = mMinY, maxX = mMaxX, maxY = mMaxY;
}

// --- SVG ----------------------------------------------------------------------------------

std::string formatNumber(double v) {
    if (v == 0 || !std::isfinite(v))
        return "0";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

std::string sceneToSvg(const Scene &scene) {
    double minX = 0, minY = 0, maxX = 100, maxY = 100;
    if (scene.hasBox())
        scene.box(minX, minY, maxX, maxY);
    double size = std::max(maxX - minX, maxY - minY);
    if (size < 1e-9) { // a single point: give it a little room
        size = std::max(1.0, std::max(std::fabs(minX), std::fabs(minY)) * 1e-6);
        minX -= size / 2, maxX += size / 2, minY -= size / 2, maxY += size / 2;
    }
    double margin = size * 0.05;
    double vx = minX - margin, vy = -(maxY + margin);
    double vw = maxX - minX + 2 * margin, vh = maxY - minY + 2 * margin;
    double view = std::max(vw, vh);
    double pixels = 1000 / view; // the larger side is 1000 pixels

    SvgFrame frame;
    frame.thin = view / 1000;
    frame.fixedDash = view / 80;

    std::string out;
    out.reserve(256 + scene.items().size() * 96);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
           formatNumber(std::max(1.0, std::round(vw * pixels))) + "\" height=\"" +
           formatNumber(std::max(1.0, std::round(vh * pixels))) + "\" viewBox=\"" +
           formatNumber(vx) + " " + formatNumber(vy) + " " + formatNumber(vw) + " " +
           formatNumber(vh) + "\">\n";
    for (const std::string &note : scene.notes())
        out += "<!-- " + commentText(note) + " -->\n";
    out += "<rect class=\"paper\" x=\"" + formatNumber(vx) + "\" y=\"" + formatNumber(vy) +
           "\" width=\"" + formatNumber(vw) + "\" height=\"" + formatNumber(vh) +
           "\" fill=\"#ffffff\"/>\n";
    out += "<g class=\"model\" fill=\"none\" stroke-width=\"" + formatNumber(frame.thin) +
           "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    for (const SceneItem &item : scene.items())
        std::visit([&](const auto &i) { writeItem(out, i, frame); }, item);
    out += "</g>\n</svg>\n";
    return out;
}

} // namespace host::render
