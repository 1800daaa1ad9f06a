// harness_test.cpp - the fuzz targets' own machinery: the script format, the sample
// drawing, the checks after a command (each must catch the fault it is for) and the
// round-trip comparison.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

#include "acedads.h"
#include "allocator.h"
#include "command_line.h"
#include "command_script.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "dxf_round_trip.h"
#include "fuzz_report.h"
#include "misuse.h"

namespace {

using tevfuzz::CommandRun;
using tevfuzz::kCommands;
using tevfuzz::parseCommandScript;

std::size_t indexOf(const char *name) {
    for (std::size_t i = 0; i < tevfuzz::kCommandCount; ++i) {
        if (std::string(kCommands[i].name) == name)
            return i;
    }
    ADD_FAILURE() << "no command " << name;
    return 0;
}

// --- the script format ------------------------------------------------------------------

// Test that "@" lines start commands by name in any case, with their answers, Escapes and
// the failing allocation.
TEST(CommandScript, NamedCommandsWithAnswers) {
    const auto runs = parseCommandScript("@jl\n8,0\n^C\n@WPE !12\r\nALL\n\n3\n@nEn\n");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].command, indexOf("Jl"));
    ASSERT_EQ(runs[0].answers.size(), 2u);
    EXPECT_EQ(runs[0].answers[0], std::optional<std::string>("8,0"));
    EXPECT_FALSE(runs[0].answers[1].has_value()); // Escape
    EXPECT_EQ(runs[0].failAt, 0);

    EXPECT_EQ(runs[1].command, indexOf("Wpe"));
    EXPECT_EQ(runs[1].failAt, 12);
    ASSERT_EQ(runs[1].answers.size(), 3u);
    EXPECT_EQ(runs[1].answers[0], std::optional<std::string>("ALL"));
    EXPECT_EQ(runs[1].answers[1], std::optional<std::string>(""));
    EXPECT_EQ(runs[1].answers[2], std::optional<std::string>("3"));

    EXPECT_EQ(runs[2].command, indexOf("nEn"));
    EXPECT_TRUE(runs[2].answers.empty());
}

// Test that inputs which follow no rule still give commands: answers before any "@"
// line go to a command chosen by the first byte, an unknown name picks one of the nine,
// a bad "!N" fails nothing, and an empty input runs nothing.
TEST(CommandScript, AnyBytesGiveAScript) {
    EXPECT_TRUE(parseCommandScript("").empty());

    const auto loose = parseCommandScript("\x07"
                                          "abc\n\xff\xfe");
    ASSERT_EQ(loose.size(), 1u);
    EXPECT_EQ(loose[0].command, 7u % tevfuzz::kCommandCount);
    ASSERT_EQ(loose[0].answers.size(), 2u);
    EXPECT_EQ(loose[0].answers[1], std::optional<std::string>("\xff\xfe"));

    const auto odd = parseCommandScript("@zz !x1\n@ !99999999999\n");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[0].command, ('z' + 'z') % tevfuzz::kCommandCount);
    EXPECT_EQ(odd[0].failAt, 0);
    EXPECT_LT(odd[1].command, tevfuzz::kCommandCount);
    EXPECT_EQ(odd[1].failAt, 0);
}

// Test that one input can run only so many commands and give each only so many answers.
TEST(CommandScript, BoundedWork) {
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += "@Cl\n";
    for (int i = 0; i < 100; ++i)
        many += "1,1\n";
    const auto runs = parseCommandScript(many);
    ASSERT_EQ(runs.size(), tevfuzz::kMaxCommands);
    EXPECT_EQ(runs.back().answers.size(), 0u); // the answers went to no command beyond
    const auto answers = parseCommandScript("@Cl\n" + many.substr(many.find('1')));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].answers.size(), tevfuzz::kMaxAnswers);
}

// --- the sample drawing and the checks after a command -----------------------------------

