// circle_command.cpp - CIRCLE: by centre and radius or diameter, through three points, across
// a diameter's two ends, or with a radius tangent to two picked lines, circles or arcs (the
// segment or arc of a polyline, or of anything else with a shape, nearest each pick).
#include "arc_geometry.h"
#include "command_line.h"
#include "drawing_commands.h"
#include "drawing_helpers.h"
#include "i18n.h"
#include "keywords.h"
#include "prompt_band.h"
#include "sysvars.h"
#include "text_util.h"

#include "acedads.h"
#include "dbents.h"
#include "shape.h"
#include "spatial.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace host {

using i18n::tr;
using namespace draw;

namespace {

double gLastRadius = 0; // the default radius: the last one drawn in this session

constexpr const char *kNoCircle = i18n::N_("Circle does not exist.");

// A radius or diameter: a positive number, or a point's distance from base. Enter takes the
// default when there is one (fallback > 0). False on Escape, or Enter without a default.
bool askSize(const std::string &prompt, const Point3 &base, double fallback, double &out) {
    auto &cl = CommandLine::current();
    for (;;) {
        cl.expect(Want::Point); // a point shows the distance
        Answer a = cl.ask(prompt);
        if (!a.isText())
            return false;
        if (a.text.empty()) {
            out = fallback;
            return fallback > 0;
        }
        bool far = false;
        std::optional<double> v;
        if (looksLikePoint(a.text)) {
            if (auto p = parsePoint(a.text, base, &far))
                v = distance2d(base, *p);
        } else {
            v = parseDistance(a.text, &far);
        }
        if (!v) {
            cl.refuse(far ? tr(kOutOfRangeMessage)
                          : tr("Requires numeric distance or second point."));
        } else if (!(*v > 0)) {
            cl.refuse(tr("Value must be positive and nonzero."));
        } else if (*v > kMaxCoordinate) { // a point in range, but that far from the base
            cl.refuse(tr(kOutOfRangeMessage));
        } else {
            out = *v;
            return true;
        }
    }
}

bool askPoint(const std::string &prompt, const Point3 &base, Point3 &out) {
    for (;;) {
        std::string word;
        Step st = askPointOrWord(prompt, base, out, word);
        if (st == Step::Point)
            return true;
        if (st != Step::Word)
            return false;
        CommandLine::current().refuse(tr("Invalid point."));
    }
}

std::string sizeText(double v) {
    return text::decimalText(v, 4);
}

void addCircle(AcDbDatabase &db, const Point3 &centre, double radius) {
    if (!(std::fabs(centre.x) <= kMaxCoordinate && std::fabs(centre.y) <= kMaxCoordinate) ||
        !(radius > 0 && radius <= kMaxCoordinate)) {
        CommandLine::current().refuse(tr(kOutOfRangeMessage));
        return;
    }
    gLastRadius = radius;
    (void)addEntity(db, new AcDbCircle(ge(centre), AcGeVector3d(0, 0, 1), radius));
}

// A curve a tangent circle touches: a line (through a, along the unit vector u) or a circle;
// with the point it was picked at.
struct Tangent {
    bool line;
    Point3 a;
    double ux = 0, uy = 0, radius = 0;
    Point3 pick;
    // Where a circle about centre touches it.
    Point3 touch(const Point3 &c) const {
        if (line) {
            double t = (c.x - a.x) * ux + (c.y - a.y) * uy;
            return {a.x + t * ux, a.y + t * uy, a.z};
        }
        double d = distance2d(a, c);
        return d == 0 ? a
                      : Point3{a.x + (c.x - a.x) * radius / d, a.y + (c.y - a.y) * radius / d, a.z};
    }
};

// The piece of an entity's shape (a segment, or an arc's circle) nearest p.
std::optional<Tangent> nearestPiece(const tev::db::Shape &shape, const Point3 &p) {
    std::optional<Tangent> best;
    double bestDist = std::numeric_limits<double>::infinity();
    tev::db::P2 q{p.x, p.y};
    for (const tev::db::Seg &g : shape.segs) {
        tev::db::P2 d = g.b - g.a;
        double l = tev::db::len(d);
        if (l == 0)
            continue;
        double t = std::clamp(tev::db::dot(q - g.a, d) / (l * l), 0.0, 1.0);
        double dist = tev::db::len(q - (g.a + d * t));
        if (dist < bestDist) {
            bestDist = dist;
            best = Tangent{true, {g.a.x, g.a.y, p.z}, d.x / l, d.y / l, 0, p};
        }
    }
    for (const tev::db::Arc &arc : shape.arcs) {
        double angle = std::atan2(q.y - arc.c.y, q.x - arc.c.x);
        double dist = arc.covers(angle) ? std::fabs(tev::db::len(q - arc.c) - arc.r)
                                        : std::min(tev::db::len(q - arc.at(arc.a0)),
                                                   tev::db::len(q - arc.at(arc.a0 + arc.sweep)));
        if (arc.r > 0 && dist < bestDist) {
            bestDist = dist;
            best = Tangent{false, {arc.c.x, arc.c.y, p.z}, 0, 0, arc.r, p};
        }
    }
    return best;
}

// The segment or arc (of a line, circle, arc, polyline, ...) picked at a prompt; nullopt on
// Escape or Enter.
std::optional<Tangent> pickTangent(const char *prompt) {
    auto &cl = CommandLine::current();
    for (;;) {
        ads_name name;
        ads_point pt;
        int rc = acedEntSel(prompt, name, pt);
        if (rc == RTCAN || (rc != RTNORM && currentErrno() == OL_ENTSELNULL))
            return std::nullopt;
        if (rc != RTNORM) {
            cl.refuse(tr("No object found."));
            continue;
        }
        AcDbObjectId id;
        AcDbEntity *ent = nullptr;
        if (acdbGetObjectId(id, name) != Acad::eOk ||
            acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk)
            continue;
        tev::db::Shape shape;
        tev::db::collectShape(*ent, AcGeMatrix3d(), tev::db::kMaxBlockNesting, shape);
        (void)ent->close();
        if (auto piece = nearestPiece(shape, {pt[X], pt[Y], pt[Z]}))
            return piece;
        cl.refuse(tr("Select a line, a circle or an arc."));
    }
}

// The centres at distance r from t: the two parallels of a line, the circles r outside and
// inside a circle. A circle's centre set is given as a circle (radius > 0).
std::vector<Tangent> offsets(const Tangent &t, double r) {
    if (t.line)
        return {Tangent{true, {t.a.x - t.uy * r, t.a.y + t.ux * r, t.a.z}, t.ux, t.uy, 0, {}},
                Tangent{true, {t.a.x + t.uy * r, t.a.y - t.ux * r, t.a.z}, t.ux, t.uy, 0, {}}};
    std::vector<Tangent> out{Tangent{false, t.a, 0, 0, t.radius + r, {}}};
    if (t.radius != r)
        out.push_back(Tangent{false, t.a, 0, 0, std::fabs(t.radius - r), {}});
    return out;
}

// Where two centre sets meet.
void meet(const Tangent &p, const Tangent &q, std::vector<Point3> &out) {
    if (p.line && q.line) {
        double cross = p.ux * q.uy - p.uy * q.ux;
        if (std::fabs(cross) < 1e-12)
            return; // parallel
        double t = ((q.a.x - p.a.x) * q.uy - (q.a.y - p.a.y) * q.ux) / cross;
        out.push_back({p.a.x + t * p.ux, p.a.y + t * p.uy, p.a.z});
        return;
    }
    if (!p.line && q.line) {
        meet(q, p, out);
        return;
    }
    if (p.line) { // a line and a circle
        Point3 foot = p.touch(q.a);
        double d = distance2d(foot, q.a);
        if (d > q.radius * (1 + 1e-12))
            return;
        double h = std::sqrt(std::max(0.0, q.radius * q.radius - d * d));
        out.push_back({foot.x + h * p.ux, foot.y + h * p.uy, foot.z});
        if (h > 0)
            out.push_back({foot.x - h * p.ux, foot.y - h * p.uy, foot.z});
        return;
    }
    double d = distance2d(p.a, q.a); // two circles
    if (d == 0 || d > p.radius + q.radius || d < std::fabs(p.radius - q.radius))
        return;
    double along = (d * d + p.radius * p.radius - q.radius * q.radius) / (2 * d);
    double h = std::sqrt(std::max(0.0, p.radius * p.radius - along * along));
    double ex = (q.a.x - p.a.x) / d, ey = (q.a.y - p.a.y) / d;
    Point3 mid{p.a.x + along * ex, p.a.y + along * ey, p.a.z};
    out.push_back({mid.x - h * ey, mid.y + h * ex, mid.z});
    if (h > 0)
        out.push_back({mid.x + h * ey, mid.y - h * ex, mid.z});
}

// The centre of the circle of radius r tangent to both, touching each nearest where it was
// picked; nullopt when there is none.
std::optional<Point3> tangentCentre(const Tangent &t1, const Tangent &t2, double r) {
    std::vector<Point3> centres;
    for (const Tangent &p : offsets(t1, r))
        for (const Tangent &q : offsets(t2, r))
            meet(p, q, centres);
    std::optional<Point3> best;
    double bestCost = std::numeric_limits<double>::infinity();
    for (const Point3 &c : centres) {
        double cost = distance2d(t1.touch(c), t1.pick) + distance2d(t2.touch(c), t2.pick);
        if (cost < bestCost) {
            bestCost = cost;
            best = c;
        }
    }
    return best;
}

void circleTtr(AcDbDatabase &db) {
    auto t1 = pickTangent(tr("\nSpecify point on object for first tangent of circle: "));
    if (!t1)
        return;
    auto t2 = pickTangent(tr("\nSpecify point on object for second tangent of circle: "));
    if (!t2)
        return;
    double r;
    std::string prompt = gLastRadius > 0 ? i18n::format(tr("\nSpecify radius of circle <%s>: "),
                                                        {sizeText(gLastRadius)})
                                         : std::string(tr("\nSpecify radius of circle: "));
    if (!askSize(prompt, t2->pick, gLastRadius, r))
        return;
    if (auto c = tangentCentre(*t1, *t2, r))
        addCircle(db, *c, r);
    else
        CommandLine::current().refuse(tr(kNoCircle));
}

} // namespace

