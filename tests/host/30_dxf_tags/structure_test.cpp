// Tests of the structure layer: the order of parts, byte spans, and every structural defect.
#include "structure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace dxf;

// Records each part as one line of text and checks that the spans tile the file.
class Recorder : public StructureSink {
public:
    explicit Recorder(std::string_view text) : text_(text) {}
    std::vector<std::string> events;
    std::size_t covered = 0; // the spans seen so far cover [0, covered)
    bool contiguous = true;

    void span(std::size_t b, std::size_t e) {
        if (b != covered) {
            contiguous = false;
            ADD_FAILURE() << "gap or overlap: " << covered << " to " << b;
        }
        covered = e;
    }
    void sectionBegin(std::string_view name, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("section " + std::string(name));
    }
    void sectionEnd(std::string_view name, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("endsec " + std::string(name));
    }
    void headerVariable(std::string_view name, std::span<const Tag> tags, std::size_t b,
                        std::size_t e) override {
        span(b, e);
        std::string s = "var " + std::string(name);
        for (std::size_t i = 1; i < tags.size(); ++i)
            s.append(" ").append(std::to_string(tags[i].code)).append("=").append(tags[i].value);
        events.push_back(s);
    }
    void tableBegin(std::string_view table, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("table " + std::string(table));
    }
    void tableEntry(std::string_view table, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("entry " + std::string(table) + " " + std::string(r.find(2)));
    }
    void tableEnd(std::string_view table, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("endtab " + std::string(table));
    }
    void blockBegin(const Record &r) override {
        span(r.begin, r.end);
        events.push_back("block " + std::string(r.find(2)));
    }
    void blockEnd(const Record &r) override {
        span(r.begin, r.end);
        events.push_back("endblk");
    }
    void entity(const EntityGroup &g, bool inBlock) override {
        span(g.begin, g.end);
        std::string s = std::string(inBlock ? "block-entity " : "entity ") +
                        std::string(g.main.type) + "@" + std::to_string(g.main.line);
        for (const Record &c : g.children)
            s.append(" ").append(c.type);
        if (g.seqend != nullptr)
            s.append(" ").append(g.seqend->type);
        // The group's text is exactly the main record, the children and the seqend.
        std::size_t at = g.main.end;
        for (const Record &c : g.children) {
            if (c.begin != at)
                contiguous = false;
            at = c.end;
        }
        if (g.seqend != nullptr && g.seqend->end != g.end)
            contiguous = false;
        events.push_back(s);
    }
    void object(std::string_view section, const Record &r) override {
        span(r.begin, r.end);
        events.push_back("object " + std::string(section) + " " + std::string(r.type));
    }
    void endOfFile(const Record &r) override {
        span(r.begin, r.end);
        events.push_back("eof");
    }

private:
    std::string_view text_;
};

// Joins lines into DXF text: "0", "SECTION", ... become "0\nSECTION\n...".
std::string dxfText(std::initializer_list<const char *> lines) {
    std::string out;
    for (const char *l : lines) {
        out += l;
        out += '\n';
    }
    return out;
}

std::string readError(const std::string &text, const Limits &limits = {}) {
    Locator where("bad.dxf");
    StructureReader reader(text, where, limits);
    Recorder rec(text);
    try {
        reader.read(rec);
    } catch (const DxfError &e) {
        return e.what();
    }
    return "";
}

