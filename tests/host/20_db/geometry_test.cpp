// geometry_test.cpp - the geometry value types the database and the module rely on:
// matrices, transforms, handles and arrays, and a lightweight polyline's vertices.
#include "db_fixture.h"
#include "dbpl.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// Test rotation about a centre, scaling and translation on points, and that the inverse
// undoes a combination.
TEST(Geometry, MatrixTransforms) {
    AcGePoint3d p(2, 1, 0);
    AcGePoint3d r = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 1, 0)) * p;
    EXPECT_NEAR(r.x, 1, 1e-12);
    EXPECT_NEAR(r.y, 2, 1e-12);
    AcGePoint3d s = AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1), AcGePoint3d(1, 1, 0)) * p;
    EXPECT_NEAR(s.x, 3, 1e-12);
    EXPECT_NEAR(s.y, 1, 1e-12);
    AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(5, -2, 1)) *
                     AcGeMatrix3d::rotation(0.3, AcGeVector3d(1, 1, 1)) *
                     AcGeMatrix3d::scaling(2.5);
    bool ok = false;
    AcGeMatrix3d inv = m.inverse(&ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE((m * inv).isIdentity());
    AcGePoint3d q = inv * (m * AcGePoint3d(3, -4, 7));
    EXPECT_NEAR(q.distanceTo(AcGePoint3d(3, -4, 7)), 0, 1e-9);
    EXPECT_NEAR(m.det(), 2.5 * 2.5 * 2.5, 1e-9);
    AcGeMatrix3d singular = AcGeMatrix3d::scaling(AcGeScale3d(1, 0, 1));
    (void)singular.inverse(&ok);
    EXPECT_FALSE(ok);
}

// Test handle text both ways, including upper and lower case, 64 bits and rejects.
TEST(Geometry, HandlesAsText) {
    char buf[17];
    AcDbHandle(0x6A).getIntoAsciiBuffer(buf);
    EXPECT_STREQ(buf, "6A");
    AcDbHandle().getIntoAsciiBuffer(buf);
    EXPECT_STREQ(buf, "0");
    AcDbHandle big(0xFEDCBA9876543210ull);
    EXPECT_EQ(big.high(), 0xFEDCBA98u);
    EXPECT_EQ(big.low(), 0x76543210u);
    big.getIntoAsciiBuffer(buf);
    EXPECT_STREQ(buf, "FEDCBA9876543210");
    EXPECT_EQ(AcDbHandle("fedcba9876543210"), big);
    EXPECT_TRUE(AcDbHandle("").isNull());
    EXPECT_TRUE(AcDbHandle("12G").isNull());
    EXPECT_TRUE(AcDbHandle("11112222333344445").isNull()) << "17 digits";
    EXPECT_LT(AcDbHandle(0xFFFFFFFFull), AcDbHandle(0x100000000ull));
}

// Test the host's array: append returns the index, insert and remove by index, find.
TEST(Geometry, ArrayBasics) {
    AcGeDoubleArray a;
    EXPECT_EQ(a.append(1.5), 0);
    EXPECT_EQ(a.append(2.5), 1);
    a.insertAt(1, 9.0).insertAt(7, 4.0); // out of range: ignored
    ASSERT_EQ(a.logicalLength(), 3);
    EXPECT_EQ(a[1], 9.0);
    EXPECT_EQ(a.find(2.5), 2);
    a.removeAt(0);
    EXPECT_EQ(a.first(), 9.0);
    EXPECT_EQ(a.find(1.5), -1);
}

} // namespace

namespace {

std::vector<double> bulgesOf(const AcDbPolyline &pl) {
    std::vector<double> out;
    for (unsigned i = 0; i < pl.numVerts(); ++i) {
        double b = -9;
        EXPECT_EQ(pl.getBulgeAt(i, b), Acad::eOk);
        out.push_back(b);
    }
    return out;
}

} // namespace

// Test that a lightweight polyline's bulges follow their vertices through inserts and
// removals, whether the first bulge other than 0 comes first, last or in between (the
// polyline keeps no bulges until one is not 0), and that widths stay apart from them.
TEST(Geometry, LightweightPolylineBulgesFollowVertices) {
    AcDbPolyline first;
    ASSERT_EQ(first.addVertexAt(0, AcGePoint2d(0, 0), 1.0), Acad::eOk);
    ASSERT_EQ(first.addVertexAt(1, AcGePoint2d(1, 0)), Acad::eOk);
    EXPECT_EQ(bulgesOf(first), (std::vector<double>{1.0, 0.0}));

    AcDbPolyline pl;
    ASSERT_EQ(pl.addVertexAt(0, AcGePoint2d(0, 0)), Acad::eOk);
    ASSERT_EQ(pl.addVertexAt(1, AcGePoint2d(2, 0)), Acad::eOk);
    EXPECT_FALSE(pl.hasBulges());
    ASSERT_EQ(pl.addVertexAt(2, AcGePoint2d(3, 0), 0.5), Acad::eOk);
    ASSERT_EQ(pl.addVertexAt(1, AcGePoint2d(1, 0)), Acad::eOk);
    ASSERT_EQ(pl.addVertexAt(0, AcGePoint2d(-1, 0), 0.25, 2, 3), Acad::eOk);
    EXPECT_EQ(bulgesOf(pl), (std::vector<double>{0.25, 0.0, 0.0, 0.0, 0.5}));
    EXPECT_TRUE(pl.hasBulges());
    double sw = 0, ew = 0;
    ASSERT_EQ(pl.getWidthsAt(0, sw, ew), Acad::eOk);
    EXPECT_EQ(sw, 2);
    EXPECT_EQ(ew, 3);
    ASSERT_EQ(pl.getWidthsAt(4, sw, ew), Acad::eOk);
    EXPECT_EQ(sw, 0);

    ASSERT_EQ(pl.removeVertexAt(4), Acad::eOk);
    ASSERT_EQ(pl.removeVertexAt(1), Acad::eOk);
    EXPECT_EQ(bulgesOf(pl), (std::vector<double>{0.25, 0.0, 0.0}));
    AcGePoint2d p;
    ASSERT_EQ(pl.getPointAt(1, p), Acad::eOk);
    EXPECT_EQ(p, AcGePoint2d(1, 0));
    ASSERT_EQ(pl.setBulgeAt(0, 0), Acad::eOk);
    EXPECT_FALSE(pl.hasBulges());
    ASSERT_EQ(pl.setBulgeAt(2, -1), Acad::eOk);
    EXPECT_EQ(bulgesOf(pl), (std::vector<double>{0.0, 0.0, -1.0}));
    double b = 7;
    EXPECT_EQ(pl.getBulgeAt(3, b), Acad::eInvalidIndex);
    EXPECT_EQ(b, 7);
}
