// arc_geometry.h - the plane geometry of PLINE's arcs and CIRCLE's variants: bulges (the
// tangent of a quarter of an arc's included angle, positive counter-clockwise), tangent
// directions, and circles through points. XY only; angles in radians.
#pragma once

#include "answer_parse.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace host::draw {

inline constexpr double kPi = std::numbers::pi;

inline double angleOf(const Point3 &from, const Point3 &to) {
    return std::atan2(to.y - from.y, to.x - from.x);
}

inline double distance2d(const Point3 &a, const Point3 &b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

inline Point3 polar(const Point3 &from, double angle, double dist) {
    return {from.x + dist * std::cos(angle), from.y + dist * std::sin(angle), from.z};
}

// The included angle of a segment of the given bulge.
inline double includedAngle(double bulge) {
    return 4 * std::atan(bulge);
}

// The direction a segment from start to end of the given bulge runs at its end.
inline double directionAtEnd(const Point3 &start, const Point3 &end, double bulge) {
    return angleOf(start, end) + includedAngle(bulge) / 2;
}

// The bulge of the arc from start to end that leaves start in direction tangent; nullopt
// when end is start or lies straight behind it (no such arc).
inline std::optional<double> tangentBulge(const Point3 &start, double tangent, const Point3 &end) {
    if (distance2d(start, end) == 0)
        return std::nullopt;
    double half = std::remainder(angleOf(start, end) - tangent, 2 * kPi); // [-pi, pi]
    if (std::fabs(half) >= kPi * (1 - 1e-12))
        return std::nullopt;
    return std::tan(half / 2);
}

// The centre of the circle through a, b and c; nullopt when they lie on one line.
inline std::optional<Point3> circumcentre(const Point3 &a, const Point3 &b, const Point3 &c) {
    double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
    double d = 2 * (bx * cy - by * cx);
    double scale = std::max({std::fabs(bx), std::fabs(by), std::fabs(cx), std::fabs(cy)});
    if (!(std::fabs(d) > 1e-12 * scale * scale))
        return std::nullopt;
    double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
    return Point3{a.x + (cy * b2 - by * c2) / d, a.y + (bx * c2 - cx * b2) / d, a.z};
}

// The included angle of the arc from a through b to c (positive counter-clockwise);
// nullopt when they lie on one line.
inline std::optional<double> angleThrough(const Point3 &a, const Point3 &b, const Point3 &c) {
    auto centre = circumcentre(a, b, c);
    if (!centre)
        return std::nullopt;
    double sweep = std::remainder(angleOf(*centre, c) - angleOf(*centre, a), 2 * kPi);
    bool ccw = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) > 0;
    if (ccw && sweep <= 0)
        sweep += 2 * kPi;
    if (!ccw && sweep >= 0)
        sweep -= 2 * kPi;
    return sweep;
}

} // namespace host::draw
