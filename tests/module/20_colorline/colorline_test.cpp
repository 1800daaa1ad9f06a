// Tests of Cl, the colour line chain: the colour from a pick, a layer or the dialog, the
// chain of separate lines, how it ends, and a segment the allocator cannot give.
#include "fixture.h"
#include "draw.h"

#include "adscodes.h"
#include "acedads.h"
#include "allocator.h"
#include "command_line.h"

#include <memory>

namespace {

using tevtest::ModuleTest;

const std::string kColor = "\nУкажите цвет / <ENTER>-все цвета:";
const std::string kFirst = "\nУкажите первую точку:";
const std::string kNext = "\nУкажите следующую точку:";
const std::string kDialog = "\nEnter color name or number (1-255), ByLayer or ByBlock <none>: ";
const std::string kNoMemory = "\n** ALERT: Не достаточно памяти, чтобы создать линию! **\n";

// A prompt and the answer the user gave to it, as the transcript shows them.
std::string at(const std::string &prompt, const std::string &answer) {
    return prompt + answer + "\n";
}
std::string picked(int color) {
    return "\nВыбран индекс цвета - " + std::to_string(color);
}

void setCeColor(const char *text) {
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<char *>(text);
    ASSERT_EQ(acedSetVar("CECOLOR", &rb), RTNORM);
}

class ColorLine : public ModuleTest {};

// Test that Escape at the colour prompt ends the command before any point is asked for.
TEST_F(ColorLine, EscapeAtTheColourPromptEndsIt) {
    typeEscape();
    type({"0,0"});
    run(colorLineCommand);
    EXPECT_EQ(transcript(), at(kColor, "*Cancel*"));
    EXPECT_EQ(answersLeft(), 1u);
    EXPECT_TRUE(lines().empty());
}

// Test that three points and Enter make two separate lines in the picked colour, the
// second starting where the first ends.
TEST_F(ColorLine, PickedColourChain) {
    AcDbObjectId sample = addLine({100, 0, 0}, {110, 0, 0}, 3);
    type({"105,0", "0,0", "10,0", "10,10", ""});
    run(colorLineCommand);
    EXPECT_EQ(transcript(), at(kColor, "105,0") + picked(3) + at(kFirst, "0,0") +
                                at(kNext, "10,0") + at(kNext, "10,10") + at(kNext, ""));
    auto ids = entities(AcDbLine::desc());
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0], sample);
    auto first = lineData(ids[1]);
    auto second = lineData(ids[2]);
    EXPECT_PRED2(samePoint, first.start, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, first.end, AcGePoint3d(10, 0, 0));
    EXPECT_PRED2(samePoint, second.start, AcGePoint3d(10, 0, 0));
    EXPECT_PRED2(samePoint, second.end, AcGePoint3d(10, 10, 0));
    EXPECT_EQ(first.color, 3);
    EXPECT_EQ(second.color, 3);
}

// Test that points keep their Z and come as typed, relative ones included.
TEST_F(ColorLine, PointsAsTyped) {
    addLine({100, 0, 0}, {110, 0, 0}, 2);
    type({"105,0", "1,2,3", "@4,5,6", ""});
    run(colorLineCommand);
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_PRED2(samePoint, all[1].start, AcGePoint3d(1, 2, 3));
    EXPECT_PRED2(samePoint, all[1].end, AcGePoint3d(5, 7, 9));
}

// Test that a ByLayer pick gives every segment the layer's colour, set explicitly.
TEST_F(ColorLine, ByLayerPickGivesTheLayersColour) {
    addLayer("Walls", 5);
    addLine({100, 0, 0}, {110, 0, 0}, 256, "Walls");
    type({"105,0", "0,0", "1,0", "2,0", ""});
    run(colorLineCommand);
    auto all = lines();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].color, 5);
    EXPECT_EQ(all[2].color, 5);
    EXPECT_EQ(all[1].layer, "0"); // the drawing's current layer, not the picked one
}

// Test that Enter opens the colour dialog, and the confirmed colour goes to every segment.
TEST_F(ColorLine, EnterThenDialogColour) {
    type({"", "1", "0,0", "5,5", "9,1", ""});
    run(colorLineCommand);
    EXPECT_EQ(transcript(), at(kColor, "") + at(kDialog, "1") + at(kFirst, "0,0") +
                                at(kNext, "5,5") + at(kNext, "9,1") + at(kNext, ""));
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].color, 1);
    EXPECT_EQ(all[1].color, 1);
}

