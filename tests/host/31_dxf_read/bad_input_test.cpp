// Tests that bad input is refused with a message naming the place and what is wrong, and
// that what common writers do sloppily is accepted.
#include "dxf_io.h"
#include "dxf_test_util.h"
#include "sample_dxf.h"

#include "access.h"
#include "allocator.h"
#include "dbmain.h"
#include "dbsymtb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using namespace dxftest;

std::string readError(const std::string &text, const dxf::ReadOptions &options = {}) {
    std::string error;
    auto db = dxf::readDrawingText(text, "bad.dxf", error, options);
    if (db != nullptr)
        return "";
    EXPECT_NE(error, "");
    return error;
}

// The sample with one piece of text replaced.
std::string sampleWith(const std::string &from, const std::string &to) {
    std::string text = sampleDxf();
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

// The line number of the first occurrence of `needle` in the sample (1-based).
std::size_t lineOf(const std::string &text, const std::string &needle) {
    const std::size_t at = text.find(needle);
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n'));
}

// "bad.dxf:N: " for the line of `needle`, moved by `delta` lines.
std::string at(const std::string &text, const std::string &needle, int delta = 0) {
    return "bad.dxf:" + std::to_string(static_cast<int>(lineOf(text, needle)) + delta) + ": ";
}

// Test that the sample itself reads: the cases below each break one thing in it.
TEST(BadInput, SampleIsGood) {
    EXPECT_EQ(readError(sampleDxf()), "");
}

// Test the cases where the file is not DXF, is cut short or lacks its end.
TEST(BadInput, NotDxfTruncatedOrUnended) {
    EXPECT_EQ(readError("<html><body>plan</body></html>\n"),
              "bad.dxf:1: not a DXF file (it does not start with group code lines)");
    EXPECT_EQ(readError(""), "bad.dxf:1: not a DXF file (it is empty)");
    const std::string full = sampleDxf();
    const std::string cut = full.substr(0, full.find("AcDbCircle") + 3);
    EXPECT_EQ(readError(cut).substr(0, 8), "bad.dxf:");
    EXPECT_NE(readError(cut).find("has no ENDSEC (the file ends at line"), std::string::npos)
        << readError(cut);
    const std::string noEof = full.substr(0, full.size() - std::string("0\nEOF\n").size());
    EXPECT_NE(readError(noEof).find("the file ends without EOF"), std::string::npos);
    // A file whose last line has no line end is fine.
    EXPECT_EQ(readError(full.substr(0, full.size() - 1)), "");
    // Neither is a group code cut in half.
    EXPECT_NE(readError(full.substr(0, full.find("AcDbArc") - 3)).find("has no value"),
              std::string::npos);
}

// Test values that do not fit their group: not a number, out of range, not finite.
TEST(BadInput, ValuesThatDoNotFit) {
    std::string t =
        sampleWith("10\n1.0\n20\n2.0\n30\n0.0\n11\n6.0", "10\n1,0\n20\n2.0\n30\n0.0\n11\n6.0");
    EXPECT_EQ(readError(t), at(t, "1,0") + "value \"1,0\" of group 10 is not a finite number");
    t = sampleWith("40\n2.5\n0\nARC", "40\n1e999\n0\nARC");
    EXPECT_EQ(readError(t), at(t, "1e999") + "value \"1e999\" of group 40 is not a finite number");
    t = sampleWith("40\n2.5\n0\nARC", "40\nnan\n0\nARC");
    EXPECT_EQ(readError(t), at(t, "nan\n") + "value \"nan\" of group 40 is not a finite number");
    t = sampleWith("62\n1\n100\nAcDbLine", "62\n70000\n100\nAcDbLine");
    EXPECT_EQ(readError(t),
              at(t, "70000") + "value \"70000\" does not fit group 62 (a 16-bit integer)");
    t = sampleWith("\n62\n1\n100\nAcDbLine", "\n6X\n1\n100\nAcDbLine");
    EXPECT_EQ(readError(t), at(t, "6X") + "group code \"6X\" is not a number");
}

// Test the vertex count of a lightweight polyline against what follows it.
TEST(BadInput, LwPolylineCounts) {
    std::string t = sampleWith("90\n3\n", "90\n4\n");
    EXPECT_EQ(readError(t), at(t, "90\n4\n", 1) + "LWPOLYLINE: group 90 says 4 vertices, 3 follow");
    t = sampleWith("90\n3\n", "90\n2147483647\n");
    EXPECT_EQ(readError(t),
              at(t, "2147483647") + "LWPOLYLINE: group 90 says 2147483647 vertices, 3 follow");
    t = sampleWith("90\n3\n", "90\n-5\n");
    EXPECT_EQ(readError(t), at(t, "-5\n") + "LWPOLYLINE has a negative vertex count -5");
    t = sampleWith("90\n3\n", "90\n99999999999\n");
    EXPECT_EQ(readError(t), at(t, "99999999999") +
                                "value \"99999999999\" does not fit group 90 (a 32-bit integer)");
    t = sampleWith("90\n3\n70\n1\n10\n0.0", "90\n3\n70\n1\n42\n0.5\n10\n0.0");
    EXPECT_EQ(readError(t), at(t, "42\n0.5") + "LWPOLYLINE: group 42 before the first vertex");
}

// Test the structural defects: POLYLINE without SEQEND, section without ENDSEC, a block
// that inserts itself, an INSERT of a block that does not exist.
TEST(BadInput, Structure) {
    std::string t = sampleWith("0\nSEQEND\n5\n38\n330\n35\n100\nAcDbEntity\n8\n0\n", "");
    EXPECT_EQ(readError(t), at(t, "POLYLINE\n5\n35", -1) +
                                "POLYLINE has no SEQEND (found \"POLYLINE\" at line " +
                                std::to_string(lineOf(t, "POLYLINE\n5\n39") - 1) + ")");
    t = sampleWith("0\nENDSEC\n0\nSECTION\n2\nOBJECTS", "0\nSECTION\n2\nOBJECTS");
    EXPECT_EQ(readError(t), at(t, "SECTION\n2\nENTITIES", -1) +
                                "section ENTITIES has no ENDSEC (found \"SECTION\" at line " +
                                std::to_string(lineOf(t, "SECTION\n2\nOBJECTS") - 1) + ")");
    t = sampleWith("0\nENDBLK\n5\n25", "0\nINSERT\n5\n26\n330\n20\n2\nDoor\n0\nENDBLK\n5\n25");
    EXPECT_EQ(readError(t), at(t, "INSERT\n5\n26", -1) + "block \"DOOR\" inserts itself");
    t = sampleWith("2\nDoor\n10\n5.0", "2\nWindow\n10\n5.0");
    EXPECT_EQ(readError(t),
              at(t, "INSERT\n5\n3C", -1) + "INSERT of block \"Window\", which does not exist");
    // A block the reader would know by one name and the database by another.
    t = sampleWith("AcDbBlockBegin\n2\nDoor\n", "AcDbBlockBegin\n2\nDoor\n2\nWindow\n");
    EXPECT_EQ(readError(t), at(t, "Window") + "BLOCK has a second name (group 2)");
    // A HEADER (with its code page) after text was read: the file would read two ways.
    t = sampleWith("0\nSECTION\n2\nOBJECTS",
                   "0\nSECTION\n2\nHEADER\n9\n$DWGCODEPAGE\n3\nANSI_1252\n0\nENDSEC\n"
                   "0\nSECTION\n2\nOBJECTS");
    EXPECT_EQ(readError(t), at(t, "SECTION\n2\nHEADER\n9\n$DWGCODEPAGE\n3\nANSI_1252", -1) +
                                "a HEADER section after another section");
}

// Test the checks of handles and owners.
TEST(BadInput, HandlesAndOwners) {
    std::string t = sampleWith("5\n31\n", "5\n30\n");
    EXPECT_EQ(readError(t), at(t, "CIRCLE\n5\n30", -1) + "duplicate handle 30 (also at line " +
                                std::to_string(lineOf(t, "LINE\n5\n30") - 1) + ")");
    t = sampleWith("5\n31\n330\n1F", "5\n31\n330\n7F");
    EXPECT_EQ(readError(t), at(t, "7F") + "owner 7F does not exist");
    t = sampleWith("5\n31\n330\n1F", "5\n31\n330\n30");
    EXPECT_EQ(readError(t), at(t, "330\n30", 1) + "owner 30 is not a block record");
}

// Lines with the given handles (hexadecimal), one entity each, in an ENTITIES section.
std::string linesWithHandles(const std::vector<std::string> &handles) {
    std::string t = "0\nSECTION\n2\nENTITIES\n";
    for (const std::string &h : handles)
        t += "0\nLINE\n5\n" + h + "\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n";
    return t + "0\nENDSEC\n0\nEOF\n";
}

// Test handles found mostly in one ascending run with a few out of order before and after
// it (as files are written: tables and objects apart from the entities): a duplicate is
// found whether its two uses are in the run or outside it, and named by its later line.
TEST(BadInput, DuplicatesAmongMostlyOrderedHandles) {
    std::vector<std::string> handles = {"A"};
    for (int h = 0x100; h < 0x164; ++h) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%X", h);
        handles.emplace_back(buf);
    }
    handles.emplace_back("B");
    EXPECT_EQ(readError(linesWithHandles(handles)), "");
    // The line of entity i's group 0: four lines of section start, 14 lines an entity.
    auto lineOfEntity = [](std::size_t i) { return std::to_string(5 + 14 * i); };
    auto dup = [&](std::size_t later, std::size_t earlier, const std::string &h) {
        return "bad.dxf:" + lineOfEntity(later) + ": duplicate handle " + h + " (also at line " +
               lineOfEntity(earlier) + ")";
    };
    std::vector<std::string> t = handles;
    t.back() = "120"; // after the run, the same as one in it
    EXPECT_EQ(readError(linesWithHandles(t)), dup(t.size() - 1, 0x21, "120"));
    t = handles;
    t.front() = "150"; // before the run
    EXPECT_EQ(readError(linesWithHandles(t)), dup(0x51, 0, "150"));
    t = handles;
    t.back() = "A"; // both outside the run
    EXPECT_EQ(readError(linesWithHandles(t)), dup(t.size() - 1, 0, "A"));
    t = handles;
    t[0x41] = "13F"; // both in the run
    EXPECT_EQ(readError(linesWithHandles(t)), dup(0x41, 0x40, "13F"));
    t = handles;
    t[0x30] = "15F"; // both in the run, which now breaks in two
    EXPECT_EQ(readError(linesWithHandles(t)), dup(0x60, 0x30, "15F"));
}

