// inquiry_commands.cpp - LIST (each chosen entity's properties in words), ID (a point's
// coordinates) and DIST (the distance, angles and deltas between two points).
#include "command_line.h"
#include "command_stack.h"
#include "i18n.h"
#include "prompt_band.h"
#include "text_util.h"
#include "user_commands.h"

#include "acedads.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace host {

namespace {

using i18n::tr;

constexpr double kPi = 3.14159265358979323846;

std::string padLeft(std::string_view s, std::size_t width) {
    return s.size() >= width ? std::string(s) : std::string(width - s.size(), ' ') + std::string(s);
}

std::string padRight(std::string_view s, std::size_t width) {
    return s.size() >= width ? std::string(s) : std::string(s) + std::string(width - s.size(), ' ');
}

std::string pointText(const AcGePoint3d &p) {
    return "X=" + padLeft(lengthText(p.x), 10) + "  Y=" + padLeft(lengthText(p.y), 10) +
           "  Z=" + padLeft(lengthText(p.z), 10);
}

const char *colourName(int index) {
    switch (index) {
    case 0:
        return "BYBLOCK";
    case 1:
        return i18n::N_("red");
    case 2:
        return i18n::N_("yellow");
    case 3:
        return i18n::N_("green");
    case 4:
        return i18n::N_("cyan");
    case 5:
        return i18n::N_("blue");
    case 6:
        return i18n::N_("magenta");
    case 7:
        return i18n::N_("white");
    default:
        return nullptr;
    }
}

std::string colourText(int index) {
    const char *name = colourName(index);
    if (index == 0)
        return name;
    return name != nullptr ? std::to_string(index) + " (" + tr(name) + ")" : std::to_string(index);
}

// The listing of one entity, built line by line: a label right-aligned in its column, then
// the value. Texts are Windows-1251.
class Listing {
public:
    void line(const char *label, const std::string &value) {
        mText += "\n" + padLeft(tr(label), kLabelWidth) + " " + value;
    }
    void point(const char *label, const AcGePoint3d &p) { line(label, pointText(p)); }
    void length(const char *label, long double v) { line(label, padLeft(lengthText(v), 10)); }
    void angle(const char *label, double radians) { line(label, padLeft(angleText(radians), 6)); }
    void raw(const std::string &text) { mText += "\n" + text; }
    const std::string &text() const { return mText; }

private:
    static constexpr std::size_t kLabelWidth = 24;
    std::string mText;
};

std::string recordName(AcDbObjectId id) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (id.isNull() || acdbOpenObject(rec, id, AcDb::kForRead) != Acad::eOk)
        return {};
    const char *name = nullptr;
    std::string out;
    if (rec->getName(name) == Acad::eOk && name != nullptr)
        out = name;
    (void)rec->close();
    return out;
}

// The head every listing starts with: kind, layer, space, handle, and colour and linetype
// when they are not BYLAYER.
void listHead(Listing &out, const AcDbEntity &ent, const char *kind) {
    AcDbDatabase *db = ent.database();
    std::string space = ent.blockId() == db->modelSpaceId()   ? tr("Model space")
                        : ent.blockId() == db->paperSpaceId() ? tr("Paper space")
                                                              : recordName(ent.blockId());
    out.raw(padLeft("", 18) + padRight(std::string(kind) + "  ", 10) + tr("Layer:") + " \"" +
            recordName(ent.layerId()) + "\"");
    out.raw(padLeft("", 28) + tr("Space:") + " " + space);
    char handle[17] = "0";
    AcDbHandle h;
    ent.getAcDbHandle(h);
    (void)h.getIntoAsciiBuffer(handle);
    out.line("Handle =", handle);
    if (ent.colorIndex() != 256)
        out.line("Color:", colourText(ent.colorIndex()));
    std::string linetype = recordName(ent.linetypeId());
    if (!linetype.empty() && !equalsNoCase(linetype, "BYLAYER"))
        out.line("Linetype:", "\"" + linetype + "\"");
}

void listThickness(Listing &out, double thickness) {
    if (thickness != 0)
        out.length("Thickness =", thickness);
}

void listLine(Listing &out, const AcDbLine &line) {
    AcGePoint3d a = line.startPoint(), b = line.endPoint();
    long double dx = static_cast<long double>(b.x) - a.x;
    long double dy = static_cast<long double>(b.y) - a.y;
    long double dz = static_cast<long double>(b.z) - a.z;
    out.point("from point,", a);
    out.point("to point,", b);
    listThickness(out, line.thickness());
    out.line("Length =", lengthText(std::sqrt(dx * dx + dy * dy + dz * dz)) + ",  " +
                             tr("Angle in XY Plane =") + " " + angleText(std::atan2(dy, dx)));
    out.line("Delta X =", lengthText(dx) + ", " + tr("Delta Y =") + " " + lengthText(dy) + ", " +
                              tr("Delta Z =") + " " + lengthText(dz));
}

