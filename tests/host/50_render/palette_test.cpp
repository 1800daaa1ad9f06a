// Tests of the colour index palette.
#include "palette.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using host::render::aciToRgb;
using host::render::Rgb;
using host::render::rgbToHex;

std::string hexOf(int index) {
    return rgbToHex(aciToRgb(index));
}

// Test that the named colours and the documented hue-wheel samples come out as published.
TEST(Palette, NamedColoursAndPublishedWheelSamples) {
    const std::vector<std::pair<int, const char *>> known = {
        {1, "#ff0000"},   {2, "#ffff00"},  {3, "#00ff00"},  {4, "#00ffff"},   {5, "#0000ff"},
        {6, "#ff00ff"},   {8, "#808080"},  {9, "#c0c0c0"},  {10, "#ff0000"},  {11, "#ff7f7f"},
        {12, "#a50000"},  {13, "#a55252"}, {14, "#7f0000"}, {15, "#7f3f3f"},  {16, "#4c0000"},
        {17, "#4c2626"},  {18, "#260000"}, {19, "#261313"}, {20, "#ff3f00"},  {30, "#ff7f00"},
        {40, "#ffbf00"},  {50, "#ffff00"}, {90, "#00ff00"}, {130, "#00ffff"}, {170, "#0000ff"},
        {210, "#ff00ff"},
    };
    for (const auto &[index, hex] : known)
        EXPECT_EQ(hexOf(index), hex) << "index " << index;
}

// Test that 7 (white on screen) is black on paper and that the pseudo colours and indices
// out of range fall back to black rather than to garbage.
TEST(Palette, WhiteIsBlackOnPaperAndOutOfRangeIsBlack) {
    EXPECT_EQ(hexOf(7), "#000000");
    for (int index : {0, 256, 257, -1, 1000})
        EXPECT_EQ(hexOf(index), "#000000") << "index " << index;
}

// Test that the greys 250..255 run from near black to white, each lighter than the last.
TEST(Palette, GreyRampIsMonotone) {
    int last = -1;
    for (int index = 250; index <= 255; ++index) {
        Rgb c = aciToRgb(index);
        EXPECT_EQ(c.r, c.g) << index;
        EXPECT_EQ(c.g, c.b) << index;
        EXPECT_GT(c.r, last) << index;
        last = c.r;
    }
    EXPECT_EQ(hexOf(255), "#ffffff");
}

// Test the whole wheel 1..249 against an independent table: ezdxf's paper-space palette.
TEST(Palette, MatchesEzdxfPaperPalette) {
    FILE *pipe = popen("/usr/bin/python3 -c \"from ezdxf.colors import "
                       "DXF_DEFAULT_PAPERSPACE_COLORS as P\n"
                       "for i in range(1, 250): print(i, '#%06x' % P[i])\"",
                       "r");
    ASSERT_NE(pipe, nullptr);
    int index = 0, compared = 0;
    char hex[16];
    while (std::fscanf(pipe, "%d %15s", &index, hex) == 2) {
        EXPECT_EQ(hexOf(index), hex) << "index " << index;
        ++compared;
    }
    pclose(pipe);
    EXPECT_EQ(compared, 249) << "python3 with ezdxf did not give the table";
}

} // namespace
