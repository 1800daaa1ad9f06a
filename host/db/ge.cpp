// ge.cpp - the geometry value types: constants, the 4x4 matrix and transforms.
#include "gegeom.h"

#include <cmath>

const AcGePoint2d AcGePoint2d::kOrigin;
const AcGePoint3d AcGePoint3d::kOrigin;
const AcGeVector3d AcGeVector3d::kIdentity;
const AcGeVector3d AcGeVector3d::kXAxis(1, 0, 0);
const AcGeVector3d AcGeVector3d::kYAxis(0, 1, 0);
const AcGeVector3d AcGeVector3d::kZAxis(0, 0, 1);
const AcGeScale3d AcGeScale3d::kIdentity;
const AcGeMatrix3d AcGeMatrix3d::kIdentity;

AcGeMatrix3d::AcGeMatrix3d() {
    setToIdentity();
}

AcGeMatrix3d &AcGeMatrix3d::setToIdentity() {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            entry[i][j] = i == j ? 1.0 : 0.0;
    return *this;
}

bool AcGeMatrix3d::isIdentity() const {
    return isEqualTo(AcGeMatrix3d());
}

bool AcGeMatrix3d::isEqualTo(const AcGeMatrix3d &m, double tol) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (std::fabs(entry[i][j] - m.entry[i][j]) > tol)
                return false;
    return true;
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d &v) {
    AcGeMatrix3d m;
    m.entry[0][3] = v.x;
    m.entry[1][3] = v.y;
    m.entry[2][3] = v.z;
    return m;
}

// Rodrigues' rotation about the unit axis, then moved so that center stays put.
AcGeMatrix3d AcGeMatrix3d::rotation(double angle, const AcGeVector3d &axis,
                                    const AcGePoint3d &center) {
    AcGeVector3d u = axis.normal();
    double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    AcGeMatrix3d m;
    m.entry[0][0] = t * u.x * u.x + c;
    m.entry[0][1] = t * u.x * u.y - s * u.z;
    m.entry[0][2] = t * u.x * u.z + s * u.y;
    m.entry[1][0] = t * u.x * u.y + s * u.z;
    m.entry[1][1] = t * u.y * u.y + c;
    m.entry[1][2] = t * u.y * u.z - s * u.x;
    m.entry[2][0] = t * u.x * u.z - s * u.y;
    m.entry[2][1] = t * u.y * u.z + s * u.x;
    m.entry[2][2] = t * u.z * u.z + c;
    AcGeVector3d cv(center.x, center.y, center.z);
    return translation(cv) * m * translation(-cv);
}

AcGeMatrix3d AcGeMatrix3d::scaling(double scale, const AcGePoint3d &center) {
    return scaling(AcGeScale3d(scale), center);
}

AcGeMatrix3d AcGeMatrix3d::scaling(const AcGeScale3d &scale, const AcGePoint3d &center) {
    AcGeMatrix3d m;
    m.entry[0][0] = scale.sx;
    m.entry[1][1] = scale.sy;
    m.entry[2][2] = scale.sz;
    m.entry[0][3] = center.x * (1 - scale.sx);
    m.entry[1][3] = center.y * (1 - scale.sy);
    m.entry[2][3] = center.z * (1 - scale.sz);
    return m;
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d &m) const {
    AcGeMatrix3d r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += entry[i][k] * m.entry[k][j];
            r.entry[i][j] = sum;
        }
    return r;
}

AcGeMatrix3d &AcGeMatrix3d::preMultBy(const AcGeMatrix3d &left) {
    return *this = left * *this;
}
AcGeMatrix3d &AcGeMatrix3d::postMultBy(const AcGeMatrix3d &right) {
    return *this = *this * right;
}

double AcGeMatrix3d::det() const {
    // Affine matrices only matter here, but the full determinant costs little.
    double m[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = entry[i][j];
    double d = 1;
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[p][c]))
                p = r;
        if (m[p][c] == 0)
            return 0;
        if (p != c) {
            for (int j = 0; j < 4; ++j)
                std::swap(m[p][j], m[c][j]);
            d = -d;
        }
        d *= m[c][c];
        for (int r = c + 1; r < 4; ++r) {
            double f = m[r][c] / m[c][c];
            for (int j = c; j < 4; ++j)
                m[r][j] -= f * m[c][j];
        }
    }
    return d;
}

// Gauss-Jordan elimination with partial pivoting.
AcGeMatrix3d AcGeMatrix3d::inverse(bool *ok) const {
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a[i][j] = entry[i][j];
            a[i][j + 4] = i == j ? 1 : 0;
        }
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        if (std::fabs(a[p][c]) < 1e-300) {
            if (ok != nullptr)
                *ok = false;
            return AcGeMatrix3d();
        }
        for (int j = 0; j < 8; ++j)
            std::swap(a[p][j], a[c][j]);
        double pivot = a[c][c];
        for (int j = 0; j < 8; ++j)
            a[c][j] /= pivot;
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            double f = a[r][c];
            for (int j = 0; j < 8; ++j)
                a[r][j] -= f * a[c][j];
        }
    }
    AcGeMatrix3d r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.entry[i][j] = a[i][j + 4];
    if (ok != nullptr)
        *ok = true;
    return r;
}

AcGePoint3d &AcGePoint3d::transformBy(const AcGeMatrix3d &m) {
    const auto &e = m.entry;
    double nx = e[0][0] * x + e[0][1] * y + e[0][2] * z + e[0][3];
    double ny = e[1][0] * x + e[1][1] * y + e[1][2] * z + e[1][3];
    double nz = e[2][0] * x + e[2][1] * y + e[2][2] * z + e[2][3];
    x = nx;
    y = ny;
    z = nz;
    return *this;
}

AcGeVector3d &AcGeVector3d::transformBy(const AcGeMatrix3d &m) {
    const auto &e = m.entry;
    double nx = e[0][0] * x + e[0][1] * y + e[0][2] * z;
    double ny = e[1][0] * x + e[1][1] * y + e[1][2] * z;
    double nz = e[2][0] * x + e[2][1] * y + e[2][2] * z;
    x = nx;
    y = ny;
    z = nz;
    return *this;
}