void listCircle(Listing &out, const AcDbCircle &circle) {
    long double r = circle.radius();
    out.point("center point,", circle.center());
    listThickness(out, circle.thickness());
    out.length("radius", r);
    out.length("circumference", 2 * kPi * r);
    out.length("area", kPi * r * r);
}

void listArc(Listing &out, const AcDbArc &arc) {
    long double r = arc.radius();
    double sweep = std::remainder(arc.endAngle() - arc.startAngle(), 2 * kPi);
    if (sweep <= 0)
        sweep += 2 * kPi;
    out.point("center point,", arc.center());
    listThickness(out, arc.thickness());
    out.length("radius", r);
    out.angle("start angle", arc.startAngle());
    out.angle("end angle", arc.endAngle());
    out.length("length", r * sweep);
    out.angle("total angle", sweep);
}

// A run of vertices with bulges, for the length and the area of a polyline. The area is the
// one enclosed with the closing segment drawn straight (for an open polyline) or as the
// last vertex's bulge says (for a closed one).
struct PathTotals {
    long double length = 0;
    long double area = 0;
};

PathTotals pathTotals(const std::vector<AcGePoint3d> &pts, const std::vector<double> &bulges,
                      bool closed) {
    using Real = long double;
    PathTotals t;
    Real twiceArea = 0;
    std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; ++i) {
        const AcGePoint3d &a = pts[i], &b = pts[(i + 1) % n];
        bool last = i + 1 == n;
        twiceArea += Real(a.x) * b.y - Real(b.x) * a.y;
        if (last && !closed)
            break;
        Real chord = std::hypot(Real(b.x) - a.x, Real(b.y) - a.y, Real(b.z) - a.z);
        Real bulge = bulges.empty() ? 0 : bulges[i];
        if (bulge == 0 || chord == 0) {
            t.length += chord;
            continue;
        }
        Real theta = 4 * std::atan(bulge); // the arc's signed sweep
        Real r = chord / (2 * std::sin(std::fabs(theta) / 2));
        t.length += r * std::fabs(theta);
        twiceArea += r * r * (theta - std::sin(theta)); // the arc's segment, on its side
    }
    t.area = std::fabs(twiceArea) / 2;
    return t;
}

void listVertexRuns(Listing &out, const std::vector<AcGePoint3d> &pts,
                    const std::vector<double> &bulges, const std::vector<AcGePoint2d> &widths,
                    bool closed) {
    PathTotals t = pathTotals(pts, bulges, closed);
    out.raw(padLeft("", 12) + (closed ? tr("Closed") : tr("Open")));
    bool constant = true; // a 3D polyline has no widths at all
    for (const AcGePoint2d &w : widths)
        constant = constant && w.x == widths.front().x && w.y == widths.front().x;
    if (constant && !widths.empty())
        out.length("Constant width", widths.front().x);
    out.length("area", t.area);
    out.length(closed ? "perimeter" : "length", t.length);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        out.line("at point", pointText(pts[i]));
        if (!constant && i < widths.size()) {
            out.length("starting width", widths[i].x);
            out.length("ending width", widths[i].y);
        }
        if (!bulges.empty() && bulges[i] != 0)
            out.length("bulge", bulges[i]);
    }
}

void listLwPolyline(Listing &out, const AcDbPolyline &pl) {
    std::vector<AcGePoint3d> pts;
    std::vector<double> bulges;
    std::vector<AcGePoint2d> widths;
    for (unsigned int i = 0; i < pl.numVerts(); ++i) {
        AcGePoint3d p;
        double b = 0, sw = 0, ew = 0;
        (void)pl.getPointAt(i, p); // i < numVerts: found
        (void)pl.getBulgeAt(i, b);
        (void)pl.getWidthsAt(i, sw, ew);
        pts.push_back(p);
        bulges.push_back(b);
        widths.emplace_back(sw, ew);
    }
    listThickness(out, pl.thickness());
    listVertexRuns(out, pts, bulges, widths, pl.isClosed());
}

// POLYLINE with its VERTEX entities; the polyline is open for read, so its vertices are
// read through it without opening them.
template <class Polyline, class Vertex, bool kHasWidths>
void listHeavyPolyline(Listing &out, const Polyline &pl) {
    std::vector<AcGePoint3d> pts;
    std::vector<double> bulges;
    std::vector<AcGePoint2d> widths;
    std::unique_ptr<AcDbObjectIterator> it(pl.vertexIterator());
    for (; it && !it->done(); it->step()) {
        const Vertex *v = Vertex::cast(it->entity());
        if (v == nullptr)
            continue;
        pts.push_back(v->position());
        if constexpr (kHasWidths) {
            bulges.push_back(v->bulge());
            widths.emplace_back(v->startWidth(), v->endWidth());
        }
    }
    listVertexRuns(out, pts, bulges, widths, pl.isClosed());
}

