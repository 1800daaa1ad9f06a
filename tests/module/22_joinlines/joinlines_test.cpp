// Tests of Jl, joining two lines: the far endpoints, the pick order, colour and linetype
// from the first line, every early exit with its message, closes and highlights, and the
// failures that must leave the drawing as it was.
#include "fixture.h"
#include "draw.h"

#include <functional>
#include <memory>
#include <string>

#include "allocator.h"
#include "command_line.h"
#include "database_impl.h"

namespace {

using tevtest::ModuleTest;

const std::string kFirst = "\nУкажите первую линию:";
const std::string kSecond = "\nУкажите вторую линию:";
const std::string kNothing = "\nНичто не выбрано.\n";
const std::string kNotALine = "\nЭто не линия";
const std::string kExit = "\nВыход";
const std::string kNoMemory = "\n** ALERT: Не достаточно памяти, чтобы создать линию! **\n";
const std::string kCannotOpen = "\nОбъект не удаётся открыть для изменения";
const std::string kNotAdded = "\nНе удалось добавить линию в чертёж";

std::string at(const std::string &prompt, const std::string &answer) {
    return prompt + answer + "\n";
}

class JoinLines : public ModuleTest {
protected:
    // Both picked lines are as they were: not erased, not highlighted, same points.
    void expectUntouched(AcDbObjectId id, AcGePoint3d start, AcGePoint3d end) {
        EXPECT_FALSE(isErased(id));
        EXPECT_FALSE(isHighlighted(id));
        auto data = lineData(id);
        EXPECT_PRED2(samePoint, data.start, start);
        EXPECT_PRED2(samePoint, data.end, end);
    }
    // The one line left in the drawing.
    tevtest::LineData onlyLine() {
        auto all = lines();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? tevtest::LineData{} : all[0];
    }
};

// --- joins ---------------------------------------------------------------------------

// Test the basic join: far endpoints (0,0,0) and (20,0,0), both picked lines erased, and
// nothing printed but the two prompts.
TEST_F(JoinLines, JoinsTheFarEndpoints) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId b = addLine({12, 0, 0}, {20, 0, 0});
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "14,0"));
    EXPECT_TRUE(isErased(a));
    EXPECT_TRUE(isErased(b));
    auto joined = onlyLine();
    EXPECT_PRED2(samePoint, joined.start, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, joined.end, AcGePoint3d(20, 0, 0));
    auto ids = entities(AcDbLine::desc());
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_FALSE(isHighlighted(ids[0]));
}

// Test that a first line drawn the other way round gives its end point as the far one.
TEST_F(JoinLines, ReversedFirstLine) {
    addLine({10, 0, 0}, {0, 0, 0});
    addLine({12, 0, 0}, {20, 0, 0});
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    auto joined = onlyLine();
    EXPECT_PRED2(samePoint, joined.start, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, joined.end, AcGePoint3d(20, 0, 0));
}

// Test that picking in the other order reverses the new line and takes the colour and
// linetype of the line picked first.
TEST_F(JoinLines, PickOrderDecidesDirectionAndProperties) {
    addLinetype("DASHED");
    addLine({0, 0, 0}, {10, 0, 0}, 1, "0", "DASHED");
    addLine({12, 0, 0}, {20, 0, 0}, 5, "0", "Continuous");
    type({"14,0", "8,0"});
    run(joinLinesCommand);
    auto joined = onlyLine();
    EXPECT_PRED2(samePoint, joined.start, AcGePoint3d(20, 0, 0));
    EXPECT_PRED2(samePoint, joined.end, AcGePoint3d(0, 0, 0));
    EXPECT_EQ(joined.color, 5);
    EXPECT_EQ(joined.linetype, "Continuous");
}

// Test that the first line's colour and linetype go to the new line.
TEST_F(JoinLines, TakesColourAndLinetypeOfTheFirstLine) {
    addLinetype("DASHED");
    addLine({0, 0, 0}, {10, 0, 0}, 1, "0", "DASHED");
    addLine({12, 0, 0}, {20, 0, 0}, 5, "0", "Continuous");
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    auto joined = onlyLine();
    EXPECT_EQ(joined.color, 1);
    EXPECT_EQ(joined.linetype, "DASHED");
}

// Test that ByLayer and ByBlock are carried as they are, not resolved.
TEST_F(JoinLines, ByLayerAndByBlockCarriedAsStored) {
    addLayer("Walls", 3);
    addLine({0, 0, 0}, {10, 0, 0}, 256, "Walls");
    addLine({12, 0, 0}, {20, 0, 0}, 4);
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    EXPECT_EQ(onlyLine().color, 256);

    addLine({0, 5, 0}, {10, 5, 0}, 0);
    addLine({12, 5, 0}, {20, 5, 0}, 4);
    type({"8,5", "14,5"});
    run(joinLinesCommand);
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].color, 0);
}

// Test that equal distances from the midpoint take the start point of the line.
TEST_F(JoinLines, TieTakesTheStartPoint) {
    addLine({0, 0, 0}, {10, 0, 0});
    addLine({5, 6, 0}, {5, 12, 0});
    type({"5,0", "5,6"});
    run(joinLinesCommand);
    auto joined = onlyLine();
    EXPECT_PRED2(samePoint, joined.start, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, joined.end, AcGePoint3d(5, 12, 0));
}

// Test that lines that neither touch nor line up are joined by their far endpoints, Z
// included.
TEST_F(JoinLines, SkewLinesIn3D) {
    addLine({0, 0, 4}, {3, 3, 4});
    addLine({10, 0, 0}, {6, 2, 0});
    type({"3,3,4", "6,2"});
    run(joinLinesCommand);
    auto joined = onlyLine();
    EXPECT_PRED2(samePoint, joined.start, AcGePoint3d(0, 0, 4));
    EXPECT_PRED2(samePoint, joined.end, AcGePoint3d(10, 0, 0));
}