// Test what common writers do that is harmless: vertices whose owner is the block record,
// CRLF line ends, blanks around group codes, a layer left out of the LAYER table.
TEST(BadInput, SloppyButHarmless) {
    EXPECT_EQ(readError(sampleWith("5\n36\n330\n35", "5\n36\n330\n1F")), "");
    std::string crlf;
    for (char c : sampleDxf()) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    EXPECT_EQ(readError(crlf), "");
    EXPECT_EQ(readError(sampleWith("\n62\n1\n100\nAcDbLine", "\n 62 \n1\n100\nAcDbLine")), "");
    EXPECT_EQ(readError(sampleWith("8\n0\n62\n1", "8\nUndeclared\n62\n1")), "");
}

// Test that the configured limits stop a file that passes them.
TEST(BadInput, Limits) {
    dxf::ReadOptions small;
    small.limits.maxEntities = 5;
    EXPECT_NE(readError(sampleDxf(), small).find("entities, the limit"), std::string::npos);
    dxf::ReadOptions bytes;
    bytes.limits.maxBytes = 100;
    EXPECT_NE(readError(sampleDxf(), bytes).find("more than the limit of 100"), std::string::npos);
}

// Test that a file above 4 GiB is refused, before any of it is read, even when the limits
// would take it: the database keeps the sizes of an object's bytes in 32 bits.
TEST(BadInput, FileAboveFourGibibytes) {
    dxftest::ScratchDir dir;
    const std::string path = dir.file("huge.dxf");
    dxftest::writeFile(path, "0\nEOF\n");
    std::filesystem::resize_file(path, (std::uintmax_t(4) << 30) + 1); // a sparse file
    dxf::ReadOptions options;
    options.limits.maxBytes = std::size_t(16) << 30;
    std::string error;
    EXPECT_EQ(dxf::readDrawing(path, error, options), nullptr);
    EXPECT_NE(error.find("4294967297 bytes, more than the limit of 4294967296"), std::string::npos)
        << error;
}

