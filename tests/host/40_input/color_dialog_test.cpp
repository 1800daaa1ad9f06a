// The colour prompt that stands in for the colour dialog.
#include "aced.h"
#include "input_fixture.h"

using inputtest::CommandLineTest;
using inputtest::occurrences;

namespace {

class ColorDialogTest : public CommandLineTest {};

// Test numbers and standard names, any case.
TEST_F(ColorDialogTest, NumbersAndNames) {
    type({"1", "255", "Red", "yellow", "GREEN", "cyan", "blue", "magenta", "white"});
    const int expected[] = {1, 255, 1, 2, 3, 4, 5, 6, 7};
    for (int want : expected) {
        int color = 300;
        EXPECT_TRUE(acedSetColorDialog(color, false, 7));
        EXPECT_EQ(color, want);
    }
}

// Test that meta colours come only when allowed, and are refused otherwise.
TEST_F(ColorDialogTest, MetaColours) {
    type({"ByLayer", "byblock", "bylayer", "BYBLOCK", "12"});
    int color = 5;
    EXPECT_TRUE(acedSetColorDialog(color, true, 3));
    EXPECT_EQ(color, 256);
    EXPECT_TRUE(acedSetColorDialog(color, true, 3));
    EXPECT_EQ(color, 0);
    color = 5;
    EXPECT_TRUE(acedSetColorDialog(color, false, 3));
    EXPECT_EQ(color, 12);
    EXPECT_EQ(occurrences(transcript(), "ByLayer and ByBlock are not allowed here."), 2);
}

// Test that 0, 256, 257, unknown words and non-numbers are refused and re-asked.
TEST_F(ColorDialogTest, RefusedAnswers) {
    type({"0", "256", "257", "purple", "-1", "1.5", "3"});
    int color = 300;
    EXPECT_TRUE(acedSetColorDialog(color, true, 7));
    EXPECT_EQ(color, 3);
    EXPECT_EQ(occurrences(transcript(), "Invalid color."), 6);
}

// Test that an empty answer, Escape and end of input dismiss it and keep the colour.
TEST_F(ColorDialogTest, DismissedKeepsColour) {
    type({""});
    escape();
    int color = 300;
    EXPECT_FALSE(acedSetColorDialog(color, true, 7));
    EXPECT_EQ(color, 300);
    EXPECT_FALSE(acedSetColorDialog(color, true, 7));
    EXPECT_EQ(color, 300);
    EXPECT_FALSE(acedSetColorDialog(color, true, 7));
    EXPECT_EQ(color, 300);
}

// Test that the prompt shows the current colour, ByLayer with the layer's colour.
TEST_F(ColorDialogTest, PromptShowsCurrentColour) {
    type({"", ""});
    int color = 256;
    (void)acedSetColorDialog(color, true, 3);
    color = 42;
    (void)acedSetColorDialog(color, false, 3);
    EXPECT_EQ(transcript(), "\nEnter color name or number (1-255), ByLayer or ByBlock "
                            "<ByLayer (3)>: \n"
                            "\nEnter color name or number (1-255) <42>: \n");
}

} // namespace
