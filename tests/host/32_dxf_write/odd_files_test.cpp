// Tests of files that lack or repeat parts: what the reader has to make up (layers,
// linetypes, the spaces of an R12 file) must not take a handle the file uses, a drawing read
// from such a file writes text that reads back and writes the very same, and a refused read
// leaves no object behind.
#include "dxf_io.h"
#include "sample_dxf.h"

#include "allocator.h"
#include "access.h"
#include "dbents.h"
#include "dbmain.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

using namespace dxftest;

// Reads text, writes it, reads that and writes again; the two writes must be equal. Returns
// the first write.
std::string stableWrite(const std::string &text, const dxf::ReadOptions &options = {}) {
    std::string error, first, second;
    auto db = dxf::readDrawingText(text, "odd.dxf", error, options);
    EXPECT_NE(db, nullptr) << error;
    if (db == nullptr)
        return {};
    EXPECT_TRUE(dxf::writeDrawingText(*db, first, error)) << error;
    auto again = dxf::readDrawingText(first, "written.dxf", error);
    EXPECT_NE(again, nullptr) << error;
    if (again == nullptr)
        return first;
    EXPECT_TRUE(dxf::writeDrawingText(*again, second, error)) << error;
    EXPECT_EQ(first, second);
    return first;
}

// How often each handle (group 5 or 105 after a group 0) stands in text, and the
// $HANDSEED; read with the tag reader alone.
struct Handles {
    std::map<std::uint64_t, int> count;
    std::uint64_t seed = 0;
};
Handles handlesOf(const std::string &text) {
    static const dxf::Locator where("written.dxf");
    dxf::TagReader reader(text, where);
    Handles out;
    dxf::Tag t;
    int previous = -1;
    bool seedNext = false;
    while (reader.next(t)) {
        std::uint64_t h = 0;
        if (seedNext && t.code == 5 && dxf::toHandle(t.value, h))
            out.seed = h;
        else if ((t.code == 5 || t.code == 105) && previous == 0 && dxf::toHandle(t.value, h))
            ++out.count[h];
        seedNext = t.code == 9 && dxf::trimBlanks(t.value) == "$HANDSEED";
        previous = t.code;
    }
    return out;
}

// Every handle once, and all of them below the seed.
void expectHandlesSound(const std::string &text) {
    const Handles h = handlesOf(text);
    ASSERT_FALSE(h.count.empty());
    for (const auto &[handle, n] : h.count) {
        EXPECT_EQ(n, 1) << "handle " << std::hex << handle;
        EXPECT_LT(handle, h.seed) << "handle " << std::hex << handle;
    }
}

// Test that a linetype and a layer the entities name but the tables lack are made with
// handles of their own, not the handle of an APPID or of an entity that comes later.
TEST(OddFiles, MadeUpRecordsTakeNoFileHandle) {
    std::string text = sampleDxf();
    // An entity on an unknown layer in an unknown linetype, before an entity whose handle
    // is the one the database would give next, and an APPID with the handle after that.
    const std::string before = "0\nLINE\n5\n3E\n";
    text.insert(text.find(before),
                lines({"0",   "LINE",       "5",  "60",      "330", "1F",       "100", "AcDbEntity",
                       "8",   "NEWLAYER",   "6",  "NEWTYPE", "100", "AcDbLine", "10",  "0",
                       "20",  "0",          "30", "0",       "11",  "1",        "21",  "1",
                       "31",  "0",          "0",  "LINE",    "5",   "101",      "330", "1F",
                       "100", "AcDbEntity", "8",  "0",       "100", "AcDbLine", "10",  "0",
                       "20",  "0",          "30", "0",       "11",  "1",        "21",  "1",
                       "31",  "0"}));
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    EXPECT_NE(out.find("\nNEWLAYER\n"), std::string::npos);
    EXPECT_NE(out.find("\nNEWTYPE\n"), std::string::npos);
    EXPECT_GT(handlesOf(out).seed, 0x101u);
}

// Test that an R12 block whose ENDBLK's handle is the next free one, and a layer only an
// entity names, do not end up with the same handle as something in the file.
TEST(OddFiles, R12BlocksAndLayers) {
    const std::string text = lines(
        {"0",  "SECTION", "2",  "HEADER",  "9",  "$ACADVER", "1",  "AC1009", "9",  "$HANDSEED",
         "5",  "20",      "0",  "ENDSEC",  "0",  "SECTION",  "2",  "BLOCKS", "0",  "BLOCK",
         "5",  "20",      "8",  "0",       "2",  "POST",     "70", "0",      "10", "0",
         "20", "0",       "30", "0",       "3",  "POST",     "0",  "LINE",   "5",  "21",
         "8",  "A",       "10", "0",       "20", "1",        "30", "0",      "11", "1",
         "21", "1",       "31", "0",       "0",  "ENDBLK",   "5",  "22",     "8",  "0",
         "0",  "ENDSEC",  "0",  "SECTION", "2",  "ENTITIES", "0",  "INSERT", "5",  "23",
         "8",  "B",       "2",  "POST",    "10", "0",        "20", "0",      "30", "0",
         "0",  "ENDSEC",  "0",  "EOF"});
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
}