void circleCommand() {
    AcDbDatabase *db = needDrawing();
    if (!db)
        return;
    auto &cl = CommandLine::current();
    Point3 centre;
    for (;;) {
        std::string word;
        Step s = askPointOrWord(
            tr("\nSpecify center point for circle or [3P/2P/Ttr (tan tan radius)]: "), lastPoint(),
            centre, word);
        if (s == Step::Point)
            break;
        if (s != Step::Word)
            return;
        if (namesKeyword(word, "3P")) {
            Point3 a, b, c;
            if (!askPoint(tr("\nSpecify first point on circle: "), lastPoint(), a) ||
                !askPoint(tr("\nSpecify second point on circle: "), a, b))
                return;
            for (;;) {
                if (!askPoint(tr("\nSpecify third point on circle: "), b, c))
                    return;
                if (auto m = circumcentre(a, b, c)) {
                    addCircle(*db, *m, distance2d(*m, a));
                    return;
                }
                cl.refuse(tr(kNoCircle));
            }
        }
        if (namesKeyword(word, "2P")) {
            Point3 a, b;
            if (!askPoint(tr("\nSpecify first end point of circle's diameter: "), lastPoint(), a))
                return;
            for (;;) {
                if (!askPoint(tr("\nSpecify second end point of circle's diameter: "), a, b))
                    return;
                if (distance2d(a, b) > 0) {
                    addCircle(*db, {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2},
                              distance2d(a, b) / 2);
                    return;
                }
                cl.refuse(tr("Value must be positive and nonzero."));
            }
        }
        if (namesKeyword(word, "Ttr")) {
            circleTtr(*db);
            return;
        }
        cl.refuse(tr("Point or option keyword required."));
    }
    for (;;) {
        BandScope band(bandFrom(Band::Kind::Circle, centre));
        cl.expect(Want::Point); // a point shows the radius
        Answer a = cl.ask(gLastRadius > 0
                              ? i18n::format(tr("\nSpecify radius of circle or [Diameter] <%s>: "),
                                             {sizeText(gLastRadius)})
                              : std::string(tr("\nSpecify radius of circle or [Diameter]: ")));
        if (!a.isText())
            return;
        if (a.text.empty()) {
            if (gLastRadius > 0)
                addCircle(*db, centre, gLastRadius);
            return;
        }
        if (namesKeyword(a.text, "Diameter")) {
            std::string prompt = gLastRadius > 0
                                     ? i18n::format(tr("\nSpecify diameter of circle <%s>: "),
                                                    {sizeText(2 * gLastRadius)})
                                     : std::string(tr("\nSpecify diameter of circle: "));
            double diameter;
            if (askSize(prompt, centre, 2 * gLastRadius, diameter))
                addCircle(*db, centre, diameter / 2);
            return;
        }
        bool far = false;
        std::optional<double> v;
        if (looksLikePoint(a.text)) {
            if (auto p = parsePoint(a.text, centre, &far))
                v = distance2d(centre, *p);
        } else {
            v = parseDistance(a.text, &far);
        }
        if (!v) {
            cl.refuse(far ? tr(kOutOfRangeMessage)
                          : tr("Requires numeric distance or second point."));
            continue;
        }
        double radius = *v;
        if (!(radius > 0)) {
            cl.refuse(tr("Value must be positive and nonzero."));
            continue;
        }
        if (radius > kMaxCoordinate) { // a point in range, but that far from the centre
            cl.refuse(tr(kOutOfRangeMessage));
            continue;
        }
        addCircle(*db, centre, radius);
        return;
    }
}

} // namespace host
