// spatial_test.cpp - picks and selections: nearest within the aperture, ties to the later
// entity, curves by their curves, text by its box, layers that hide, block references
// (nested picks, a block that inserts itself), window, crossing, polygon and fence, and the
// index following entities that move or are erased.
#include "db_fixture.h"

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

using tev::db::pickEntity;
using Ids = std::vector<AcDbObjectId>;

class Spatial : public DbTest {
protected:
    AcDbObjectId pick(double x, double y, double aperture = 0.5) {
        return pickEntity(*db, ms, AcGePoint2d(x, y), aperture);
    }
    void moveLine(AcDbObjectId id, AcGePoint3d a, AcGePoint3d b) {
        AcDbLine *line = nullptr;
        ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(line->setStartPoint(a), Acad::eOk);
        ASSERT_EQ(line->setEndPoint(b), Acad::eOk);
        ASSERT_EQ(line->close(), Acad::eOk);
    }
    void erase(AcDbObjectId id, bool erasing = true) {
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite, true), Acad::eOk);
        ASSERT_EQ(o->erase(erasing), Acad::eOk);
        ASSERT_EQ(o->close(), Acad::eOk);
    }
};

// Test the nearest entity within the aperture, a miss outside it, and ties.
TEST_F(Spatial, PickNearestWithinAperture) {
    AcDbObjectId low = addLine(0, 0, 10, 0);
    AcDbObjectId high = addLine(0, 1, 10, 1);
    EXPECT_EQ(pick(5, 0.3), low);
    EXPECT_EQ(pick(5, 0.7), high);
    EXPECT_TRUE(pick(5, 2.0).isNull());
    EXPECT_TRUE(pick(12, 0).isNull()) << "beyond the end of the segment";
    EXPECT_EQ(pick(10.4, 0), low) << "near the end point";
    EXPECT_EQ(pick(5, 0.5), high) << "equally near: the later one";
    AcDbObjectId same = addLine(0, 0, 10, 0);
    EXPECT_EQ(pick(5, 0), same) << "a copy on top: the later one";
}

// Test circles and arcs are picked on the curve, not inside, and arcs only on their span.
TEST_F(Spatial, CurvesByTheirCurves) {
    AcDbObjectId circle = add(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 5));
    EXPECT_EQ(pick(5.2, 0), circle);
    EXPECT_EQ(pick(0, -4.8), circle);
    EXPECT_TRUE(pick(0, 0).isNull()) << "the centre is far from the curve";
    // An arc over the upper half (0 to 180 degrees) of a circle at (20, 0), radius 3.
    AcDbObjectId arc = add(new AcDbArc(AcGePoint3d(20, 0, 0), 3, 0, std::numbers::pi));
    EXPECT_EQ(pick(20, 3.1), arc);
    EXPECT_TRUE(pick(20, -3).isNull()) << "the lower half is not drawn";
    // A mirrored arc (normal -Z) runs clockwise: its span is the mirror image.
    AcDbObjectId mirrored =
        add(new AcDbArc(AcGePoint3d(40, 0, 0), -AcGeVector3d::kZAxis, 3, 0, std::numbers::pi / 2));
    EXPECT_EQ(pick(37, 0.05), mirrored) << "OCS x is world -x";
    EXPECT_EQ(pick(40, 3), mirrored);
    EXPECT_TRUE(pick(43, 0).isNull());
}