class AfterCommand : public ::testing::Test {
protected:
    void SetUp() override {
        tev::db::alloc::reset();
        tev::db::clearMisuseReports();
        host::CommandLine::reset();
        db.reset(tevfuzz::buildSampleDrawing());
        acdbHostApplicationServices()->setWorkingDatabase(db.get());
    }
    void TearDown() override {
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);
        host::CommandLine::reset();
        db.reset();
        tev::db::clearMisuseReports();
    }
    // Counts the model-space entities of class cls.
    int countOf(AcRxClass *cls) {
        AcDbBlockTableRecord *ms = nullptr;
        EXPECT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
        AcDbBlockTableRecordIterator *it = nullptr;
        EXPECT_EQ(ms->newIterator(it), Acad::eOk);
        int n = 0;
        for (; !it->done(); it->step()) {
            AcDbEntity *ent = nullptr;
            EXPECT_EQ(it->getEntity(ent, AcDb::kForRead), Acad::eOk);
            n += ent->isKindOf(cls) ? 1 : 0;
            EXPECT_EQ(ent->close(), Acad::eOk);
        }
        delete it;
        EXPECT_EQ(ms->close(), Acad::eOk);
        return n;
    }
    AcDbObjectId firstLine() {
        AcDbBlockTableRecord *ms = nullptr;
        EXPECT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
        AcDbBlockTableRecordIterator *it = nullptr;
        EXPECT_EQ(ms->newIterator(it), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(it->getEntityId(id), Acad::eOk);
        delete it;
        EXPECT_EQ(ms->close(), Acad::eOk);
        return id;
    }
    std::unique_ptr<AcDbDatabase> db;
};

// Test that the sample drawing holds what the scripts in the corpus aim at, and that a
// fresh one passes every check.
TEST_F(AfterCommand, SampleDrawingIsWhatTheScriptsExpect) {
    EXPECT_EQ(countOf(AcDbLine::desc()), 5);
    EXPECT_EQ(countOf(AcDbPolyline::desc()), 1);
    EXPECT_EQ(countOf(AcDb2dPolyline::desc()), 1);
    EXPECT_EQ(countOf(AcDb3dPolyline::desc()), 1);
    EXPECT_EQ(countOf(AcDbCircle::desc()), 1);
    EXPECT_EQ(countOf(AcDbBlockReference::desc()), 2);
    EXPECT_EQ(tevfuzz::problemsAfterCommand(*db, "none"), "");
}

// Test that the line on layer LOCKED refuses a write open, as the scripts rely on.
TEST_F(AfterCommand, LockedLayerRefusesWrite) {
    host::CommandLine::current().queue()->push("35,5");
    ads_name name;
    ads_point at;
    ASSERT_EQ(acedEntSel("pick", name, at), RTNORM);
    AcDbObjectId id;
    ASSERT_EQ(acdbGetObjectId(id, name), Acad::eOk);
    AcDbEntity *ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOnLockedLayer);
}

// Test that an object left open is named, with the command, and that the drawing is not
// written while it is open.
TEST_F(AfterCommand, ReportsAnObjectLeftOpen) {
    AcDbEntity *ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, firstLine(), AcDb::kForWrite), Acad::eOk);
    const std::string problems = tevfuzz::problemsAfterCommand(*db, "Jl");
    EXPECT_NE(problems.find("Jl: left open: AcDbLine "), std::string::npos) << problems;
    EXPECT_NE(problems.find("open for write"), std::string::npos) << problems;
    EXPECT_EQ(ent->close(), Acad::eOk);
    EXPECT_EQ(tevfuzz::problemsAfterCommand(*db, "Jl"), "");
}

// Test that a selection set the command did not free is reported.
TEST_F(AfterCommand, ReportsASelectionSetLeft) {
    host::CommandLine::current().queue()->push("ALL").push("");
    ads_name ss;
    ASSERT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(tevfuzz::problemsAfterCommand(*db, "Sel"), "Sel: 1 selection set(s) left allocated");
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_EQ(tevfuzz::problemsAfterCommand(*db, "Sel"), "");
}

// Test that misuse the database recorded is reported once.
TEST_F(AfterCommand, ReportsMisuseOnce) {
    AcDbEntity *ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, firstLine(), AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(ent->close(), Acad::eOk);
    EXPECT_NE(ent->close(), Acad::eOk); // a second close: misuse
    const std::string problems = tevfuzz::problemsAfterCommand(*db, "Wpe");
    EXPECT_NE(problems.find("Wpe: database misuse: close of AcDbLine"), std::string::npos)
        << problems;
    EXPECT_EQ(tevfuzz::problemsAfterCommand(*db, "Wpe"), "");
}