// Test that a file that cannot be opened says so with its name.
TEST(BadInput, MissingFile) {
    std::string error;
    EXPECT_EQ(dxf::readDrawing("/nonexistent/plan.dxf", error), nullptr);
    EXPECT_EQ(error, "/nonexistent/plan.dxf: cannot open: No such file or directory");
}

// Test that a read that checks without keeping entities (how a save reads back what it
// wrote) refuses every defect a full read refuses, with the same message, keeps no entity
// and leaves no object behind.
TEST(BadInput, CheckOnlyRefusesTheSame) {
    dxf::ReadOptions check;
    check.checkOnly = true;
    const std::string broken[] = {
        sampleWith("90\n3\n", "90\n4\n"),
        sampleWith("5\n31\n", "5\n30\n"),
        sampleWith("5\n31\n330\n1F", "5\n31\n330\n7F"),
        sampleWith("40\n2.5\n", "40\n2,5\n"),
        sampleWith("0\nSEQEND\n5\n38\n", "0\nSEQEND\n5\nZZ\n"),
        sampleWith("2\nDoor\n10\n5.0", "2\nWindow\n10\n5.0"),
    };
    tev::db::alloc::Exempt exempt;
    const long before = tev::db::alloc::liveObjects();
    for (const std::string &t : broken) {
        const std::string full = readError(t);
        EXPECT_NE(full, "");
        EXPECT_EQ(readError(t, check), full);
    }
    std::string error;
    auto db = dxf::readDrawingText(sampleDxf(), "good.dxf", error, check);
    ASSERT_NE(db, nullptr) << error;
    for (AcDbObjectId space : {db->modelSpaceId(), db->paperSpaceId()}) {
        AcDbBlockTableRecord *rec = nullptr;
        ASSERT_EQ(acdbOpenObject(rec, space, AcDb::kForRead), Acad::eOk);
        EXPECT_TRUE(tev::db::ObjectAccess::entities(*rec).empty());
        EXPECT_EQ(rec->close(), Acad::eOk);
    }
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(layers->has(WALLS));
    EXPECT_EQ(layers->close(), Acad::eOk);
    db.reset();
    EXPECT_EQ(tev::db::alloc::liveObjects(), before);
}

} // namespace
