// Selection sets: the "Select objects:" prompt with each method, and the set calls.
#include "drawing_fixture.h"
#include "selection_sets.h"
#include "sysvars.h"

#include <array>
#include <set>

using drawingtest::DrawingTest;
using drawingtest::occurrences;

namespace {

class SelectTest : public DrawingTest {
protected:
    // Runs the interactive selection; on RTNORM returns the members and frees the set.
    int select(std::vector<AcDbObjectId> &out) {
        ads_name ss;
        int rc = acedSSGet(nullptr, nullptr, nullptr, nullptr, ss);
        out.clear();
        if (rc != RTNORM)
            return rc;
        long n = -1;
        EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
        for (long i = 0; i < n; ++i) {
            ads_name e;
            EXPECT_EQ(acedSSName(ss, i, e), RTNORM);
            out.push_back(idOf(e));
        }
        EXPECT_EQ(acedSSFree(ss), RTNORM);
        return rc;
    }
    using Ids = std::vector<AcDbObjectId>;
};

// Test single picks with the host's counts, then Enter.
TEST_F(SelectTest, SinglePicksAndCounts) {
    AcDbObjectId a = addLine(0, 0, 10, 0);
    AcDbObjectId b = addLine(0, 5, 10, 5);
    type({"5,0", "5,5", "5,0", "77,77", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a, b}));
    std::string t = transcript();
    EXPECT_EQ(t, "\nSelect objects: 5,0\n1 found"
                 "\nSelect objects: 5,5\n1 found, 2 total"
                 "\nSelect objects: 5,0\n1 found (1 duplicate), 2 total"
                 "\nSelect objects: 77,77\n0 found, 2 total"
                 "\nSelect objects: \n");
}

// Test Window (wholly inside) against Crossing (touching too).
TEST_F(SelectTest, WindowAndCrossing) {
    AcDbObjectId inside = addLine(1, 1, 2, 2);
    AcDbObjectId across = addLine(1, 1, 20, 1);
    addLine(50, 50, 60, 60);
    type({"W", "0,0", "5,5", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{inside}));
    type({"c", "5,5", "0,0", ""});
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(std::set<AcDbObjectId>(got.begin(), got.end()),
              (std::set<AcDbObjectId>{inside, across}));
}

// Test ALL: the current space without frozen layers.
TEST_F(SelectTest, AllSkipsFrozen) {
    addLayer("Ice", /*frozen=*/true);
    AcDbObjectId a = addLine(0, 0, 1, 1);
    addLine(0, 0, 2, 2, "Ice");
    AcDbObjectId c = addCircle(5, 5, 1);
    addLine(0, 0, 3, 3, nullptr, db->paperSpaceId());
    type({"ALL", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a, c}));
    EXPECT_NE(transcript().find("2 found"), std::string::npos);
}

// Test Last and Previous.
TEST_F(SelectTest, LastAndPrevious) {
    AcDbObjectId a = addLine(0, 0, 1, 1);
    AcDbObjectId b = addLine(5, 5, 6, 6);
    type({"L", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{b}));
    type({"0.5,0.5", "P", ""});
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a, b}));
    type({"P", ""});
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a, b}));
}

// Test Fence: the entities the fence line touches.
TEST_F(SelectTest, Fence) {
    AcDbObjectId v1 = addLine(1, -1, 1, 1);
    AcDbObjectId v2 = addLine(3, -1, 3, 1);
    addLine(10, -1, 10, 1);
    type({"F", "0,0", "5,0", "", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{v1, v2}));
}