// Test that ByLayer and ByBlock confirmed in the dialog are kept as 256 and 0.
TEST_F(ColorLine, DialogMetaColours) {
    setCeColor("3");
    type({"", "bylayer", "0,0", "1,1", ""});
    run(colorLineCommand);
    type({"", "byblock", "0,0", "2,2", ""});
    run(colorLineCommand);
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].color, 256);
    EXPECT_EQ(all[1].color, 0);
}

// Test that a dismissed dialog (300) goes on to the points, and the host's refusal of 300
// leaves each segment the drawing's current colour.
TEST_F(ColorLine, DismissedDialogGoesOnWithTheCurrentColour) {
    setCeColor("4");
    type({"", "", "0,0", "3,0", ""});
    run(colorLineCommand);
    EXPECT_EQ(transcript(), at(kColor, "") + at(kDialog, "") + at(kFirst, "0,0") +
                                at(kNext, "3,0") + at(kNext, ""));
    auto all = lines();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].color, 4);
}

// Test that a pick of empty space (400) shows nothing, the point prompts follow, and the
// segments keep the drawing's current colour.
TEST_F(ColorLine, MissedPickGoesOnSilently) {
    AcDbObjectId sample = addLine({100, 0, 0}, {110, 0, 0}, 2);
    type({"50,50", "0,0", "3,0", ""});
    run(colorLineCommand);
    EXPECT_EQ(transcript(),
              at(kColor, "50,50") + at(kFirst, "0,0") + at(kNext, "3,0") + at(kNext, ""));
    auto ids = entities(AcDbLine::desc());
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(colorOf(ids[1]), 256);
    EXPECT_EQ(colorOf(sample), 2);
}

// Test that Enter, Space or Escape at the first point ends the command with nothing drawn.
TEST_F(ColorLine, EndingAtTheFirstPoint) {
    addLine({100, 0, 0}, {110, 0, 0}, 2);
    type({"105,0", ""});
    run(colorLineCommand);
    type({"105,0"});
    typeEscape();
    run(colorLineCommand);
    EXPECT_EQ(transcript(), at(kColor, "105,0") + picked(2) + at(kFirst, "") + at(kColor, "105,0") +
                                picked(2) + at(kFirst, "*Cancel*"));
    EXPECT_EQ(lines().size(), 1u);

    host::CommandLine::current().setSource(std::make_unique<host::ScriptSource>("105,0  "));
    run(colorLineCommand);
    EXPECT_EQ(lines().size(), 1u);
}

// Test that Escape in the middle of the chain keeps what was drawn.
TEST_F(ColorLine, EscapeInTheChainKeepsTheSegments) {
    type({"", "2", "0,0", "1,0", "2,0"});
    typeEscape();
    run(colorLineCommand);
    EXPECT_EQ(lines().size(), 2u);
    EXPECT_TRUE(transcript().ends_with(at(kNext, "*Cancel*")));
}

// Test that two equal points in a row make a line of length zero.
TEST_F(ColorLine, EqualPointsMakeAZeroLengthLine) {
    type({"", "2", "3,3", "3,3", ""});
    run(colorLineCommand);
    auto all = lines();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_PRED2(samePoint, all[0].start, AcGePoint3d(3, 3, 0));
    EXPECT_PRED2(samePoint, all[0].end, AcGePoint3d(3, 3, 0));
}

// Test that a segment the allocator cannot give raises the alert and ends the command,
// keeping the segments already made.
TEST_F(ColorLine, OutOfMemoryEndsTheChain) {
    type({"", "2", "0,0", "1,0", "2,0", "3,0", ""});
    {
        tev::db::alloc::ScopedFailure fail(2); // the second segment
        run(colorLineCommand);
    }
    EXPECT_TRUE(transcript().ends_with(at(kNext, "2,0") + kNoMemory)) << transcript();
    EXPECT_EQ(answersLeft(), 2u);
    auto all = lines();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_PRED2(samePoint, all[0].end, AcGePoint3d(1, 0, 0));
}

// Test that the segments go to paper space when TILEMODE is 0.
TEST_F(ColorLine, PaperSpaceWithTileModeZero) {
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = 0;
    ASSERT_EQ(acedSetVar("TILEMODE", &rb), RTNORM);
    type({"", "2", "0,0", "1,0", ""});
    run(colorLineCommand);
    EXPECT_TRUE(entities().empty());
    EXPECT_EQ(entities(AcDbLine::desc(), db()->paperSpaceId()).size(), 1u);
}

} // namespace
