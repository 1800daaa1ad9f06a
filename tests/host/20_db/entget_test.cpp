// entget_test.cpp - acdbEntGet: the group codes, their order and their values for a line,
// a lightweight polyline, a 2D polyline with its vertex and end, a circle, an arc and an
// insert, as an application sees them (angles in radians, points as one item).
#include "db_fixture.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

class EntGet : public DbTest {
protected:
    // The entity's list, its codes in order, released on destruction.
    void get(AcDbObjectId id) {
        ads_name n;
        ASSERT_EQ(acdbGetAdsName(n, id), Acad::eOk);
        release();
        list = acdbEntGet(n);
        ASSERT_NE(list, nullptr);
        codes.clear();
        for (resbuf *rb = list; rb != nullptr; rb = rb->rbnext)
            codes.push_back(rb->restype);
    }
    void TearDown() override {
        release();
        DbTest::TearDown();
    }
    void release() {
        if (list != nullptr)
            acutRelRb(list);
        list = nullptr;
    }
    // The nth item with this code (0-based).
    const resbuf *item(int code, int nth = 0) const {
        for (resbuf *rb = list; rb != nullptr; rb = rb->rbnext)
            if (rb->restype == code && nth-- == 0)
                return rb;
        ADD_FAILURE() << "no group " << code;
        static resbuf none{};
        return &none;
    }
    std::string str(int code, int nth = 0) const {
        const resbuf *rb = item(code, nth);
        return rb->resval.rstring != nullptr ? rb->resval.rstring : "<null>";
    }
    AcGePoint3d pt(int code, int nth = 0) const {
        const double *p = item(code, nth)->resval.rpoint;
        return {p[0], p[1], p[2]};
    }
    AcDbObjectId ename(int code) const {
        AcDbObjectId id;
        EXPECT_EQ(acdbGetObjectId(id, item(code)->resval.rlname), Acad::eOk);
        return id;
    }
    std::string hex(AcDbObjectId id) const {
        char buf[17];
        id.handle().getIntoAsciiBuffer(buf);
        return buf;
    }

    resbuf *list = nullptr;
    std::vector<int> codes;
};

using Codes = std::vector<int>;

// Test a plain line: the head in the host's order, then its own groups.
TEST_F(EntGet, Line) {
    AcDbObjectId id = addLine(1, 2, 6, 5);
    get(id);
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 100, 10, 11, 210}));
    EXPECT_EQ(ename(-1), id);
    EXPECT_EQ(str(0), "LINE");
    EXPECT_EQ(ename(330), ms);
    EXPECT_EQ(str(5), hex(id));
    EXPECT_EQ(str(100, 0), "AcDbEntity");
    EXPECT_EQ(item(67)->resval.rint, 0);
    EXPECT_EQ(str(410), "Model");
    EXPECT_EQ(str(8), "0");
    EXPECT_EQ(str(100, 1), "AcDbLine");
    EXPECT_EQ(pt(10), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(pt(11), AcGePoint3d(6, 5, 0));
    EXPECT_EQ(pt(210), AcGePoint3d(0, 0, 1));
}

// Test that 6 and 62 appear only when not BYLAYER, 62 0 for BYBLOCK, and paper space.
TEST_F(EntGet, OptionalCommonGroupsAndPaperSpace) {
    auto *line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    ASSERT_EQ(line->setColorIndex(0), Acad::eOk);
    ASSERT_EQ(line->setLinetype("Continuous"), Acad::eOk);
    ASSERT_EQ(line->setLinetypeScale(2.0), Acad::eOk);
    AcDbObjectId id = add(line, db->paperSpaceId());
    get(id);
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 6, 62, 48, 100, 10, 11, 210}));
    EXPECT_EQ(item(67)->resval.rint, 1);
    EXPECT_EQ(str(410), "Layout1");
    EXPECT_EQ(str(6), "Continuous");
    EXPECT_EQ(item(62)->resval.rint, 0);
    EXPECT_EQ(item(48)->resval.rreal, 2.0);

    auto *byLayer = new AcDbLine;
    ASSERT_EQ(byLayer->setColorIndex(256), Acad::eOk);
    ASSERT_EQ(byLayer->setLinetype("BYLAYER"), Acad::eOk);
    get(add(byLayer));
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 100, 10, 11, 210}));
}

