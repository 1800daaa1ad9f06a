// Tests that a value the database refuses is never dropped in silence: it is kept exactly as
// written, or mended and noted with its line, and a save writes what the note says.
#include "dxf_io.h"

#include "dbmain.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct RefusedCase {
    const char *name;
    // The body of a headerless R12 file, one line per line; the line marked with a leading
    // '!' holds the refused value.
    const char *body;
    // The repair note expected at that line ("" when the value is kept as written).
    const char *note;
    // The group as the drawing is written back: in the first record of this type (or the
    // header variable of this name), the value of this code, or nullopt for none (the
    // default).
    const char *recordType;
    int code;
    std::optional<double> written;
};

// The text of the file and the line of the marked value.
std::pair<std::string, unsigned> fileOf(const char *body) {
    std::istringstream in(body);
    std::string text, line;
    unsigned marked = 0, n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line[0] == '!') {
            marked = n;
            line.erase(0, 1);
        }
        text += line + "\n";
    }
    return {text, marked};
}

// The value of group `code` in the first record of `type` in DXF text, if it has one.
std::optional<std::string> groupOf(const std::string &dxf, const std::string &type, int code) {
    std::istringstream in(dxf);
    std::string c, v;
    bool inRecord = false;
    while (std::getline(in, c) && std::getline(in, v)) {
        const int group = std::stoi(c);
        if (group == 0 || group == 9) { // a record, or a header variable ("$CECOLOR")
            if (inRecord)
                return std::nullopt;
            inRecord = v == type;
        } else if (inRecord && group == code) {
            return v;
        }
    }
    return std::nullopt;
}

#define SECTION(name, ...) "0\nSECTION\n2\n" name "\n" __VA_ARGS__ "0\nENDSEC\n"
#define ENTITIES(...) SECTION("ENTITIES", __VA_ARGS__) "0\nEOF\n"

const RefusedCase kCases[] = {
    {"text height below 0", ENTITIES("0\nTEXT\n8\n0\n10\n1\n20\n2\n40\n!-2.5\n1\nA\n"),
     "TEXT has a negative height -2.5 (group 40): taken as 2.5", "TEXT", 40, 2.5},
    {"text width factor 0", ENTITIES("0\nTEXT\n8\n0\n40\n1\n41\n!0\n1\nA\n"),
     "TEXT has a width factor 0 (group 41): taken as 1", "TEXT", 41, std::nullopt},
    {"text alignment out of range", ENTITIES("0\nTEXT\n8\n0\n40\n1\n1\nA\n72\n!9\n"),
     "TEXT has an unknown horizontal alignment 9 (group 72): taken as 0", "TEXT", 72, std::nullopt},
    {"line zero extrusion",
     ENTITIES("0\nLINE\n8\n0\n10\n0\n20\n0\n11\n5\n21\n0\n210\n!0\n220\n0\n230\n0\n"),
     "LINE has a zero extrusion direction (group 210): taken as the Z axis", "LINE", 210,
     std::nullopt},
    {"circle zero extrusion",
     ENTITIES("0\nCIRCLE\n8\n0\n10\n3\n20\n4\n40\n1\n210\n!0.0\n220\n0.0\n230\n0.0\n"),
     "CIRCLE has a zero extrusion direction (group 210)", "CIRCLE", 210, std::nullopt},
    {"arc zero extrusion",
     ENTITIES("0\nARC\n8\n0\n10\n3\n20\n4\n40\n1\n50\n0\n51\n90\n210\n!0\n220\n0\n230\n0\n"),
     "ARC has a zero extrusion direction (group 210)", "ARC", 210, std::nullopt},
    {"lightweight polyline zero extrusion",
     ENTITIES("0\nLWPOLYLINE\n8\n0\n90\n2\n10\n0\n20\n0\n10\n1\n20\n1\n210\n!0\n220\n0\n230\n"
              "0\n"),
     "LWPOLYLINE has a zero extrusion direction (group 210)", "LWPOLYLINE", 210, std::nullopt},
    {"lightweight polyline width below 0",
     ENTITIES("0\nLWPOLYLINE\n8\n0\n90\n2\n10\n0\n20\n0\n40\n!-1\n10\n1\n20\n1\n"),
     "LWPOLYLINE has a negative start width -1 (group 40): taken as 1", "LWPOLYLINE", 40, 1.0},
    {"polyline default width below 0",
     ENTITIES("0\nPOLYLINE\n8\n0\n66\n1\n40\n!-0.5\n0\nVERTEX\n8\n0\n10\n0\n20\n0\n0\nVERTEX\n8"
              "\n0\n10\n1\n20\n0\n0\nSEQEND\n8\n0\n"),
     "POLYLINE has a negative default start width -0.5 (group 40)", "POLYLINE", 40, 0.5},
    {"vertex width below 0",
     ENTITIES("0\nPOLYLINE\n8\n0\n66\n1\n0\nVERTEX\n8\n0\n10\n0\n20\n0\n41\n!-3\n0\nVERTEX\n8"
              "\n0\n10\n1\n20\n0\n0\nSEQEND\n8\n0\n"),
     "VERTEX has a negative end width -3 (group 41)", "VERTEX", 41, 3.0},
    {"entity colour out of range",
     ENTITIES("0\nLINE\n8\n0\n62\n!300\n10\n0\n20\n0\n11\n1\n21\n0\n"),
     "LINE has colour 300 (group 62), which is no colour: taken as BYLAYER", "LINE", 62,
     std::nullopt},
    {"entity linetype scale 0", ENTITIES("0\nLINE\n8\n0\n48\n!0\n10\n0\n20\n0\n11\n1\n21\n0\n"),
     "LINE has linetype scale 0 (group 48), not above 0: taken as 1", "LINE", 48, std::nullopt},
    {"layer colour 0",
     SECTION("TABLES", "0\nTABLE\n2\nLAYER\n70\n1\n0\nLAYER\n2\nWALLS\n70\n0\n62\n!0\n6\n"
                       "CONTINUOUS\n0\nENDTAB\n")
         ENTITIES("0\nLINE\n8\nWALLS\n10\n0\n20\n0\n11\n1\n21\n0\n"),
     "LAYER has colour 0 (group 62), which a layer cannot have: taken as 7", "LAYER", 62, 7.0},
    {"current colour out of range",
     SECTION("HEADER", "9\n$CECOLOR\n62\n!999\n")
         ENTITIES("0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"),
     "$CECOLOR is 999 (group 62), which is no colour: taken as BYLAYER", "$CECOLOR", 62, 256.0},
    // Kept exactly as written: a circle of radius 0 is a drawing's own business.
    {"circle radius 0", ENTITIES("0\nCIRCLE\n8\n0\n10\n3\n20\n4\n40\n!0\n"), "", "CIRCLE", 40, 0.0},
};

