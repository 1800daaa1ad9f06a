// Tests of Lp, the corner line chain: every row of the corner table for every placement
// of N, the worked examples, one line where X or Y is shared, how the chain ends, and a
// line the allocator cannot give.
#include "fixture.h"
#include "draw.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "allocator.h"
#include "command_line.h"

namespace {

using tevtest::LineData;
using tevtest::ModuleTest;

const std::string kFirst = "\nУкажите первую точку:  ";
const std::string kNext = "\nУкажите следующую точку:  ";
const std::string kSide = "\nУкажите сторону угла:  ";

std::string at(const std::string &prompt, const std::string &answer) {
    return prompt + answer + "\n";
}

std::string text(double x, double y) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g,%.17g", x, y);
    return buf;
}

class CornerLine : public ModuleTest {
protected:
    // Runs P = (0, 0), N, S, Enter and gives the lines drawn.
    std::vector<LineData> corner(AcGePoint2d n, AcGePoint2d s) {
        type({"0,0", text(n.x, n.y), text(s.x, s.y), ""});
        run(cornerLineCommand);
        return lines();
    }
};

// --- the corner table --------------------------------------------------------------

enum Corner { H, V };

struct Row {
    const char *name;
    AcGePoint2d s;    // the side point; P is the origin, N is (±10, ±5) so m1 = 50
    Corner corner[4]; // N right-above, left-above, left-below, right-below
};

// The table as the command's users know it: S quadrant and steepness against N.
const Row kRows[] = {
    {"AboveRightSteepnessLess", {8, 1}, {H, V, V, H}},    // m1 > m2 (m2 = 12.5)
    {"AboveRightSteepnessEqual", {20, 10}, {V, V, H, H}}, // m1 = m2 = 50
    {"AboveRightSteepnessMore", {2, 4}, {V, V, H, H}},    // m1 < m2 (m2 = 200)
    {"AboveLeftSteepnessLess", {-8, 1}, {V, H, H, V}},
    {"AboveLeftSteepnessEqual", {-20, 10}, {V, H, H, V}},
    {"AboveLeftSteepnessMore", {-2, 4}, {V, V, H, H}},
    {"BelowRightSteepnessLess", {8, -1}, {H, V, V, H}},
    {"BelowRightSteepnessEqual", {20, -10}, {H, H, V, V}},
    {"BelowRightSteepnessMore", {2, -4}, {H, H, V, V}},
    {"BelowLeftSteepnessLess", {-8, -1}, {V, H, H, V}},
    {"BelowLeftSteepnessEqual", {-20, -10}, {V, H, H, V}},
    {"BelowLeftSteepnessMore", {-2, -4}, {H, H, V, V}},
    {"OnHorizontalRight", {5, 0}, {V, H, H, V}},
    {"OnHorizontalLeft", {-3, 0}, {V, H, H, V}},
    {"OnVerticalUp", {0, 5}, {V, H, H, V}},
    {"OnVerticalDown", {0, -7}, {V, H, H, V}},
    {"AtP", {0, 0}, {V, H, H, V}},
};

const AcGePoint2d kN[4] = {{10, 5}, {-10, 5}, {-10, -5}, {10, -5}};
const char *const kNName[4] = {"NRightAbove", "NLeftAbove", "NLeftBelow", "NRightBelow"};

struct CornerCase {
    const Row *row;
    int column;
};

class CornerTable : public CornerLine, public ::testing::WithParamInterface<CornerCase> {};

// Which side of the line through the origin and n the point q lies on: +1, -1 or 0.
int sideOf(AcGePoint2d n, AcGePoint2d q) {
    const double cross = n.x * q.y - n.y * q.x;
    return (cross > 0) - (cross < 0);
}

// Test that each row of the table gives its corner: the lines P-Q and Q-N, in that order.
// Where S lies off the line P-N and off both axes, the corner also lies on S's side of
// that line: a check that does not lean on the table.
TEST_P(CornerTable, GivesTheCorner) {
    const Row &row = *GetParam().row;
    const AcGePoint2d n = kN[GetParam().column];
    const Corner want = row.corner[GetParam().column];
    const AcGePoint3d q = want == H ? AcGePoint3d(n.x, 0, 0) : AcGePoint3d(0, n.y, 0);

    auto drawn = corner(n, row.s);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[0].start, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, drawn[0].end, q);
    EXPECT_PRED2(samePoint, drawn[1].start, q);
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(n.x, n.y, 0));
    EXPECT_EQ(transcript(), at(kFirst, "0,0") + at(kNext, text(n.x, n.y)) +
                                at(kSide, text(row.s.x, row.s.y)) + at(kNext, ""));

    const int sSide = sideOf(n, row.s);
    if (row.s.x != 0 && row.s.y != 0 && sSide != 0) {
        EXPECT_EQ(sideOf(n, {drawn[0].end.x, drawn[0].end.y}), sSide);
    }
}

std::vector<CornerCase> allCases() {
    std::vector<CornerCase> cases;
    for (const Row &row : kRows)
        for (int column = 0; column < 4; ++column)
            cases.push_back({&row, column});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Rows, CornerTable, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<CornerCase> &info) {
                             return std::string(info.param.row->name) + "_" +
                                    kNName[info.param.column];
                         });

// --- worked examples ---------------------------------------------------------------

