// Tests that an entity whose colour alone changed goes back as its original bytes with the
// colour group replaced, added or dropped, and that any other change still rebuilds it.
#include "colour_place.h"
#include "dxf_io.h"
#include "dxf_test_util.h"

#include "access.h"
#include "dbents.h"
#include "dbpoly.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

using namespace dxftest;

std::string writeText(AcDbDatabase &db) {
    std::string out, error;
    EXPECT_TRUE(dxf::writeDrawingText(db, out, error)) << error;
    return out;
}

std::unique_ptr<AcDbDatabase> readText(const std::string &text) {
    std::string error;
    auto db = dxf::readDrawingText(text, "colours.dxf", error);
    EXPECT_NE(db, nullptr) << error;
    return db;
}

// Three lines: one with a colour group and groups the host keeps only as bytes (an
// application group holding a 62 of its own, numbers spelled oddly, extended data), one with
// a layer and linetype but no colour, one with a layer alone.
const std::string kEntities = lines(
    {"0", "SECTION", "2", "ENTITIES",
     // handle 30
     "0", "LINE", "5", "30", "102", "{MYAPP", "62", "5", "102", "}", "100", "AcDbEntity", "8", "0",
     "62", "1", "100", "AcDbLine", "10", "1.50", "20", "2.0", "30", "0.0", "11", "4.0", "21", "6.0",
     "31", "0.0", "1001", "MYAPP", "1070", "62",
     // handle 31
     "0", "LINE", "5", "31", "100", "AcDbEntity", "8", "0", "6", "Continuous", "100", "AcDbLine",
     "10", "0.0", "20", "0.0", "30", "0.0", "11", "1.0", "21", "0.0", "31", "0.0",
     // handle 32
     "0", "LINE", "5", "32", "100", "AcDbEntity", "8", "0", "100", "AcDbLine", "10", "0.0", "20",
     "0.0", "30", "0.0", "11", "0.0", "21", "1.0", "31", "0.0", "0", "ENDSEC", "0", "EOF"});

template <class F> void change(AcDbDatabase &db, std::uint64_t handle, F f) {
    AcDbEntity *ent = nullptr;
    const AcDbObjectId id = tev::db::lookupHandle(db, AcDbHandle(handle));
    ASSERT_EQ(acdbOpenObject(ent, id, AcDb::kForWrite), Acad::eOk);
    f(*ent);
    EXPECT_EQ(ent->close(), Acad::eOk);
}

// The ENTITIES section of DXF text, from its first entity to its ENDSEC.
std::string entitiesOf(const std::string &text) {
    const std::size_t begin = text.find("ENTITIES\n");
    const std::size_t end = text.find("ENDSEC", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "";
    return text.substr(begin, end - begin);
}

// Test the three edits of the colour group in place: replaced (the application's own 62 and
// the extended data's 62 left alone), added after the linetype, added after the layer, and
// that the rest of each record keeps its bytes.
TEST(ColourPatch, ReplacesAddsAndKeepsTheRest) {
    auto db = readText(kEntities);
    ASSERT_NE(db, nullptr);
    change(*db, 0x30, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(3), Acad::eOk); });
    change(*db, 0x31, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(7), Acad::eOk); });
    change(*db, 0x32, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(250), Acad::eOk); });
    std::string expected = entitiesOf(kEntities);
    auto replace = [&](const std::string &from, const std::string &to) {
        const std::size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    };
    replace("8\n0\n62\n1\n100\nAcDbLine\n10\n1.50\n", "8\n0\n 62\n3\n100\nAcDbLine\n10\n1.50\n");
    replace("6\nContinuous\n", "6\nContinuous\n 62\n7\n");
    replace("5\n32\n100\nAcDbEntity\n8\n0\n", "5\n32\n100\nAcDbEntity\n8\n0\n 62\n250\n");
    EXPECT_EQ(entitiesOf(writeText(*db)), expected);
}

