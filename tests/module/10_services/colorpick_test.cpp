// Tests of colour picking: the pick (colour of an entity, through its layer when ByLayer;
// the three pick codes), the layer lookup and the colour dialog step.
#include "fixture.h"
#include "services.h"

#include "adscodes.h"
#include "acedads.h"
#include "command_line.h"
#include "dbapserv.h"

namespace {

using tevtest::cp1251;
using tevtest::ModuleTest;

const std::string kPrompt = "\nУкажите цвет:";

// The transcript of the prompt answered with answer.
std::string asked(const std::string &answer) {
    return kPrompt + answer + "\n";
}

void setCeColor(const char *text) {
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<char *>(text);
    ASSERT_EQ(acedSetVar("CECOLOR", &rb), RTNORM);
}

int pick() {
    return pickColorIndex(cp1251(kPrompt).c_str());
}

// Test that picking an entity answers its own colour and says so; ByBlock stays 0.
TEST_F(ModuleTest, PickAnswersTheEntitysColour) {
    addLine({0, 0, 0}, {10, 0, 0}, 3);
    addLine({0, 5, 0}, {10, 5, 0}, 0);
    type({"5,0", "5,5"});
    EXPECT_EQ(pick(), 3);
    EXPECT_EQ(pick(), 0);
    EXPECT_EQ(transcript(), asked("5,0") + "\nВыбран индекс цвета - 3" + asked("5,5") +
                                "\nВыбран индекс цвета - 0");
}

// Test that a ByLayer entity answers its layer's colour, not 256, and leaves the entity as
// it was.
TEST_F(ModuleTest, PickResolvesByLayerThroughTheLayer) {
    addLayer("Walls", 5);
    AcDbObjectId id = addLine({0, 0, 0}, {10, 0, 0}, 256, "Walls");
    type({"5,0"});
    EXPECT_EQ(pick(), 5);
    EXPECT_EQ(transcript(), asked("5,0") + "\nВыбран индекс цвета - 5");
    EXPECT_EQ(colorOf(id), 256);
    EXPECT_FALSE(isHighlighted(id));
}

// Test that Enter, a miss and Escape answer 300, 400 and 500 and print nothing of their own.
TEST_F(ModuleTest, PickCodesAreSilent) {
    addLine({0, 0, 0}, {10, 0, 0}, 3);
    type({"", "50,50"});
    typeEscape();
    EXPECT_EQ(pick(), kPickEnter);
    EXPECT_EQ(pick(), kPickMissed);
    EXPECT_EQ(pick(), kPickCancel);
    EXPECT_EQ(transcript(), asked("") + asked("50,50") + asked("*Cancel*"));
}

// Test that an entity on a locked layer still shows its colour: the pick only reads it.
TEST_F(ModuleTest, PickReadsAnEntityOnALockedLayer) {
    addLayer("Locked", 6, /*locked=*/true);
    addLine({0, 0, 0}, {10, 0, 0}, 256, "Locked");
    type({"5,0"});
    EXPECT_EQ(pick(), 6);
}

// Test that an entity held open for write elsewhere, which the pick cannot open at all,
// counts as a miss, with nothing printed.
TEST_F(ModuleTest, PickOfAnEntityThatCannotBeOpened) {
    AcDbObjectId id = addLine({0, 0, 0}, {10, 0, 0}, 3);
    AcDbEntity *held = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(held, id, AcDb::kForWrite), Acad::eOk);
    type({"5,0"});
    EXPECT_EQ(pick(), kPickMissed);
    EXPECT_EQ(transcript(), asked("5,0"));
    EXPECT_EQ(held->close(), Acad::eOk);
    EXPECT_FALSE(takeMisuseReports().empty()); // the refused second write open
}

// Test that a layer's colour is looked up by name (any case), and that a name the drawing
// does not have answers ByLayer.
TEST_F(ModuleTest, LayerColorIndexByName) {
    addLayer("Walls", 5);
    addLayer("Doors", 200);
    EXPECT_EQ(layerColorIndex("Walls"), 5);
    EXPECT_EQ(layerColorIndex("DOORS"), 200);
    EXPECT_EQ(layerColorIndex("0"), 7);
    EXPECT_EQ(layerColorIndex("NoSuchLayer"), 256);
    EXPECT_EQ(layerColorIndex(nullptr), 256);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    EXPECT_EQ(layerColorIndex("Walls"), 256);
    acdbHostApplicationServices()->setWorkingDatabase(db());
    EXPECT_EQ(openObjects(), 0u);
}

// Test that a confirmed colour is left in the variable, ByLayer and ByBlock as 256 and 0,
// and that a dismissed dialog leaves 300.
TEST_F(ModuleTest, ColourDialogLeavesTheChosenColour) {
    type({"1", "bylayer", "byblock", ""});
    int color = kPickEnter;
    chooseColorByDialog(color);
    EXPECT_EQ(color, 1);
    color = kPickEnter;
    chooseColorByDialog(color);
    EXPECT_EQ(color, 256);
    color = kPickEnter;
    chooseColorByDialog(color);
    EXPECT_EQ(color, 0);
    color = kPickEnter;
    chooseColorByDialog(color);
    EXPECT_EQ(color, kPickEnter);
    EXPECT_EQ(answersLeft(), 0u);
}

// Test that Escape in the dialog dismisses it too.
TEST_F(ModuleTest, ColourDialogEscapeLeavesTheColour) {
    typeEscape();
    int color = kPickEnter;
    chooseColorByDialog(color);
    EXPECT_EQ(color, kPickEnter);
}

// Test that the current colour number from CECOLOR reaches the dialog as the layer's
// colour, and that a CECOLOR word reads as 0 (no number).
TEST_F(ModuleTest, ColourDialogGetsTheCurrentColourNumber) {
    setCeColor("5");
    type({""});
    int color = 256; // the dialog shows the layer colour only beside ByLayer
    chooseColorByDialog(color);
    EXPECT_NE(transcript().find("<ByLayer (5)>"), std::string::npos) << transcript();

    host::CommandLine::current().takeCaptured();
    setCeColor("BYLAYER");
    type({""});
    chooseColorByDialog(color);
    EXPECT_NE(transcript().find("<ByLayer>"), std::string::npos) << transcript();
}

} // namespace
