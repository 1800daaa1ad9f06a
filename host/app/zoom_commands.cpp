// zoom_commands.cpp - ZOOM (Extents, All, Window, Previous, Center, Scale, a factor n or
// nX), PAN by two points and REGEN.
#include "zoom_commands.h"

#include "command_line.h"
#include "document.h"
#include "host_commands.h"
#include "i18n.h"
#include "prompt_band.h"
#include "spatial.h"
#include "sysvars.h"
#include "text_util.h"
#include "user_commands.h"
#include "view_state.h"

#include "acedads.h"
#include "dbmain.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace host {

namespace {

using i18n::tr;
using tev::db::View;

constexpr double kDefaultAspect = 1.5; // a new drawing's viewport
constexpr double kSmallest = 1e-9, kLargest = 1e16;

struct Box {
    double x0, y0, x1, y1;
};

double aspectOf(const View &v) {
    return v.aspect > 0 ? v.aspect : kDefaultAspect;
}

// The view that shows box whole on a screen of the current view's shape.
View fitting(const Box &b, const View &current) {
    View v = current;
    v.cx = (b.x0 + b.x1) / 2;
    v.cy = (b.y0 + b.y1) / 2;
    double h = std::max(b.y1 - b.y0, (b.x1 - b.x0) / aspectOf(current));
    if (h > 0)
        v.height = std::clamp(h, kSmallest, kLargest);
    else if (!(v.height > 0))
        v.height = 1; // a single point: some view around it
    return v;
}

std::optional<Box> extentsOf(const AcDbDatabase &db) {
    AcGePoint2d lo, hi;
    if (!tev::db::spaceExtents(db, db.modelSpaceId(), lo, hi) || !std::isfinite(lo.x) ||
        !std::isfinite(lo.y) || !std::isfinite(hi.x) || !std::isfinite(hi.y))
        return std::nullopt;
    return Box{lo.x, lo.y, hi.x, hi.y};
}

// X and Y of a header point ($LIMMIN), from its groups as the file holds them.
std::optional<std::pair<double, double>> headerPoint(const dxf::DocumentKept &doc,
                                                     std::string_view name) {
    for (const dxf::HeaderVar &var : doc.header) {
        if (var.name != name)
            continue;
        double xy[2];
        bool have[2] = {false, false};
        std::string_view raw = var.raw;
        std::string code;
        for (bool isCode = true; !raw.empty(); isCode = !isCode) {
            std::size_t end = raw.find('\n');
            std::string line(text::trim(raw.substr(0, end)));
            raw.remove_prefix(end == std::string_view::npos ? raw.size() : end + 1);
            if (isCode) {
                code = line;
                continue;
            }
            if (code == "10" || code == "20") {
                auto v = parseNumber(line);
                if (v) {
                    xy[code[0] - '1'] = *v;
                    have[code[0] - '1'] = true;
                }
            }
        }
        if (have[0] && have[1])
            return std::pair{xy[0], xy[1]};
    }
    return std::nullopt;
}

std::optional<Box> limitsOf(AcDbDatabase &db) {
    const dxf::DocumentKept *doc = dxf::documentOf(db);
    if (doc == nullptr)
        return std::nullopt;
    auto lo = headerPoint(*doc, "$LIMMIN"), hi = headerPoint(*doc, "$LIMMAX");
    if (!lo || !hi || !(hi->first > lo->first) || !(hi->second > lo->second))
        return std::nullopt;
    return Box{lo->first, lo->second, hi->first, hi->second};
}

// The view now: the drawing's, or one of its extents when it has none yet.
View currentView(AcDbDatabase &db) {
    const View &v = tev::db::viewState(db).current;
    if (v.height > 0)
        return v;
    if (auto e = extentsOf(db))
        return fitting(*e, v);
    return View{0, 0, 10, v.aspect};
}

Point3 lastPoint() {
    ads_point p;
    getLastPoint(p);
    return {p[X], p[Y], p[Z]};
}

void show(AcDbDatabase &db, const View &v) {
    tev::db::setView(db, v, /*byCommand=*/true);
}

// A scale factor as typed: "2" (of the limits, or of the extents where the drawing has none)
// or "2X" (of the view now). Nothing for any other text.
std::optional<View> scaled(AcDbDatabase &db, std::string text) {
    bool relative = !text.empty() && (text.back() == 'X' || text.back() == 'x');
    if (relative)
        text.pop_back();
    auto n = parseNumber(text);
    if (!n)
        return std::nullopt;
    View v = currentView(db);
    if (!(*n > 0) || !std::isfinite(*n)) {
        CommandLine::current().refuse(tr("Value must be positive and nonzero."));
        return v;
    }
    double base = v.height;
    if (!relative) {
        auto whole = limitsOf(db);
        if (!whole)
            whole = extentsOf(db);
        if (whole)
            base = fitting(*whole, v).height;
    }
    v.height = std::clamp(base / *n, kSmallest, kLargest);
    return v;
}

// Asks for a point; nullopt on Enter or Escape.
std::optional<Point3> askPointOrNone(const std::string &prompt, const Point3 *base) {
    ads_point from = {0, 0, 0}, p;
    if (base) {
        from[X] = base->x;
        from[Y] = base->y;
        from[Z] = base->z;
    }
    if (acedGetPoint(base ? from : nullptr, prompt.c_str(), p) != RTNORM)
        return std::nullopt;
    return Point3{p[X], p[Y], p[Z]};
}

void zoomWindow(AcDbDatabase &db, const Point3 &first) {
    BandScope band(bandFrom(Band::Kind::Window, first));
    auto second = askPointOrNone(tr("\nSpecify opposite corner: "), &first);
    if (!second)
        return;
    show(db, fitting({std::min(first.x, second->x), std::min(first.y, second->y),
                      std::max(first.x, second->x), std::max(first.y, second->y)},
                     currentView(db)));
}

void zoomCenter(AcDbDatabase &db) {
    auto centre = askPointOrNone(tr("\nSpecify center point: "), nullptr);
    if (!centre)
        return;
    View v = currentView(db);
    auto &cl = CommandLine::current();
    for (;;) {
        Answer a = cl.ask(i18n::format(tr("\nEnter magnification or height <%s>: "),
                                       {text::decimalText(v.height, 4)}));
        if (!a.isText())
            return;
        View next = v;
        if (!a.text.empty()) {
            std::string t = a.text;
            bool relative = t.back() == 'X' || t.back() == 'x';
            if (relative)
                t.pop_back();
            auto n = parseNumber(t);
            if (!n) {
                cl.refuse(tr("Requires numeric value."));
                continue;
            }
            if (!(*n > 0)) {
                cl.refuse(tr("Value must be positive and nonzero."));
                continue;
            }
            next.height = std::clamp(relative ? v.height / *n : *n, kSmallest, kLargest);
        }
        next.cx = centre->x;
        next.cy = centre->y;
        show(db, next);
        return;
    }
}

} // namespace

void zoomCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    auto &cl = CommandLine::current();
    for (;;) {
        cl.expect(Want::Point); // a point is the first corner of a window
        Answer a = cl.ask(tr("\nSpecify corner of window, enter a scale factor (nX), or\n"
                             "[All/Center/Extents/Previous/Scale/Window] <real time>: "));
        if (!a.isText() || a.text.empty())
            return;
        const std::string word = text::toUpper(a.text);
        if (word == "E" || word == "EXTENTS" || word == "A" || word == "ALL") {
            std::optional<Box> box = extentsOf(*db);
            if (word[0] == 'A') {
                if (auto limits = limitsOf(*db))
                    box = box ? Box{std::min(box->x0, limits->x0), std::min(box->y0, limits->y0),
                                    std::max(box->x1, limits->x1), std::max(box->y1, limits->y1)}
                              : limits;
            }
            if (box)
                show(*db, fitting(*box, currentView(*db)));
        } else if (word == "P" || word == "PREVIOUS") {
            auto &state = tev::db::viewState(*db);
            if (state.before.empty()) {
                cl.refuse(tr("No previous view saved."));
            } else {
                View v = state.before.back();
                state.before.pop_back();
                state.current = v; // going back keeps no view to come back to
                ++state.moved;
            }
        } else if (word == "C" || word == "CENTER") {
            zoomCenter(*db);
        } else if (word == "W" || word == "WINDOW") {
            if (auto first = askPointOrNone(tr("\nSpecify first corner: "), nullptr))
                zoomWindow(*db, *first);
        } else if (word == "S" || word == "SCALE") {
            for (;;) {
                Answer f = cl.ask(tr("\nEnter a scale factor (nX): "));
                if (!f.isText() || f.text.empty())
                    return;
                if (auto v = scaled(*db, f.text)) {
                    show(*db, *v);
                    break;
                }
                cl.refuse(tr("Requires numeric value."));
            }
        } else if (auto v = scaled(*db, a.text)) {
            show(*db, *v);
        } else if (auto p = parsePoint(a.text, lastPoint())) {
            ads_point q = {p->x, p->y, p->z};
            setLastPoint(q);
            zoomWindow(*db, *p);
        } else {
            cl.refuse(tr("Invalid option keyword."));
            continue;
        }
        return;
    }
}

void panCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    auto from = askPointOrNone(tr("\nSpecify base point or displacement: "), nullptr);
    if (!from)
        return;
    auto &cl = CommandLine::current();
    cl.expect(Want::Point);
    ads_point base = {from->x, from->y, from->z}, p;
    int rc = acedGetPoint(base, tr("\nSpecify second point: "), p);
    if (rc == RTCAN)
        return;
    // Enter: the first point is the displacement itself.
    double dx = rc == RTNORM ? p[X] - from->x : from->x;
    double dy = rc == RTNORM ? p[Y] - from->y : from->y;
    View v = currentView(*db);
    v.cx -= dx; // the drawing moves with the points: the view the other way
    v.cy -= dy;
    show(*db, v);
}

void regenCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    CommandLine::current().print(std::string("\n") + tr("Regenerating model.") + "\n");
    ++tev::db::viewState(*db).regens;
}

} // namespace host