void check(const RefusedCase &c) {
    const auto [text, line] = fileOf(c.body);
    ASSERT_NE(line, 0u);
    const std::string at = "refused.dxf:" + std::to_string(line) + ": ";
    std::vector<std::string> repairs;
    dxf::ReadOptions options;
    options.repairs = &repairs;
    std::string error;
    auto db = dxf::readDrawingText(text, "refused.dxf", error, options);
    ASSERT_NE(db, nullptr) << error;
    std::string strictError;
    auto strict = dxf::readDrawingText(text, "refused.dxf", strictError);
    if (*c.note == '\0') {
        EXPECT_TRUE(repairs.empty()) << repairs.front();
        EXPECT_NE(strict, nullptr) << strictError;
    } else {
        ASSERT_EQ(repairs.size(), 1u);
        EXPECT_EQ(repairs[0].rfind(at + c.note, 0), 0u) << repairs[0];
        // A reader that mends nothing refuses the file at the same line.
        EXPECT_EQ(strict, nullptr);
        EXPECT_EQ(strictError.rfind(at, 0), 0u) << strictError;
    }
    // The drawing saved holds what the note says (or the value as written), and reads
    // back with nothing to mend.
    std::string saved;
    ASSERT_TRUE(dxf::writeDrawingText(*db, saved, error)) << error;
    const std::optional<std::string> value = groupOf(saved, c.recordType, c.code);
    ASSERT_EQ(value.has_value(), c.written.has_value()) << saved;
    if (value) {
        EXPECT_DOUBLE_EQ(std::stod(*value), *c.written) << saved;
    }
    std::string againError;
    EXPECT_NE(dxf::readDrawingText(saved, "saved.dxf", againError), nullptr) << againError;
}

TEST(RefusedValue, KeptOrNotedWithItsLineAndSavedAsNoted) {
    for (const RefusedCase &c : kCases) {
        SCOPED_TRACE(c.name);
        check(c);
    }
}

} // namespace
