// curves.h - the curves shapes follow by short chords: B-splines and NURBS (by de Boor),
// smooth curves through fit points, and elliptic arcs. Points are 3D (the picture's
// transform comes after).
#pragma once
#include <cstddef>
#include <vector>

namespace tev::db {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

// Points along the B-spline of this degree over the knot vector, with weights (empty: all 1,
// a plain B-spline). The curve runs over the knots' valid range [knots[degree],
// knots[n]] (n control points). False, with out empty, when the data do not make a curve:
// fewer than degree + 1 control points, a knot count other than n + degree + 1, knots going
// down, weights not positive or of another count, a degree below 1 or above 11.
// samplesPerSpan: points per knot span that is not empty (at least 1); at most maxPoints are
// made (spans share them evenly beyond that).
bool evaluateNurbs(int degree, const std::vector<double> &knots, const std::vector<Point3> &ctrl,
                   const std::vector<double> &weights, std::vector<Point3> &out,
                   int samplesPerSpan = 16, std::size_t maxPoints = 20000);

// A smooth curve through the points (a centripetal Catmull-Rom curve, which does not loop
// nor overshoot between close points), closed back to the first when asked. Repeated
// points are dropped; fewer than 2 distinct points give those points.
std::vector<Point3> curveThroughPoints(const std::vector<Point3> &fit, bool closed,
                                       int samplesPerSegment = 12);

// Points of the ellipse centre + cos t · major + sin t · minor for t from start to end
// (radians, counter-clockwise; end at or below start adds a whole turn), where minor is
// the major axis turned a quarter counter-clockwise about normal and scaled by ratio.
// perFullTurn: chords a whole ellipse gets.
std::vector<Point3> ellipsePoints(Point3 center, Point3 major, Point3 normal, double ratio,
                                  double start, double end, int perFullTurn = 96);

} // namespace tev::db
