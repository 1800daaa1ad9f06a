// Picks: acedEntSel and acedNEntSelP.
#include "drawing_fixture.h"
#include "sysvars.h"

using drawingtest::DrawingTest;

namespace {

class PickTest : public DrawingTest {};

// Test a hit: the entity's name and the typed point come back.
TEST_F(PickTest, HitGivesEntityAndPoint) {
    addLine(0, 0, 10, 0);
    AcDbObjectId line = addLine(0, 5, 10, 5);
    type({"4,5.2"});
    ads_name ent;
    ads_point pt;
    ASSERT_EQ(acedEntSel("\nPick: ", ent, pt), RTNORM);
    EXPECT_EQ(idOf(ent), line);
    EXPECT_EQ(pt[X], 4);
    EXPECT_EQ(pt[Y], 5.2);
    EXPECT_EQ(transcript(), "\nPick: 4,5.2\n");
}

// Test a miss: RTERROR with ERRNO 7 at once, nothing more read.
TEST_F(PickTest, MissIsErrno7AtOnce) {
    addLine(0, 0, 10, 0);
    type({"50,50", "5,0"});
    ads_name ent;
    ads_point pt;
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ENTSELPICK);
    EXPECT_EQ(cl->queue()->remaining(), 1u);
    EXPECT_NE(transcript().find("Select object: 50,50"), std::string::npos);
}

// Test an empty answer (ERRNO 52), Escape and end of input.
TEST_F(PickTest, EmptyEscapeEnd) {
    addLine(0, 0, 10, 0);
    type({""});
    escape();
    ads_name ent;
    ads_point pt;
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ENTSELNULL);
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTCAN);
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTCAN);
}

// Test that a word at the pick prompt is refused and asked again.
TEST_F(PickTest, WordIsRefused) {
    AcDbObjectId line = addLine(0, 0, 10, 0);
    type({"LINE", "5,0"});
    ads_name ent;
    ads_point pt;
    ASSERT_EQ(acedEntSel(nullptr, ent, pt), RTNORM);
    EXPECT_EQ(idOf(ent), line);
    EXPECT_NE(transcript().find("Invalid point."), std::string::npos);
}

// Test the aperture: PICKAPERTURE decides what is near enough.
TEST_F(PickTest, ApertureDecides) {
    addLine(0, 0, 10, 0);
    type({"5,0.6", "5,0.6"});
    resbuf rb{};
    rb.restype = RTREAL;
    rb.resval.rreal = 0.5;
    ASSERT_EQ(acedSetVar("PICKAPERTURE", &rb), RTNORM);
    ads_name ent;
    ads_point pt;
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    rb.resval.rreal = 0.7;
    ASSERT_EQ(acedSetVar("PICKAPERTURE", &rb), RTNORM);
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTNORM);
}

// Test that frozen and off layers are not pickable and locked ones are.
TEST_F(PickTest, LayerStates) {
    addLayer("Ice", /*frozen=*/true);
    addLayer("Dark", false, false, /*off=*/true);
    addLayer("Lock", false, /*locked=*/true);
    addLine(0, 0, 10, 0, "Ice");
    addLine(0, 5, 10, 5, "Dark");
    AcDbObjectId locked = addLine(0, 9, 10, 9, "Lock");
    type({"5,0", "5,5", "5,9"});
    ads_name ent;
    ads_point pt;
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    ASSERT_EQ(acedEntSel(nullptr, ent, pt), RTNORM);
    EXPECT_EQ(idOf(ent), locked);
}

// Test that without a working drawing a pick misses.
TEST_F(PickTest, NoDrawingMisses) {
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    type({"1,1"});
    ads_name ent;
    ads_point pt;
    EXPECT_EQ(acedEntSel(nullptr, ent, pt), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ENTSELPICK);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
}

// Test a pick through two levels of block references: the innermost line, the matrix,
// and the containers innermost first.
TEST_F(PickTest, NestedThroughTwoLevels) {
    AcDbObjectId inner = addBlock("INNER");
    AcDbObjectId line = addLine(0, 0, 2, 0, nullptr, inner);
    AcDbObjectId outer = addBlock("OUTER");
    AcDbObjectId innerRef = addInsert(inner, 10, 0, outer);
    AcDbObjectId outerRef = addInsert(outer, 100, 50);
    // The line is drawn from (110,50) to (112,50).
    type({"111,50"});
    ads_name ent;
    ads_point pt;
    ads_matrix m;
    resbuf *refs = nullptr;
    ASSERT_EQ(acedNEntSelP(nullptr, ent, pt, 0, m, &refs), RTNORM);
    EXPECT_EQ(idOf(ent), line);
    EXPECT_DOUBLE_EQ(m[0][3], 110);
    EXPECT_DOUBLE_EQ(m[1][3], 50);
    EXPECT_DOUBLE_EQ(m[0][0], 1);
    ASSERT_NE(refs, nullptr);
    EXPECT_EQ(refs->restype, RTENAME);
    EXPECT_EQ(idOf(refs->resval.rlname), innerRef);
    ASSERT_NE(refs->rbnext, nullptr);
    EXPECT_EQ(idOf(refs->rbnext->resval.rlname), outerRef);
    EXPECT_EQ(refs->rbnext->rbnext, nullptr);
    acutRelRb(refs);
}

// Test that a plain entity gives no container list and the identity matrix; the point
// may be given without a prompt.
TEST_F(PickTest, NotNestedAndGivenPoint) {
    AcDbObjectId line = addLine(0, 0, 10, 0);
    ads_name ent;
    ads_point pt = {3, 0, 0};
    ads_matrix m;
    resbuf *refs = reinterpret_cast<resbuf *>(0x1);
    ASSERT_EQ(acedNEntSelP(nullptr, ent, pt, 1, m, &refs), RTNORM);
    EXPECT_EQ(idOf(ent), line);
    EXPECT_EQ(refs, nullptr);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0);
    EXPECT_EQ(transcript(), ""); // no prompt
}

// Test that a block that inserts itself does not make the nested pick loop.
TEST_F(PickTest, SelfInsertingBlockEnds) {
    AcDbObjectId loop = addBlock("LOOP");
    addInsert(loop, 1, 0, loop);
    addInsert(loop, 0, 0);
    type({"500,500", ""});
    ads_name ent;
    ads_point pt;
    ads_matrix m;
    resbuf *refs = nullptr;
    EXPECT_EQ(acedNEntSelP(nullptr, ent, pt, 0, m, &refs), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ENTSELPICK);
    EXPECT_EQ(acedNEntSelP(nullptr, ent, pt, 0, m, &refs), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ENTSELNULL);
    EXPECT_EQ(refs, nullptr);
}

} // namespace