// Test the polygon methods, typed and through acedSSGet with a point list: a triangle
// whose bounding box holds all three lines. WP takes the line wholly inside, CP also the
// one crossing an edge; the line inside the box but outside the triangle never; fewer
// than three corners select nothing.
TEST_F(SelectTest, WindowAndCrossingPolygons) {
    AcDbObjectId inside = addLine(4, 1, 6, 1);
    AcDbObjectId crossing = addLine(5, 4, 5, 12);
    addLine(0.5, 9, 1.5, 9); // in the box, outside the triangle
    const Ids wp{inside}, cp{inside, crossing};
    Ids got;
    for (const auto &[method, expected] : {std::pair{"WP", wp}, std::pair{"cpolygon", cp}}) {
        type({method, "0,0", "10,0", "5,10", "", ""});
        ASSERT_EQ(select(got), RTNORM) << method;
        EXPECT_EQ(got, expected) << method;
    }
    resbuf c1{}, c2{}, c3{};
    const std::array<std::pair<resbuf *, std::array<double, 2>>, 3> corners{
        {{&c1, {0, 0}}, {&c2, {10, 0}}, {&c3, {5, 10}}}};
    for (const auto &[rb, xy] : corners) {
        rb->restype = RTPOINT;
        rb->resval.rpoint[X] = xy[0];
        rb->resval.rpoint[Y] = xy[1];
        rb->resval.rpoint[Z] = 0;
    }
    c1.rbnext = &c2;
    c2.rbnext = &c3;
    for (const auto &[mode, expected] : {std::pair{"WP", wp}, std::pair{"CP", cp}}) {
        ads_name ss;
        ASSERT_EQ(acedSSGet(mode, &c1, nullptr, nullptr, ss), RTNORM) << mode;
        long n = 0;
        EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
        EXPECT_EQ(n, static_cast<long>(expected.size())) << mode;
        EXPECT_EQ(acedSSFree(ss), RTNORM);
    }
    c2.rbnext = nullptr;
    ads_name ss;
    EXPECT_EQ(acedSSGet("CP", &c1, nullptr, nullptr, ss), RTERROR);
    type({"WP", "0,0", "10,0", "", ""});
    EXPECT_EQ(select(got), RTERROR); // nothing selected: no set
    EXPECT_NE(transcript().find("A polygon needs three points or more."), std::string::npos);
}

// Test Remove, Add and Undo.
TEST_F(SelectTest, RemoveAddUndo) {
    AcDbObjectId a = addLine(0, 0, 1, 0);
    addLine(0, 5, 1, 5);
    AcDbObjectId c = addLine(0, 9, 1, 9);
    // ALL; remove b; add b back; undo that; remove a; undo that; finish.
    type({"ALL", "R", "0.5,5", "A", "0.5,5", "U", "r", "0.5,0", "u", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a, c}));
    std::string t = transcript();
    EXPECT_NE(t.find("\nRemove objects: 0.5,5\n1 found, 1 removed, 2 total"), std::string::npos);
    EXPECT_NE(t.find("\nSelect objects: 0.5,5\n1 found, 3 total"), std::string::npos);
    EXPECT_EQ(occurrences(t, "Remove objects: "), 5);
}

// Test that ALL taken whole as the first step undoes to nothing, and that a later ALL
// still finds what is already selected as duplicates.
TEST_F(SelectTest, AllUndoneThenAddedAgain) {
    AcDbObjectId a = addLine(0, 0, 1, 0);
    AcDbObjectId b = addLine(0, 5, 1, 5);
    type({"ALL", "U", "0.5,5", "ALL", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{b, a}));
    const std::string t = transcript();
    EXPECT_NE(t.find("\nSelect objects: ALL\n2 found (1 duplicate), 2 total"), std::string::npos)
        << t;
    EXPECT_NE(t.find("\nSelect objects: 0.5,5\n1 found, 1 total"), std::string::npos) << t;
}

// Test that Undo with nothing to undo says so and keeps going.
TEST_F(SelectTest, UndoWithNothingToUndo) {
    AcDbObjectId a = addLine(0, 0, 1, 0);
    type({"U", "0.5,0", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a}));
    EXPECT_EQ(occurrences(transcript(), "Everything has been undone."), 1);
}

// Test the empty selection: RTERROR and no set; Escape: RTCAN and no set.
TEST_F(SelectTest, EmptyAndEscape) {
    addLine(0, 0, 1, 0);
    type({"40,40", ""});
    ads_name ss = {9, 9};
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTERROR);
    EXPECT_EQ(cl->allocatedSelectionSets(), 0u);
    type({"ALL"});
    escape();
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN);
    EXPECT_EQ(cl->allocatedSelectionSets(), 0u);
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN); // end of input
}

// Test that Escape inside a window's corners cancels the whole selection.
TEST_F(SelectTest, EscapeInsideWindow) {
    addLine(0, 0, 1, 0);
    type({"0.5,0", "W", "0,0"});
    escape();
    ads_name ss;
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN);
}