const std::string kSample = dxfText({"999", "made by hand", // 1-2
                                     "0",   "SECTION",
                                     "2",   "HEADER", // 3-6
                                     "9",   "$ACADVER",
                                     "1",   "AC1015",
                                     "9",   "$INSBASE",
                                     "10",  "0.0",
                                     "20",  "0.0", // 7-16
                                     "9",   "$DWGCODEPAGE",
                                     "3",   "ANSI_1251",
                                     "0",   "ENDSEC", // 17-22
                                     "0",   "SECTION",
                                     "2",   "TABLES", // 23-26
                                     "0",   "TABLE",
                                     "2",   "LAYER",
                                     "70",  "1", // 27-32
                                     "0",   "LAYER",
                                     "2",   "0",
                                     "70",  "0",
                                     "0",   "ENDTAB",
                                     "0",   "ENDSEC", // 33-42
                                     "0",   "SECTION",
                                     "2",   "BLOCKS", // 43-46
                                     "0",   "BLOCK",
                                     "2",   "Door",
                                     "0",   "LINE",
                                     "8",   "0", // 47-54
                                     "0",   "INSERT",
                                     "2",   "Knob",
                                     "0",   "ENDBLK", // 55-60
                                     "0",   "BLOCK",
                                     "2",   "KNOB",
                                     "0",   "CIRCLE",
                                     "0",   "ENDBLK",
                                     "0",   "ENDSEC", // 61-70
                                     "0",   "SECTION",
                                     "2",   "ENTITIES", // 71-74
                                     "0",   "POLYLINE",
                                     "66",  "1",
                                     "0",   "VERTEX",
                                     "0",   "VERTEX",
                                     "0",   "SEQEND", // 75-84
                                     "0",   "INSERT",
                                     "66",  "1",
                                     "2",   "door",
                                     "0",   "ATTRIB",
                                     "0",   "SEQEND", // 85-94
                                     "0",   "INSERT",
                                     "2",   "Door",
                                     "0",   "LWPOLYLINE",
                                     "90",  "0",
                                     "0",   "ENDSEC", // 95-104
                                     "0",   "SECTION",
                                     "2",   "OBJECTS",
                                     "0",   "DICTIONARY",
                                     "0",   "ENDSEC", // 105-112
                                     "0",   "SECTION",
                                     "2",   "THUMBNAILIMAGE",
                                     "90",  "0",
                                     "0",   "ENDSEC", // 113-120
                                     "0",   "EOF"});

// Test that every part of a file comes out in order and the spans tile the whole file.
TEST(Structure, PartsInOrderAndSpansTileTheFile) {
    Locator where("s.dxf");
    StructureReader reader(kSample, where, Limits{});
    Recorder rec(kSample);
    // A comment before the first section is not part of the drawing.
    rec.covered = kSample.find("0\nSECTION");
    reader.read(rec);
    const std::vector<std::string> expected = {
        "section HEADER",
        "var $ACADVER 1=AC1015",
        "var $INSBASE 10=0.0 20=0.0",
        "var $DWGCODEPAGE 3=ANSI_1251",
        "endsec HEADER",
        "section TABLES",
        "table LAYER",
        "entry LAYER 0",
        "endtab LAYER",
        "endsec TABLES",
        "section BLOCKS",
        "block Door",
        "block-entity LINE@51",
        "block-entity INSERT@55",
        "endblk",
        "block KNOB",
        "block-entity CIRCLE@65",
        "endblk",
        "endsec BLOCKS",
        "section ENTITIES",
        "entity POLYLINE@75 VERTEX VERTEX SEQEND",
        "entity INSERT@85 ATTRIB SEQEND",
        "entity INSERT@95",
        "entity LWPOLYLINE@99",
        "endsec ENTITIES",
        "section OBJECTS",
        "object OBJECTS DICTIONARY",
        "endsec OBJECTS",
        "section THUMBNAILIMAGE",
        "endsec THUMBNAILIMAGE",
        "eof",
    };
    EXPECT_EQ(rec.events, expected);
    EXPECT_TRUE(rec.contiguous);
    EXPECT_EQ(rec.covered, kSample.size());
    EXPECT_EQ(reader.facts().acadver, "AC1015");
    EXPECT_EQ(reader.facts().dwgCodePage, "ANSI_1251");
    EXPECT_EQ(reader.facts().entities, 12u);
    EXPECT_TRUE(reader.facts().finalNewline);
}