// Test that a table record the file gives no handle moves out of the way of a later record
// that spells the handle the database gave it, whichever handle that is: every such file
// saves and reads back the same.
TEST(OddFiles, HandlelessRecordYieldsItsHandle) {
    for (unsigned later = 4; later < 0x40; ++later) {
        std::ostringstream hex;
        hex << std::hex << std::uppercase << later;
        const std::string text = lines(
            {"0", "SECTION", "2", "TABLES", "0", "TABLE",  "2", "LTYPE", "5", "3",
             "0", "LTYPE",   "2", "DASH",   "0", "ENDTAB", "0", "TABLE", "5", hex.str().c_str(),
             "0", "ENDTAB",  "0", "ENDSEC", "0", "EOF"});
        SCOPED_TRACE("later table " + hex.str());
        const std::string out = stableWrite(text);
        EXPECT_NE(out.find("\nDASH\n"), std::string::npos);
    }
}

// Test that a file with a header alone, with two TABLES or two ENTITIES sections, or with a
// section of its own before ENTITIES, writes each table, block and entity once and reads
// back.
TEST(OddFiles, MissingRepeatedAndExtraSections) {
    for (const char *version : {"AC1015", "C"}) {
        const std::string out = stableWrite(lines({"0", "SECTION", "2", "HEADER", "9", "$ACADVER",
                                                   "1", version, "0", "ENDSEC", "0", "EOF"}));
        for (const char *part : {"\nTABLES\n", "\nBLOCKS\n", "\nENTITIES\n", "\nLAYER\n"})
            EXPECT_NE(out.find(part), std::string::npos) << version << part;
        expectHandlesSound(out);
    }
    const std::string twice =
        stableWrite(lines({"0", "SECTION", "2", "TABLES", "0", "ENDSEC", "0", "SECTION", "2",
                           "TABLES", "0", "ENDSEC", "0", "EOF"}));
    std::size_t layerTables = 0;
    for (std::size_t at = twice.find("TABLE\n  2\nLAYER\n"); at != std::string::npos;
         at = twice.find("TABLE\n  2\nLAYER\n", at + 1))
        ++layerTables;
    EXPECT_EQ(layerTables, 1u) << twice;
    // A section named HEADER and more after a NUL is a section of its own, not a HEADER.
    std::string notHeader =
        lines({"0", "SECTION", "2", "HEADER",   "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC",
               "0", "SECTION", "2", "HEADER@X", "0", "THING",    "0", "ENDSEC", "0", "EOF"});
    notHeader[notHeader.find('@')] = '\0';
    const std::string notHeaderOut = stableWrite(notHeader);
    EXPECT_NE(notHeaderOut.find(std::string("HEADER\0X\n0\nTHING\n", 17)), std::string::npos);
    // Two HEADER sections: one is written, with the variables of both.
    const std::string headers =
        stableWrite(lines({"0",  "SECTION", "2", "HEADER",  "9", "$ACADVER", "1", "AC1015",
                           "0",  "ENDSEC",  "0", "SECTION", "2", "HEADER",   "9", "$INSUNITS",
                           "70", "4",       "0", "ENDSEC",  "0", "EOF"}));
    EXPECT_EQ(headers.find("HEADER"), headers.rfind("HEADER")) << headers;
    EXPECT_NE(headers.find("$INSUNITS\n70\n4\n"), std::string::npos) << headers;
    // An R12 file with block records in its tables: its spaces get no BLOCK, another
    // record gets the BLOCK it lacked.
    const std::string r12Records = stableWrite(
        lines({"0", "SECTION",      "2", "TABLES",       "0", "TABLE",        "2", "BLOCK_RECORD",
               "0", "BLOCK_RECORD", "2", "*Model_Space", "0", "BLOCK_RECORD", "2", "FOO",
               "0", "ENDTAB",       "0", "ENDSEC",       "0", "EOF"}));
    EXPECT_EQ(r12Records.find("BLOCK\n  5"), r12Records.rfind("BLOCK\n  5")) << r12Records;
    EXPECT_NE(r12Records.find("  2\nFOO\n 70\n"), std::string::npos) << r12Records;
    const std::string twoEntities = stableWrite(
        lines({"0", "SECTION",  "2", "ENTITIES", "0",      "CIRCLE", "5",      "2", "10",
               "0", "20",       "0", "40",       "1",      "0",      "ENDSEC", "0", "SECTION",
               "2", "ENTITIES", "0", "CIRCLE",   "5",      "3",      "10",     "0", "20",
               "0", "40",       "2", "0",        "ENDSEC", "0",      "EOF"}));
    EXPECT_EQ(twoEntities.find("ENTITIES"), twoEntities.rfind("ENTITIES")) << twoEntities;
    EXPECT_NE(twoEntities.find("\n40\n2\n"), std::string::npos) << twoEntities;
    const std::string extra =
        stableWrite(lines({"0",  "SECTION",  "2",  "MINE",   "0", "ENDSEC", "0",  "SECTION",
                           "2",  "ENTITIES", "0",  "CIRCLE", "5", "2",      "10", "0",
                           "20", "0",        "40", "1",      "0", "ENDSEC", "0",  "EOF"}));
    EXPECT_EQ(extra.find("CIRCLE"), extra.rfind("CIRCLE")) << extra;
}

