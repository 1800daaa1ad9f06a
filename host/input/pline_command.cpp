// pline_command.cpp - PLINE: a lightweight polyline of line and arc segments (arcs kept as
// bulges), each segment with its own start and end width.
#include "arc_geometry.h"
#include "command_line.h"
#include "drawing_commands.h"
#include "drawing_helpers.h"
#include "i18n.h"
#include "keywords.h"
#include "prompt_band.h"
#include "text_util.h"

#include "dbpl.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace host {

using i18n::tr;
using namespace draw;

namespace {

struct Vertex {
    Point3 at;
    double bulge = 0, startWidth = 0, endWidth = 0; // of the segment that starts here
};

std::string widthText(double w) {
    return text::decimalText(w, 4);
}

bool inRange(const Point3 &p) {
    return std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate;
}

// How an option's question ended: with a value, with Enter (back to the segment prompt) or
// with Escape (the command ends, keeping what was drawn).
enum class Got { Value, Back, Cancel };

Got ended(const Answer &a) {
    return a.isText() ? Got::Back : Got::Cancel;
}

// A point (an option keyword is refused).
Got askPoint(const std::string &prompt, const Point3 &base, Point3 &out) {
    for (;;) {
        std::string word;
        Step st = askPointOrWord(prompt, base, out, word);
        if (st == Step::Point)
            return Got::Value;
        if (st != Step::Word)
            return st == Step::Empty ? Got::Back : Got::Cancel;
        CommandLine::current().refuse(tr("Invalid point."));
    }
}

// A length: a number, or a point's distance from base. Zero is refused; a negative number
// only where negativeOk.
Got askLength(const std::string &prompt, const Point3 &base, bool negativeOk, double &out) {
    auto &cl = CommandLine::current();
    for (;;) {
        cl.expect(Want::Point); // a point shows the length
        Answer a = cl.ask(prompt);
        if (!a.isText() || a.text.empty())
            return ended(a);
        bool far = false;
        std::optional<double> d;
        if (looksLikePoint(a.text)) {
            if (auto p = parsePoint(a.text, base, &far))
                d = distance2d(base, *p);
        } else {
            d = parseDistance(a.text, &far);
        }
        if (!d || !(std::fabs(*d) <= kMaxCoordinate))
            cl.refuse(tr(far || d ? kOutOfRangeMessage : "Requires numeric value."));
        else if (*d == 0 || (*d < 0 && !negativeOk))
            cl.refuse(negativeOk ? tr("Value must be nonzero.")
                                 : tr("Value must be positive and nonzero."));
        else {
            out = *d;
            return Got::Value;
        }
    }
}

// An angle: typed (degrees, or in the other forms answer_parse reads), or the direction from
// base to a point. Enter takes fallback when there is one.
Got askAngle(const std::string &prompt, const Point3 &base, std::optional<double> fallback,
             double &out) {
    auto &cl = CommandLine::current();
    for (;;) {
        cl.expect(Want::Point); // a point shows the direction
        Answer a = cl.ask(prompt);
        if (!a.isText())
            return Got::Cancel;
        if (a.text.empty()) {
            if (!fallback)
                return Got::Back;
            out = *fallback;
            return Got::Value;
        }
        if (looksLikePoint(a.text)) {
            bool far = false;
            auto p = parsePoint(a.text, base, &far);
            if (p && distance2d(base, *p) > 0) {
                out = angleOf(base, *p);
                return Got::Value;
            }
            cl.refuse(tr(far ? kOutOfRangeMessage : "Invalid point."));
            continue;
        }
        if (auto v = parseAngle(a.text); v && std::isfinite(*v)) {
            out = *v;
            return Got::Value;
        }
        cl.refuse(tr("Requires valid numeric angle or second point."));
    }
}

// An arc's included angle: nonzero, less than a full turn either way (negative: clockwise).
Got askIncludedAngle(const Point3 &start, double &out) {
    for (;;) {
        Got got = askAngle(tr("\nSpecify included angle: "), start, std::nullopt, out);
        if (got != Got::Value || (out != 0 && std::fabs(out) < 2 * kPi))
            return got;
        CommandLine::current().refuse(
            tr("The included angle must lie between -360 and 360 degrees and not be 0."));
    }
}

std::string degreesText(double radians) {
    double deg = std::remainder(radians * 180 / kPi, 360.0);
    return text::decimalText(deg < 0 ? deg + 360 : deg, 0);
}

// An arc's end and bulge, as its options give them.
struct Arc {
    Point3 end;
    double bulge;
};

class Pline {
public:
    explicit Pline(const Point3 &start) : verts_{{start}} {}

