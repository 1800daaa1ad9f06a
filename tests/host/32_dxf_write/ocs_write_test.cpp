// Tests that positions the database holds in world coordinates go back to the file in each
// entity's own coordinate system, so that other readers find them where they were.
#include "dxf_io.h"
#include "ocs_sample.h"
#include "tags.h"

#include "dbents.h"
#include "access.h"

#include <gtest/gtest.h>

#include <map>
#include <numbers>

namespace {

using namespace dxftest;
using tev::db::ObjectAccess;

std::string writeText(AcDbDatabase &db) {
    std::string out, error;
    EXPECT_TRUE(dxf::writeDrawingText(db, out, error)) << error;
    return out;
}

// The first value of each number group of the entity with this handle in DXF text, read
// with the tag reader alone (no database involved).
std::map<int, double> numbersOf(const std::string &text, std::uint64_t handle) {
    static const dxf::Locator where("written.dxf");
    dxf::TagReader reader(text, where);
    std::map<int, double> out;
    std::vector<dxf::Tag> record;
    dxf::Tag t;
    auto take = [&] {
        if (record.size() < 2 || record[1].code != 5)
            return false;
        std::uint64_t h = 0;
        if (!dxf::toHandle(record[1].value, h) || h != handle)
            return false;
        for (const dxf::Tag &g : record) {
            double v = 0;
            if (g.code >= 10 && g.code < 60 && dxf::toDouble(g.value, v))
                out.emplace(g.code, v);
            if (g.code >= 210 && g.code < 240 && dxf::toDouble(g.value, v))
                out.emplace(g.code, v);
        }
        return true;
    };
    while (reader.next(t)) {
        if (t.code == 0 && take())
            return out;
        if (t.code == 0)
            record.clear();
        record.push_back(t);
    }
    take();
    return out;
}

AcDbObjectId idOf(AcDbDatabase &db, std::uint64_t handle) {
    return tev::db::lookupHandle(db, AcDbHandle(handle));
}

void recolour(AcDbDatabase &db, std::uint64_t handle) {
    AcDbEntity *ent = nullptr;
    ASSERT_EQ(acdbOpenObject(ent, idOf(db, handle), AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(ent->setColorIndex(3), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
}

// Test that untouched entities with their own systems come back byte for byte, and that
// changed ones are written from the database with the file's own-system numbers again.
TEST(WriteOcs, ChangedEntitiesKeepTheirOwnCoordinates) {
    const std::string sample = ocsSampleDxf();
    std::string error;
    auto db = dxf::readDrawingText(sample, "ocs.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    EXPECT_EQ(writeText(*db), sample);

    for (std::uint64_t h : {kMirroredArc, kSideCircle, kMirroredText, kSideInsert})
        recolour(*db, h);
    const std::string out = writeText(*db);
    ASSERT_NE(out, sample); // the recoloured entities were generated, not copied

    auto arc = numbersOf(out, kMirroredArc);
    EXPECT_EQ(arc[10], 3.0);
    EXPECT_EQ(arc[20], 4.0);
    EXPECT_EQ(arc[30], 1.0);
    EXPECT_EQ(arc[230], -1.0);
    EXPECT_EQ(arc[50], 0.0);
    EXPECT_EQ(arc[51], 90.0);

    auto circle = numbersOf(out, kSideCircle);
    EXPECT_EQ(circle[10], 5.0);
    EXPECT_EQ(circle[20], 6.0);
    EXPECT_EQ(circle[30], 7.0);
    EXPECT_EQ(circle[210], 1.0);

    auto text = numbersOf(out, kMirroredText);
    EXPECT_EQ(text[10], 10.0);
    EXPECT_EQ(text[20], 20.0);
    EXPECT_EQ(text[11], 12.0);
    EXPECT_EQ(text[21], 20.0);

    auto ref = numbersOf(out, kSideInsert);
    EXPECT_EQ(ref[10], 1.0);
    EXPECT_EQ(ref[20], 2.0);
    EXPECT_EQ(ref[30], 3.0);

    // Read back, the changed file gives the same world positions as the original.
    auto again = dxf::readDrawingText(out, "again.dxf", error);
    ASSERT_NE(again, nullptr) << error;
    AcDbArc *a = nullptr;
    ASSERT_EQ(acdbOpenObject(a, idOf(*again, kMirroredArc), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(a->center(), AcGePoint3d(-3, 4, -1));
    EXPECT_EQ(a->close(), Acad::eOk);
    // And it writes back byte for byte.
    EXPECT_EQ(writeText(*again), out);
}

// Test that a new mirrored arc made in world coordinates is where ezdxf, reading its own
// system numbers, puts it.
TEST(WriteOcs, NewMirroredArcIsWhereEzdxfPutsIt) {
    auto db = std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    AcDbBlockTableRecord *ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto *arc =
        new AcDbArc(AcGePoint3d(-3, 4, -1), AcGeVector3d(0, 0, -1), 2, 0, std::numbers::pi / 2);
    AcDbObjectId id;
    ASSERT_EQ(ms->appendAcDbEntity(id, arc), Acad::eOk);
    EXPECT_EQ(arc->close(), Acad::eOk);
    EXPECT_EQ(ms->close(), Acad::eOk);
    const std::string out = writeText(*db);
    auto groups = numbersOf(out, id.handle().value());
    EXPECT_EQ(groups[10], 3.0);
    EXPECT_EQ(groups[30], 1.0);
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    writeFile(dir.file("arc.dxf"), out);
    const std::string result =
        runPython("doc = ezdxf.readfile(r'" + dir.file("arc.dxf") +
                  "')\n"
                  "a = doc.modelspace().query('ARC')[0]\n"
                  "c = a.ocs().to_wcs(a.dxf.center)\n"
                  "s = a.start_point\n"
                  "print('%.9g %.9g %.9g / %.9g %.9g %.9g' % (c.x, c.y, c.z, s.x, s.y, s.z))\n");
    // Angle 0 in the mirrored system points along the world's -x.
    EXPECT_EQ(result, "-3 4 -1 / -5 4 -1\n");
}

} // namespace