// Test a lightweight polyline: count, flags, constant width only while shared, and 2D
// vertices with their widths and bulges.
TEST_F(EntGet, LightweightPolyline) {
    auto *pl = new AcDbPolyline;
    ASSERT_EQ(pl->addVertexAt(0, AcGePoint2d(1, 2), 0.5, 0.1, 0.2), Acad::eOk);
    ASSERT_EQ(pl->addVertexAt(1, AcGePoint2d(3, 4)), Acad::eOk);
    pl->setClosed(true);
    pl->setElevation(7);
    AcDbObjectId id = add(pl);
    get(id);
    EXPECT_EQ(codes, (Codes{-1, 0,  330, 5,  100, 67, 410, 8,  100, 90, 70,
                            38, 39, 10,  40, 41,  42, 10,  40, 41,  42, 210}));
    EXPECT_EQ(str(0), "LWPOLYLINE");
    EXPECT_EQ(str(100, 1), "AcDbPolyline");
    EXPECT_EQ(item(90)->resval.rlong, 2);
    EXPECT_EQ(item(70)->resval.rint, 1);
    EXPECT_EQ(item(38)->resval.rreal, 7.0);
    EXPECT_EQ(pt(10, 0), AcGePoint3d(1, 2, 0)) << "a 2D vertex holds z = 0";
    EXPECT_EQ(pt(10, 1), AcGePoint3d(3, 4, 0));
    EXPECT_EQ(item(40, 0)->resval.rreal, 0.1);
    EXPECT_EQ(item(41, 0)->resval.rreal, 0.2);
    EXPECT_EQ(item(42, 0)->resval.rreal, 0.5);
    EXPECT_EQ(item(40, 1)->resval.rreal, 0.0);

    AcDbPolyline *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(open->setConstantWidth(0.75), Acad::eOk);
    ASSERT_EQ(open->close(), Acad::eOk);
    get(id);
    EXPECT_EQ(codes[11], 43) << "43 follows 70 while all widths are one";
    EXPECT_EQ(item(43)->resval.rreal, 0.75);
}

// Test a 2D polyline header, a spline control vertex and the sequence end.
TEST_F(EntGet, PolylineVertexAndSequenceEnd) {
    AcGePoint3dArray pts;
    pts.append(AcGePoint3d(0, 0, 0));
    pts.append(AcGePoint3d(5, 0, 0));
    auto *pl = new AcDb2dPolyline(AcDb::k2dCubicSplinePoly, pts, 1.5, false, 0.3, 0.4);
    AcDbObjectId id = add(pl);
    get(id);
    EXPECT_EQ(codes, (Codes{-1, 0,  330, 5,  100, 67, 410, 8,  100, 66,
                            10, 70, 40,  41, 71,  72, 73,  74, 75,  210}));
    EXPECT_EQ(str(0), "POLYLINE");
    EXPECT_EQ(str(100, 1), "AcDb2dPolyline");
    EXPECT_EQ(item(66)->resval.rint, 1);
    EXPECT_EQ(pt(10), AcGePoint3d(0, 0, 1.5));
    EXPECT_EQ(item(70)->resval.rint, 4) << "spline-fit";
    EXPECT_EQ(item(40)->resval.rreal, 0.3);
    EXPECT_EQ(item(41)->resval.rreal, 0.4);
    EXPECT_EQ(item(75)->resval.rint, 6) << "cubic";

    AcDb2dPolyline *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForRead), Acad::eOk);
    AcDbObjectIterator *it = open->vertexIterator();
    it->step();
    AcDbObjectId vid = it->objectId();
    delete it;
    AcDbSequenceEnd *end = nullptr;
    ASSERT_EQ(open->openSequenceEnd(end, AcDb::kForRead), Acad::eOk);
    AcDbObjectId endId = end->objectId();
    ASSERT_EQ(end->close(), Acad::eOk);
    ASSERT_EQ(open->close(), Acad::eOk);

    AcDb2dVertex *v = nullptr;
    ASSERT_EQ(acdbOpenObject(v, vid, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(v->setVertexType(AcDb::k2dSplineCtlVertex), Acad::eOk);
    ASSERT_EQ(v->setBulge(-0.25), Acad::eOk);
    ASSERT_EQ(v->close(), Acad::eOk);
    get(vid);
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 100, 100, 10, 40, 41, 42, 70, 50}));
    EXPECT_EQ(str(0), "VERTEX");
    EXPECT_EQ(ename(330), id) << "a vertex's owner is its polyline";
    EXPECT_EQ(str(100, 1), "AcDbVertex");
    EXPECT_EQ(str(100, 2), "AcDb2dVertex");
    EXPECT_EQ(pt(10), AcGePoint3d(5, 0, 1.5));
    EXPECT_EQ(item(42)->resval.rreal, -0.25);
    EXPECT_EQ(item(70)->resval.rint, 16) << "spline frame control point";

    get(endId);
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, -2}));
    EXPECT_EQ(str(0), "SEQEND");
    EXPECT_EQ(ename(-2), id);
}