    std::size_t segments() const { return verts_.size() - 1; }
    const Point3 &last() const { return verts_.back().at; }
    const Point3 &first() const { return verts_.front().at; }
    // The direction the polyline runs at its end (along X before its first segment).
    double direction() const {
        if (segments() == 0)
            return 0;
        const Vertex &a = verts_[verts_.size() - 2];
        return directionAtEnd(a.at, verts_.back().at, a.bulge);
    }
    void add(const Point3 &to, double bulge) {
        Vertex &from = verts_.back();
        from.bulge = bulge;
        from.startWidth = startWidth;
        from.endWidth = endWidth;
        startWidth = endWidth; // the next segment starts as this one ended
        verts_.push_back({to});
        rememberPoint(to);
    }
    bool undo() {
        if (segments() == 0)
            return false;
        verts_.pop_back();
        verts_.back().bulge = 0;
        rememberPoint(last());
        return true;
    }
    // Adds the polyline (of at least one segment) to the drawing; closing, the last vertex's
    // segment runs back to the first with closingBulge.
    void finish(AcDbDatabase &db, bool closed, double closingBulge = 0) {
        if (closed) {
            Vertex &v = verts_.back();
            v.bulge = closingBulge;
            v.startWidth = startWidth;
            v.endWidth = endWidth;
            rememberPoint(first());
        }
        if (segments() == 0)
            return;
        auto *pl = new AcDbPolyline(static_cast<unsigned int>(verts_.size()));
        if (pl != nullptr) {
            for (unsigned int i = 0; i < verts_.size(); ++i) {
                const Vertex &v = verts_[i];
                (void)pl->addVertexAt(i, AcGePoint2d(v.at.x, v.at.y), v.bulge, v.startWidth,
                                      v.endWidth);
            }
            pl->setClosed(closed);
            if (first().z != 0)
                pl->setElevation(first().z);
        }
        (void)addEntity(db, pl);
    }