// Test that a layer without a linetype (group 6) gets Continuous, which the drawing then
// holds, so that the file written names a linetype it defines.
TEST(OddFiles, LayerWithoutLinetypeGetsContinuous) {
    const std::string out =
        stableWrite(lines({"0",  "SECTION", "2",  "HEADER",  "9",  "$ACADVER", "1",  "AC1015",
                           "0",  "ENDSEC",  "0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",
                           "5",  "30",      "8",  "0",       "10", "0",        "20", "0",
                           "11", "1",       "21", "1",       "0",  "ENDSEC",   "0",  "EOF"}));
    EXPECT_NE(out.find("LTYPE\n  5\n"), std::string::npos);
    EXPECT_NE(out.find("  2\nContinuous\n"), std::string::npos) << out;
    expectHandlesSound(out);
}

// Test that an entity without a handle in a file that has handles is written with the one
// it was given, and that a name with a NUL byte in it means the name before the NUL, in the
// table as on the entity.
TEST(OddFiles, EntityWithoutHandleAndNameWithNul) {
    std::string text =
        lines({"0",  "SECTION", "2", "HEADER", "9",  "$ACADVER", "1",  "AC1015",  "0",  "ENDSEC",
               "0",  "SECTION", "2", "BLOCKS", "0",  "ENDSEC",   "0",  "SECTION", "2",  "ENTITIES",
               "0",  "LINE",    "8", "AB@",    "10", "0",        "20", "0",       "11", "1",
               "21", "1",       "0", "ENDSEC", "0",  "EOF"});
    text[text.find("AB@") + 2] = '\0';
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    const std::size_t line = out.find("\nLINE\n");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(out.substr(line, 10), "\nLINE\n  5\n") << out.substr(line, 40);
    EXPECT_NE(out.find("  2\nAB\n"), std::string::npos); // the layer, made by its name
}

