// Tests of En and nEn: a picked entity's data list on the command line, the failed picks
// and the pending user break, and nEn reaching into block references.
#include "fixture.h"
#include "edit.h"

#include <cstdio>
#include <memory>
#include <string>

#include "acedads.h"
#include "command_line.h"
#include "dbsymtb.h"

namespace {

using tevtest::ModuleTest;

const std::string kPrompt = "\nВыберите примитив";
const std::string kNotPicked = "\nApplication tevcom.arx ERROR: Примитив не выбран\n";
const std::string kBrokenOff = "\nApplication tevcom.arx ERROR: Прервано пользователем\n";

std::string at(const std::string &prompt, const std::string &answer) {
    return prompt + answer + "\n";
}

// An answer after which the user presses Ctrl-C: the break is pending when the command
// goes on.
class BreakAfterAnswer : public host::InputSource {
public:
    explicit BreakAfterAnswer(std::string answer) : answer_(std::move(answer)) {}
    host::Answer next(host::AnswerEnd, std::string_view) override {
        if (given_)
            return host::Answer::end();
        given_ = true;
        host::CommandLine::current().setBreakPending(true);
        return host::Answer::textOf(answer_);
    }

private:
    std::string answer_;
    bool given_ = false;
};

class EntityList : public ModuleTest {
protected:
    // The entity-name line the listing shows for id under code.
    static std::string nameLine(int code, AcDbObjectId id) {
        ads_name n;
        EXPECT_EQ(acdbGetAdsName(n, id), Acad::eOk);
        char buf[64];
        std::snprintf(buf, sizeof buf, "(%d . <Entity name: %8lx>)\n", code,
                      static_cast<unsigned long>(n[0]));
        return buf;
    }
    // Makes a block of that name holding what fill appends, and returns its record's id.
    template <class Fill> AcDbObjectId addBlock(const char *name, Fill fill) {
        AcDbBlockTable *table = nullptr;
        EXPECT_EQ(db()->getSymbolTable(table, AcDb::kForWrite), Acad::eOk);
        auto *record = new AcDbBlockTableRecord;
        EXPECT_EQ(record->setName(name), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, record), Acad::eOk);
        EXPECT_EQ(record->close(), Acad::eOk);
        EXPECT_EQ(table->close(), Acad::eOk);
        fill(id);
        return id;
    }
    AcDbObjectId insert(AcDbObjectId block, const AcGePoint3d &at,
                        AcDbObjectId space = AcDbObjectId()) {
        return append(new AcDbBlockReference(at, block), space);
    }
    AcDbObjectId lineIn(AcDbObjectId space, const AcGePoint3d &a, const AcGePoint3d &b) {
        return append(new AcDbLine(a, b), space);
    }
};

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// --- En ---------------------------------------------------------------------------------

// Test that a picked line lists its -1 group as an entity name, its 0 group as text, its
// 10 and 11 groups as points with three decimals, and the extrusion in the short form.
TEST_F(EntityList, ListsAPickedLine) {
    AcDbObjectId line = addLine({1, 2, 0}, {6, 5, 0});
    type({"3.5,3.5"});
    run(entityListCommand);
    const std::string text = transcript();
    const std::string head = at(kPrompt, "3.5,3.5") + "\n" + nameLine(-1, line);
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_TRUE(contains(text, "\n(0 . \"LINE\")\n")) << text;
    EXPECT_TRUE(contains(text, "\n(8 . \"0\")\n")) << text;
    EXPECT_TRUE(contains(text, "\n" + nameLine(330, db()->modelSpaceId()))) << text;
    EXPECT_TRUE(contains(text, "\n(100 . \"AcDbLine\")\n(10 1.000 2.000 0.000)\n"
                               "(11 6.000 5.000 0.000)\n"))
        << text;
    EXPECT_TRUE(contains(text, "\n(210 . 0)\n")) << text;
    EXPECT_FALSE(contains(text, "ERROR")) << text;
}

// Test that the colour group shows when the line is not ByLayer, in the short form.
TEST_F(EntityList, ListsTheColourOfAColouredLine) {
    addLine({0, 0, 0}, {10, 0, 0}, /*color=*/5);
    type({"5,0"});
    run(entityListCommand);
    EXPECT_TRUE(contains(transcript(), "\n(62 . 5)\n")) << transcript();
}

// Test that a lightweight polyline lists its vertex count as RTLONG, without its code.
TEST_F(EntityList, PolylineVertexCountIsLong) {
    addPolyline({{0, 0}, {10, 0}, {10, 10}});
    type({"10,5"});
    run(entityListCommand);
    const std::string text = transcript();
    EXPECT_TRUE(contains(text, "(0 . \"LWPOLYLINE\")\n")) << text;
    EXPECT_TRUE(contains(text, "\nRTLONG : 3l\n")) << text;
    EXPECT_FALSE(contains(text, "(90 ")) << text;
}

