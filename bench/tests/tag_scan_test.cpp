// Tests of the tag-scan passes on small hand-written drawings whose totals are worked out by
// hand in the comments.
#include "tag_scan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tevbench {
namespace {

// A drawing with a layer table and the given ENTITIES body; layers: "0" colour 7, "WALLS"
// colour 5, "OFF" turned off with colour 3 (stored -3), "ICE" frozen with colour 2.
std::string drawing(const std::string &entities) {
    return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
           "  0\nSECTION\n  2\nTABLES\n"
           "  0\nTABLE\n  2\nLAYER\n 70\n4\n"
           "  0\nLAYER\n  2\n0\n 70\n0\n 62\n7\n"
           "  0\nLAYER\n  2\nWALLS\n 70\n0\n 62\n5\n"
           "  0\nLAYER\n  2\nOFF\n 70\n0\n 62\n-3\n"
           "  0\nLAYER\n  2\nICE\n 70\n1\n 62\n2\n"
           "  0\nENDTAB\n  0\nENDSEC\n"
           "  0\nSECTION\n  2\nBLOCKS\n"
           "  0\nBLOCK\n  8\n0\n  2\nB\n"
           "  0\nLINE\n  8\n0\n 62\n1\n 10\n0\n 20\n0\n 11\n1000\n 21\n0\n"
           "  0\nENDBLK\n  0\nENDSEC\n"
           "  0\nSECTION\n  2\nENTITIES\n" +
           entities + "  0\nENDSEC\n  0\nEOF\n";
}

std::string line(const std::string &layer, const std::string &colour, double x1, double y1,
                 double z1, double x2, double y2, double z2) {
    std::string s = "  0\nLINE\n  5\n1A\n100\nAcDbEntity\n  8\n" + layer + "\n";
    if (!colour.empty())
        s += " 62\n" + colour + "\n";
    s += "100\nAcDbLine\n 10\n" + std::to_string(x1) + "\n 20\n" + std::to_string(y1) + "\n 30\n" +
         std::to_string(z1) + "\n 11\n" + std::to_string(x2) + "\n 21\n" + std::to_string(y2) +
         "\n 31\n" + std::to_string(z2) + "\n";
    return s;
}

// A square of side 10 at the origin as a lightweight polyline.
std::string lwSquare(int flags, const std::string &colour, const std::string &bulge = "") {
    std::string s = "  0\nLWPOLYLINE\n100\nAcDbEntity\n  8\n0\n";
    if (!colour.empty())
        s += " 62\n" + colour + "\n";
    s += "100\nAcDbPolyline\n 90\n4\n 70\n" + std::to_string(flags) + "\n";
    for (auto [x, y] : {std::pair{0, 0}, {10, 0}, {10, 10}, {0, 10}}) {
        s += " 10\n" + std::to_string(x) + "\n 20\n" + std::to_string(y) + "\n";
        if (!bulge.empty())
            s += " 42\n" + bulge + "\n";
    }
    return s;
}

// The same square as an old-style polyline with vertices; flags 1 closed, 8 3D, 16 mesh.
std::string polySquare(int flags, const std::string &colour, const std::string &vertexColour) {
    std::string s = "  0\nPOLYLINE\n  5\n2B\n100\nAcDbEntity\n  8\n0\n";
    if (!colour.empty())
        s += " 62\n" + colour + "\n";
    s +=
        "100\nAcDb2dPolyline\n 66\n1\n 10\n0\n 20\n0\n 30\n0\n 70\n" + std::to_string(flags) + "\n";
    for (auto [x, y] : {std::pair{0, 0}, {10, 0}, {10, 10}, {0, 10}}) {
        s += "  0\nVERTEX\n330\n2B\n100\nAcDbEntity\n  8\n0\n";
        if (!vertexColour.empty())
            s += " 62\n" + vertexColour + "\n";
        s += "100\nAcDbVertex\n100\nAcDb2dVertex\n 10\n" + std::to_string(x) + "\n 20\n" +
             std::to_string(y) + "\n 30\n0\n 70\n0\n";
    }
    s += "  0\nSEQEND\n330\n2B\n100\nAcDbEntity\n  8\n0\n";
    return s;
}

LengthTotals totalsOf(const std::string &entities) {
    const ScanResult r = scanLengths(drawing(entities));
    EXPECT_TRUE(r.ok) << r.error;
    return r.totals;
}

// Test that a line counts its XY length only: (0,0,0)-(3,4,12) is 5, under its own colour.
TEST(LengthScan, LineMeasuresInPlane) {
    const LengthTotals t = totalsOf(line("0", "1", 0, 0, 0, 3, 4, 12));
    EXPECT_DOUBLE_EQ(t.byColour[1], 5.0);
    EXPECT_DOUBLE_EQ(t.all, 5.0);
    EXPECT_EQ(t.lines, 1u);
    EXPECT_EQ(t.entities, 1u);
}

// Test that lightweight polylines add the closing segment only when closed, and that bulges
// are measured as chords.
TEST(LengthScan, LightweightPolylineSegments) {
    EXPECT_DOUBLE_EQ(totalsOf(lwSquare(0, "2")).byColour[2], 30.0);
    EXPECT_DOUBLE_EQ(totalsOf(lwSquare(1, "2")).byColour[2], 40.0);
    EXPECT_DOUBLE_EQ(totalsOf(lwSquare(129, "2")).byColour[2], 40.0); // closed + plinegen
    EXPECT_DOUBLE_EQ(totalsOf(lwSquare(1, "2", "1.0")).byColour[2], 40.0);

    // One vertex, closed: the closing segment goes from the vertex to itself.
    const std::string single = "  0\nLWPOLYLINE\n  8\n0\n 62\n4\n100\nAcDbPolyline\n 90\n1\n"
                               " 70\n1\n 10\n5\n 20\n5\n";
    const LengthTotals t = totalsOf(single);
    EXPECT_DOUBLE_EQ(t.all, 0.0);
    EXPECT_EQ(t.lwpolylines, 1u);
}

// Test that a 2D polyline sums its vertices without a closing segment, takes the polyline's
// colour rather than its vertices', and that 3D polylines and meshes add nothing.
TEST(LengthScan, OldStylePolylines) {
    LengthTotals t = totalsOf(polySquare(1, "6", "9"));
    EXPECT_DOUBLE_EQ(t.byColour[6], 30.0);
    EXPECT_DOUBLE_EQ(t.byColour[9], 0.0);
    EXPECT_EQ(t.polylines2d, 1u);
    EXPECT_EQ(t.entities, 1u); // vertices are not selected on their own

    t = totalsOf(polySquare(8, "6", ""));
    EXPECT_DOUBLE_EQ(t.all, 0.0);
    EXPECT_EQ(t.polylines2d, 0u);
    EXPECT_DOUBLE_EQ(totalsOf(polySquare(16, "6", "")).all, 0.0);
    EXPECT_DOUBLE_EQ(totalsOf(polySquare(64, "6", "")).all, 0.0);

    // A polyline cut short (no SEQEND) before the next entity still counts its vertices.
    std::string cut = polySquare(0, "6", "");
    cut.erase(cut.find("  0\nSEQEND"));
    t = totalsOf(cut + line("0", "6", 0, 0, 0, 0, 1, 0));
    EXPECT_DOUBLE_EQ(t.byColour[6], 31.0);
}

// Test that ByLayer takes the layer's colour (an off layer keeps its colour, names compare
// without case), ByBlock stays 0, and a layer the table lacks counts as colour 7.
TEST(LengthScan, ColourResolution) {
    LengthTotals t =
        totalsOf(line("WALLS", "", 0, 0, 0, 1, 0, 0) + line("walls", "", 0, 0, 0, 2, 0, 0) +
                 line("OFF", "", 0, 0, 0, 4, 0, 0) + line("WALLS", "0", 0, 0, 0, 8, 0, 0) +
                 line("NOWHERE", "", 0, 0, 0, 16, 0, 0) + line("WALLS", "256", 0, 0, 0, 32, 0, 0));
    EXPECT_DOUBLE_EQ(t.byColour[5], 1.0 + 2.0 + 32.0);
    EXPECT_DOUBLE_EQ(t.byColour[3], 4.0);
    EXPECT_DOUBLE_EQ(t.byColour[0], 8.0);
    EXPECT_DOUBLE_EQ(t.byColour[7], 16.0);
    EXPECT_DOUBLE_EQ(t.byColour[256], 0.0);
    EXPECT_DOUBLE_EQ(t.all, 63.0);
}

// Test that ALL leaves out frozen layers and paper space, and never looks into blocks; other
// kinds are selected but add nothing.
TEST(LengthScan, WhatAllSelects) {
    std::string paper = line("0", "1", 0, 0, 0, 100, 0, 0);
    paper.insert(paper.find("  8\n"), " 67\n1\n");
    const std::string others = "  0\nCIRCLE\n  8\n0\n 62\n1\n 10\n0\n 20\n0\n 40\n50\n"
                               "  0\nARC\n  8\n0\n 10\n0\n 20\n0\n 40\n5\n 50\n0\n 51\n90\n"
                               "  0\nTEXT\n  8\n0\n  1\nhello\n"
                               "  0\nINSERT\n  8\n0\n  2\nB\n 10\n0\n 20\n0\n";
    const LengthTotals t = totalsOf(line("ICE", "1", 0, 0, 0, 50, 0, 0) + paper + others +
                                    line("0", "1", 0, 0, 0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(t.all, 1.0);
    EXPECT_EQ(t.entities, 5u); // four others and the last line
    EXPECT_EQ(t.lines, 1u);
}

// Test that Windows line ends and blank padding around codes and numbers read the same.
TEST(LengthScan, LineEndsAndPadding) {
    std::string text = drawing(line("WALLS", "", 0, 0, 0, 3, 4, 0) + lwSquare(1, "2"));
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const ScanResult r = scanLengths(crlf);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_DOUBLE_EQ(r.totals.byColour[5], 5.0);
    EXPECT_DOUBLE_EQ(r.totals.byColour[2], 40.0);

    const ScanResult padded =
        scanLengths(drawing("  0\nLINE\n  8\n0\n62  \n  1\n10\n  1.5 \n 11\n+4.5\n"));
    ASSERT_TRUE(padded.ok) << padded.error;
    EXPECT_DOUBLE_EQ(padded.totals.byColour[1], 3.0);
}

// Test that numbers read to the nearest double, on the short path and the long one alike:
// 0.3 - 0.1 is not 0.2 in doubles, and only exactly read values give that difference.
TEST(LengthScan, NumbersReadExactly) {
    struct Case {
        std::string x1, x2;
        double want;
    };
    const std::vector<Case> cases = {
        {"0.1", "0.3", 0.3 - 0.1},
        {"-0.1", "0.7", 0.7 + 0.1},
        {"12345.6789", "98765.4321", 98765.4321 - 12345.6789},
        {"0.1000000000000000055511151231257827", "0.3", 0.3 - 0.1}, // more than 15 digits
        {"1.5E+02", "4.5e2", 300.0},
        {"3", "1234567890123456789", 1234567890123456789.0 - 3.0},
    };
    for (const Case &c : cases) {
        const std::string body =
            "  0\nLINE\n  8\n0\n 62\n1\n 10\n" + c.x1 + "\n 20\n0\n 11\n" + c.x2 + "\n 21\n0\n";
        const ScanResult r = scanLengths(drawing(body));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.totals.byColour[1], c.want) << c.x1 << " .. " << c.x2;
    }
}

// Test that malformed input is refused with the line where it went wrong.
TEST(LengthScan, BadInputIsReported) {
    const std::string good = drawing(line("0", "1", 0, 0, 0, 3, 4, 0));
    struct Case {
        std::string from, to, where;
    };
    const std::vector<Case> cases = {
        {" 62\n1\n", "6X\n1\n", "is not a number"},
        {" 62\n1\n", " 62\n300\n", "is not an entity colour"},
        {" 62\n1\n", " 62\n-1\n", "is not an entity colour"},
        {" 21\n4.0", " 21\nfour", "is not a number"},
        {" 21\n4.0", " 21\n1e999", "is not a number"},
        {"  0\nEOF\n", "", "without 0/EOF"},
        {"  2\nENTITIES\n", "  9\nENTITIES\n", "SECTION without a name"},
    };
    for (const Case &c : cases) {
        std::string bad = good;
        // Look from the ENTITIES section on: the block holds the same groups, unread.
        const size_t at = bad.find(c.from, good.find("  2\nENTITIES"));
        ASSERT_NE(at, std::string::npos) << c.from;
        bad.replace(at, c.from.size(), c.to);
        const ScanResult r = scanLengths(bad);
        EXPECT_FALSE(r.ok) << c.to;
        EXPECT_NE(r.error.find(c.where), std::string::npos) << r.error;
        EXPECT_EQ(r.error.rfind("line ", 0), 0u) << r.error;
        EXPECT_DOUBLE_EQ(r.totals.all, 0.0);
    }

    // The group code line of the bad colour is line N, its value N+1.
    std::string bad = good;
    bad.replace(bad.find(" 62\n1\n", bad.find("ENTITIES")), 6, " 62\nred\n");
    size_t valueLine = 1;
    for (size_t i = 0; i < bad.find("red"); ++i)
        valueLine += bad[i] == '\n';
    EXPECT_EQ(scanLengths(bad).error.rfind("line " + std::to_string(valueLine) + ":", 0), 0u);
}

// Test that every cut of a file short of its end is refused and never read past the cut.
TEST(LengthScan, EveryTruncationIsRefused) {
    const std::string text = drawing(polySquare(1, "6", "") + lwSquare(1, "2"));
    ASSERT_TRUE(scanLengths(text).ok);
    const size_t eof = text.rfind("EOF");
    for (size_t n = 0; n < eof + 2; ++n) {
        // A copy of exactly n bytes, so that reading past it is a fault the sanitizers see.
        const std::string cut = text.substr(0, n);
        EXPECT_FALSE(scanLengths(cut).ok) << "cut at " << n;
    }
}

std::string recoloured(const std::string &text, int colour, RecolourResult *result = nullptr) {
    std::string out;
    const RecolourResult r = recolourAll(text, colour, [&out](std::string_view s) {
        out.append(s);
        return true;
    });
    EXPECT_TRUE(r.ok) << r.error;
    if (result)
        *result = r;
    return out;
}

// Test that recolouring replaces an existing colour, adds one before the first subclass
// marker where there was none, follows polylines into their vertices, and touches nothing
// else: block contents, layers and other groups stay byte for byte.
TEST(Recolour, SetsEveryEntityAndNothingElse) {
    const std::string body = "  0\nLINE\n  5\n1\n100\nAcDbEntity\n  8\n0\n 62\n1\n"
                             "100\nAcDbLine\n 10\n0\n 20\n0\n 11\n1\n 21\n0\n"
                             "  0\nCIRCLE\n  5\n2\n100\nAcDbEntity\n  8\nWALLS\n"
                             "100\nAcDbCircle\n 10\n0\n 20\n0\n 40\n1\n"
                             "  0\nPOLYLINE\n  5\n3\n100\nAcDbEntity\n  8\n0\n100\nAcDb2dPolyline\n"
                             "  0\nVERTEX\n  5\n4\n100\nAcDbEntity\n  8\n0\n 62\n9\n"
                             "100\nAcDbVertex\n 10\n0\n 20\n0\n"
                             "  0\nSEQEND\n  5\n5\n100\nAcDbEntity\n  8\n0\n";
    const std::string expected = "  0\nLINE\n  5\n1\n100\nAcDbEntity\n  8\n0\n 62\n42\n"
                                 "100\nAcDbLine\n 10\n0\n 20\n0\n 11\n1\n 21\n0\n"
                                 "  0\nCIRCLE\n  5\n2\n100\nAcDbEntity\n  8\nWALLS\n 62\n42\n"
                                 "100\nAcDbCircle\n 10\n0\n 20\n0\n 40\n1\n"
                                 "  0\nPOLYLINE\n  5\n3\n100\nAcDbEntity\n  8\n0\n 62\n42\n"
                                 "100\nAcDb2dPolyline\n"
                                 "  0\nVERTEX\n  5\n4\n100\nAcDbEntity\n  8\n0\n 62\n42\n"
                                 "100\nAcDbVertex\n 10\n0\n 20\n0\n"
                                 "  0\nSEQEND\n  5\n5\n100\nAcDbEntity\n  8\n0\n 62\n42\n";
    RecolourResult r;
    EXPECT_EQ(recoloured(drawing(body), 42, &r), drawing(expected));
    EXPECT_EQ(r.entities, 5u);
}

// Test that ByLayer removes colour groups (repeats too), and that frozen layers and paper
// space are left alone with their vertices.
TEST(Recolour, ByLayerAndUnselected) {
    const std::string body = "  0\nLINE\n  8\n0\n 62\n1\n 62\n2\n100\nAcDbLine\n"
                             "  0\nLINE\n  8\nICE\n 62\n1\n100\nAcDbLine\n"
                             "  0\nPOLYLINE\n 67\n1\n  8\n0\n 62\n3\n"
                             "  0\nVERTEX\n  8\n0\n 62\n3\n  0\nSEQEND\n  8\n0\n";
    const std::string expected = "  0\nLINE\n  8\n0\n100\nAcDbLine\n"
                                 "  0\nLINE\n  8\nICE\n 62\n1\n100\nAcDbLine\n"
                                 "  0\nPOLYLINE\n 67\n1\n  8\n0\n 62\n3\n"
                                 "  0\nVERTEX\n  8\n0\n 62\n3\n  0\nSEQEND\n  8\n0\n";
    RecolourResult r;
    EXPECT_EQ(recoloured(drawing(body), 256, &r), drawing(expected));
    EXPECT_EQ(r.entities, 1u);

    // Colour 4 on the same body: the selected line's repeat is dropped, not left to win.
    const std::string four = recoloured(drawing(body), 4);
    EXPECT_NE(four.find("  0\nLINE\n  8\n0\n 62\n4\n100\nAcDbLine\n"), std::string::npos);
}

// Test that an inserted colour group uses the file's own line ends, and that the recoloured
// copy measures as one colour.
TEST(Recolour, KeepsLineEndsAndTotals) {
    std::string text = drawing(line("WALLS", "", 0, 0, 0, 3, 4, 0) + lwSquare(1, "2"));
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const std::string out = recoloured(crlf, 8);
    EXPECT_NE(out.find("  8\r\nWALLS\r\n 62\r\n8\r\n100\r\nAcDbLine\r\n"), std::string::npos);
    EXPECT_EQ(out.find("\n\n"), std::string::npos);
    const ScanResult r = scanLengths(out);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_DOUBLE_EQ(r.totals.byColour[8], 45.0);
    EXPECT_DOUBLE_EQ(r.totals.all, 45.0);
}

// Test that a refusing sink, a bad colour and bad input all fail the copy.
TEST(Recolour, FailuresAreReported) {
    const std::string text = drawing(line("0", "1", 0, 0, 0, 1, 0, 0));
    RecolourResult r = recolourAll(text, 3, [](std::string_view) { return false; });
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot write"), std::string::npos);

    for (int bad : {-1, 257, 300}) {
        r = recolourAll(text, bad, [](std::string_view) { return true; });
        EXPECT_FALSE(r.ok) << bad;
    }

    const std::string cut = text.substr(0, text.find("ENDSEC", text.find("ENTITIES")));
    bool wrote = false;
    r = recolourAll(cut, 3, [&wrote](std::string_view) { return wrote = true; });
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(wrote) << "a failed copy must not hand its last block on as if complete";
}

} // namespace
} // namespace tevbench