// Test that a drawing the writer refuses is reported: a line whose point is not finite.
TEST_F(AfterCommand, ReportsADrawingThatDoesNotWrite) {
    AcDbLine *line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, firstLine(), AcDb::kForWrite), Acad::eOk);
    (void)line->setStartPoint(AcGePoint3d(std::numeric_limits<double>::infinity(), 0, 0));
    ASSERT_EQ(line->close(), Acad::eOk);
    const std::string problems = tevfuzz::problemsAfterCommand(*db, "Cl");
    EXPECT_TRUE(problems.starts_with("Cl: the drawing no longer writes")) << problems;
}

// Test that a script joining the two lines at (0,0)-(10,0) and (12,0)-(20,0) runs clean,
// also with the new line's allocation failing, and with Escapes and garbage answers.
TEST(CheckCommandScript, ScriptsRunClean) {
    EXPECT_EQ(tevfuzz::checkCommandScript("@Jl\n8,0\n14,0\n"), "");
    EXPECT_EQ(tevfuzz::checkCommandScript("@Jl !1\n8,0\n14,0\n"), "");
    EXPECT_EQ(tevfuzz::checkCommandScript("@Wpe\nALL\n\n2.5\n@Lpl\n\nALL\n\n"), "");
    EXPECT_EQ(tevfuzz::checkCommandScript("@Cl\n^C\n@Lp\n\x01\xff\n1e999,1\n^C\n"), "");
    // The command line must be left without a working database either way.
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
}

// --- the DXF round trip ---------------------------------------------------------------------

// Test that the difference names the first differing line and both texts, and that equal
// texts give none.
TEST(DxfRoundTrip, DescribesTheFirstDifference) {
    EXPECT_EQ(tevfuzz::describeDifference("0\nA\n8\n", "0\nA\n8\n"), "");
    EXPECT_EQ(tevfuzz::describeDifference("0\nLINE\n8\nX\n", "0\nLINE\n62\nX\n"),
              "line 3: \"8\" / \"62\"");
    EXPECT_EQ(tevfuzz::describeDifference("0\nEOF\n", "0\nEOF\n0\n"), "line 3: \"\" / \"0\"");
}

// Test that input the reader must refuse is refused with a message, not a crash, and a
// drawing our writer made goes round unchanged.
TEST(DxfRoundTrip, RefusedOrRoundTripped) {
    EXPECT_EQ(tevfuzz::checkDxfRoundTrip(""), "");
    EXPECT_EQ(tevfuzz::checkDxfRoundTrip("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnan\n"), "");
    EXPECT_EQ(tevfuzz::checkDxfRoundTrip(std::string("\x00\x01\x02garbage", 10)), "");

    std::unique_ptr<AcDbDatabase> db(tevfuzz::buildSampleDrawing());
    std::string text, error;
    ASSERT_TRUE(dxf::writeDrawingText(*db, text, error)) << error;
    EXPECT_EQ(tevfuzz::checkDxfRoundTrip(text), "");
    // Beyond the fuzz limits the same text is refused, not read half.
    dxf::ReadOptions small = tevfuzz::fuzzReadOptions();
    EXPECT_LT(text.size(), small.limits.maxBytes);
    EXPECT_EQ(tevfuzz::checkDxfRoundTrip(text + std::string(small.limits.maxBytes, '\n')), "");
}

// --- known faults in long runs ------------------------------------------------------------------

// Test that a problem is let through only when it contains one of the listed texts, and
// that empty entries tolerate nothing.
TEST(FuzzReport, ToleratesOnlyListedFaults) {
    const std::string problem = "a drawing just read does not write: duplicate handle 30";
    EXPECT_EQ(tevfuzz::toleratedPart(problem, "duplicate handle"), "duplicate handle");
    EXPECT_EQ(tevfuzz::toleratedPart(problem, "leaked|duplicate handle|x"), "duplicate handle");
    EXPECT_EQ(tevfuzz::toleratedPart(problem, "leaked|differs"), "");
    EXPECT_EQ(tevfuzz::toleratedPart(problem, ""), "");
    EXPECT_EQ(tevfuzz::toleratedPart(problem, "||"), "");
}

} // namespace