// Test that a miss, an empty answer and Escape each end En with the host's failure line.
TEST_F(EntityList, FailedPicksReportNothingPicked) {
    addLine({0, 0, 0}, {10, 0, 0});
    type({"500,500"});
    run(entityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "500,500") + kNotPicked);

    host::CommandLine::reset();
    type({""});
    run(entityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "") + kNotPicked);

    host::CommandLine::reset();
    typeEscape();
    run(entityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "*Cancel*") + kNotPicked);
}

// Test that a break pending once the entity is picked lists nothing and says so.
TEST_F(EntityList, PendingBreakListsNothing) {
    addLine({0, 0, 0}, {10, 0, 0});
    host::CommandLine::current().setSource(std::make_unique<BreakAfterAnswer>("5,0"));
    run(entityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "5,0") + kBrokenOff);
    EXPECT_FALSE(host::CommandLine::current().breakPending());
}

// Test that En on a block reference lists the reference itself, not what it holds.
TEST_F(EntityList, EnListsTheBlockReference) {
    AcDbObjectId block = addBlock("DOOR", [&](AcDbObjectId rec) {
        lineIn(rec, {0, 0, 0}, {10, 0, 0});
    });
    insert(block, {100, 50, 0});
    type({"105,50"});
    run(entityListCommand);
    const std::string text = transcript();
    EXPECT_TRUE(contains(text, "(0 . \"INSERT\")\n")) << text;
    EXPECT_TRUE(contains(text, "(2 . \"DOOR\")\n")) << text;
    EXPECT_FALSE(contains(text, "(0 . \"LINE\")")) << text;
}

// --- nEn --------------------------------------------------------------------------------

// Test that nEn lists the line inside a block reference, in the block's own coordinates.
TEST_F(EntityList, NestedListsTheInnerEntityInBlockCoordinates) {
    AcDbObjectId inner;
    AcDbObjectId block = addBlock("DOOR", [&](AcDbObjectId rec) {
        inner = lineIn(rec, {0, 0, 0}, {10, 0, 0});
    });
    insert(block, {100, 50, 0});
    type({"105,50"});
    run(nestedEntityListCommand);
    const std::string text = transcript();
    const std::string head = at(kPrompt, "105,50") + "\n" + nameLine(-1, inner);
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_TRUE(contains(text, "(0 . \"LINE\")\n")) << text;
    EXPECT_TRUE(contains(text, "(10 0.000 0.000 0.000)\n(11 10.000 0.000 0.000)\n")) << text;
    EXPECT_FALSE(contains(text, "INSERT")) << text;
}

// Test that nEn goes through two levels of block references to the innermost entity.
TEST_F(EntityList, NestedReachesThroughTwoLevels) {
    AcDbObjectId inner;
    AcDbObjectId door = addBlock("DOOR", [&](AcDbObjectId rec) {
        inner = lineIn(rec, {0, 0, 0}, {0, 10, 0});
    });
    AcDbObjectId wall = addBlock("WALL", [&](AcDbObjectId rec) { insert(door, {20, 0, 0}, rec); });
    insert(wall, {200, 0, 0});
    type({"220,5"});
    run(nestedEntityListCommand);
    const std::string text = transcript();
    EXPECT_TRUE(contains(text, nameLine(-1, inner))) << text;
    EXPECT_TRUE(contains(text, "(10 0.000 0.000 0.000)\n(11 0.000 10.000 0.000)\n")) << text;
}

// Test that nEn on an entity outside any block lists it as En would.
TEST_F(EntityList, NestedOnATopLevelLine) {
    AcDbObjectId line = addLine({0, 0, 0}, {10, 10, 0});
    type({"5,5"});
    run(nestedEntityListCommand);
    const std::string text = transcript();
    EXPECT_TRUE(contains(text, "\n" + nameLine(-1, line))) << text;
    EXPECT_TRUE(contains(text, "(11 10.000 10.000 0.000)\n")) << text;
}

// Test that a failed nested pick ends the command without a word.
TEST_F(EntityList, NestedFailedPicksAreSilent) {
    addLine({0, 0, 0}, {10, 0, 0});
    type({"500,500", ""});
    typeEscape();
    run(nestedEntityListCommand);
    run(nestedEntityListCommand);
    run(nestedEntityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "500,500") + at(kPrompt, "") + at(kPrompt, "*Cancel*"));
}

// Test that a break pending after a nested pick lists nothing and says so.
TEST_F(EntityList, NestedPendingBreakListsNothing) {
    AcDbObjectId block = addBlock("DOOR", [&](AcDbObjectId rec) {
        lineIn(rec, {0, 0, 0}, {10, 0, 0});
    });
    insert(block, {100, 50, 0});
    host::CommandLine::current().setSource(std::make_unique<BreakAfterAnswer>("105,50"));
    run(nestedEntityListCommand);
    EXPECT_EQ(transcript(), at(kPrompt, "105,50") + kBrokenOff);
}

} // namespace