// An answer queue that lets a test look at the drawing each time the user is asked.
class WatchedQueue : public host::QueueSource {
public:
    std::function<void()> onAsk;
    host::Answer next(host::AnswerEnd end, std::string_view promptLine) override {
        if (onAsk)
            onAsk();
        return QueueSource::next(end, promptLine);
    }
};

// Test that the first line is highlighted (and held open for write) while the second pick
// waits, and that the second is highlighted by the time the join is made.
TEST_F(JoinLines, FirstLineHighlightedDuringTheSecondPick) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    addLine({12, 0, 0}, {20, 0, 0});
    auto source = std::make_unique<WatchedQueue>();
    WatchedQueue *queue = source.get();
    queue->push("8,0").push("14,0");
    std::vector<bool> highlighted;
    std::vector<bool> writeOpen;
    queue->onAsk = [&] {
        const AcDbEntity *first = tev::db::peekAs<AcDbEntity>(a);
        highlighted.push_back(first->isHighlighted());
        writeOpen.push_back(first->isWriteEnabled());
    };
    host::CommandLine::current().setSource(std::move(source));
    run(joinLinesCommand);
    EXPECT_EQ(highlighted, (std::vector<bool>{false, true}));
    EXPECT_EQ(writeOpen, (std::vector<bool>{false, true}));
    EXPECT_EQ(lines().size(), 1u);
}

// --- early exits -------------------------------------------------------------------------

// Test that a failed first pick (Enter, a miss, Escape) says nothing was picked and ends.
TEST_F(JoinLines, NothingPickedFirst) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    type({"", "50,50"});
    typeEscape();
    run(joinLinesCommand);
    run(joinLinesCommand);
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "") + kNothing + at(kFirst, "50,50") + kNothing +
                                at(kFirst, "*Cancel*") + kNothing);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
}

// Test that a circle first gives the message and no second prompt.
TEST_F(JoinLines, CircleFirst) {
    AcDbObjectId c = addCircle({50, 50, 0}, 5);
    type({"55,50", "8,0"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "55,50") + kNotALine);
    EXPECT_EQ(answersLeft(), 1u);
    EXPECT_FALSE(isHighlighted(c));
    EXPECT_FALSE(isErased(c));
}

// Test that Escape at the second prompt leaves the first line unchanged and unhighlighted.
TEST_F(JoinLines, EscapeAtTheSecondPrompt) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    type({"8,0"});
    typeEscape();
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "*Cancel*") + kNothing);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
}

// Test that the same line picked twice ends with "Выход", changes nothing and removes the
// highlight.
TEST_F(JoinLines, SameLineTwice) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    type({"8,0", "2,0"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "2,0") + kExit);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
    EXPECT_EQ(lines().size(), 1u);
}

// Test that a line then a circle gives the message; neither changes, no highlight stays.
TEST_F(JoinLines, LineThenCircle) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0}, 2);
    AcDbObjectId c = addCircle({50, 50, 0}, 5, 3);
    type({"8,0", "45,50"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "45,50") + kNotALine);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
    EXPECT_FALSE(isHighlighted(c));
    EXPECT_FALSE(isErased(c));
    EXPECT_EQ(colorOf(c), 3);
}

// --- failures that must lose nothing ------------------------------------------------------

// Test that a new line the allocator cannot give raises the alert, leaves the drawing as
// it was and removes both highlights.
TEST_F(JoinLines, OutOfMemoryLeavesTheDrawing) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId b = addLine({12, 0, 0}, {20, 0, 0});
    type({"8,0", "14,0"});
    {
        tev::db::alloc::ScopedFailure fail(1);
        run(joinLinesCommand);
    }
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "14,0") + kNoMemory);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
    expectUntouched(b, {12, 0, 0}, {20, 0, 0});
    EXPECT_EQ(lines().size(), 2u);
}

// Test that when the drawing will not take the new line, both picked lines stay, the user
// is told, and nothing is left behind.
TEST_F(JoinLines, FailedAppendKeepsBothLines) {
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId b = addLine({12, 0, 0}, {20, 0, 0});
    const long live = tev::db::alloc::liveObjects();
    AcDbObject *space = nullptr; // held open for read: the append cannot open it for write
    ASSERT_EQ(acdbOpenAcDbObject(space, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    EXPECT_EQ(space->close(), Acad::eOk);
    EXPECT_EQ(takeMisuseReports().size(), 1u); // the refused write open of the record
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "14,0") + kNotAdded);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
    expectUntouched(b, {12, 0, 0}, {20, 0, 0});
    EXPECT_EQ(lines().size(), 2u);
    EXPECT_EQ(tev::db::alloc::liveObjects(), live);
}

// Test that a first line on a locked layer is reported, no second prompt follows, and its
// highlight is removed.
TEST_F(JoinLines, LockedFirstLine) {
    addLayer("Locked", 2, /*locked=*/true);
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0}, 256, "Locked");
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + kCannotOpen);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
}

// Test that a second line on a locked layer is reported, and both lines stay as they were
// with no highlight.
TEST_F(JoinLines, LockedSecondLine) {
    addLayer("Locked", 2, /*locked=*/true);
    AcDbObjectId a = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId b = addLine({12, 0, 0}, {20, 0, 0}, 256, "Locked");
    type({"8,0", "14,0"});
    run(joinLinesCommand);
    EXPECT_EQ(transcript(), at(kFirst, "8,0") + at(kSecond, "14,0") + kCannotOpen);
    expectUntouched(a, {0, 0, 0}, {10, 0, 0});
    expectUntouched(b, {12, 0, 0}, {20, 0, 0});
}

} // namespace