// Test a circle and an arc: centre, radius, and the arc's angles in radians.
TEST_F(EntGet, CircleAndArc) {
    get(add(new AcDbCircle(AcGePoint3d(2, 3, 0), AcGeVector3d::kZAxis, 4.5)));
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 100, 10, 40, 210}));
    EXPECT_EQ(str(0), "CIRCLE");
    EXPECT_EQ(pt(10), AcGePoint3d(2, 3, 0));
    EXPECT_EQ(item(40)->resval.rreal, 4.5);

    get(add(new AcDbArc(AcGePoint3d(0, 0, 0), 2, 0.5, 2.0)));
    EXPECT_EQ(codes, (Codes{-1, 0, 330, 5, 100, 67, 410, 8, 100, 10, 40, 100, 50, 51, 210}));
    EXPECT_EQ(str(0), "ARC");
    EXPECT_EQ(str(100, 2), "AcDbArc");
    EXPECT_EQ(item(50)->resval.rreal, 0.5);
    EXPECT_EQ(item(51)->resval.rreal, 2.0);
}

// Test an insert: block name, position, scales, rotation in radians and the array groups.
TEST_F(EntGet, Insert) {
    AcDbObjectId block = addBlock("Door");
    auto *ref = new AcDbBlockReference(AcGePoint3d(10, 20, 0), block);
    ASSERT_EQ(ref->setScaleFactors(AcGeScale3d(2, 3, 1)), Acad::eOk);
    ASSERT_EQ(ref->setRotation(std::numbers::pi / 2), Acad::eOk);
    get(add(ref));
    EXPECT_EQ(codes, (Codes{-1, 0,  330, 5,  100, 67, 410, 8,  100, 2,
                            10, 41, 42,  43, 50,  70, 71,  44, 45,  210}));
    EXPECT_EQ(str(0), "INSERT");
    EXPECT_EQ(str(2), "Door");
    EXPECT_EQ(pt(10), AcGePoint3d(10, 20, 0));
    EXPECT_EQ(item(41)->resval.rreal, 2.0);
    EXPECT_EQ(item(42)->resval.rreal, 3.0);
    EXPECT_NEAR(item(50)->resval.rreal, 1.5708, 1e-4);
    EXPECT_EQ(item(70)->resval.rint, 1);
}

// Test that erased entities and bad names give no list.
TEST_F(EntGet, ErasedAndBadNames) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    ads_name n;
    ASSERT_EQ(acdbGetAdsName(n, id), Acad::eOk);
    AcDbObject *o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(o->erase(), Acad::eOk);
    ASSERT_EQ(o->close(), Acad::eOk);
    EXPECT_EQ(acdbEntGet(n), nullptr);
    ads_name bad = {0, 0};
    EXPECT_EQ(acdbEntGet(bad), nullptr);
    ads_name table;
    ASSERT_EQ(acdbGetAdsName(table, db->layerTableId()), Acad::eOk);
    EXPECT_EQ(acdbEntGet(table), nullptr) << "not an entity";
}

} // namespace
