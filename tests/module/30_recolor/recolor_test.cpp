// Tests of Sel, recolouring selections: the colour from a pick (through the layer when
// ByLayer, ByBlock kept) or from the colour dialog, one selection after another until an
// empty one, and the values outside the colour range that the host refuses.
#include "fixture.h"
#include "edit.h"

#include <string>
#include <vector>

#include "command_line.h"

namespace {

using tevtest::ModuleTest;

const std::string kColour = "\nУкажите цвет / <ENTER>-все цвета ";
const std::string kSelect = "\nSelect objects: ";
const std::string kNothing = "\nНичего не выбрано";

std::string at(const std::string &prompt, const std::string &answer) {
    return prompt + answer + "\n";
}

bool endsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class Recolor : public ModuleTest {
protected:
    // Three lines to recolour, at y = 0, 10 and 20, of colours 2, 3 and ByLayer.
    void addTargets() {
        targets = {addLine({0, 0, 0}, {10, 0, 0}, 2), addLine({0, 10, 0}, {10, 10, 0}, 3),
                   addLine({0, 20, 0}, {10, 20, 0}, 256)};
    }
    std::vector<int> targetColours() const {
        std::vector<int> out;
        for (AcDbObjectId id : targets)
            out.push_back(colorOf(id));
        return out;
    }
    std::vector<AcDbObjectId> targets;
};

// Test that Escape at the colour prompt ends the command: no selection is asked for and
// nothing is printed.
TEST_F(Recolor, EscapeAtColourEnds) {
    addTargets();
    typeEscape();
    run(recolorCommand);
    EXPECT_EQ(transcript(), at(kColour, "*Cancel*"));
    EXPECT_EQ(targetColours(), (std::vector<int>{2, 3, 256}));
}

// Test that picking an entity of colour 1 and selecting three entities makes all three
// colour 1, that the selection is asked for again, and that Enter there ends the command
// with "nothing selected".
TEST_F(Recolor, PickedColourGoesToTheSelection) {
    addTargets();
    addCircle({100, 0, 0}, 5, 1);
    type({"105,0", "5,0", "5,10", "5,20", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{1, 1, 1}));
    const std::string text = transcript();
    EXPECT_EQ(text.rfind(at(kColour, "105,0"), 0), 0u) << text;
    EXPECT_TRUE(contains(text, "\nВыбран индекс цвета - 1")) << text;
    EXPECT_TRUE(endsWith(text, at(kSelect, "") + kNothing)) << text;
    EXPECT_EQ(answersLeft(), 0u);
}

// Test several selections in a row, each recoloured, then an empty one.
TEST_F(Recolor, SeveralSelectionsInARow) {
    addTargets();
    addCircle({100, 0, 0}, 5, 6);
    type({"105,0", "5,0", "", "5,10", "", "5,20", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{6, 6, 6}));
    std::size_t prompts = 0;
    for (std::size_t p = transcript().find(kSelect); p != std::string::npos;
         p = transcript().find(kSelect, p + 1))
        ++prompts;
    EXPECT_EQ(prompts, 7u); // two per selection, one for the empty one
    EXPECT_TRUE(endsWith(transcript(), kNothing)) << transcript();
}

// Test that a ByLayer pick on a layer of colour 5 gives the entities colour 5, set
// explicitly, not ByLayer.
TEST_F(Recolor, ByLayerPickGivesTheLayerColour) {
    addLayer("BLUE", 5);
    addTargets();
    addLine({100, 0, 0}, {110, 0, 0}, 256, "BLUE");
    type({"105,0", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_TRUE(contains(transcript(), "\nВыбран индекс цвета - 5")) << transcript();
    EXPECT_EQ(targetColours(), (std::vector<int>{5, 5, 5}));
}

// Test that a ByBlock pick gives ByBlock (0), not resolved any further.
TEST_F(Recolor, ByBlockPickGivesByBlock) {
    addTargets();
    addLine({100, 0, 0}, {110, 0, 0}, 0);
    type({"105,0", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_TRUE(contains(transcript(), "\nВыбран индекс цвета - 0")) << transcript();
    EXPECT_EQ(targetColours(), (std::vector<int>{0, 0, 0}));
}

// Test that Enter at the colour prompt opens the colour dialog, and that the colour
// confirmed there goes to the selection: ByLayer as 256, ByBlock as 0, a number as itself.
TEST_F(Recolor, ColourFromTheDialog) {
    addTargets();
    type({"", "ByLayer", "5,0", "5,10", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{256, 256, 256}));
    EXPECT_TRUE(contains(transcript(), "\nEnter color name or number")) << transcript();
    EXPECT_FALSE(contains(transcript(), "Выбран")) << transcript();

    type({"", "ByBlock", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{0, 0, 0}));

    type({"", "green", "5,20", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{0, 0, 3}));
}

// Test that a dismissed dialog (300, no colour) and a pick in empty space (400) leave the
// entities' colours as they were, print nothing about the colour, and still ask for the
// selections as usual.
TEST_F(Recolor, ValuesOutsideTheColourRangeChangeNothing) {
    addTargets();
    type({"", "", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{2, 3, 256}));
    EXPECT_TRUE(endsWith(transcript(), at(kSelect, "") + kNothing)) << transcript();

    host::CommandLine::reset();
    type({"500,500", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{2, 3, 256}));
    const std::string text = transcript();
    EXPECT_TRUE(contains(text, at(kColour, "500,500") + kSelect)) << text;
    EXPECT_FALSE(contains(text, "Выбран")) << text;
    EXPECT_TRUE(endsWith(text, kNothing)) << text;
}

// Test that Escape at the first selection prints "nothing selected" and changes nothing.
TEST_F(Recolor, EscapeAtFirstSelection) {
    addTargets();
    addCircle({100, 0, 0}, 5, 1);
    type({"105,0"});
    typeEscape();
    run(recolorCommand);
    EXPECT_TRUE(endsWith(transcript(), at(kSelect, "*Cancel*") + kNothing)) << transcript();
    EXPECT_EQ(targetColours(), (std::vector<int>{2, 3, 256}));
}

// Test that Escape after a recoloured selection keeps what was done and ends the same way.
TEST_F(Recolor, EscapeAfterARecolouredSelection) {
    addTargets();
    addCircle({100, 0, 0}, 5, 4);
    type({"105,0", "5,0", ""});
    typeEscape();
    run(recolorCommand);
    EXPECT_EQ(targetColours(), (std::vector<int>{4, 3, 256}));
    EXPECT_TRUE(endsWith(transcript(), at(kSelect, "*Cancel*") + kNothing)) << transcript();
}

// Test that an entity on a locked layer keeps its colour while the others take the new one.
TEST_F(Recolor, LockedLayerKeepsItsColour) {
    addLayer("FIXED", 2);
    addTargets();
    AcDbObjectId locked = addLine({0, 30, 0}, {10, 30, 0}, 7, "FIXED");
    addCircle({100, 0, 0}, 5, 1);
    setLayerLocked("FIXED", true);
    type({"105,0", "ALL", "", ""});
    run(recolorCommand);
    EXPECT_EQ(colorOf(locked), 7);
    EXPECT_EQ(targetColours(), (std::vector<int>{1, 1, 1}));
}

} // namespace
