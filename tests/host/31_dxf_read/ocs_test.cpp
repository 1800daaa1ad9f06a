// Tests that positions a file gives in an entity's own coordinate system (circle and arc
// centres, text and block reference points) come into the database in world coordinates.
#include "dxf_io.h"
#include "ocs_sample.h"

#include "dbents.h"
#include "access.h"

#include <gtest/gtest.h>

namespace {

using namespace dxftest;
using tev::db::ObjectAccess;

const std::vector<AcDbObject *> &modelEntities(AcDbDatabase &db) {
    AcDbBlockTableRecord *rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    (void)rec->close();
    return ObjectAccess::entities(*rec);
}

// The entity of db's model space with this handle, cast to T (nullptr when none).
template <class T> const T *byHandle(AcDbDatabase &db, std::uint64_t handle) {
    for (AcDbObject *o : modelEntities(db))
        if (o != nullptr && o->objectId().handle().value() == handle)
            return T::cast(o);
    return nullptr;
}

void expectNear(const AcGePoint3d &got, const AcGePoint3d &want) {
    EXPECT_NEAR(got.x, want.x, 1e-12) << "x";
    EXPECT_NEAR(got.y, want.y, 1e-12) << "y";
    EXPECT_NEAR(got.z, want.z, 1e-12) << "z";
}

// Test that the mirrored system (normal 0,0,-1), where the file's x and z change sign, and
// the system of normal 1,0,0, where the file's (x, y, z) is the world's (z, x, y), put each
// kind at its world place; an entity with the world's normal is taken as it stands.
TEST(ReadOcs, PositionsBecomeWorldCoordinates) {
    std::string error;
    auto db = dxf::readDrawingText(ocsSampleDxf(), "ocs.dxf", error);
    ASSERT_NE(db, nullptr) << error;

    const auto *arc = byHandle<AcDbArc>(*db, kMirroredArc);
    ASSERT_NE(arc, nullptr);
    expectNear(arc->center(), AcGePoint3d(-3, 4, -1));
    EXPECT_NEAR(arc->normal().z, -1, 1e-15);
    // Its ends follow: angle 0 in the mirrored system points along the world's -x.
    AcGePoint3d start;
    ASSERT_EQ(arc->getStartPoint(start), Acad::eOk);
    expectNear(start, AcGePoint3d(-5, 4, -1));

    const auto *circle = byHandle<AcDbCircle>(*db, kSideCircle);
    ASSERT_NE(circle, nullptr);
    expectNear(circle->center(), AcGePoint3d(7, 5, 6));

    const auto *text = byHandle<AcDbText>(*db, kMirroredText);
    ASSERT_NE(text, nullptr);
    expectNear(text->position(), AcGePoint3d(-10, 20, 0));
    expectNear(text->alignmentPoint(), AcGePoint3d(-12, 20, 0));

    const auto *ref = byHandle<AcDbBlockReference>(*db, kSideInsert);
    ASSERT_NE(ref, nullptr);
    expectNear(ref->position(), AcGePoint3d(3, 1, 2));

    const auto *plain = byHandle<AcDbCircle>(*db, kWorldCircle);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->center(), AcGePoint3d(8, 9, 1));
}

// Test that an extrusion too long to measure (its length overflows) is still a direction:
// the mirrored system here, not a zero normal that would put the circle nowhere.
TEST(ReadOcs, HugeExtrusionIsADirection) {
    std::string error;
    auto db = dxf::readDrawingText("0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n5\nA1\n8\n0\n10\n3\n"
                                   "20\n4\n30\n1\n40\n2\n210\n0\n220\n0\n230\n-1e300\n0\n"
                                   "ENDSEC\n0\nEOF\n",
                                   "huge.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    const auto *circle = byHandle<AcDbCircle>(*db, 0xA1);
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->normal(), AcGeVector3d(0, 0, -1));
    expectNear(circle->center(), AcGePoint3d(-3, 4, -1));
}

} // namespace