    double startWidth = 0, endWidth = 0; // of the next segment

private:
    std::vector<Vertex> verts_;
};

// Width or Halfwidth: the next segment's start and end (the end defaults to the start).
Got askWidths(Pline &pl, bool half) {
    auto &cl = CommandLine::current();
    double k = half ? 0.5 : 1;
    double values[2] = {pl.startWidth * k, 0};
    for (int i = 0; i < 2; ++i) {
        if (i == 1)
            values[1] = values[0];
        const char *prompt = half ? (i == 0 ? tr("\nSpecify starting half-width <%s>: ")
                                            : tr("\nSpecify ending half-width <%s>: "))
                                  : (i == 0 ? tr("\nSpecify starting width <%s>: ")
                                            : tr("\nSpecify ending width <%s>: "));
        for (;;) {
            Answer a = cl.ask(i18n::format(prompt, {widthText(values[i])}));
            if (!a.isText())
                return Got::Cancel;
            if (a.text.empty())
                break;
            bool far = false;
            auto v = parseDistance(a.text, &far);
            if (v && *v >= 0 && *v / k <= kMaxCoordinate) {
                values[i] = *v;
                break;
            }
            const char *why = !v       ? (far ? kOutOfRangeMessage : "Requires numeric value.")
                              : *v < 0 ? "Value must be positive."
                                       : kOutOfRangeMessage;
            cl.refuse(tr(why));
        }
    }
    pl.startWidth = values[0] / k;
    pl.endWidth = values[1] / k;
    return Got::Value;
}

// The arc from the start with an included angle, ended by a point, a centre or a radius.
Got arcByAngle(const Pline &pl, Arc &arc) {
    auto &cl = CommandLine::current();
    Point3 s = pl.last(), p;
    double angle;
    if (Got got = askIncludedAngle(s, angle); got != Got::Value)
        return got;
    double bulge = std::tan(angle / 4);
    for (;;) {
        std::string word;
        Step st = askPointOrWord(tr("\nSpecify endpoint of arc or [CEnter/Radius]: "), s, p, word);
        if (st == Step::Empty || st == Step::Cancel)
            return st == Step::Empty ? Got::Back : Got::Cancel;
        if (st == Step::Point) {
            if (distance2d(s, p) > 0) {
                arc = {p, bulge};
                return Got::Value;
            }
            cl.refuse(tr("Invalid point."));
        } else if (namesKeyword(word, "CEnter")) {
            Point3 c;
            if (Got got = askPoint(tr("\nSpecify center point of arc: "), s, c); got != Got::Value)
                return got;
            double r = distance2d(c, s);
            if (r > 0) {
                arc = {polar(c, angleOf(c, s) + angle, r), bulge};
                return Got::Value;
            }
            cl.refuse(tr("Invalid point."));
        } else if (namesKeyword(word, "Radius")) {
            double r, chord;
            if (Got got = askLength(tr("\nSpecify radius of arc: "), s, false, r);
                got != Got::Value)
                return got;
            double fallback = pl.direction() + angle / 2; // the arc goes on tangentially
            Got got = askAngle(i18n::format(tr("\nSpecify direction of chord for arc <%s>: "),
                                            {degreesText(fallback)}),
                               s, fallback, chord);
            if (got == Got::Value)
                arc = {polar(s, chord, 2 * r * std::sin(std::fabs(angle) / 2)), bulge};
            return got;
        } else {
            cl.refuse(tr("Invalid option keyword."));
        }
    }
}

// The arc around a centre, ended by a point on the ray to it, an angle or a chord length.
Got arcByCentre(const Pline &pl, Arc &arc) {
    auto &cl = CommandLine::current();
    Point3 s = pl.last(), c, p;
    for (;;) {
        if (Got got = askPoint(tr("\nSpecify center point of arc: "), s, c); got != Got::Value)
            return got;
        if (distance2d(c, s) > 0)
            break;
        cl.refuse(tr("Invalid point."));
    }
    double r = distance2d(c, s), from = angleOf(c, s);
    for (;;) {
        std::string word;
        Step st = askPointOrWord(tr("\nSpecify endpoint of arc or [Angle/Length]: "), c, p, word);
        if (st == Step::Empty || st == Step::Cancel)
            return st == Step::Empty ? Got::Back : Got::Cancel;
        double angle;
        if (st == Step::Point) {
            angle = std::remainder(angleOf(c, p) - from, 2 * kPi);
            if (angle <= 0)
                angle += 2 * kPi; // counter-clockwise, as the host draws it
            if (distance2d(c, p) == 0 || angle >= 2 * kPi * (1 - 1e-12)) {
                cl.refuse(tr("Invalid point."));
                continue;
            }
        } else if (namesKeyword(word, "Angle")) {
            if (Got got = askIncludedAngle(s, angle); got != Got::Value)
                return got;
        } else if (namesKeyword(word, "Length")) {
            double chord;
            if (Got got = askLength(tr("\nSpecify length of chord: "), s, true, chord);
                got != Got::Value)
                return got;
            if (std::fabs(chord) > 2 * r) {
                cl.refuse(tr("The chord is longer than the diameter."));
                continue;
            }
            angle = 2 * std::asin(std::fabs(chord) / (2 * r));
            if (chord < 0)
                angle = 2 * kPi - angle; // a negative chord takes the major arc
        } else {
            cl.refuse(tr("Invalid option keyword."));
            continue;
        }
        arc = {polar(c, from + angle, r), std::tan(angle / 4)};
        return Got::Value;
    }
}

// The arc of a radius, ended by a point or by an included angle and a chord direction.
Got arcByRadius(const Pline &pl, Arc &arc) {
    auto &cl = CommandLine::current();
    Point3 s = pl.last(), p;
    double r;
    if (Got got = askLength(tr("\nSpecify radius of arc: "), s, true, r); got != Got::Value)
        return got;
    for (;;) {
        std::string word;
        Step st = askPointOrWord(tr("\nSpecify endpoint of arc or [Angle]: "), s, p, word);
        if (st == Step::Empty || st == Step::Cancel)
            return st == Step::Empty ? Got::Back : Got::Cancel;
        if (st == Step::Point) {
            double chord = distance2d(s, p);
            if (chord == 0 || chord > 2 * std::fabs(r)) {
                cl.refuse(chord == 0 ? tr("Invalid point.")
                                     : tr("The chord is longer than the diameter."));
                continue;
            }
            // Counter-clockwise; a negative radius takes the major arc.
            double angle = 2 * std::asin(chord / (2 * std::fabs(r)));
            arc = {p, std::tan((r < 0 ? 2 * kPi - angle : angle) / 4)};
            return Got::Value;
        }
        if (!namesKeyword(word, "Angle")) {
            cl.refuse(tr("Invalid option keyword."));
            continue;
        }
        double angle, chord;
        if (Got got = askIncludedAngle(s, angle); got != Got::Value)
            return got;
        double fallback = pl.direction() + angle / 2;
        Got got = askAngle(i18n::format(tr("\nSpecify direction of chord for arc <%s>: "),
                                        {degreesText(fallback)}),
                           s, fallback, chord);
        if (got == Got::Value)
            arc = {polar(s, chord, 2 * std::fabs(r) * std::sin(std::fabs(angle) / 2)),
                   std::tan(angle / 4)};
        return got;
    }
}

// The arc leaving the start in a direction, ended by a point.
Got arcFromTangent(const Point3 &s, double direction, const std::string &prompt, Arc &arc) {
    for (;;) {
        Point3 p;
        if (Got got = askPoint(prompt, s, p); got != Got::Value)
            return got;
        if (auto bulge = tangentBulge(s, direction, p)) {
            arc = {p, *bulge};
            return Got::Value;
        }
        CommandLine::current().refuse(tr("Invalid point."));
    }
}

// The arc through a second point to an end point.
Got arcThrough(const Pline &pl, Arc &arc) {
    Point3 s = pl.last(), second, end;
    if (Got got = askPoint(tr("\nSpecify second point on arc: "), s, second); got != Got::Value)
        return got;
    for (;;) {
        if (Got got = askPoint(tr("\nSpecify end point of arc: "), second, end); got != Got::Value)
            return got;
        if (auto angle = angleThrough(s, second, end)) {
            arc = {end, std::tan(*angle / 4)};
            return Got::Value;
        }
        CommandLine::current().refuse(
            tr("The points lie on one line: no arc passes through them."));
    }
}

} // namespace