// Test a lightweight polyline is picked along its segments, bulged ones as arcs, and the
// closing segment only when closed.
TEST_F(Spatial, PolylineSegmentsAndBulges) {
    auto *pl = new AcDbPolyline;
    ASSERT_EQ(pl->addVertexAt(0, AcGePoint2d(0, 0)), Acad::eOk);
    ASSERT_EQ(pl->addVertexAt(1, AcGePoint2d(10, 0), /*bulge=*/1.0), Acad::eOk);
    ASSERT_EQ(pl->addVertexAt(2, AcGePoint2d(10, 10)), Acad::eOk);
    AcDbObjectId id = add(pl);
    EXPECT_EQ(pick(5, 0), id);
    // Bulge 1 from (10,0) to (10,10): a half circle around (10,5), radius 5, to the right.
    EXPECT_EQ(pick(15, 5), id);
    EXPECT_TRUE(pick(10, 5).isNull()) << "the chord is not drawn";
    EXPECT_TRUE(pick(5, 5).isNull()) << "open: no closing segment";
    AcDbPolyline *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForWrite), Acad::eOk);
    open->setClosed(true);
    ASSERT_EQ(open->close(), Acad::eOk);
    EXPECT_EQ(pick(5, 5), id) << "the closing segment from (10,10) to (0,0)";

    AcDbExtents ext;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(open->getGeomExtents(ext), Acad::eOk);
    ASSERT_EQ(open->close(), Acad::eOk);
    EXPECT_NEAR(ext.maxPoint().x, 15, 1e-9) << "the bulge reaches x = 15";
}

// Test text is picked inside its box and the box follows rotation.
TEST_F(Spatial, TextByItsBox) {
    auto *text = new AcDbText(AcGePoint3d(0, 0, 0), "ABCD", AcDbObjectId(), 2.0, 0);
    AcDbObjectId id = add(text);
    // Four characters of height 2: a box 4 * 0.6 * 2 = 4.8 wide and 2 high.
    EXPECT_EQ(pick(2.4, 1.0, 0.1), id);
    EXPECT_EQ(pick(4.7, 1.9, 0.01), id);
    EXPECT_TRUE(pick(6.0, 1.0, 0.5).isNull());
    AcDbText *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(open->setRotation(std::numbers::pi / 2), Acad::eOk);
    ASSERT_EQ(open->close(), Acad::eOk);
    EXPECT_TRUE(pick(2.4, 1.0, 0.1).isNull());
    EXPECT_EQ(pick(-1.0, 2.4, 0.1), id) << "rotated a quarter turn about its position";
}

// Test that entities on off or frozen layers are not picked or window-selected, ALL skips
// only frozen ones, and locked layers are pickable.
TEST_F(Spatial, LayersThatHide) {
    AcDbObjectId off = addLayer("Off", false, /*off=*/true);
    AcDbObjectId frozen = addLayer("Frozen", false, false, /*frozen=*/true);
    AcDbObjectId locked = addLayer("Locked", /*locked=*/true);
    auto onLayer = [&](AcDbObjectId layer, double y) {
        auto *line = new AcDbLine(AcGePoint3d(0, y, 0), AcGePoint3d(10, y, 0));
        EXPECT_EQ(line->setLayer(layer), Acad::eOk);
        return add(line);
    };
    AcDbObjectId a = onLayer(off, 0), b = onLayer(frozen, 2), c = onLayer(locked, 4);
    EXPECT_TRUE(pick(5, 0).isNull());
    EXPECT_TRUE(pick(5, 2).isNull());
    EXPECT_EQ(pick(5, 4), c);
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {-1, -1}, {11, 5}, false), Ids{c});
    EXPECT_EQ(tev::db::selectAll(*db, ms), (Ids{a, c}));
    EXPECT_EQ(tev::db::lastEntity(*db, ms), c);
    setLayerLocked(locked, false);
    AcDbLayerTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, locked, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(rec->setIsOff(true), Acad::eOk);
    ASSERT_EQ(rec->close(), Acad::eOk);
    EXPECT_TRUE(tev::db::lastEntity(*db, ms).isNull()) << "nothing visible is left";
    EXPECT_TRUE(tev::db::pickEntity(*db, db->paperSpaceId(), {5, 4}, 1).isNull());
    AcDbLayerTableRecord *thaw = nullptr;
    ASSERT_EQ(acdbOpenObject(thaw, frozen, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(thaw->setIsFrozen(false), Acad::eOk);
    ASSERT_EQ(thaw->close(), Acad::eOk);
    EXPECT_EQ(pick(5, 2), b) << "thawed: pickable again";
}

// Test window (inside only) and crossing (inside or touching), corners in any order.
TEST_F(Spatial, WindowAndCrossing) {
    AcDbObjectId inside = addLine(1, 1, 2, 2);
    AcDbObjectId across = addLine(3, 3, 8, 3);
    AcDbObjectId outside = addLine(9, 9, 10, 10);
    AcDbObjectId circle = add(new AcDbCircle(AcGePoint3d(2, 2, 0), AcGeVector3d::kZAxis, 10));
    (void)outside;
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {5, 5}, {0, 0}, false), Ids{inside});
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {0, 0}, {5, 5}, true), (Ids{inside, across}))
        << "a circle around the window does not cross it";
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {11, -1}, {13, 1}, true), Ids{circle});
    EXPECT_TRUE(tev::db::selectWindow(*db, ms, {11, -1}, {13, 1}, false).empty());
}

