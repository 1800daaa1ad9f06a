// curves.cpp - de Boor's evaluation of NURBS, curves through fit points, elliptic arcs.
#include "curves.h"

#include <algorithm>
#include <cmath>

namespace tev::db {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Homog {
    double x, y, z, w;
};

// The point at u in span k (knots[k] <= u <= knots[k+1]) by de Boor's algorithm on
// homogeneous points.
Point3 deBoor(int p, std::size_t k, double u, const std::vector<double> &t,
              const std::vector<Point3> &c, const std::vector<double> &w) {
    Homog d[12];
    for (int j = 0; j <= p; ++j) {
        std::size_t i = k - static_cast<std::size_t>(p) + static_cast<std::size_t>(j);
        double wi = w.empty() ? 1.0 : w[i];
        d[j] = {c[i].x * wi, c[i].y * wi, c[i].z * wi, wi};
    }
    for (int r = 1; r <= p; ++r) {
        for (int j = p; j >= r; --j) {
            std::size_t i = k - static_cast<std::size_t>(p) + static_cast<std::size_t>(j);
            double left = t[i], right = t[i + static_cast<std::size_t>(p - r) + 1];
            double a = right > left ? (u - left) / (right - left) : 0;
            d[j] = {(1 - a) * d[j - 1].x + a * d[j].x, (1 - a) * d[j - 1].y + a * d[j].y,
                    (1 - a) * d[j - 1].z + a * d[j].z, (1 - a) * d[j - 1].w + a * d[j].w};
        }
    }
    double wp = d[p].w != 0 ? d[p].w : 1;
    return {d[p].x / wp, d[p].y / wp, d[p].z / wp};
}

bool same(Point3 a, Point3 b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

double dist(Point3 a, Point3 b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

} // namespace

bool evaluateNurbs(int degree, const std::vector<double> &knots, const std::vector<Point3> &ctrl,
                   const std::vector<double> &weights, std::vector<Point3> &out, int samplesPerSpan,
                   std::size_t maxPoints) {
    out.clear();
    const std::size_t n = ctrl.size();
    if (degree < 1 || degree > 11 || n < static_cast<std::size_t>(degree) + 1 ||
        knots.size() != n + static_cast<std::size_t>(degree) + 1 ||
        (!weights.empty() && weights.size() != n))
        return false;
    for (std::size_t i = 0; i < knots.size(); ++i)
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1]))
            return false;
    for (double w : weights)
        if (!(w > 0) || !std::isfinite(w))
            return false;
    const std::size_t p = static_cast<std::size_t>(degree);
    std::vector<std::size_t> spans; // spans of the valid range that are not empty
    for (std::size_t k = p; k < n; ++k)
        if (knots[k + 1] > knots[k])
            spans.push_back(k);
    if (spans.empty())
        return false;
    maxPoints = std::max<std::size_t>(maxPoints, 2);
    std::size_t per = static_cast<std::size_t>(std::max(samplesPerSpan, 1));
    per = std::max<std::size_t>(1, std::min(per, maxPoints / spans.size()));
    // More spans than points allowed: every span still gives its start, which is plenty.
    std::size_t stride = spans.size() > maxPoints ? (spans.size() + maxPoints - 1) / maxPoints : 1;
    for (std::size_t s = 0; s < spans.size(); s += stride) {
        std::size_t k = spans[s];
        for (std::size_t i = 0; i < per; ++i) {
            double u = knots[k] + (knots[k + 1] - knots[k]) * static_cast<double>(i) /
                                      static_cast<double>(per);
            out.push_back(deBoor(degree, k, u, knots, ctrl, weights));
        }
    }
    out.push_back(deBoor(degree, spans.back(), knots[spans.back() + 1], knots, ctrl, weights));
    return true;
}