// Test that BYLAYER drops the colour group and that a second save of the patched file reads
// back the same colours.
TEST(ColourPatch, ByLayerDropsTheGroupAndReadsBack) {
    auto db = readText(kEntities);
    ASSERT_NE(db, nullptr);
    change(*db, 0x30, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(256), Acad::eOk); });
    const std::string out = writeText(*db);
    const std::string ents = entitiesOf(out);
    EXPECT_EQ(ents.find("8\n0\n100\nAcDbLine\n10\n1.50\n"), ents.find("8\n0\n100\nAcDbLine"));
    EXPECT_NE(ents.find("{MYAPP\n62\n5\n"), std::string::npos); // the application's own 62
    auto again = readText(out);
    ASSERT_NE(again, nullptr);
    for (auto [handle, colour] : {std::pair{0x30, 256}, {0x31, 256}, {0x32, 256}}) {
        AcDbEntity *ent = nullptr;
        const AcDbObjectId id = tev::db::lookupHandle(*again, AcDbHandle(handle));
        ASSERT_EQ(acdbOpenObject(ent, id, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(ent->colorIndex(), colour) << handle;
        EXPECT_EQ(ent->close(), Acad::eOk);
    }
}

// The colour of each entity, by handle, in a drawing read back from text.
std::vector<int> coloursOf(const std::string &text, std::initializer_list<std::uint64_t> handles) {
    std::vector<int> out;
    auto db = readText(text);
    if (db == nullptr)
        return out;
    for (std::uint64_t handle : handles) {
        AcDbEntity *ent = nullptr;
        const AcDbObjectId id = tev::db::lookupHandle(*db, AcDbHandle(handle));
        if (acdbOpenObject(ent, id, AcDb::kForRead) != Acad::eOk) {
            out.push_back(-1);
            continue;
        }
        out.push_back(ent->colorIndex());
        EXPECT_EQ(ent->close(), Acad::eOk);
    }
    return out;
}

// Test that the patch changes the colour group the reader takes, and only that one: of two
// colour groups the last counts (none is BYLAYER, for a vertex too); the vertices of a 2D
// polyline, each patched, keep their other bytes. A 62 a writer put after the line's subclass
// marker is its colour; the line is written anew with the colour where it belongs, and the stray
// copy gone.
TEST(ColourPatch, PatchesTheGroupTheReaderTakes) {
    const std::string text =
        lines({"0", "SECTION", "2", "ENTITIES",
               // handle 40: a 62 in the class data only
               "0", "LINE", "5", "40", "100", "AcDbEntity", "8", "0", "100", "AcDbLine", "62", "5",
               "10", "0", "20", "0", "30", "0", "11", "1", "21", "0", "31", "0",
               // handle 41: two colour groups, the second counts
               "0", "LINE", "5", "41", "100", "AcDbEntity", "62", "1", "8", "0", "62", "2", "100",
               "AcDbLine", "10", "0", "20", "0", "30", "0", "11", "1", "21", "0", "31", "0",
               // handle 42: a 2D polyline with two vertices and its SEQEND
               "0", "POLYLINE", "5", "42", "100", "AcDbEntity", "8", "0", "62", "6", "100",
               "AcDb2dPolyline", "66", "1", "10", "0", "20", "0", "30", "0", "0", "VERTEX", "5",
               "43", "330", "42", "100", "AcDbEntity", "8", "0", "62", "6", "100", "AcDbVertex",
               "100", "AcDb2dVertex", "10", "0", "20", "0", "30", "0", "0", "VERTEX", "5", "44",
               "330", "42", "100", "AcDbEntity", "8", "0", "100", "AcDbVertex", "100",
               "AcDb2dVertex", "10", "1", "20", "0", "30", "0", "0", "SEQEND", "5", "45", "330",
               "42", "100", "AcDbEntity", "8", "0", "0", "ENDSEC", "0", "EOF"});
    auto db = readText(text);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(coloursOf(text, {0x40, 0x41, 0x42, 0x43, 0x44}),
              (std::vector<int>{5, 2, 6, 6, 256})); // a vertex without one is BYLAYER
    change(*db, 0x40, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(3), Acad::eOk); });
    change(*db, 0x41, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(4), Acad::eOk); });
    change(*db, 0x42, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(5), Acad::eOk); });
    const std::string out = writeText(*db);
    EXPECT_EQ(coloursOf(out, {0x40, 0x41, 0x42, 0x43, 0x44}), (std::vector<int>{3, 4, 5, 5, 5}));
    const std::string ents = entitiesOf(out);
    // Entities of the R13 form without a header: the file is saved whole in that form.
    const std::size_t line40 = ents.find("LINE\n  5\n40\n330\n");
    EXPECT_NE(ents.find("100\nAcDbEntity\n  8\n0\n 62\n3\n100\nAcDbLine\n 10\n0\n", line40),
              std::string::npos)
        << ents;
    const std::string first = ents.substr(0, ents.find("LINE\n5\n41"));
    EXPECT_EQ(first.find("\n5\n"), std::string::npos) << first; // no stray 62 of 5
    EXPECT_NE(ents.find("62\n1\n8\n0\n 62\n4\n100\nAcDbLine"), std::string::npos) << ents;
    // The vertices keep their numbers as the file spelled them.
    EXPECT_NE(ents.find("5\n43\n330\n42\n100\nAcDbEntity\n8\n0\n 62\n5\n100\nAcDbVertex\n100\n"
                        "AcDb2dVertex\n10\n0\n20\n0\n30\n0\n0\nVERTEX\n5\n44\n330\n42\n100\n"
                        "AcDbEntity\n8\n0\n 62\n5\n100\nAcDbVertex\n100\nAcDb2dVertex\n10\n1\n20\n"
                        "0\n30\n0\n0\nSEQEND\n"),
              std::string::npos)
        << ents;
}