// Test that a CR at the end of a name (before a NUL, so that it is not part of a CRLF line
// end) is not part of the name: the made-up layer would be written with it, read back
// without it, and the entity would then name a layer of its own.
TEST(OddFiles, NameEndingInCarriageReturn) {
    std::string text = lines({"0",  "SECTION", "2",  "HEADER",  "9",  "$ACADVER", "1",  "AC1015",
                              "0",  "ENDSEC",  "0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",
                              "5",  "20",      "8",  "AB@@",    "10", "0",        "20", "0",
                              "11", "1",       "21", "1",       "0",  "ENDSEC",   "0",  "EOF"});
    const std::size_t at = text.find("AB@@");
    text[at + 2] = '\r';
    text[at + 3] = '\0';
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    EXPECT_NE(out.find("  2\nAB\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("AB\r\n"), std::string::npos) << out;
}

// Test that an R12 file's seed stays where it is when the file is written twice: the block
// table and block records the reader makes (an R12 file has none) take handles of their own
// each time, and those never reach the file. With a seed of no value, and with one.
TEST(OddFiles, R12SeedDoesNotMove) {
    const std::string emptyTables =
        lines({"0", "SECTION", "2", "HEADER", "9", "$HANDSEED", "0", "ENDSEC", "0", "SECTION", "2",
               "TABLES", "0", "ENDSEC", "0", "EOF"});
    const std::string out = stableWrite(emptyTables);
    expectHandlesSound(out);
    const std::string withSeed = lines(
        {"0",  "SECTION", "2", "HEADER", "9",  "$ACADVER", "1",  "AC1009",   "9",  "$HANDSEED",
         "5",  "40",      "0", "ENDSEC", "0",  "SECTION",  "2",  "ENTITIES", "0",  "LINE",
         "5",  "30",      "8", "0",      "10", "0",        "20", "0",        "11", "1",
         "21", "1",       "0", "ENDSEC", "0",  "EOF"});
    const std::string kept = stableWrite(withSeed);
    EXPECT_EQ(handlesOf(kept).seed, 0x40u) << kept;
    // No TABLES section: an R12 save writes no layer table either, so the layer 0 and the
    // tables the reader makes for it do not raise the seed.
    const std::string noTables = lines(
        {"0",  "SECTION", "2", "HEADER",  "9", "$ACADVER", "1",  "AC1009",   "9",  "$HANDSEED",
         "0",  "ENDSEC",  "0", "SECTION", "2", "ENTITIES", "0",  "POLYLINE", "8",  "0",
         "66", "1",       "0", "VERTEX",  "8", "0",        "10", "1",        "20", "2",
         "0",  "SEQEND",  "5", "23",      "8", "0",        "0",  "ENDSEC",   "0",  "EOF"});
    const std::string out2 = stableWrite(noTables);
    expectHandlesSound(out2);
    // A BLOCK_RECORD table in an R12 file is written back: its handles count.
    const std::string records = lines({"0",  "SECTION",
                                       "2",  "HEADER",
                                       "9",  "$ACADVER",
                                       "1",  "AC1009",
                                       "9",  "$HANDSEED",
                                       "5",  "10",
                                       "0",  "ENDSEC",
                                       "0",  "SECTION",
                                       "2",  "TABLES",
                                       "0",  "TABLE",
                                       "2",  "LTYPE",
                                       "5",  "4",
                                       "0",  "LTYPE",
                                       "5",  "5",
                                       "2",  "CONTINUOUS",
                                       "0",  "ENDTAB",
                                       "0",  "TABLE",
                                       "2",  "LAYER",
                                       "5",  "6",
                                       "0",  "LAYER",
                                       "5",  "7",
                                       "2",  "0",
                                       "6",  "CONTINUOUS",
                                       "0",  "ENDTAB",
                                       "0",  "TABLE",
                                       "2",  "BLOCK_RECORD",
                                       "0",  "BLOCK_RECORD",
                                       "5",  "90",
                                       "2",  "*Model_Space",
                                       "0",  "BLOCK_RECORD",
                                       "5",  "91",
                                       "2",  "*Paper_Space",
                                       "0",  "ENDTAB",
                                       "0",  "ENDSEC",
                                       "0",  "SECTION",
                                       "2",  "ENTITIES",
                                       "0",  "LINE",
                                       "5",  "20",
                                       "8",  "0",
                                       "10", "0",
                                       "20", "0",
                                       "11", "1",
                                       "21", "1",
                                       "0",  "ENDSEC",
                                       "0",  "EOF"});
    const std::string out3 = stableWrite(records);
    expectHandlesSound(out3);
    EXPECT_EQ(handlesOf(out3).count.count(0x91), 1u) << out3;
}

// Test that in an R12 file that has handles, a vertex that came without one (a linetype
// group 6 where its handle should be) is written with the handle it was given, so that the
// next read finds it there and the seed stays put.
TEST(OddFiles, R12VertexWithoutHandleGetsItsHandleWritten) {
    const std::string text = lines(
        {"0",  "SECTION", "2",  "HEADER", "9",  "$ACADVER", "1",  "AC1009",   "9",  "$HANDSEED",
         "5",  "40",      "0",  "ENDSEC", "0",  "SECTION",  "2",  "ENTITIES", "0",  "POLYLINE",
         "5",  "30",      "8",  "0",      "66", "1",        "10", "0",        "20", "0",
         "30", "0",       "0",  "VERTEX", "5",  "31",       "8",  "0",        "10", "0",
         "20", "0",       "30", "0",      "0",  "VERTEX",   "6",  "32",       "8",  "0",
         "10", "1",       "20", "1",      "30", "0",        "0",  "SEQEND",   "5",  "33",
         "8",  "0",       "0",  "ENDSEC", "0",  "EOF"});
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    const Handles h = handlesOf(out);
    EXPECT_EQ(h.count.size(), 4u) << out; // the polyline, both vertices and the SEQEND
    EXPECT_EQ(h.seed, 0x40u) << out;
}

// Test that an entity written from the database (it came without a handle) keeps a group
// with a negative code among the groups it carries along, instead of failing the save.
TEST(OddFiles, RewrittenEntityKeepsNegativeGroupCode) {
    const std::string text = lines(
        {"0", "SECTION", "2",  "HEADER", "9",  "$ACADVER", "1",  "AC1009",   "9",  "$HANDSEED",
         "5", "40",      "0",  "ENDSEC", "0",  "SECTION",  "2",  "ENTITIES", "0",  "CIRCLE",
         "8", "0",       "-2", "7",      "10", "1",        "20", "2",        "40", "3",
         "0", "ENDSEC",  "0",  "EOF"});
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    EXPECT_NE(out.find("\n-2\n7\n"), std::string::npos) << out;
}

// Test an entity written from the database (it has no handle, in a file with handles) into a
// file without subclass markers (here an R12 file by its version) when its record had a colour
// group after an unknown subclass marker. One that is not a number is no value of its group:
// left out on reading, with a note (without the marker it would be read as the entity's
// colour; the written file did not read back); the second polyline's 62 of 5 is its colour, as
// other readers take it, and is written once, where the common groups stand.
TEST(OddFiles, ClassDataColourNotWrittenWithoutMarkers) {
    // A two-vertex polyline without a handle, with `tail` after its vertices.
    const std::string polyline = "0\nLWPOLYLINE\n100\nAcDbEntity\n8\n0\n100\nAcDbPolyline\n90\n2\n"
                                 "70\n0\n10\n0\n20\n0\n10\n4\n20\n0\n";
    const std::string text =
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n9\n$HANDSEED\n5\nFF\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n" +
        polyline + "1\nNOTE\n100\nMyData\n62\n\n2\nX\n" + polyline + "100\nMyData\n62\n5\n" +
        "0\nENDSEC\n0\nEOF\n";
    std::vector<std::string> repairs;
    dxf::ReadOptions options;
    options.repairs = &repairs;
    const std::string out = stableWrite(text, options);
    ASSERT_EQ(repairs.size(), 1u);
    EXPECT_NE(repairs[0].find("group 62 holds '', not a whole number: left out"), std::string::npos)
        << repairs[0];
    std::string error;
    auto db = dxf::readDrawingText(out, "written.dxf", error);
    ASSERT_NE(db, nullptr) << error << out;
    AcDbBlockTableRecord *space = nullptr;
    ASSERT_EQ(acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    std::vector<int> colours;
    for (const AcDbObject *e : tev::db::ObjectAccess::entities(*space))
        colours.push_back(static_cast<const AcDbEntity *>(e)->colorIndex());
    EXPECT_EQ(space->close(), Acad::eOk);
    EXPECT_EQ(colours, (std::vector<int>{256, 5})) << out;
    EXPECT_NE(out.find("NOTE"), std::string::npos) << out; // what may stay, stays
    EXPECT_EQ(out.find("62\n\n"), std::string::npos) << out;
}

// Test that a file whose ENTITIES come before its TABLES reads: the layer and linetype an
// entity names are taken over by the table's records when they come (their colour, flags
// and handles), the tables keep the file's order, and the text written reads back the same.
TEST(OddFiles, TablesAfterEntitiesTakeOverMadeUpRecords) {
    const std::string text =
        lines({"0",  "SECTION", "2",  "HEADER",   "9",  "$ACADVER", "1",  "AC1015", "0",  "ENDSEC",
               "0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",     "5",  "30",     "8",  "RED",
               "6",  "DASHED",  "10", "0",        "20", "0",        "11", "1",      "21", "1",
               "0",  "ENDSEC",  "0",  "SECTION",  "2",  "TABLES",   "0",  "TABLE",  "2",  "LTYPE",
               "5",  "5",       "0",  "LTYPE",    "5",  "14",       "2",  "DASHED", "3",  "dash",
               "72", "65",      "73", "0",        "40", "0",        "0",  "ENDTAB", "0",  "TABLE",
               "2",  "LAYER",   "5",  "2",        "0",  "LAYER",    "5",  "10",     "2",  "0",
               "70", "0",       "62", "7",        "6",  "DASHED",   "0",  "LAYER",  "5",  "11",
               "2",  "RED",     "70", "4",        "62", "1",        "6",  "DASHED", "0",  "ENDTAB",
               "0",  "ENDSEC",  "0",  "EOF"});
    std::string error;
    auto db = dxf::readDrawingText(text, "late.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    AcDbLine *line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, tev::db::lookupHandle(*db, AcDbHandle(0x30)), AcDb::kForRead),
              Acad::eOk);
    AcDbLayerTableRecord *layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, line->layerId(), AcDb::kForRead), Acad::eOk);
    EXPECT_STREQ(layer->nameRef().c_str(), "RED");
    EXPECT_EQ(layer->color().colorIndex(), 1);
    EXPECT_TRUE(layer->isLocked());
    EXPECT_EQ(layer->objectId().handle().value(), 0x11u);
    EXPECT_EQ(layer->close(), Acad::eOk);
    EXPECT_EQ(line->close(), Acad::eOk);
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    const std::size_t zero = out.find("\n2\n0\n70\n"), red = out.find("\n2\nRED\n70\n");
    ASSERT_NE(red, std::string::npos) << out;
    EXPECT_LT(zero, red) << out;
    EXPECT_EQ(red, out.rfind("\n2\nRED\n70\n")) << out;
}

// Test that a table the file gives no handle does not move the seed: while the file is read
// its records take the handles it held, so it ends up above them all, yet it is written back
// without a handle and the next read does the same again.
TEST(OddFiles, HandlelessTableLeavesTheSeedAlone) {
    const std::string text = lines({"0",   "SECTION",
                                    "2",   "HEADER",
                                    "9",   "$ACADVER",
                                    "1",   "AC1015",
                                    "9",   "$HANDSEED",
                                    "5",   "50",
                                    "0",   "ENDSEC",
                                    "0",   "SECTION",
                                    "2",   "TABLES",
                                    "0",   "TABLE",
                                    "2",   "LTYPE",
                                    "5",   "4A",
                                    "0",   "LTYPE",
                                    "5",   "4B",
                                    "2",   "CONTINUOUS",
                                    "70",  "0",
                                    "3",   "Solid line",
                                    "72",  "65",
                                    "73",  "0",
                                    "40",  "0",
                                    "0",   "ENDTAB",
                                    "0",   "TABLE",
                                    "2",   "BLOCK_RECORD",
                                    "5",   "4D",
                                    "0",   "BLOCK_RECORD",
                                    "5",   "4E",
                                    "2",   "*Model_Space",
                                    "0",   "BLOCK_RECORD",
                                    "5",   "4F",
                                    "2",   "*Paper_Space",
                                    "0",   "ENDTAB",
                                    "0",   "TABLE",
                                    "2",   "LAYER",
                                    "0",   "LAYER",
                                    "5",   "2",
                                    "2",   "0",
                                    "70",  "0",
                                    "62",  "7",
                                    "6",   "CONTINUOUS",
                                    "0",   "ENDTAB",
                                    "0",   "ENDSEC",
                                    "0",   "SECTION",
                                    "2",   "BLOCKS",
                                    "0",   "BLOCK",
                                    "5",   "10",
                                    "330", "4E",
                                    "8",   "0",
                                    "2",   "*Model_Space",
                                    "70",  "0",
                                    "10",  "0",
                                    "20",  "0",
                                    "30",  "0",
                                    "0",   "ENDBLK",
                                    "5",   "11",
                                    "330", "4E",
                                    "8",   "0",
                                    "0",   "BLOCK",
                                    "5",   "12",
                                    "330", "4F",
                                    "8",   "0",
                                    "2",   "*Paper_Space",
                                    "70",  "0",
                                    "10",  "0",
                                    "20",  "0",
                                    "30",  "0",
                                    "0",   "ENDBLK",
                                    "5",   "13",
                                    "330", "4F",
                                    "8",   "0",
                                    "0",   "ENDSEC",
                                    "0",   "SECTION",
                                    "2",   "ENTITIES",
                                    "0",   "LINE",
                                    "5",   "30",
                                    "330", "4E",
                                    "8",   "0",
                                    "10",  "0",
                                    "20",  "0",
                                    "11",  "1",
                                    "21",  "1",
                                    "0",   "ENDSEC",
                                    "0",   "EOF"});
    const std::string out = stableWrite(text);
    expectHandlesSound(out);
    EXPECT_EQ(handlesOf(out).seed, 0x50u); // nothing added: the file's own
    std::string error, again;
    auto db = dxf::readDrawingText(out, "written.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(dxf::writeDrawingText(*db, again, error)) << error;
    EXPECT_EQ(handlesOf(again).seed, handlesOf(out).seed);
    // A new object still takes a handle nothing holds.
    AcDbLayerTable *table = nullptr;
    ASSERT_EQ(db->getLayerTable(table, AcDb::kForRead), Acad::eOk);
    const std::uint64_t tableHandle = table->objectId().handle().value();
    EXPECT_EQ(table->close(), Acad::eOk);
    EXPECT_LT(tableHandle, db->handseed().value());
    AcDbLine *line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 2, 0));
    AcDbBlockTable *blocks = nullptr;
    ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecord *model = nullptr;
    ASSERT_EQ(blocks->getAt("*Model_Space", model, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(blocks->close(), Acad::eOk);
    AcDbObjectId id;
    ASSERT_EQ(model->appendAcDbEntity(id, line), Acad::eOk);
    EXPECT_NE(id.handle().value(), tableHandle);
    EXPECT_EQ(line->close(), Acad::eOk);
    EXPECT_EQ(model->close(), Acad::eOk);
    std::string withLine;
    ASSERT_TRUE(dxf::writeDrawingText(*db, withLine, error)) << error;
    expectHandlesSound(withLine);
}

// Test that blanks around a block's name are not part of it (a block " *Paper_Space" is the
// paper space, not a second block that a save would write twice), and that two blocks whose
// names differ only after a NUL byte are refused as one block defined twice, with the byte
// shown in the message.
TEST(OddFiles, BlockNamesTrimmedAndCutAtNul) {
    const std::string spaced = lines(
        {"0",  "SECTION", "2",  "HEADER",   "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC",
         "0",  "SECTION", "2",  "BLOCKS",   "0", "BLOCK",    "5", "20",     "2", "  *Paper_Space",
         "10", "0",       "20", "0",        "0", "ENDBLK",   "5", "21",     "0", "ENDSEC",
         "0",  "SECTION", "2",  "ENTITIES", "0", "ENDSEC",   "0", "EOF"});
    const std::string out = stableWrite(spaced);
    expectHandlesSound(out);
    std::size_t paper = 0;
    for (std::size_t at = out.find("*Paper_Space\n"); at != std::string::npos;
         at = out.find("*Paper_Space\n", at + 1))
        ++paper;
    EXPECT_EQ(paper, 2u) << out; // its BLOCK_RECORD and its BLOCK
    std::string twoNames =
        lines({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK",  "2", "A@B",    "0", "ENDBLK",
               "0", "BLOCK",   "2", "A@C",    "0", "ENDBLK", "0", "ENDSEC", "0", "EOF"});
    for (char &c : twoNames)
        if (c == '@')
            c = '\0';
    std::string error;
    EXPECT_EQ(dxf::readDrawingText(twoNames, "nul.dxf", error), nullptr);
    EXPECT_EQ(error, "nul.dxf:11: block \"A^@C\" is defined twice (first at line 5)");
    // A name cut at its NUL loses the blanks before the NUL too: "L\t\t" and "L" are one
    // layer, in the file read and in the file written.
    std::string tabbed =
        lines({"0",  "SECTION", "2",  "HEADER",   "9",  "$ACADVER", "1",  "AC1015", "0",  "ENDSEC",
               "0",  "SECTION", "2",  "ENTITIES", "0",  "LINE",     "8",  "L@",     "10", "0",
               "20", "0",       "11", "1",        "21", "1",        "0",  "LINE",   "8",  "L\t\t@x",
               "10", "0",       "20", "0",        "11", "2",        "21", "2",      "0",  "ENDSEC",
               "0",  "EOF"});
    for (char &c : tabbed)
        if (c == '@')
            c = '\0';
    const std::string tabbedOut = stableWrite(tabbed);
    const std::string layerL = "AcDbLayerTableRecord\n  2\nL\n";
    EXPECT_NE(tabbedOut.find(layerL), std::string::npos) << tabbedOut;
    EXPECT_EQ(tabbedOut.find(layerL), tabbedOut.rfind(layerL)) << tabbedOut;
    EXPECT_EQ(tabbedOut.find("AcDbLayerTableRecord\n  2\nL\t"), std::string::npos);
    // A block spelled once with an escape and once with its byte is one block: defined twice.
    EXPECT_EQ(
        dxf::readDrawingText(
            lines({"0", "SECTION", "2", "BLOCKS",   "0", "BLOCK",  "2", "A",      "0", "ENDBLK",
                   "0", "BLOCK",   "2", "\\U+0041", "0", "ENDBLK", "0", "ENDSEC", "0", "EOF"}),
            "esc.dxf", error),
        nullptr);
    EXPECT_EQ(error, "esc.dxf:11: block \"A\" is defined twice");
}

// Test that an R12 file's blocks keep the order of their BLOCKs when an INSERT names one
// before it (a second ENTITIES section after BLOCKS is written into the first, before them).
TEST(OddFiles, R12BlocksKeepTheirOrder) {
    const std::string text =
        lines({"0",  "SECTION", "2",  "ENTITIES", "0",  "ENDSEC",   "0",  "SECTION", "2", "BLOCKS",
               "0",  "BLOCK",   "2",  "A",        "10", "0",        "20", "0",       "0", "ENDBLK",
               "0",  "BLOCK",   "2",  "B",        "10", "0",        "20", "0",       "0", "ENDBLK",
               "0",  "ENDSEC",  "0",  "SECTION",  "2",  "ENTITIES", "0",  "INSERT",  "2", "B",
               "10", "0",       "20", "0",        "0",  "ENDSEC",   "0",  "EOF"});
    const std::string out = stableWrite(text);
    const std::size_t a = out.find("BLOCK\n2\nA\n"), b = out.find("BLOCK\n2\nB\n");
    ASSERT_NE(a, std::string::npos) << out;
    ASSERT_NE(b, std::string::npos) << out;
    EXPECT_LT(a, b) << out;
    // BLOCKS before a BLOCK_RECORD table: the table's order holds, whatever the BLOCKs'.
    const std::string records = lines({"0", "SECTION",
                                       "2", "HEADER",
                                       "9", "$ACADVER",
                                       "1", "AC1015",
                                       "0", "ENDSEC",
                                       "0", "SECTION",
                                       "2", "BLOCKS",
                                       "0", "BLOCK",
                                       "2", "A",
                                       "0", "ENDBLK",
                                       "0", "BLOCK",
                                       "2", "B",
                                       "0", "ENDBLK",
                                       "0", "ENDSEC",
                                       "0", "SECTION",
                                       "2", "TABLES",
                                       "0", "TABLE",
                                       "2", "BLOCK_RECORD",
                                       "0", "BLOCK_RECORD",
                                       "2", "B",
                                       "0", "BLOCK_RECORD",
                                       "2", "A",
                                       "0", "ENDTAB",
                                       "0", "ENDSEC",
                                       "0", "EOF"});
    const std::string recordsOut = stableWrite(records);
    EXPECT_LT(recordsOut.find("BLOCK\n2\nB\n"), recordsOut.find("BLOCK\n2\nA\n")) << recordsOut;
}

// Test that an entity of a kind the host does not model, whose type holds a NUL byte,
// keeps the whole type when it is written from the database (its layer's name, cut at the
// NUL, changed it): a type cut to "ENDSEC" would end the section in the text written.
TEST(OddFiles, UnknownTypeWithNulKeepsItsSpelling) {
    std::string text = lines({"0", "SECTION", "2", "HEADER",  "9", "$ACADVER", "1", "AC1032",
                              "0", "ENDSEC",  "0", "SECTION", "2", "ENTITIES", "0", "ENDSEC@X",
                              "5", "30",      "8", "L@Y",     "0", "ENDSEC",   "0", "EOF"});
    text[text.find("ENDSEC@X") + 6] = '\0';
    text[text.find("L@Y") + 1] = '\0';
    const std::string out = stableWrite(text);
    EXPECT_NE(out.find(std::string("ENDSEC\0X\n", 9)), std::string::npos) << out;
}

// Test that a changed entity's numbers the change left alone keep the file's spelling
// ("1.000", "2E0"), while a number that changed is written in the shortest form.
TEST(OddFiles, ChangedEntityKeepsNumbersAsSpelled) {
    std::string text = sampleDxf();
    const std::string from = "10\n1.0\n20\n2.0\n30\n0.0\n11\n6.0\n";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(), "10\n1.000\n20\n2E0\n30\n0.0\n11\n6.0\n");
    std::string error, out;
    auto db = dxf::readDrawingText(text, "spelled.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    AcDbLine *line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, tev::db::lookupHandle(*db, AcDbHandle(0x30)), AcDb::kForWrite),
              Acad::eOk);
    EXPECT_EQ(line->setColorIndex(5), Acad::eOk);
    AcGePoint3d end = line->endPoint();
    end.x = 6.25;
    EXPECT_EQ(line->setEndPoint(end), Acad::eOk);
    EXPECT_EQ(line->close(), Acad::eOk);
    ASSERT_TRUE(dxf::writeDrawingText(*db, out, error)) << error;
    const std::size_t at = out.find("\nLINE\n  5\n30\n");
    ASSERT_NE(at, std::string::npos);
    const std::string record = out.substr(at, out.find("\n  0\n", at + 1) - at);
    EXPECT_NE(record.find(" 10\n1.000\n 20\n2E0\n 30\n0.0\n"), std::string::npos) << record;
    EXPECT_NE(record.find(" 11\n6.25\n"), std::string::npos) << record;
    EXPECT_NE(record.find(" 62\n5\n"), std::string::npos) << record;
    auto again = dxf::readDrawingText(out, "again.dxf", error);
    ASSERT_NE(again, nullptr) << error;
    AcDbLine *back = nullptr;
    ASSERT_EQ(acdbOpenObject(back, tev::db::lookupHandle(*again, AcDbHandle(0x30)), AcDb::kForRead),
              Acad::eOk);
    EXPECT_EQ(back->startPoint(), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(back->endPoint(), AcGePoint3d(6.25, 5, 0));
    EXPECT_EQ(back->close(), Acad::eOk);
}

// Test that reads refused halfway through an entity leave no database object behind.
TEST(OddFiles, RefusedReadsLeakNothing) {
    const char *cases[][2] = {
        {"SEQEND", "0\nPOLYLINE\n5\n20\n66\n1\n0\nSEQEND\n5\nXYZ\n"},
        {"VERTEX", "0\nPOLYLINE\n5\n20\n66\n1\n0\nVERTEX\n5\n21\n62\nred\n0\nSEQEND\n5\n22\n"},
        {"3D VERTEX", "0\nPOLYLINE\n5\n20\n70\n8\n0\nVERTEX\n5\nQ\n0\nSEQEND\n5\n22\n"},
        {"TEXT", "0\nTEXT\n5\n20\n40\nhigh\n"},
        {"INSERT", "0\nINSERT\n5\n20\n2\nB\n41\n0\n"},
    };
    const std::string blocks = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n0\nENDBLK\n0\nENDSEC\n";
    tev::db::alloc::Exempt exempt;
    for (const auto &[what, entity] : cases) {
        const long before = tev::db::alloc::liveObjects();
        std::string error;
        auto db = dxf::readDrawingText(blocks + "0\nSECTION\n2\nENTITIES\n" + entity +
                                           "0\nENDSEC\n0\nEOF\n",
                                       "bad.dxf", error);
        EXPECT_EQ(db, nullptr) << what;
        EXPECT_NE(error, "") << what;
        EXPECT_EQ(tev::db::alloc::liveObjects(), before) << what << ": " << error;
    }
}

} // namespace