std::vector<Point3> curveThroughPoints(const std::vector<Point3> &fit, bool closed,
                                       int samplesPerSegment) {
    std::vector<Point3> pts;
    for (Point3 p : fit)
        if (pts.empty() || !same(pts.back(), p))
            pts.push_back(p);
    if (closed && pts.size() > 1 && same(pts.front(), pts.back()))
        pts.pop_back();
    if (pts.size() < 3 && !closed)
        return pts;
    if (pts.size() < 2)
        return pts;
    const std::size_t n = pts.size();
    auto at = [&](long i) -> Point3 {
        long m = static_cast<long>(n);
        if (closed)
            return pts[static_cast<std::size_t>(((i % m) + m) % m)];
        if (i < 0) // the first and last segments end on a mirrored neighbour
            return {2 * pts[0].x - pts[1].x, 2 * pts[0].y - pts[1].y, 2 * pts[0].z - pts[1].z};
        if (i >= m)
            return {2 * pts[n - 1].x - pts[n - 2].x, 2 * pts[n - 1].y - pts[n - 2].y,
                    2 * pts[n - 1].z - pts[n - 2].z};
        return pts[static_cast<std::size_t>(i)];
    };
    const int steps = std::max(samplesPerSegment, 1);
    const std::size_t segments = closed ? n : n - 1;
    std::vector<Point3> out;
    out.reserve(segments * static_cast<std::size_t>(steps) + 1);
    for (std::size_t s = 0; s < segments; ++s) {
        long i = static_cast<long>(s);
        Point3 p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        // Centripetal knots: the square root of the chord lengths.
        double t0 = 0, t1 = t0 + std::sqrt(dist(p0, p1)), t2 = t1 + std::sqrt(dist(p1, p2)),
               t3 = t2 + std::sqrt(dist(p2, p3));
        if (t1 == t0)
            t0 = t1 - 1e-9;
        if (t3 == t2)
            t3 = t2 + 1e-9;
        for (int k = 0; k < steps; ++k) {
            double t = t1 + (t2 - t1) * k / steps;
            auto lerp = [](Point3 a, Point3 b, double ta, double tb, double t) {
                double f = (t - ta) / (tb - ta);
                return Point3{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
            };
            Point3 a1 = lerp(p0, p1, t0, t1, t), a2 = lerp(p1, p2, t1, t2, t),
                   a3 = lerp(p2, p3, t2, t3, t);
            Point3 b1 = lerp(a1, a2, t0, t2, t), b2 = lerp(a2, a3, t1, t3, t);
            out.push_back(lerp(b1, b2, t1, t2, t));
        }
    }
    out.push_back(closed ? pts[0] : pts[n - 1]);
    return out;
}

std::vector<Point3> ellipsePoints(Point3 c, Point3 major, Point3 normal, double ratio, double start,
                                  double end, int perFullTurn) {
    double nl = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    if (!(nl > 0))
        normal = {0, 0, 1}, nl = 1;
    Point3 n{normal.x / nl, normal.y / nl, normal.z / nl};
    // minor = ratio · (n × major)
    Point3 minor{ratio * (n.y * major.z - n.z * major.y), ratio * (n.z * major.x - n.x * major.z),
                 ratio * (n.x * major.y - n.y * major.x)};
    double sweep = end - start;
    if (!std::isfinite(sweep))
        return {};
    sweep = std::fmod(sweep, 2 * kPi);
    if (sweep <= 1e-12)
        sweep += 2 * kPi;
    int steps =
        std::max(2, static_cast<int>(std::ceil(sweep / (2 * kPi) * std::max(perFullTurn, 8))));
    std::vector<Point3> out;
    out.reserve(static_cast<std::size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        double t = start + sweep * i / steps;
        double ct = std::cos(t), st = std::sin(t);
        out.push_back({c.x + ct * major.x + st * minor.x, c.y + ct * major.y + st * minor.y,
                       c.z + ct * major.z + st * minor.z});
    }
    return out;
}

} // namespace tev::db
