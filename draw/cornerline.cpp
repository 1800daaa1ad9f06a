// cornerline.cpp - Lp: a chain of lines parallel to the X or Y axis. Where two points in a
// row differ in both X and Y, a side point chooses on which side the right-angle corner lies.
#include "draw.h"

#include <cmath>

#include "chainpoint.h"
#include "services.h"
#include "adscodes.h"
#include "acedads.h"

namespace {

// The two corners between P and N: H = (Nx, Py) runs along X first, V = (Px, Ny) along Y.
enum Corner { H, V };

// Where a point lies around P, by the signs of its differences from P. N never lies on an
// axis line through P when a corner is needed; S may.
enum Quadrant { kRightAbove = 0, kLeftAbove = 1, kLeftBelow = 2, kRightBelow = 3 };

// Rows: the quadrant of S (above-right, above-left, below-right, below-left) and how the
// steepness of P-N compares with that of P-S (m1 > m2, m1 = m2, m1 < m2). Columns: the
// quadrant of N, in Quadrant order.
//                                     N: right-above left-above left-below right-below
constexpr Corner kCornerTable[4][3][4] = {
    /* S above, right */ {/* > */ {H, V, V, H}, /* = */ {V, V, H, H}, /* < */ {V, V, H, H}},
    /* S above, left  */ {/* > */ {V, H, H, V}, /* = */ {V, H, H, V}, /* < */ {V, V, H, H}},
    /* S below, right */ {/* > */ {H, V, V, H}, /* = */ {H, H, V, V}, /* < */ {H, H, V, V}},
    /* S below, left  */ {/* > */ {V, H, H, V}, /* = */ {V, H, H, V}, /* < */ {H, H, V, V}},
};
// S on the horizontal or the vertical line through P (S equal to P included).
constexpr Corner kCornerOnAxis[4] = {V, H, H, V};

Quadrant quadrantOf(double dx, double dy) {
    if (dy > 0)
        return dx > 0 ? kRightAbove : kLeftAbove;
    return dx > 0 ? kRightBelow : kLeftBelow;
}

// The steepness of the line from P by (dx, dy), as the corner rule measures it.
double steepness(double dx, double dy) {
    return std::fabs(dy * 100 / dx);
}

// The corner between p and n (which differ in both X and Y) on the side s shows.
// Comparisons are exact: no tolerance. The corner keeps the Z of p.
AcGePoint3d cornerPoint(const AcGePoint3d &p, const AcGePoint3d &n, const AcGePoint3d &s) {
    const double dxN = n.x - p.x, dyN = n.y - p.y;
    const double dxS = s.x - p.x, dyS = s.y - p.y;
    const Quadrant nQuadrant = quadrantOf(dxN, dyN);
    Corner corner = kCornerOnAxis[nQuadrant];
    if (dxS != 0 && dyS != 0) {
        const double m1 = steepness(dxN, dyN);
        const double m2 = steepness(dxS, dyS);
        const int cmp = m1 > m2 ? 0 : m1 == m2 ? 1 : 2;
        static constexpr int kRowOf[4] = {/*right-above*/ 0, /*left-above*/ 1,
                                          /*left-below*/ 3, /*right-below*/ 2};
        corner = kCornerTable[kRowOf[quadrantOf(dxS, dyS)]][cmp][nQuadrant];
    }
    return corner == H ? AcGePoint3d(n.x, p.y, p.z) : AcGePoint3d(p.x, n.y, p.z);
}

} // namespace

// Each piece is one line, or two meeting at the corner, made by createLine, which reports
// its own failures; a line that could not be made does not stop the chain. An ending
// answer at the side prompt drops the pending piece; lines already made stay.
void cornerLineCommand() {
    AcGePoint3d p;
    if (!askChainPoint(nullptr, "\nУкажите первую точку:  ", p))
        return;
    AcGePoint3d n;
    while (askChainPoint(&p, "\nУкажите следующую точку:  ", n)) {
        if (n.x != p.x && n.y != p.y) {
            AcGePoint3d s;
            if (!askChainPoint(nullptr, "\nУкажите сторону угла:  ", s))
                return;
            const AcGePoint3d q = cornerPoint(p, n, s);
            (void)createLine(p, q); // failures are reported by createLine itself
            (void)createLine(q, n);
        } else {
            (void)createLine(p, n);
        }
        p = n;
    }
}
