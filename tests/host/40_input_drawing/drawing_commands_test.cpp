// The host's drawing commands LINE, PLINE, CIRCLE and -LAYER.
#include "dbpl.h"
#include "drawing_commands.h"
#include "drawing_fixture.h"

using drawingtest::DrawingTest;
using drawingtest::occurrences;

namespace {

class DrawCommandTest : public DrawingTest {
protected:
    // Opens an entity for read as T; the caller closes it.
    template <class T> T *open(AcDbObjectId id) {
        T *obj = nullptr;
        EXPECT_EQ(acdbOpenObject(obj, id, AcDb::kForRead), Acad::eOk);
        return obj;
    }
    void expectLine(AcDbObjectId id, AcGePoint3d a, AcGePoint3d b) {
        auto *line = open<AcDbLine>(id);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->startPoint(), a);
        EXPECT_EQ(line->endPoint(), b);
        (void)line->close();
    }
    // Layer record for read checks, or nullptr.
    AcDbLayerTableRecord *openLayer(const char *name) {
        AcDbLayerTable *table = nullptr;
        EXPECT_EQ(db->getSymbolTable(table, AcDb::kForRead), Acad::eOk);
        AcDbLayerTableRecord *rec = nullptr;
        Acad::ErrorStatus es = table->getAt(name, rec, AcDb::kForRead);
        (void)table->close();
        return es == Acad::eOk ? rec : nullptr;
    }
};

// Test LINE with relative points, Undo and Close.
TEST_F(DrawCommandTest, LineSegmentsUndoClose) {
    type({"0,0", "@10,0", "@5,5", "U", "@0,10", "C"});
    host::lineCommand();
    auto ids = modelEntities();
    ASSERT_EQ(ids.size(), 3u);
    expectLine(ids[0], {0, 0, 0}, {10, 0, 0});
    expectLine(ids[1], {10, 0, 0}, {10, 10, 0});
    expectLine(ids[2], {10, 10, 0}, {0, 0, 0});
    EXPECT_EQ(cl->queue()->remaining(), 0u);
}

// Test that Enter and Escape end LINE keeping what was drawn; a word is refused.
TEST_F(DrawCommandTest, LineEndsOnEnterAndEscape) {
    type({"0,0", "1,1", "nope", ""});
    host::lineCommand();
    EXPECT_EQ(modelEntities().size(), 1u);
    EXPECT_EQ(occurrences(transcript(), "Invalid point."), 1);
    type({"5,5", "6,6"});
    escape();
    host::lineCommand();
    EXPECT_EQ(modelEntities().size(), 2u);
    host::lineCommand(); // end of input at the first point: nothing drawn
    EXPECT_EQ(modelEntities().size(), 2u);
}

// Test that "C" after a single line is not a close: it is refused.
TEST_F(DrawCommandTest, LineCloseNeedsTwoSegments) {
    type({"0,0", "1,0", "C", ""});
    host::lineCommand();
    EXPECT_EQ(modelEntities().size(), 1u);
}

// Test PLINE with a width option: widths per segment, the end width carrying on.
TEST_F(DrawCommandTest, PlineWithWidth) {
    type({"0,0", "W", "1", "2", "10,0", "10,10", "W", "", "0.5", "0,10", "C"});
    host::plineCommand();
    auto ids = modelEntities();
    ASSERT_EQ(ids.size(), 1u);
    auto *pl = open<AcDbPolyline>(ids[0]);
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->numVerts(), 4u);
    EXPECT_TRUE(pl->isClosed());
    double s, e;
    ASSERT_EQ(pl->getWidthsAt(0, s, e), Acad::eOk);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 2);
    ASSERT_EQ(pl->getWidthsAt(1, s, e), Acad::eOk);
    EXPECT_EQ(s, 2);
    EXPECT_EQ(e, 2);
    ASSERT_EQ(pl->getWidthsAt(2, s, e), Acad::eOk); // "W" then Enter keeps 2, end 0.5
    EXPECT_EQ(s, 2);
    EXPECT_EQ(e, 0.5);
    AcGePoint2d p;
    ASSERT_EQ(pl->getPointAt(2, p), Acad::eOk);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 10);
    (void)pl->close();
    EXPECT_NE(transcript().find("Current line-width is 0.0000"), std::string::npos);
}