// Test that a change besides the colour (in the same open or a later one, or a write open
// that named no change) is not lost to the patch: the entity is rebuilt.
TEST(ColourPatch, OtherChangesRebuildTheEntity) {
    auto db = readText(kEntities);
    ASSERT_NE(db, nullptr);
    change(*db, 0x30, [](AcDbEntity &e) {
        EXPECT_EQ(e.setColorIndex(3), Acad::eOk);
        EXPECT_EQ(static_cast<AcDbLine &>(e).setStartPoint(AcGePoint3d(9, 8, 0)), Acad::eOk);
    });
    change(*db, 0x31, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(4), Acad::eOk); });
    change(*db, 0x31, [](AcDbEntity &e) { EXPECT_EQ(e.setLinetypeScale(2.0), Acad::eOk); });
    change(*db, 0x32, [](AcDbEntity &) {});
    auto again = readText(writeText(*db));
    ASSERT_NE(again, nullptr);
    AcDbLine *line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, tev::db::lookupHandle(*again, AcDbHandle(0x30)), AcDb::kForRead),
              Acad::eOk);
    EXPECT_EQ(line->colorIndex(), 3);
    EXPECT_EQ(line->startPoint(), AcGePoint3d(9, 8, 0));
    EXPECT_EQ(line->close(), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(line, tev::db::lookupHandle(*again, AcDbHandle(0x31)), AcDb::kForRead),
              Acad::eOk);
    EXPECT_EQ(line->colorIndex(), 4);
    EXPECT_EQ(line->linetypeScale(), 2.0);
    EXPECT_EQ(line->close(), Acad::eOk);
}