// Test polygon selection (WP/CP) with a concave polygon, and fences.
TEST_F(Spatial, PolygonAndFence) {
    AcDbObjectId left = addLine(1, 1, 1, 3);
    AcDbObjectId notch = addLine(4, 3.5, 6, 3.5); // in the notch of the U, outside it
    AcDbObjectId right = addLine(9, 1, 9, 3);
    // A U shape: the notch between x 3..7 above y 2 is outside.
    std::vector<AcGePoint2d> u = {{0, 0}, {10, 0}, {10, 5}, {7, 5}, {7, 2}, {3, 2}, {3, 5}, {0, 5}};
    EXPECT_EQ(tev::db::selectPolygon(*db, ms, u, false), (Ids{left, right}));
    EXPECT_EQ(tev::db::selectPolygon(*db, ms, u, true), (Ids{left, right}));
    AcDbObjectId dip = addLine(5, 1, 5, 3); // crosses the notch's floor
    EXPECT_EQ(tev::db::selectPolygon(*db, ms, u, false), (Ids{left, right}));
    EXPECT_EQ(tev::db::selectPolygon(*db, ms, u, true), (Ids{left, right, dip}));

    std::vector<AcGePoint2d> fence = {{0, 2}, {5, 2}, {5, 4}};
    EXPECT_EQ(tev::db::selectFence(*db, ms, fence), (Ids{left, notch, dip}));
    EXPECT_TRUE(tev::db::selectFence(*db, ms, {{20, 20}, {30, 30}}).empty());
}

// Test that the index follows entities moved, erased and un-erased after it was built.
TEST_F(Spatial, IndexFollowsChanges) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    EXPECT_EQ(pick(0.5, 0), id); // builds the index
    moveLine(id, AcGePoint3d(100, 100, 0), AcGePoint3d(101, 100, 0));
    EXPECT_TRUE(pick(0.5, 0).isNull());
    EXPECT_EQ(pick(100.5, 100), id);
    erase(id);
    EXPECT_TRUE(pick(100.5, 100).isNull());
    EXPECT_TRUE(tev::db::selectWindow(*db, ms, {99, 99}, {102, 101}, false).empty());
    erase(id, false);
    EXPECT_EQ(pick(100.5, 100), id);
    AcDbObjectId later = addLine(50, 50, 51, 50);
    EXPECT_EQ(pick(50.5, 50), later) << "appended after the index was built";
}

