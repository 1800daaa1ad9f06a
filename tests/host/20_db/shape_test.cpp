// shape_test.cpp - every kind kept as the file's groups has a shape: a pick on its geometry
// finds it, a pick off it does not, and a window around it selects it.
#include "db_fixture.h"

#include "access.h"

#include <deque>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

using tev::db::ObjectAccess;

using Record = std::initializer_list<std::pair<int, const char *>>;

class Shapes : public DbTest {
protected:
    // An entity the database keeps as these records' bytes (the first names its kind).
    AcDbObjectId addKept(std::initializer_list<Record> records) {
        std::string &bytes = sources.emplace_back();
        for (const Record &r : records)
            for (auto [code, value] : r)
                bytes += std::to_string(code) + "\n" + value + "\n";
        auto *ent = new AcDbUnknownEntity(records.begin()->begin()->second);
        EXPECT_TRUE(ObjectAccess::setSource(*ent, bytes));
        return add(ent);
    }
    AcDbObjectId pick(double x, double y) {
        return tev::db::pickEntity(*db, ms, AcGePoint2d(x, y), 0.2);
    }
    std::deque<std::string> sources; // the bytes outlive the database's use of them
};

struct Case {
    const char *kind;
    std::initializer_list<Record> records;
    AcGePoint2d on, off;
};

// Test a pick on each kind's geometry finds it and a pick beside it does not; each sits
// alone around (0, 0) while the others are erased.
TEST_F(Shapes, EveryKeptKindIsPickedOnItsGeometry) {
    AcDbObjectId block = addBlock("DIMBLOCK");
    addLine(0, 0, 10, 0, block);
    const Case cases[] = {
        {"hatch, inside its area",
         {{{0, "HATCH"},
           {70, "1"},
           {91, "1"},
           {92, "2"},
           {72, "0"},
           {73, "1"},
           {93, "4"},
           {10, "0"},
           {20, "0"},
           {10, "10"},
           {20, "0"},
           {10, "10"},
           {20, "10"},
           {10, "0"},
           {20, "10"}}},
         {5, 5},
         {11, 5}},
        {"spline, on its curve",
         {{{0, "SPLINE"},
           {71, "1"},
           {10, "0"},
           {20, "0"},
           {30, "0"},
           {10, "10"},
           {20, "0"},
           {30, "0"}}},
         {5, 0.1},
         {5, 1}},
        {"ellipse, on its rim not its centre",
         {{{0, "ELLIPSE"},
           {10, "0"},
           {20, "0"},
           {30, "0"},
           {11, "4"},
           {21, "0"},
           {31, "0"},
           {40, "0.5"}}},
         {0, 2},
         {0, 0}},
        {"paragraph text, inside its box",
         {{{0, "MTEXT"}, {10, "0"}, {20, "0"}, {30, "0"}, {40, "1"}, {71, "7"}, {1, "ABCDEF"}}},
         {2, 0.5},
         {2, -1}},
        {"leader, along its line",
         {{{0, "LEADER"},
           {76, "2"},
           {10, "0"},
           {20, "0"},
           {30, "0"},
           {10, "10"},
           {20, "10"},
           {30, "0"}}},
         {5, 5},
         {5, 3}},
        {"solid, inside its corners",
         {{{0, "SOLID"},
           {10, "0"},
           {20, "0"},
           {11, "4"},
           {21, "0"},
           {12, "0"},
           {22, "4"},
           {13, "4"},
           {23, "4"}}},
         {2, 2},
         {5, 5}},
        {"trace, inside",
         {{{0, "TRACE"},
           {10, "0"},
           {20, "0"},
           {11, "4"},
           {21, "0"},
           {12, "0"},
           {22, "1"},
           {13, "4"},
           {23, "1"}}},
         {1, 0.5},
         {1, 2}},
        {"3D face, on an edge shown",
         {{{0, "3DFACE"},
           {70, "4"},
           {10, "0"},
           {20, "0"},
           {11, "4"},
           {21, "0"},
           {12, "4"},
           {22, "4"},
           {13, "0"},
           {23, "4"}}},
         {2, 0},
         {2, 4}}, // the third edge is hidden
        {"point", {{{0, "POINT"}, {10, "3"}, {20, "3"}, {30, "0"}}}, {3.1, 3}, {3.5, 3}},
        {"ray, far along it but not behind it",
         {{{0, "RAY"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"}}},
         {5000, 0},
         {-5, 0}},
        {"construction line, both ways",
         {{{0, "XLINE"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "0"}, {21, "1"}, {31, "0"}}},
         {0, -7000},
         {1, 0}},
        {"polyface mesh, on a face's edge",
         {{{0, "POLYLINE"}, {70, "64"}, {71, "3"}, {72, "1"}},
          {{0, "VERTEX"}, {10, "0"}, {20, "0"}, {30, "0"}, {70, "192"}},
          {{0, "VERTEX"}, {10, "6"}, {20, "0"}, {30, "0"}, {70, "192"}},
          {{0, "VERTEX"}, {10, "0"}, {20, "6"}, {30, "0"}, {70, "192"}},
          {{0, "VERTEX"},
           {10, "0"},
           {20, "0"},
           {30, "0"},
           {70, "128"},
           {71, "1"},
           {72, "2"},
           {73, "3"}},
          {{0, "SEQEND"}}},
         {3, 3},
         {1, 1}},
        {"attribute definition on its own, by its tag's box",
         {{{0, "ATTDEF"}, {10, "0"}, {20, "0"}, {30, "0"}, {40, "1"}, {1, ""}, {2, "TAG"}}},
         {1, 0.5},
         {1, 2}},
        {"dimension, through its block",
         {{{0, "DIMENSION"}, {2, "DIMBLOCK"}, {10, "0"}, {20, "0"}, {30, "0"}}},
         {5, 0},
         {5, 1}},
    };
    for (const Case &c : cases) {
        AcDbObjectId id = addKept(c.records);
        EXPECT_EQ(pick(c.on.x, c.on.y), id) << c.kind;
        EXPECT_TRUE(pick(c.off.x, c.off.y).isNull()) << c.kind;
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(o->erase(), Acad::eOk);
        ASSERT_EQ(o->close(), Acad::eOk);
    }
}

// Test the text of a reference's attributes is the reference's: a pick on it finds the
// reference, a window must hold it too; an invisible attribute and a definition inside the
// block (the references' prompt) are no part of it.
TEST_F(Shapes, AttributesAreTheirReferences) {
    AcDbObjectId block = addBlock("TAG");
    add(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1), block);
    auto *def = new AcDbUnknownEntity("ATTDEF");
    ASSERT_TRUE(ObjectAccess::setSource(
        *def, sources.emplace_back("0\nATTDEF\n10\n0\n20\n-8\n30\n0\n40\n1\n2\nP\n")));
    add(def, block);
    std::string &bytes = sources.emplace_back(
        "0\nINSERT\n2\nTAG\n10\n20\n20\n0\n30\n0\n66\n1\n"
        "0\nATTRIB\n10\n20\n20\n-4\n30\n0\n40\n1\n1\nRoom\n2\nNAME\n70\n0\n"
        "0\nATTRIB\n10\n30\n20\n-4\n30\n0\n40\n1\n1\nHidden\n2\nH\n70\n1\n0\nSEQEND\n");
    auto *ref = new AcDbBlockReference(AcGePoint3d(20, 0, 0), block);
    ASSERT_TRUE(ObjectAccess::setSource(*ref, bytes));
    AcDbObjectId insert = add(ref);
    EXPECT_EQ(pick(21, -3.5), insert);
    EXPECT_TRUE(pick(31, -3.5).isNull()) << "invisible";
    EXPECT_TRUE(pick(20.5, -7.5).isNull()) << "a definition's prompt";
    tev::db::NestedPick nested;
    EXPECT_FALSE(tev::db::pickNested(*db, ms, {20.5, -7.5}, 0.2, nested)) << "nor inside";
    using Ids = std::vector<AcDbObjectId>;
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {18, -5}, {24, 2}, false), (Ids{insert}));
    EXPECT_TRUE(tev::db::selectWindow(*db, ms, {18, -2}, {24, 2}, false).empty());
}