// Test that the spans also tile a CRLF file whose last line has no line end.
TEST(Structure, CrLfWithoutFinalNewline) {
    std::string text;
    for (const char *l : {"0", "SECTION", "2", "ENTITIES", "0", "LINE", "0", "ENDSEC", "0"}) {
        text += l;
        text += "\r\n";
    }
    text += "EOF";
    Locator where("c.dxf");
    StructureReader reader(text, where, Limits{});
    Recorder rec(text);
    reader.read(rec);
    EXPECT_TRUE(rec.contiguous);
    EXPECT_EQ(rec.covered, text.size());
    EXPECT_TRUE(reader.facts().crlf);
    EXPECT_FALSE(reader.facts().finalNewline);
}

// Test that bytes after EOF are not read (some writers pad files).
TEST(Structure, StopsAtEof) {
    const std::string text = dxfText({"0", "EOF"}) + "\x1a garbage \n";
    EXPECT_EQ(readError(text), "");
}

// Test every structural defect: each is an error that names the line and what is missing.
TEST(Structure, DefectsAreErrorsWithLines) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "bad.dxf:1: not a DXF file (it is empty)"},
        {"Hello, world!\nThis is not DXF.\n",
         "bad.dxf:1: not a DXF file (it does not start with group code lines)"},
        {"\x89PNG\r\n\x1a\n",
         "bad.dxf:1: not a DXF file (it does not start with group code lines)"},
        {dxfText({"1", "SECTION"}),
         "bad.dxf:1: not a DXF file (it starts with group 1 \"SECTION\", not a SECTION)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "LINE"}),
         "bad.dxf:1: section ENTITIES has no ENDSEC (the file ends at line 6)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "SECTION", "2", "OBJECTS"}),
         "bad.dxf:1: section ENTITIES has no ENDSEC (found \"SECTION\" at line 5)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC"}),
         "bad.dxf:6: the file ends without EOF"},
        {dxfText({"0", "SECTION"}), "bad.dxf:1: SECTION has no name (group 2)"},
        {dxfText({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "0", "EOF"}),
         "bad.dxf:1: section HEADER has no ENDSEC (found \"EOF\" at line 9)"},
        {dxfText({"0", "SECTION", "2", "HEADER", "1", "AC1015", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: group 1 before the first header variable"},
        {dxfText({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER", "0", "LAYER", "0",
                  "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: TABLE LAYER has no ENDTAB (found \"ENDSEC\" at line 11)"},
        {dxfText({"0", "SECTION", "2", "TABLES", "0", "LAYER", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: expected a TABLE in section TABLES, found \"LAYER\""},
        {dxfText({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK",  "2", "A",      "0", "LINE",
                  "0", "BLOCK",   "2", "B",      "0", "ENDBLK", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: BLOCK \"A\" has no ENDBLK (found \"BLOCK\" at line 11)"},
        {dxfText({"0", "SECTION", "2", "BLOCKS", "0", "LINE", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: \"LINE\" outside a BLOCK"},
        {dxfText({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK",  "2", "A",      "0", "ENDBLK",
                  "0", "BLOCK",   "2", "a",      "0", "ENDBLK", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:11: block \"a\" is defined twice (first at line 5)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "POLYLINE", "0", "VERTEX", "0", "LINE", "0",
                  "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: POLYLINE has no SEQEND (found \"LINE\" at line 9)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "POLYLINE", "0", "VERTEX", "0", "ENDSEC",
                  "0", "EOF"}),
         "bad.dxf:5: POLYLINE has no SEQEND (found \"ENDSEC\" at line 9)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "POLYLINE", "0", "VERTEX"}),
         "bad.dxf:5: POLYLINE has no SEQEND (the file ends at line 8)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "VERTEX", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: VERTEX does not follow a POLYLINE or INSERT"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "SEQEND", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: SEQEND does not follow a POLYLINE or INSERT"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "INSERT", "2", "A", "0", "ATTRIB", "0",
                  "SEQEND", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:9: ATTRIB does not follow a POLYLINE or INSERT"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "INSERT", "66", "1", "2", "A", "0",
                  "ATTRIB", "0", "LINE", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: INSERT has no SEQEND (found \"LINE\" at line 13)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "ENDBLK", "0", "ENDSEC", "0", "EOF"}),
         "bad.dxf:5: ENDBLK outside a BLOCK"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8"}),
         "bad.dxf:7: group code 8 has no value (the file ends here)"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8x", "0"}),
         "bad.dxf:7: group code \"8x\" is not a number"},
        {dxfText({"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC", "0", "SECTIONS"}),
         "bad.dxf:7: expected a SECTION or EOF, found group 0 \"SECTIONS\""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(readError(c.text), c.error) << c.text;
}

// Test the checks of block references: blocks that insert themselves directly or through
// others, and nesting deeper than the limit.
TEST(Structure, BlockReferences) {
    auto blocks = [](std::initializer_list<std::pair<const char *, const char *>> defs,
                     const char *topInsert) {
        std::string t = dxfText({"0", "SECTION", "2", "BLOCKS"});
        for (auto [name, inserts] : defs) {
            t += dxfText({"0", "BLOCK", "2", name});
            if (inserts != nullptr)
                t += dxfText({"0", "INSERT", "2", inserts});
            t += dxfText({"0", "ENDBLK"});
        }
        t += dxfText({"0", "ENDSEC", "0", "SECTION", "2", "ENTITIES"});
        if (topInsert != nullptr)
            t += dxfText({"0", "INSERT", "2", topInsert});
        return t + dxfText({"0", "ENDSEC", "0", "EOF"});
    };
    EXPECT_EQ(readError(blocks({{"A", "b"}, {"B", nullptr}}, "a")), "");
    EXPECT_EQ(readError(blocks({{"A", "A"}}, nullptr)), "bad.dxf:9: block \"A\" inserts itself");
    EXPECT_EQ(readError(blocks({{"A", "B"}, {"B", "C"}, {"C", "A"}}, nullptr)),
              "bad.dxf:29: block \"A\" inserts itself (through block \"C\")");
    // A missing block is the drawing reader's to refuse or mend (a BLOCK without a name may
    // turn out to be it): the structure passes it.
    EXPECT_EQ(readError(blocks({{"A", "Nope"}}, nullptr)), "");
    EXPECT_EQ(readError(blocks({}, "Nope")), "");
    // A chain of 5 blocks nests 5 deep: fine at a limit of 5, an error at 4.
    const std::string chain =
        blocks({{"B1", "B2"}, {"B2", "B3"}, {"B3", "B4"}, {"B4", "B5"}, {"B5", nullptr}}, "B1");
    Limits five;
    five.maxNestingDepth = 5;
    EXPECT_EQ(readError(chain, five), "");
    Limits four;
    four.maxNestingDepth = 4;
    EXPECT_EQ(readError(chain, four),
              "bad.dxf:5: block \"B1\" nests blocks deeper than the limit of 4");
}

// Test that each configurable limit stops the read with a clear error.
TEST(Structure, LimitsAreEnforced) {
    const std::string text = dxfText({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8",
                                      "a-long-layer-name", "0", "LINE", "0", "ENDSEC", "0", "EOF"});
    EXPECT_EQ(readError(text), "");
    Limits tags;
    tags.maxTags = 5;
    EXPECT_EQ(readError(text, tags), "bad.dxf:11: the file has more than 5 tags, the limit");
    Limits entities;
    entities.maxEntities = 1;
    EXPECT_EQ(readError(text, entities), "bad.dxf:9: the file has more than 1 entities, the limit");
    Limits strings;
    strings.maxStringLength = 10;
    EXPECT_EQ(readError(text, strings),
              "bad.dxf:8: the value of group 8 is longer than the limit of 10 bytes");
}

} // namespace