// Test picks through block references: the reference is picked in space, a nested pick
// reaches two levels in with the containers innermost first and the matrix to the world.
TEST_F(Spatial, NestedPicksThroughBlocks) {
    AcDbObjectId inner = addBlock("Inner");
    AcDbObjectId innerLine = addLine(0, 0, 1, 0, inner);
    AcDbObjectId outer = addBlock("Outer", AcGePoint3d(1, 1, 0));
    auto *innerRef = new AcDbBlockReference(AcGePoint3d(1, 1, 0), inner);
    ASSERT_EQ(innerRef->setScaleFactors(AcGeScale3d(2)), Acad::eOk);
    AcDbObjectId innerRefId = add(innerRef, outer);
    auto *outerRef = new AcDbBlockReference(AcGePoint3d(10, 10, 0), outer);
    ASSERT_EQ(outerRef->setRotation(std::numbers::pi / 2), Acad::eOk);
    AcDbObjectId outerRefId = add(outerRef);

    // The inner line (0,0)-(1,0) scaled 2 at (1,1) in Outer: (1,1)-(3,1); Outer's base
    // (1,1) goes to (10,10) turned a quarter: (1,1)-(3,1) → (10,10)-(10,12).
    EXPECT_EQ(pick(10, 11, 0.1), outerRefId);
    EXPECT_TRUE(pick(11, 10, 0.1).isNull());
    tev::db::NestedPick hit;
    ASSERT_TRUE(tev::db::pickNested(*db, ms, {10.05, 11}, 0.1, hit));
    EXPECT_EQ(hit.entity, innerLine);
    EXPECT_EQ(hit.containers, (Ids{innerRefId, outerRefId}));
    AcGePoint3d end = hit.xform * AcGePoint3d(1, 0, 0);
    EXPECT_NEAR(end.x, 10, 1e-9);
    EXPECT_NEAR(end.y, 12, 1e-9);

    AcDbObjectId plain = addLine(0, 0, 1, 0);
    ASSERT_TRUE(tev::db::pickNested(*db, ms, {0.5, 0}, 0.1, hit));
    EXPECT_EQ(hit.entity, plain);
    EXPECT_TRUE(hit.containers.empty());
    EXPECT_TRUE(hit.xform.isIdentity());
    EXPECT_FALSE(tev::db::pickNested(*db, ms, {50, 50}, 0.1, hit));
}

// Test that a block inserting itself ends: extents, picks and windows terminate, and the
// nested pick finds its line.
TEST_F(Spatial, SelfInsertingBlockTerminates) {
    AcDbObjectId loop = addBlock("Loop");
    AcDbObjectId line = addLine(0, 0, 1, 0, loop);
    auto *self = new AcDbBlockReference(AcGePoint3d(0, 1, 0), loop);
    add(self, loop);
    AcDbObjectId ref = add(new AcDbBlockReference(AcGePoint3d(0, 0, 0), loop));
    EXPECT_EQ(pick(0.5, 0), ref);
    EXPECT_EQ(pick(0.5, 5), ref) << "the fifth copy up";
    tev::db::NestedPick hit;
    ASSERT_TRUE(tev::db::pickNested(*db, ms, {0.5, 3}, 0.1, hit));
    EXPECT_EQ(hit.entity, line);
    EXPECT_EQ(hit.containers.size(), 4u) << "three self references inside the one in space";
    AcDbEntity *e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, ref, AcDb::kForRead), Acad::eOk);
    AcDbExtents ext;
    EXPECT_EQ(e->getGeomExtents(ext), Acad::eOk);
    ASSERT_EQ(e->close(), Acad::eOk);
    EXPECT_GT(ext.maxPoint().y, 10) << "bounded, but deeper than a few levels";
    EXPECT_LT(ext.maxPoint().y, 100);
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {-1, -1}, {2, 200}, false), Ids{ref});
}

// Test that changing a block's contents moves what its references show.
TEST_F(Spatial, BlockChangesReachReferences) {
    AcDbObjectId block = addBlock("B");
    AcDbObjectId inside = addLine(0, 0, 1, 0, block);
    AcDbObjectId ref = add(new AcDbBlockReference(AcGePoint3d(0, 0, 0), block));
    EXPECT_EQ(pick(0.5, 0), ref);
    moveLine(inside, AcGePoint3d(0, 5, 0), AcGePoint3d(1, 5, 0));
    EXPECT_TRUE(pick(0.5, 0).isNull());
    EXPECT_EQ(pick(0.5, 5), ref);
}

} // namespace