// Test that ezdxf reads a patched file without audit errors and finds the new colours.
TEST(ColourPatch, EzdxfReadsPatchedFile) {
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    auto db = readText(kEntities);
    ASSERT_NE(db, nullptr);
    change(*db, 0x30, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(3), Acad::eOk); });
    change(*db, 0x31, [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(7), Acad::eOk); });
    ScratchDir dir;
    writeFile(dir.file("c.dxf"), writeText(*db));
    const std::string result =
        runPython("doc = ezdxf.readfile(r'" + dir.file("c.dxf") +
                  "')\n"
                  "print('audit errors', len(doc.audit().errors))\n"
                  "print(' '.join(str(e.dxf.color) for e in doc.modelspace()))\n");
    EXPECT_EQ(result, "audit errors 0\n3 7 256\n");
}

// Test that the place the reader notes while reading an entity is the one a fresh look at its
// bytes finds, for every entity and vertex of the drawings above and of records laid out
// oddly: no subclass markers, the colour last, an application group or extended data right
// after the layer, a linetype after the colour.
TEST(ColourPatch, ReaderNotesThePlaceTheBytesShow) {
    const std::string odd = lines(
        {"0", "SECTION", "2", "ENTITIES",
         // no subclass markers, the colour the record's last group
         "0", "LINE", "5", "50", "8", "0", "10", "0", "20", "0", "11", "1", "21", "0", "62", "9",
         // an application group right after the layer, extended data after the layer
         "0", "LINE", "5", "51", "100", "AcDbEntity", "8", "0", "102", "{APP", "6", "X", "102", "}",
         "100", "AcDbLine", "10", "0", "20", "0", "11", "1", "21", "0", "0", "LINE", "5", "52", "8",
         "0", "1001", "APP", "1000", "x",
         // a linetype after the colour, a layer named twice
         "0", "LINE", "5", "53", "100", "AcDbEntity", "8", "0", "62", "3", "6", "CONTINUOUS", "8",
         "1", "100", "AcDbLine", "10", "0", "20", "0", "11", "1", "21", "0", "0", "ENDSEC", "0",
         "EOF"});
    std::size_t looked = 0;
    for (const std::string *text : {&kEntities, &odd}) {
        auto db = readText(*text);
        ASSERT_NE(db, nullptr);
        AcDbBlockTableRecord *space = nullptr;
        ASSERT_EQ(acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
        std::vector<const AcDbObject *> objects;
        for (const AcDbObject *e : tev::db::ObjectAccess::entities(*space)) {
            objects.push_back(e);
            if (const auto *seq = tev::db::ObjectAccess::sequence(*e)) {
                objects.insert(objects.end(), seq->items.begin(), seq->items.end());
                objects.push_back(seq->seqEnd);
            }
        }
        EXPECT_EQ(space->close(), Acad::eOk);
        for (const AcDbObject *obj : objects) {
            const std::string_view src = tev::db::ObjectAccess::source(*obj);
            dxf::ColourPlace noted, found;
            ASSERT_TRUE(dxf::colourPlaceIn(src, found)) << src;
            ASSERT_TRUE(
                dxf::unpackColourPlace(tev::db::ObjectAccess::colourPlace(*obj), src.size(), noted))
                << src;
            EXPECT_EQ(noted.cut, found.cut) << src;
            EXPECT_EQ(noted.resume, found.resume) << src;
            ++looked;
        }
    }
    EXPECT_EQ(looked, 7u);
}

// Test a place too far into its record to be noted: the writer looks again and patches the
// group the reader takes, here the last of a lightweight polyline of 5000 vertices written
// without subclass markers.
TEST(ColourPatch, PlaceBeyondWhatIsNotedIsFoundAgain) {
    dxf::ColourPlace place{70000, 70004};
    EXPECT_EQ(dxf::packColourPlace(place), 0u);
    place = {100, 100 + 70000};
    EXPECT_EQ(dxf::packColourPlace(place), 0u);
    place = {65535, 65535 + 65535};
    dxf::ColourPlace back;
    ASSERT_TRUE(dxf::unpackColourPlace(dxf::packColourPlace(place), 65535 * 2, back));
    EXPECT_EQ(back.cut, place.cut);
    EXPECT_EQ(back.resume, place.resume);
    EXPECT_FALSE(dxf::unpackColourPlace(dxf::packColourPlace(place), 65535 * 2 - 1, back));
    EXPECT_FALSE(dxf::unpackColourPlace(0, 100, back));

    std::string text = "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n5\n60\n8\n0\n90\n5000\n";
    for (int i = 0; i < 5000; ++i)
        text += "10\n" + std::to_string(i) + ".125\n20\n" + std::to_string(i % 7) + ".5\n";
    text += "62\n2\n0\nENDSEC\n0\nEOF\n";
    auto db = readText(text);
    ASSERT_NE(db, nullptr);
    change(*db, 0x60, [](AcDbEntity &e) {
        EXPECT_EQ(tev::db::ObjectAccess::colourPlace(e), 0u);
        EXPECT_EQ(e.setColorIndex(5), Acad::eOk);
    });
    const std::string out = writeText(*db);
    EXPECT_EQ(coloursOf(out, {0x60}), (std::vector<int>{5}));
    EXPECT_NE(out.find("4999.125\n20\n1.5\n 62\n5\n0\nENDSEC"), std::string::npos);
}

} // namespace