// Test the examples the command's users are given for P = (0, 0) and N = (10, 5).
TEST_F(CornerLine, WorkedExamples) {
    struct Example {
        AcGePoint2d n, s;
        AcGePoint3d q;
    };
    const Example examples[] = {
        {{10, 5}, {8, 1}, {10, 0, 0}}, // m1 50 > m2 12.5: H
        {{10, 5}, {2, 4}, {0, 5, 0}},  // m2 200: V
        {{10, 5}, {-4, -1}, {0, 5, 0}},
        {{10, 5}, {20, 10}, {0, 5, 0}}, // on the line P-N, N right of P
        {{10, 5}, {5, 0}, {0, 5, 0}},   // on the horizontal through P
        {{-10, 5}, {5, 0}, {-10, 0, 0}},
    };
    for (const Example &e : examples) {
        SCOPED_TRACE(text(e.s.x, e.s.y));
        const std::size_t before = lines().size();
        auto drawn = corner(e.n, e.s);
        ASSERT_EQ(drawn.size(), before + 2);
        EXPECT_PRED2(samePoint, drawn[before].end, e.q);
        EXPECT_PRED2(samePoint, drawn[before + 1].start, e.q);
    }
}

// Test that the corner keeps the Z of P while N's Z is reached by the second line.
TEST_F(CornerLine, CornerTakesTheZOfP) {
    type({"0,0,2", "10,5,7", "8,1", ""});
    run(cornerLineCommand);
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[0].end, AcGePoint3d(10, 0, 2));
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(10, 5, 7));
}

// --- one line, no side prompt ------------------------------------------------------

// Test that a shared X or Y gives one line without a side prompt, and that each next point
// starts where the last ended.
TEST_F(CornerLine, SharedCoordinateGivesOneLine) {
    type({"0,0", "10,0", "10,-4", ""});
    run(cornerLineCommand);
    EXPECT_EQ(transcript(),
              at(kFirst, "0,0") + at(kNext, "10,0") + at(kNext, "10,-4") + at(kNext, ""));
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[0].end, AcGePoint3d(10, 0, 0));
    EXPECT_PRED2(samePoint, drawn[1].start, AcGePoint3d(10, 0, 0));
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(10, -4, 0));
}

// Test that N equal to P gives one line of length zero and no side prompt.
TEST_F(CornerLine, SamePointGivesAZeroLengthLine) {
    type({"3,4", "3,4", ""});
    run(cornerLineCommand);
    EXPECT_EQ(transcript(), at(kFirst, "3,4") + at(kNext, "3,4") + at(kNext, ""));
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_PRED2(samePoint, drawn[0].start, AcGePoint3d(3, 4, 0));
    EXPECT_PRED2(samePoint, drawn[0].end, AcGePoint3d(3, 4, 0));
}

// Test that X values one double step apart still count as different: the side prompt
// comes and a corner with a very short leg is drawn.
TEST_F(CornerLine, SmallestStepStillMakesACorner) {
    const double x = 1.0000000000000002; // the double right after 1
    type({"1,0", text(x, 5), "3,1", ""});
    run(cornerLineCommand);
    EXPECT_NE(transcript().find(kSide), std::string::npos);
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[0].end, AcGePoint3d(x, 0, 0));
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(x, 5, 0));
}

// --- ending the chain ------------------------------------------------------------------

// Test that Enter, Space or Escape at the first prompt ends the command with nothing drawn.
TEST_F(CornerLine, EndingAtTheFirstPrompt) {
    type({""});
    run(cornerLineCommand);
    typeEscape();
    run(cornerLineCommand);
    EXPECT_EQ(transcript(), at(kFirst, "") + at(kFirst, "*Cancel*"));
    host::CommandLine::current().setSource(std::make_unique<host::ScriptSource>(" 5,5"));
    run(cornerLineCommand);
    EXPECT_TRUE(lines().empty());
}

// Test that Enter or Escape at the side prompt drops the pending piece and keeps the lines
// drawn before.
TEST_F(CornerLine, EndingAtTheSidePromptDropsThePendingPiece) {
    type({"0,0", "10,0", "20,5", ""});
    run(cornerLineCommand);
    EXPECT_EQ(lines().size(), 1u);
    type({"0,0", "0,8", "5,9"});
    typeEscape();
    run(cornerLineCommand);
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(0, 8, 0));
    EXPECT_TRUE(transcript().ends_with(at(kSide, "*Cancel*")));
}

// Test that a chain of several corners joins up, each piece starting at the last N.
TEST_F(CornerLine, ChainOfCorners) {
    type({"0,0", "10,5", "8,1", "0,10", "0,5", ""});
    run(cornerLineCommand);
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 4u);
    // (10,5) -> (0,10): N left-above of P, S = (0,5) on the vertical through P: H.
    EXPECT_PRED2(samePoint, drawn[2].start, AcGePoint3d(10, 5, 0));
    EXPECT_PRED2(samePoint, drawn[2].end, AcGePoint3d(0, 5, 0));
    EXPECT_PRED2(samePoint, drawn[3].end, AcGePoint3d(0, 10, 0));
}

// --- a line that cannot be made ----------------------------------------------------------

// Test that a failed first leg is reported in English by the line service, the second leg
// is still drawn, and the chain goes on.
TEST_F(CornerLine, OutOfMemoryDoesNotStopTheChain) {
    type({"0,0", "10,5", "8,1", "10,9", ""});
    {
        tev::db::alloc::ScopedFailure fail(1);
        run(cornerLineCommand);
    }
    EXPECT_NE(transcript().find("\n** ALERT: Not enough memory to create a Line! **\n"),
              std::string::npos);
    auto drawn = lines();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_PRED2(samePoint, drawn[0].start, AcGePoint3d(10, 0, 0));
    EXPECT_PRED2(samePoint, drawn[0].end, AcGePoint3d(10, 5, 0));
    EXPECT_PRED2(samePoint, drawn[1].end, AcGePoint3d(10, 9, 0));
    EXPECT_EQ(answersLeft(), 0u);
}

} // namespace
