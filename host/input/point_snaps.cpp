// point_snaps.cpp - object snap modifiers, running snaps, grid snap, ortho and polar
// tracking for the points the prompts take.
#include "point_snaps.h"

#include "command_line.h"
#include "dbapserv.h"
#include "drawing_vars.h"
#include "i18n.h"
#include "snap.h"
#include "sysvars.h"
#include "text_util.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace host {

namespace {

using namespace tev::db;

struct ModeName {
    int bits;
    const char *english; // the full name: any start of it of three letters or more
    const char *russian; // the Russian edition's (UTF-8), the same way
};

const ModeName kModes[] = {
    {kSnapEnd, "endpoint", "конточка"},
    {kSnapMid, "midpoint", "середина"},
    {kSnapCen, "center", "центр"},
    {kSnapCen, "centre", nullptr},
    {kSnapNod, "node", "узел"},
    {kSnapQua, "quadrant", "квадрант"},
    {kSnapInt, "intersection", "пересечение"},
    {kSnapIns, "insertion", "твставки"},
    {kSnapPer, "perpendicular", "нормаль"},
    {kSnapTan, "tangent", "касательная"},
    {kSnapNea, "nearest", "ближайшая"},
    {kSnapApp, "appint", "кажущееся"},
    {kSnapApp, "apparent", nullptr},
    {-1, "none", "ничего"},
};

// Whether typed (folded) is a start, three letters or more, of name (UTF-8).
bool abbreviates(const std::string &typed, const char *name) {
    if (name == nullptr)
        return false;
    std::string folded = text::foldCase(utf8ToCp1251(name));
    return typed.size() >= 3 && folded.compare(0, typed.size(), typed) == 0;
}

std::optional<int> modeOf(std::string_view text) {
    bool global = !text.empty() && text.front() == '_';
    if (global)
        text.remove_prefix(1);
    std::string typed = text::foldCase(text::trim(text));
    for (const ModeName &m : kModes)
        if (abbreviates(typed, m.english) || (!global && abbreviates(typed, m.russian)))
            return m.bits;
    return std::nullopt;
}

SessionVars &vars() {
    return CommandLine::current().vars();
}

P2 rotate(P2 p, double a) {
    return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a)};
}

// The nearest node of the snap grid: SNAPUNIT apart from SNAPBASE, turned by SNAPANG.
P2 onGrid(P2 p, double angle) {
    const DraftingSettings &v = draftingAids();
    P2 origin{v.snapbase[0], v.snapbase[1]};
    P2 local = rotate(p - origin, -angle);
    local.x = std::round(local.x / v.snapunit[0]) * v.snapunit[0];
    local.y = std::round(local.y / v.snapunit[1]) * v.snapunit[1];
    return origin + rotate(local, angle);
}

// On the nearer of the two axes through base turned by angle.
P2 ortho(P2 p, P2 base, double angle) {
    P2 u{std::cos(angle), std::sin(angle)}, w{-u.y, u.x};
    P2 d = p - base;
    double along = dot(d, u), across = dot(d, w);
    return std::fabs(along) >= std::fabs(across) ? base + u * along : base + w * across;
}

// On the nearest polar increment from angle, when p is within aperture of it.
P2 polar(P2 p, P2 base, double angle, double aperture) {
    P2 d = p - base;
    double step = vars().polarang * std::numbers::pi / 180;
    if (len(d) == 0 || !(step > 0))
        return p;
    double k = std::round((std::atan2(d.y, d.x) - angle) / step);
    double a = angle + k * step;
    P2 u{std::cos(a), std::sin(a)};
    double along = dot(d, u);
    P2 q = base + u * along;
    return along > 0 && len(p - q) <= aperture ? q : p;
}

} // namespace

std::optional<int> snapModifier(std::string_view text) {
    return modeOf(text);
}

std::optional<int> snapModeList(std::string_view text) {
    std::string t = text::foldCase(text::trim(text));
    if (t == "off" || t == "_off")
        return kSnapOff | (draftingAids().osmode & ~kSnapOff);
    int bits = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = t.find(',', start);
        auto m = modeOf(std::string_view(t).substr(start, comma - start));
        if (!m)
            return std::nullopt;
        bits |= *m < 0 ? 0 : *m;
        if (comma == std::string::npos)
            return bits;
        start = comma + 1;
    }
}

LandedPoint landPoint(const Point3 &given, bool picked, double aperture, int modifier,
                      const Point3 *base) {
    LandedPoint out{given};
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    P2 b{}, g{given.x, given.y};
    if (base)
        b = {base->x, base->y};
    const P2 *bp = base ? &b : nullptr;
    const SessionVars &v = vars();
    const DraftingSettings &aids = draftingAids();
    if (modifier > 0) {
        std::optional<SnapHit> hit;
        if (db)
            hit = findSnap(*db, db->currentSpaceId(), g, picked ? aperture : pickAperture(),
                           modifier, bp);
        if (!hit) {
            out.found = false;
            return out;
        }
        out.at = {hit->at.x, hit->at.y, given.z};
        out.kind = snapKindName(hit->kind);
        return out;
    }
    if (!picked)
        return out;
    int running = aids.osmode & kSnapOff ? 0 : aids.osmode;
    if (modifier == 0 && running && db) {
        if (auto hit = findSnap(*db, db->currentSpaceId(), g, aperture, running, bp)) {
            out.at = {hit->at.x, hit->at.y, given.z};
            out.kind = snapKindName(hit->kind);
            return out; // an object snap wins over the grid and ortho
        }
    }
    double angle = detail::getSnapAngle().value_or(0);
    P2 p = g;
    if (aids.snapmode)
        p = onGrid(p, angle);
    if (base && aids.orthomode)
        p = ortho(p, b, angle);
    else if (base && (v.autosnap & 8))
        p = polar(p, b, angle, aperture);
    out.at = {p.x, p.y, given.z};
    return out;
}

LandedPoint trackPoint(const Point3 &p, double aperture) {
    const SessionVars &v = vars();
    Point3 base{v.promptBase[0], v.promptBase[1], v.promptBase[2]};
    return landPoint(p, true, aperture, v.pendingSnap, v.promptHasBase ? &base : nullptr);
}

PromptSnaps::PromptSnaps(const Point3 *base) : hasBase_(base != nullptr) {
    if (base)
        base_ = *base;
    SessionVars &v = vars();
    v.promptHasBase = hasBase_;
    v.promptBase[0] = base_.x, v.promptBase[1] = base_.y, v.promptBase[2] = base_.z;
    v.pendingSnap = 0;
}

PromptSnaps::~PromptSnaps() {
    vars().promptHasBase = false;
    vars().pendingSnap = 0;
}

std::string PromptSnaps::prompt(const std::string &normal) const {
    return pending() ? i18n::tr("of ") : normal;
}

bool PromptSnaps::pending() const {
    return vars().pendingSnap != 0;
}

void PromptSnaps::drop() {
    vars().pendingSnap = 0;
}

bool PromptSnaps::modifier(const Answer &a) {
    auto m = snapModifier(a.text);
    if (m)
        vars().pendingSnap = *m;
    return m.has_value();
}

std::optional<Point3> PromptSnaps::land(const Point3 &parsed, const Answer &a) {
    LandedPoint p = landPoint(parsed, a.aperture > 0, a.aperture, vars().pendingSnap,
                              hasBase_ ? &base_ : nullptr);
    vars().pendingSnap = 0;
    if (!p.found) {
        CommandLine::current().refuse(i18n::tr("No object snap point found there."));
        return std::nullopt;
    }
    return p.at;
}

} // namespace host