namespace {

// Test that what a reference shows follows every change below it: an entity of a block it
// reaches through another block moved, its layer turned off and on, the entity erased and
// brought back; and that a mirrored, turned, scaled reference places arcs and boxes as the
// walk of its block does.
TEST_F(Spatial, KeptBlockShapesFollowChangesBelow) {
    AcDbObjectId layer = addLayer("Inner");
    AcDbObjectId inner = addBlock("Inner");
    auto *innerLine = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    ASSERT_EQ(innerLine->setLayer(layer), Acad::eOk);
    AcDbObjectId line = add(innerLine, inner);
    AcDbObjectId outer = addBlock("Outer");
    add(new AcDbBlockReference(AcGePoint3d(0, 0, 0), inner), outer);
    AcDbObjectId ref = add(new AcDbBlockReference(AcGePoint3d(100, 0, 0), outer));
    auto setOff = [&](bool off) {
        AcDbLayerTableRecord *rec = nullptr;
        ASSERT_EQ(acdbOpenObject(rec, layer, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(rec->setIsOff(off), Acad::eOk);
        ASSERT_EQ(rec->close(), Acad::eOk);
    };
    struct Step {
        const char *what;
        std::function<void()> change;
        double x, y; // where the reference is now
        bool shown;
        bool windowed; // a window around it finds it (the index keeps boxes across layers)
    };
    const Step steps[] = {
        {"as made", [] {}, 100.5, 0, true, true},
        {"the inner line moved",
         [&] {
             moveLine(line, {0, 5, 0}, {1, 5, 0});
         },
         100.5, 5, true, true},
        {"its layer off", [&] { setOff(true); }, 100.5, 5, false, true},
        {"its layer on", [&] { setOff(false); }, 100.5, 5, true, true},
        {"the line erased", [&] { erase(line); }, 100.5, 5, false, false},
        {"the line back", [&] { erase(line, false); }, 100.5, 5, true, true},
    };
    for (const Step &s : steps) {
        s.change();
        EXPECT_EQ(pick(s.x, s.y, 0.1), s.shown ? ref : AcDbObjectId()) << s.what;
        EXPECT_EQ(tev::db::selectWindow(*db, ms, {s.x - 1, s.y - 1}, {s.x + 1, s.y + 1}, false),
                  s.windowed ? Ids{ref} : Ids{})
            << s.what;
    }

    // An arc over the upper half of a circle of radius 2 at the origin; the reference
    // mirrors it in X, turns it a quarter and scales it 3: the half left of x = 50 - 0, the
    // arc's top going to (50 - 6, 50).
    AcDbObjectId arcs = addBlock("Arcs");
    add(new AcDbArc(AcGePoint3d(0, 0, 0), 2, 0, std::numbers::pi), arcs);
    auto *mirrored = new AcDbBlockReference(AcGePoint3d(50, 50, 0), arcs);
    ASSERT_EQ(mirrored->setScaleFactors(AcGeScale3d(-3, 3, 1)), Acad::eOk);
    ASSERT_EQ(mirrored->setRotation(std::numbers::pi / 2), Acad::eOk);
    AcDbObjectId m = add(mirrored);
    EXPECT_EQ(pick(44, 50, 0.1), m);
    EXPECT_TRUE(pick(56, 50, 0.1).isNull()) << "the other half is not drawn";
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {43.9, 43.9}, {50.1, 56.1}, false), Ids{m});
    EXPECT_TRUE(tev::db::selectWindow(*db, ms, {44.1, 43.9}, {50.1, 56.1}, false).empty());
}

} // namespace