// Test that PLINE keeps an open polyline on Enter and makes nothing of one point.
TEST_F(DrawCommandTest, PlineOpenAndTooShort) {
    type({"0,0", "5,0", "U", "6,0", "7,1", ""});
    host::plineCommand();
    auto ids = modelEntities();
    ASSERT_EQ(ids.size(), 1u);
    auto *pl = open<AcDbPolyline>(ids[0]);
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->numVerts(), 3u);
    EXPECT_FALSE(pl->isClosed());
    (void)pl->close();
    type({"0,0", ""});
    host::plineCommand();
    EXPECT_EQ(modelEntities().size(), 1u);
}

// Test CIRCLE by radius and by a point, and its refusals.
TEST_F(DrawCommandTest, Circle) {
    type({"5,5", "0", "-2", "big", "2.5", "0,0", "@3,4"});
    host::circleCommand();
    host::circleCommand();
    auto ids = modelEntities();
    ASSERT_EQ(ids.size(), 2u);
    auto *c = open<AcDbCircle>(ids[0]);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->center(), AcGePoint3d(5, 5, 0));
    EXPECT_EQ(c->radius(), 2.5);
    (void)c->close();
    c = open<AcDbCircle>(ids[1]);
    ASSERT_NE(c, nullptr);
    EXPECT_DOUBLE_EQ(c->radius(), 5);
    (void)c->close();
    EXPECT_EQ(occurrences(transcript(), "Value must be positive and nonzero."), 2);
    EXPECT_EQ(occurrences(transcript(), "Requires numeric distance or second point."), 1);
}

// Test -LAYER New, Color, Lock, Unlock and Set, and entities then drawn on the layer.
TEST_F(DrawCommandTest, LayerOptions) {
    type({"N", "Walls,Doors", "C", "red", "walls", "LO", "Doors", "S", "Walls", ""});
    host::layerCommand();
    auto *walls = openLayer("Walls");
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(walls->color().colorIndex(), 1);
    EXPECT_FALSE(walls->isLocked());
    (void)walls->close();
    auto *doors = openLayer("Doors");
    ASSERT_NE(doors, nullptr);
    EXPECT_TRUE(doors->isLocked());
    EXPECT_EQ(doors->color().colorIndex(), 7);
    (void)doors->close();
    EXPECT_EQ(db->clayer(), [&] {
        AcDbLayerTable *t = nullptr;
        EXPECT_EQ(db->getSymbolTable(t, AcDb::kForRead), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(t->getAt("Walls", id), Acad::eOk);
        (void)t->close();
        return id;
    }());
    type({"U", "doors", "M", "Roof", "?", "", ""});
    host::layerCommand();
    doors = openLayer("Doors");
    ASSERT_NE(doors, nullptr);
    EXPECT_FALSE(doors->isLocked());
    (void)doors->close();
    // Layers made in the session have the drawing's Continuous linetype, listed by its name.
    EXPECT_EQ(occurrences(transcript(), "Continuous\n"), 4);
    EXPECT_EQ(occurrences(transcript(), "CONTINUOUS"), 0);
}

// Test -LAYER's refusals: an existing name, an unknown layer, a bad colour, an unknown
// option.
TEST_F(DrawCommandTest, LayerRefusals) {
    type({"N", "0", "C", "0", "3", "Nowhere", "S", "Nowhere", "X", ""});
    host::layerCommand();
    std::string t = transcript();
    EXPECT_EQ(occurrences(t, "already exists"), 1);
    EXPECT_EQ(occurrences(t, "Invalid color."), 1);
    EXPECT_EQ(occurrences(t, "No matching layer names found: Nowhere"), 1);
    EXPECT_EQ(occurrences(t, "Cannot find layer \"Nowhere\""), 1);
    EXPECT_EQ(occurrences(t, "Invalid option keyword."), 1);
}

// Test that without a drawing each command says so and reads nothing.
TEST_F(DrawCommandTest, NoDrawing) {
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    type({"0,0"});
    host::lineCommand();
    host::circleCommand();
    EXPECT_EQ(cl->queue()->remaining(), 1u);
    EXPECT_EQ(occurrences(transcript(), "No drawing is open."), 2);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
}

} // namespace
