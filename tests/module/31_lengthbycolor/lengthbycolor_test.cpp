// Tests of Lpl, length by colour: the XY measure of lines, lightweight and 2D polylines,
// the colour matching (ByLayer through the layer, ByBlock kept, every colour after a
// dismissed dialog, nothing after a miss), and the printed total.
#include "fixture.h"
#include "edit.h"

#include <string>
#include <vector>

#include "dbpoly.h"
#include "command_line.h"
#include "dbsymtb.h"

namespace {

using tevtest::ModuleTest;

const std::string kColour = "\nУкажите цвет / <ENTER>-все цвета";
const std::string kSelect = "\nSelect objects: ";

std::string total(const char *sixDecimals) {
    return std::string(" \nДлина  = ") + sixDecimals + "\n";
}

bool endsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class LengthByColor : public ModuleTest {
protected:
    AcDbObjectId add2dPolyline(const std::vector<AcGePoint3d> &points, bool closed,
                               int color = 256) {
        AcGePoint3dArray array;
        for (const AcGePoint3d &p : points)
            array.append(p);
        auto *pline = new AcDb2dPolyline(AcDb::k2dSimplePoly, array, 0.0, closed);
        EXPECT_EQ(pline->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
        return append(pline);
    }
    AcDbObjectId add3dPolyline(const std::vector<AcGePoint3d> &points, int color) {
        AcGePoint3dArray array;
        for (const AcGePoint3d &p : points)
            array.append(p);
        auto *pline = new AcDb3dPolyline(AcDb::k3dSimplePoly, array);
        EXPECT_EQ(pline->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
        return append(pline);
    }
    // A block holding one line of length 100, inserted once; the reference has colour.
    void addBlockReference(int color, const AcGePoint3d &at) {
        AcDbBlockTable *table = nullptr;
        ASSERT_EQ(db()->getSymbolTable(table, AcDb::kForWrite), Acad::eOk);
        auto *record = new AcDbBlockTableRecord;
        ASSERT_EQ(record->setName("POST"), Acad::eOk);
        AcDbObjectId block;
        ASSERT_EQ(table->add(block, record), Acad::eOk);
        ASSERT_EQ(record->close(), Acad::eOk);
        ASSERT_EQ(table->close(), Acad::eOk);
        auto *line = new AcDbLine({0, 0, 0}, {100, 0, 0});
        ASSERT_EQ(line->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
        append(line, block);
        auto *ref = new AcDbBlockReference(at, block);
        ASSERT_EQ(ref->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
        append(ref);
    }
    // Lines of length 10 (colour 1), 20 (colour 2), 7 (ByLayer on a layer of colour 1) and
    // 3 (ByBlock), and a circle of colour 1 to pick from without counting.
    void addColouredSet() {
        addLayer("RED", 1);
        addLine({0, 0, 0}, {10, 0, 0}, 1);
        addLine({0, 10, 0}, {20, 10, 0}, 2);
        addLine({0, 20, 0}, {7, 20, 0}, 256, "RED");
        addLine({0, 30, 0}, {3, 30, 0}, 0);
        addCircle({100, 100, 0}, 5, 1);
    }
    // Runs Lpl with the answers at the colour prompt, then selects everything.
    std::string runWith(std::initializer_list<std::string_view> colourAnswers) {
        type(colourAnswers);
        type({"ALL", ""});
        run(lengthByColorCommand);
        return transcript();
    }
};

// --- measuring ------------------------------------------------------------------------------

// Test that a line is measured in XY: (0,0,0)-(3,4,12) is 5, not 13.
TEST_F(LengthByColor, LineMeasuredInXY) {
    AcDbObjectId line = addLine({0, 0, 0}, {3, 4, 12});
    EXPECT_DOUBLE_EQ(lineLength(line), 5.0);
    // Coordinates whose squares overflow, or underflow to nothing, still measure.
    EXPECT_DOUBLE_EQ(lineLength(addLine({-1e200, 0, 0}, {1e200, 0, 0})), 2e200);
    EXPECT_DOUBLE_EQ(lineLength(addLine({0, 0, 0}, {3e-160, 4e-160, 0})), 5e-160);
}

// Test the lightweight measure: an open path of three sides, the same path closed, a
// closed polyline of one vertex and an arc segment measured as its chord.
TEST_F(LengthByColor, LightweightPolylineLengths) {
    std::vector<AcGePoint2d> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_DOUBLE_EQ(lightweightPolylineLength(addPolyline(square, false)), 30.0);
    EXPECT_DOUBLE_EQ(lightweightPolylineLength(addPolyline(square, true)), 40.0);
    EXPECT_DOUBLE_EQ(lightweightPolylineLength(addPolyline({{5, 5}}, true)), 0.0);

    AcDbObjectId arc = addPolyline({{0, 0}, {10, 0}}, false);
    AcDbPolyline *pline = nullptr;
    ASSERT_EQ(acdbOpenObject(pline, arc, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(pline->setBulgeAt(0, 1.0), Acad::eOk); // a half circle over the chord
    ASSERT_EQ(pline->close(), Acad::eOk);
    EXPECT_DOUBLE_EQ(lightweightPolylineLength(arc), 10.0);
}

// Test the 2D measure: no closing segment (a closed square of side 10 measures 30), and a
// polyline without vertices measures 0.
TEST_F(LengthByColor, Polyline2dLengths) {
    std::vector<AcGePoint3d> square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    EXPECT_DOUBLE_EQ(polyline2dLength(add2dPolyline(square, true)), 30.0);
    EXPECT_DOUBLE_EQ(polyline2dLength(add2dPolyline(square, false)), 30.0);
    EXPECT_DOUBLE_EQ(polyline2dLength(add2dPolyline({}, false)), 0.0);
}

// Test that each measure gives 0 for an entity of another class.
TEST_F(LengthByColor, MeasuresOfTheWrongClassAreZero) {
    AcDbObjectId circle = addCircle({0, 0, 0}, 5);
    EXPECT_EQ(lineLength(circle), 0.0);
    EXPECT_EQ(lightweightPolylineLength(circle), 0.0);
    EXPECT_EQ(polyline2dLength(circle), 0.0);
}

// --- the command ------------------------------------------------------------------------------

// Test the whole run with every colour: Enter, the dialog dismissed, everything selected.
// Lines, lightweight and 2D polylines add up; the 3D polyline, the circle and the block
// reference add nothing.
TEST_F(LengthByColor, EveryColourAfterDismissedDialog) {
    addLine({0, 0, 0}, {3, 4, 12}, 1);                                          // 5
    addPolyline({{0, 20}, {10, 20}, {10, 30}, {0, 30}}, true, 2);               // 40
    add2dPolyline({{0, 40, 0}, {10, 40, 0}, {10, 50, 0}, {0, 50, 0}}, true, 3); // 30
    add3dPolyline({{0, 60, 0}, {100, 60, 0}}, 1);
    addCircle({50, 50, 0}, 10, 1);
    addBlockReference(1, {200, 0, 0});
    const std::string text = runWith({"", ""});
    EXPECT_TRUE(endsWith(text, total("75.000000"))) << text;
    EXPECT_FALSE(contains(text, "Выбран индекс цвета")) << text;
}

// Test that picking an entity of colour 1 counts colour 1 and the ByLayer entities on
// layers of colour 1, and nothing else; the pick prints the colour.
TEST_F(LengthByColor, PickedColourCountsOwnAndLayerColour) {
    addColouredSet();
    const std::string text = runWith({"100,105"});
    EXPECT_TRUE(contains(text, kColour + "100,105\n\nВыбран индекс цвета - 1")) << text;
    EXPECT_TRUE(endsWith(text, total("17.000000"))) << text;
}

// Test that picking a ByLayer entity takes its layer's colour, not 256.
TEST_F(LengthByColor, PickedByLayerEntityGivesItsLayerColour) {
    addColouredSet();
    const std::string text = runWith({"3,20"});
    EXPECT_TRUE(contains(text, "Выбран индекс цвета - 1")) << text;
    EXPECT_TRUE(endsWith(text, total("17.000000"))) << text;
}

// Test that picking a ByBlock entity counts the ByBlock entities only.
TEST_F(LengthByColor, PickedByBlockCountsByBlockOnly) {
    addColouredSet();
    const std::string text = runWith({"1,30"});
    EXPECT_TRUE(contains(text, "Выбран индекс цвета - 0")) << text;
    EXPECT_TRUE(endsWith(text, total("3.000000"))) << text;
}

// Test the colours chosen in the dialog: a number counts that colour; ByLayer counts
// nothing, since ByLayer entities are compared by their layer's colour; ByBlock counts the
// ByBlock entities.
TEST_F(LengthByColor, ColoursChosenInTheDialog) {
    addColouredSet();
    EXPECT_TRUE(endsWith(runWith({"", "2"}), total("20.000000"))) << transcript();
    host::CommandLine::reset();
    EXPECT_TRUE(endsWith(runWith({"", "ByLayer"}), total("0.000000"))) << transcript();
    host::CommandLine::reset();
    EXPECT_TRUE(endsWith(runWith({"", "ByBlock"}), total("3.000000"))) << transcript();
}

// Test that a pick in empty space still asks for the selection and matches nothing.
TEST_F(LengthByColor, MissedPickMatchesNothing) {
    addColouredSet();
    const std::string text = runWith({"500,500"});
    EXPECT_TRUE(contains(text, kColour + "500,500\n" + kSelect)) << text;
    EXPECT_FALSE(contains(text, "Выбран")) << text;
    EXPECT_TRUE(endsWith(text, total("0.000000"))) << text;
}

// Test that Escape at the colour prompt ends the command without a word or a selection.
TEST_F(LengthByColor, EscapeAtColourEnds) {
    addColouredSet();
    typeEscape();
    run(lengthByColorCommand);
    EXPECT_EQ(transcript(), kColour + "*Cancel*\n");
}

// Test that an empty selection prints "nothing selected" and no total.
TEST_F(LengthByColor, EmptySelection) {
    addColouredSet();
    type({"", "", ""});
    run(lengthByColorCommand);
    EXPECT_TRUE(endsWith(transcript(), kSelect + "\n \nНичего не выбрано")) << transcript();
    EXPECT_FALSE(contains(transcript(), "Длина")) << transcript();
}

// Test that entities of the picked colour that are not lines or polylines add nothing,
// while a selection of only such entities still prints a total of 0.
TEST_F(LengthByColor, OtherClassesOfTheColourAddNothing) {
    add3dPolyline({{0, 0, 0}, {100, 0, 0}}, 4);
    addCircle({0, 50, 0}, 10, 4);
    addBlockReference(4, {200, 0, 0});
    const std::string text = runWith({"0,60"});
    EXPECT_TRUE(contains(text, "Выбран индекс цвета - 4")) << text;
    EXPECT_TRUE(endsWith(text, total("0.000000"))) << text;
}

// Test that entities on a locked layer are measured: the command only reads them.
TEST_F(LengthByColor, LockedLayerIsMeasured) {
    addLayer("FIXED", 3);
    addLine({0, 0, 0}, {8, 0, 0}, 256, "FIXED");
    addPolyline({{0, 10}, {4, 10}}, false, 3, "FIXED");
    setLayerLocked("FIXED", true);
    const std::string text = runWith({"2,0"});
    EXPECT_TRUE(contains(text, "Выбран индекс цвета - 3")) << text;
    EXPECT_TRUE(endsWith(text, total("12.000000"))) << text;
}

// Test the total's six decimals.
TEST_F(LengthByColor, TotalHasSixDecimals) {
    addLine({0, 0, 0}, {1, 1, 0}, 5);
    const std::string text = runWith({"0.5,0.5"});
    EXPECT_TRUE(endsWith(text, total("1.414214"))) << text;
}

} // namespace
