// gegeom.h - the host's geometry value types: points, vectors, scales and the 4x4 matrix,
// and the point and real arrays. All in world units; angles in radians.
#pragma once
#include "acarray.h"
#include <cmath>

class AcGeMatrix3d;
class AcGeVector3d;

// Tolerance for equality tests of points and vectors.
struct AcGeTol {
    double equalPoint = 1e-10;
    double equalVector = 1e-12;
};

class AcGePoint2d {
public:
    AcGePoint2d() = default;
    AcGePoint2d(double xx, double yy) : x(xx), y(yy) {}
    AcGePoint2d &set(double xx, double yy) {
        x = xx;
        y = yy;
        return *this;
    }
    double distanceTo(const AcGePoint2d &p) const { return std::hypot(p.x - x, p.y - y); }
    bool isEqualTo(const AcGePoint2d &p, const AcGeTol &tol = AcGeTol()) const {
        return distanceTo(p) <= tol.equalPoint;
    }
    bool operator==(const AcGePoint2d &p) const { return isEqualTo(p); }
    bool operator!=(const AcGePoint2d &p) const { return !isEqualTo(p); }
    static const AcGePoint2d kOrigin;
    double x = 0, y = 0;
};

class AcGeVector3d {
public:
    AcGeVector3d() = default;
    AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    AcGeVector3d &set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }
    double length() const { return std::sqrt(x * x + y * y + z * z); }
    double dotProduct(const AcGeVector3d &v) const { return x * v.x + y * v.y + z * v.z; }
    AcGeVector3d crossProduct(const AcGeVector3d &v) const {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }
    // This vector scaled to length 1; a zero vector stays zero.
    AcGeVector3d normal() const {
        double len = length();
        return len > 0 ? AcGeVector3d(x / len, y / len, z / len) : *this;
    }
    AcGeVector3d &normalize() { return *this = normal(); }
    bool isZeroLength(const AcGeTol &tol = AcGeTol()) const { return length() <= tol.equalVector; }
    bool isEqualTo(const AcGeVector3d &v, const AcGeTol &tol = AcGeTol()) const {
        return AcGeVector3d(x - v.x, y - v.y, z - v.z).length() <= tol.equalVector;
    }
    AcGeVector3d &transformBy(const AcGeMatrix3d &m);
    AcGeVector3d operator+(const AcGeVector3d &v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGeVector3d &v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-() const { return {-x, -y, -z}; }
    AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    bool operator==(const AcGeVector3d &v) const { return isEqualTo(v); }
    bool operator!=(const AcGeVector3d &v) const { return !isEqualTo(v); }
    static const AcGeVector3d kIdentity; // zero vector, as the host names it
    static const AcGeVector3d kXAxis;
    static const AcGeVector3d kYAxis;
    static const AcGeVector3d kZAxis;
    double x = 0, y = 0, z = 0;
};

class AcGePoint3d {
public:
    AcGePoint3d() = default;
    AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    AcGePoint3d &set(double xx, double yy, double zz) {
        x = xx;
        y = yy;
        z = zz;
        return *this;
    }
    double distanceTo(const AcGePoint3d &p) const {
        return std::sqrt((p.x - x) * (p.x - x) + (p.y - y) * (p.y - y) + (p.z - z) * (p.z - z));
    }
    bool isEqualTo(const AcGePoint3d &p, const AcGeTol &tol = AcGeTol()) const {
        return distanceTo(p) <= tol.equalPoint;
    }
    AcGePoint3d &transformBy(const AcGeMatrix3d &m);
    AcGePoint2d convert2d() const { return {x, y}; }
    AcGePoint3d operator+(const AcGeVector3d &v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGePoint3d operator-(const AcGeVector3d &v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-(const AcGePoint3d &p) const { return {x - p.x, y - p.y, z - p.z}; }
    AcGePoint3d &operator+=(const AcGeVector3d &v) { return *this = *this + v; }
    bool operator==(const AcGePoint3d &p) const { return isEqualTo(p); }
    bool operator!=(const AcGePoint3d &p) const { return !isEqualTo(p); }
    static const AcGePoint3d kOrigin;
    double x = 0, y = 0, z = 0;
};

class AcGeScale3d {
public:
    AcGeScale3d() = default;
    explicit AcGeScale3d(double s) : sx(s), sy(s), sz(s) {}
    AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}
    AcGeScale3d &set(double x, double y, double z) {
        sx = x;
        sy = y;
        sz = z;
        return *this;
    }
    double operator[](unsigned i) const { return i == 0 ? sx : i == 1 ? sy : sz; }
    bool operator==(const AcGeScale3d &s) const { return sx == s.sx && sy == s.sy && sz == s.sz; }
    static const AcGeScale3d kIdentity;
    double sx = 1, sy = 1, sz = 1;
};

// A 4x4 affine matrix acting on column vectors: p' = M * p. entry[i][3] is the translation.
class AcGeMatrix3d {
public:
    AcGeMatrix3d(); // identity
    AcGeMatrix3d &setToIdentity();
    bool isIdentity() const;
    static AcGeMatrix3d translation(const AcGeVector3d &v);
    // Rotation by angle (radians, counter-clockwise looking down axis) about axis through center.
    static AcGeMatrix3d rotation(double angle, const AcGeVector3d &axis,
                                 const AcGePoint3d &center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(double scale, const AcGePoint3d &center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(const AcGeScale3d &scale,
                                const AcGePoint3d &center = AcGePoint3d::kOrigin);
    AcGeMatrix3d operator*(const AcGeMatrix3d &m) const;
    AcGeMatrix3d &preMultBy(const AcGeMatrix3d &left);   // this = left * this
    AcGeMatrix3d &postMultBy(const AcGeMatrix3d &right); // this = this * right
    double det() const;
    // The inverse; a singular matrix gives the identity and *ok = false.
    AcGeMatrix3d inverse(bool *ok = nullptr) const;
    bool isEqualTo(const AcGeMatrix3d &m, double tol = 1e-10) const;
    bool operator==(const AcGeMatrix3d &m) const { return isEqualTo(m); }
    static const AcGeMatrix3d kIdentity;
    double entry[4][4];
};

inline AcGePoint3d operator*(const AcGeMatrix3d &m, const AcGePoint3d &p) {
    AcGePoint3d r(p);
    return r.transformBy(m);
}
inline AcGeVector3d operator*(const AcGeMatrix3d &m, const AcGeVector3d &v) {
    AcGeVector3d r(v);
    return r.transformBy(m);
}

using AcGePoint2dArray = AcArray<AcGePoint2d>;
using AcGePoint3dArray = AcArray<AcGePoint3d>;
using AcGeDoubleArray = AcArray<double>;