void listText(Listing &out, const AcDbText &text) {
    out.line("Style =", std::string("\"") + text.styleName() + "\"");
    out.point("start point,", text.position());
    out.length("height", text.height());
    out.line("text", text.textStringConst());
    out.angle("rotation angle", text.rotation());
    out.length("width scale factor", text.widthFactor());
    out.angle("obliquing angle", text.oblique());
}

void listInsert(Listing &out, const AcDbBlockReference &ref) {
    AcGeScale3d s = ref.scaleFactors();
    out.line("Block Name:", "\"" + recordName(ref.blockTableRecord()) + "\"");
    out.point("at point,", ref.position());
    out.length("X scale factor", s.sx);
    out.length("Y scale factor", s.sy);
    out.length("Z scale factor", s.sz);
    out.angle("rotation angle", ref.rotation());
}

std::string listEntity(const AcDbEntity &ent) {
    Listing out;
    const char *kind = ent.isA()->dxfName();
    if (const auto *unknown = AcDbUnknownEntity::cast(&ent))
        kind = unknown->dxfTypeName();
    listHead(out, ent, kind != nullptr ? kind : ent.isA()->name());
    if (const auto *line = AcDbLine::cast(&ent))
        listLine(out, *line);
    else if (const auto *arc = AcDbArc::cast(&ent))
        listArc(out, *arc);
    else if (const auto *circle = AcDbCircle::cast(&ent))
        listCircle(out, *circle);
    else if (const auto *pl = AcDbPolyline::cast(&ent))
        listLwPolyline(out, *pl);
    else if (const auto *pl2 = AcDb2dPolyline::cast(&ent))
        listHeavyPolyline<AcDb2dPolyline, AcDb2dVertex, true>(out, *pl2);
    else if (const auto *pl3 = AcDb3dPolyline::cast(&ent))
        listHeavyPolyline<AcDb3dPolyline, AcDb3dPolylineVertex, false>(out, *pl3);
    else if (const auto *text = AcDbText::cast(&ent))
        listText(out, *text);
    else if (const auto *ref = AcDbBlockReference::cast(&ent))
        listInsert(out, *ref);
    return out.text();
}

} // namespace

// Lengths, areas and deltas are worked out in long double, so that those of values near the
// largest a double holds (read from a file) still come out finite, and shown as they are.
std::string lengthText(long double value) {
    return text::decimalText(value, 4);
}

std::string angleText(long double radians) {
    if (!std::isfinite(radians))
        return text::decimalText(radians, 0);
    long double degrees = std::fmod(radians * 180 / kPi, 360.0L);
    if (degrees < 0)
        degrees += 360;
    long whole = std::lround(degrees);
    return std::to_string(whole == 360 ? 0 : whole);
}

void listCommand() {
    AcDbDatabase *db = drawingOrSay();
    std::vector<AcDbObjectId> ids;
    if (db == nullptr || !selectEntityIds(ids))
        return;
    CommandLine &cl = CommandLine::current();
    for (const AcDbObjectId &id : ids) {
        AcDbEntity *ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk)
            continue; // erased by a command since it was chosen: nothing to list
        std::string text = listEntity(*ent);
        (void)ent->close(); // a read open: closing cannot fail
        cl.print(text + "\n");
        if (cl.takeBreak())
            return; // Ctrl-C stops a long listing
    }
}

void idCommand() {
    if (drawingOrSay() == nullptr)
        return;
    ads_point p;
    if (acedGetPoint(nullptr, tr("\nSpecify point: "), p) != RTNORM)
        return;
    CommandLine::current().print("\nX = " + lengthText(p[X]) + "     Y = " + lengthText(p[Y]) +
                                 "     Z = " + lengthText(p[Z]) + "\n");
}

void distCommand() {
    if (drawingOrSay() == nullptr)
        return;
    ads_point a, b;
    if (acedGetPoint(nullptr, tr("\nSpecify first point: "), a) != RTNORM)
        return;
    BandScope band(bandFrom(Band::Kind::Distance, {a[X], a[Y], a[Z]}));
    if (acedGetPoint(a, tr("\nSpecify second point: "), b) != RTNORM)
        return;
    long double dx = static_cast<long double>(b[X]) - a[X];
    long double dy = static_cast<long double>(b[Y]) - a[Y];
    long double dz = static_cast<long double>(b[Z]) - a[Z];
    long double inPlane = std::hypot(dx, dy);
    std::string text = "\n" + std::string(tr("Distance =")) + " " +
                       lengthText(std::sqrt(inPlane * inPlane + dz * dz)) + ",  " +
                       tr("Angle in XY Plane =") + " " + angleText(std::atan2(dy, dx)) + ",  " +
                       tr("Angle from XY Plane =") + " " + angleText(std::atan2(dz, inPlane)) +
                       "\n" + tr("Delta X =") + " " + lengthText(dx) + ",  " + tr("Delta Y =") +
                       " " + lengthText(dy) + ",  " + tr("Delta Z =") + " " + lengthText(dz) + "\n";
    CommandLine::current().print(text);
}

} // namespace host