// Test that an unknown word is refused with the options and the prompt stands.
TEST_F(SelectTest, UnknownWord) {
    AcDbObjectId a = addLine(0, 0, 1, 0);
    type({"CIRCLE", "0.5,0", ""});
    Ids got;
    ASSERT_EQ(select(got), RTNORM);
    EXPECT_EQ(got, (Ids{a}));
    EXPECT_EQ(occurrences(transcript(), "*Invalid selection*"), 1);
}

// Test the set calls on bad names, an index out of range, and freeing twice.
TEST_F(SelectTest, SetCallsRefuseBadUse) {
    addLine(0, 0, 1, 0);
    type({"ALL", ""});
    ads_name ss;
    ASSERT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    ads_name e;
    EXPECT_EQ(acedSSName(ss, 1, e), RTERROR);
    EXPECT_EQ(acedSSName(ss, -1, e), RTERROR);
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_EQ(acedSSFree(ss), RTERROR);
    long n = 5;
    EXPECT_EQ(acedSSLength(ss, &n), RTERROR);
    EXPECT_EQ(n, 5);
    ads_name bogus = {1, 1};
    EXPECT_EQ(acedSSLength(bogus, &n), RTERROR);
}

// Test the limit of 128 live sets: the next gives ERRNO 3; freeing one makes room.
TEST_F(SelectTest, AtMost128Sets) {
    addLine(0, 0, 1, 0);
    std::vector<std::array<long, 2>> names;
    for (std::size_t i = 0; i < host::kMaxSelectionSets; ++i) {
        ads_name ss;
        ASSERT_EQ(acedSSGet("X", nullptr, nullptr, nullptr, ss), RTNORM) << i;
        names.push_back({ss[0], ss[1]});
    }
    EXPECT_EQ(cl->allocatedSelectionSets(), host::kMaxSelectionSets);
    ads_name extra;
    EXPECT_EQ(acedSSGet("X", nullptr, nullptr, nullptr, extra), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_ESSMAX);
    ads_name first = {names[0][0], names[0][1]};
    ASSERT_EQ(acedSSFree(first), RTNORM);
    ASSERT_EQ(acedSSGet("X", nullptr, nullptr, nullptr, extra), RTNORM);
    EXPECT_FALSE(extra[0] == first[0] && extra[1] == first[1]); // names are not reused
    EXPECT_EQ(acedSSFree(extra), RTNORM);
    for (std::size_t i = 1; i < names.size(); ++i) {
        ads_name ss = {names[i][0], names[i][1]};
        EXPECT_EQ(acedSSFree(ss), RTNORM);
    }
}

// Test the modes that take no prompt: a point, a window, Last, and an unknown mode.
TEST_F(SelectTest, ModesWithoutPrompt) {
    AcDbObjectId a = addLine(0, 0, 1, 0);
    AcDbObjectId b = addLine(5, 5, 6, 6);
    ads_point p1 = {0.5, 0, 0}, c1 = {4, 4, 0}, c2 = {7, 7, 0};
    ads_name ss, e;
    ASSERT_EQ(acedSSGet(nullptr, p1, nullptr, nullptr, ss), RTNORM);
    ASSERT_EQ(acedSSName(ss, 0, e), RTNORM);
    EXPECT_EQ(idOf(e), a);
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    ASSERT_EQ(acedSSGet("W", c1, c2, nullptr, ss), RTNORM);
    ASSERT_EQ(acedSSName(ss, 0, e), RTNORM);
    EXPECT_EQ(idOf(e), b);
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_EQ(acedSSGet("Q", nullptr, nullptr, nullptr, ss), RTERROR);
    EXPECT_EQ(host::currentErrno(), OL_EBADSSMOD);
    EXPECT_EQ(transcript(), "");
}

// Test that a large selection is taken whole (ALL over many entities).
TEST_F(SelectTest, ManyEntities) {
    constexpr int kCount = 20000;
    for (int i = 0; i < kCount; ++i)
        addLine(i, 0, i + 0.5, 0);
    type({"ALL", "R", "0.25,0", ""});
    ads_name ss;
    ASSERT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    long n = 0;
    ASSERT_EQ(acedSSLength(ss, &n), RTNORM);
    EXPECT_EQ(n, kCount - 1);
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_NE(transcript().find("20000 found"), std::string::npos);
}

} // namespace