void plineCommand() {
    AcDbDatabase *db = needDrawing();
    if (!db)
        return;
    auto &cl = CommandLine::current();
    Point3 p;
    if (askPoint(tr("\nSpecify start point: "), lastPoint(), p) != Got::Value)
        return;
    Pline pl(p);
    cl.refuse(std::string(tr("Current line-width is")) + " " + widthText(pl.startWidth));
    bool arcs = false;
    for (;;) {
        std::string prompt;
        if (!arcs)
            prompt = pl.segments() >= 1
                         ? tr("\nSpecify next point or [Arc/Close/Halfwidth/Length/Undo/Width]: ")
                         : tr("\nSpecify next point or [Arc/Halfwidth/Length/Undo/Width]: ");
        else
            prompt = pl.segments() >= 1
                         ? tr("\nSpecify endpoint of arc or\n[Angle/CEnter/CLose/Direction/"
                              "Halfwidth/Line/Radius/Second pt/Undo/Width]: ")
                         : tr("\nSpecify endpoint of arc or\n[Angle/CEnter/Direction/Halfwidth/"
                              "Line/Radius/Second pt/Undo/Width]: ");
        std::string word;
        const Point3 from = pl.last();
        Band segment = bandFrom(arcs ? Band::Kind::Line : Band::Kind::Segment, from);
        segment.startWidth = pl.startWidth;
        segment.endWidth = pl.endWidth;
        BandScope band(segment);
        Step s = askPointOrWord(prompt, from, p, word, &from);
        if (s == Step::Empty || s == Step::Cancel) {
            pl.finish(*db, false); // what was drawn stays, as the host keeps it
            return;
        }
        Arc arc{};
        Got got = Got::Back;
        if (s == Step::Point && !arcs) {
            arc = {p, 0};
            got = Got::Value;
        } else if (s == Step::Point) {
            if (auto bulge = tangentBulge(pl.last(), pl.direction(), p)) {
                arc = {p, *bulge};
                got = Got::Value;
            } else {
                cl.refuse(tr("Invalid point."));
            }
        } else if (namesKeyword(word, "Width") || namesKeyword(word, "Halfwidth")) {
            if (askWidths(pl, namesKeyword(word, "Halfwidth")) == Got::Cancel)
                got = Got::Cancel; // new widths draw nothing yet
        } else if (namesKeyword(word, "Undo")) {
            if (!pl.undo())
                cl.refuse(tr("All segments already undone."));
        } else if (!arcs && namesKeyword(word, "Arc")) {
            arcs = true;
        } else if (arcs && namesKeyword(word, "Line")) {
            arcs = false;
        } else if (!arcs && namesKeyword(word, "Length")) {
            double length;
            got = askLength(tr("\nSpecify length of line: "), pl.last(), true, length);
            if (got == Got::Value)
                arc = {polar(pl.last(), pl.direction(), length), 0};
        } else if (!arcs && namesKeyword(word, "Close") && pl.segments() >= 1) {
            // After one segment too: the closing one runs back along it, as in arc mode.
            pl.finish(*db, true);
            return;
        } else if (arcs && namesKeyword(word, "CLose") && pl.segments() >= 1) {
            auto bulge = tangentBulge(pl.last(), pl.direction(), pl.first());
            pl.finish(*db, true, bulge.value_or(0));
            return;
        } else if (arcs && namesKeyword(word, "Angle")) {
            got = arcByAngle(pl, arc);
        } else if (arcs && namesKeyword(word, "CEnter")) {
            got = arcByCentre(pl, arc);
        } else if (arcs && namesKeyword(word, "Radius")) {
            got = arcByRadius(pl, arc);
        } else if (arcs && namesKeyword(word, "Second pt")) {
            got = arcThrough(pl, arc);
        } else if (arcs && namesKeyword(word, "Direction")) {
            double direction;
            got = askAngle(tr("\nSpecify the tangent direction for the start point of arc: "),
                           pl.last(), std::nullopt, direction);
            if (got == Got::Value)
                got = arcFromTangent(pl.last(), direction, tr("\nSpecify endpoint of the arc: "),
                                     arc);
        } else {
            cl.refuse(tr("Invalid option keyword."));
        }
        if (got == Got::Cancel) {
            pl.finish(*db, false);
            return;
        }
        if (got != Got::Value)
            continue;
        if (!inRange(arc.end) || !std::isfinite(arc.bulge)) {
            cl.refuse(tr(kOutOfRangeMessage));
            continue;
        }
        pl.add(arc.end, arc.bulge);
    }
}

} // namespace host