// Test a window around bounded kept kinds selects them all, a window that cuts them selects
// none, a line without end is never inside a window, and a crossing anywhere on it finds it.
TEST_F(Shapes, WindowsAndCrossingsSeeKeptKinds) {
    AcDbObjectId spline = addKept({{{0, "SPLINE"},
                                    {71, "1"},
                                    {10, "0"},
                                    {20, "0"},
                                    {30, "0"},
                                    {10, "10"},
                                    {20, "0"},
                                    {30, "0"}}});
    AcDbObjectId text =
        addKept({{{0, "MTEXT"}, {10, "0"}, {20, "5"}, {30, "0"}, {40, "1"}, {1, "AB"}}});
    AcDbObjectId ray =
        addKept({{{0, "RAY"}, {10, "0"}, {20, "-5"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"}}});
    using Ids = std::vector<AcDbObjectId>;
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {-1, -6}, {11, 7}, false), (Ids{spline, text}));
    EXPECT_TRUE(tev::db::selectWindow(*db, ms, {1, -1}, {11, 7}, false).empty());
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {1, -1}, {11, 7}, true), (Ids{spline, text}));
    EXPECT_EQ(tev::db::selectWindow(*db, ms, {900, -6}, {901, -4}, true), (Ids{ray}));
    AcGePoint2d lo, hi;
    ASSERT_TRUE(tev::db::spaceExtents(*db, ms, lo, hi));
    EXPECT_NEAR(lo.y, -5, 1e-9);
    EXPECT_LT(hi.x, 11) << "the ray's base counts, not its far end";
}

} // namespace