// Test that groups of a class's own data that share a common group's code (a multiline
// text's column width 48, a table's cell colour 62, an embedded object's groups) are not
// taken as the entity's, and stay as they were when its colour changes.
TEST(ColourPatch, ClassDataSharingCommonCodesStays) {
    const std::string text = lines({"0",   "SECTION",
                                    "2",   "HEADER",
                                    "9",   "$ACADVER",
                                    "1",   "AC1015",
                                    "0",   "ENDSEC",
                                    "0",   "SECTION",
                                    "2",   "ENTITIES",
                                    "0",   "MTEXT",
                                    "5",   "50",
                                    "100", "AcDbEntity",
                                    "8",   "0",
                                    "100", "AcDbMText",
                                    "10",  "0",
                                    "20",  "0",
                                    "30",  "0",
                                    "1",   "x",
                                    "48",  "5.0",
                                    "0",   "ACAD_TABLE",
                                    "5",   "51",
                                    "100", "AcDbEntity",
                                    "8",   "0",
                                    "100", "AcDbBlockReference",
                                    "2",   "*T1",
                                    "10",  "0",
                                    "20",  "0",
                                    "30",  "0",
                                    "100", "AcDbTable",
                                    "62",  "4",
                                    "0",   "ATTDEF",
                                    "5",   "52",
                                    "100", "AcDbEntity",
                                    "8",   "0",
                                    "100", "AcDbText",
                                    "1",   "y",
                                    "101", "Embedded Object",
                                    "62",  "6",
                                    "0",   "ENDSEC",
                                    "0",   "EOF"});
    auto db = readText(text);
    ASSERT_NE(db, nullptr);
    for (std::uint64_t h : {0x50, 0x51, 0x52})
        change(*db, h, [](AcDbEntity &e) {
            EXPECT_EQ(e.colorIndex(), 256);
            EXPECT_EQ(e.linetypeScale(), 1.0);
            EXPECT_EQ(e.setColorIndex(2), Acad::eOk);
        });
    const std::string ents = entitiesOf(writeText(*db));
    EXPECT_NE(ents.find("AcDbMText\n10\n0\n20\n0\n30\n0\n1\nx\n48\n5.0\n"), std::string::npos)
        << ents;
    EXPECT_NE(ents.find("AcDbTable\n62\n4\n"), std::string::npos) << ents;
    EXPECT_NE(ents.find("Embedded Object\n62\n6\n"), std::string::npos) << ents;
    EXPECT_EQ(coloursOf(writeText(*db), {0x50, 0x51, 0x52}), (std::vector<int>{2, 2, 2}));
}
