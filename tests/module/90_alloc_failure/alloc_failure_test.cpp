// alloc_failure_test.cpp - out of memory, command by command: each command runs on the same
// small drawing with the Nth allocation of the drawing's allocator failing (or, in the
// persistent sweeps, every allocation from the Nth on), for N = 1, 2, ... until a run meets
// no failure. After every run: the command's alert where it has one, nothing left open, no
// selection set left, no misuse (the fixture's checks), no database object leaked, and the
// drawing unchanged where the command must not change it.
#include "fixture.h"
#include "draw.h"
#include "edit.h"

#include <functional>
#include <string>
#include <vector>

#include "allocator.h"
#include "dbpoly.h"
#include "dxf_io.h"

namespace {

using tevtest::LineData;
using tevtest::ModuleTest;

const std::string kLineAlertRu = "** ALERT: Не достаточно памяти, чтобы создать линию! **";
const std::string kLineAlertEn = "** ALERT: Not enough memory to create a Line! **";
const std::string kPolylineAlert = "** ALERT: Не достаточно памяти, чтобы создать полилинию! **";

// A sweep that has not run clean after this many runs is itself a fault: a command that
// keeps allocating whatever fails.
constexpr long kMaxRuns = 200;

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// What one run of a sweep saw.
struct SweepRun {
    long n = 0;         // the allocation that failed first
    long failures = 0;  // allocations that failed
    std::string before; // the drawing as DXF text before the command
    std::string after;  // and after it
    std::string said;   // the transcript
};

class AllocFailure : public ModuleTest {
protected:
    // The drawing every run starts from: lines at (0,0)-(10,0) colour 1 and (12,0)-(20,0),
    // one on layer RED, one on the locked layer LOCKED, a lightweight polyline, a circle.
    void buildDrawing() {
        addLayer("RED", 1);
        addLayer("LOCKED", 3, /*locked=*/true);
        addLine({0, 0, 0}, {10, 0, 0}, 1);
        addLine({12, 0, 0}, {20, 0, 0});
        addLine({0, 5, 0}, {0, 15, 0}, 256, "RED");
        addLine({30, 0, 0}, {40, 10, 0}, 2, "LOCKED");
        addPolyline({{0, 20}, {10, 20}, {10, 30}}, /*closed=*/false, 5);
        addCircle({50, 50, 0}, 5, 4);
    }

    std::string drawingText() {
        std::string text, error;
        tev::db::alloc::Exempt exempt;
        EXPECT_TRUE(dxf::writeDrawingText(*db(), text, error)) << error;
        return text;
    }

    // Runs command with answers on a fresh drawing for N = 1, 2, ... until a run meets no
    // failure, and calls check after each run while its drawing is still there. Returns
    // how many runs it took.
    long sweep(void (*command)(), std::vector<std::string> answers, bool persistent,
               const std::function<void(const SweepRun &)> &check) {
        TearDown(); // the runs make their own drawings
        const long baseline = tev::db::alloc::liveObjects();
        long n = 1;
        for (; n <= kMaxRuns; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + (persistent ? " and on" : "") +
                         " failing");
            SetUp();
            buildDrawing();
            SweepRun outcome;
            outcome.n = n;
            outcome.before = drawingText();
            for (const std::string &a : answers)
                type({a});
            {
                tev::db::alloc::ScopedFailure failure(n, persistent);
                run(command);
                outcome.failures = tev::db::alloc::failureCount();
            }
            outcome.after = drawingText();
            outcome.said = transcript();
            check(outcome);
            TearDown(); // nothing open, no selection set, no misuse
            EXPECT_EQ(tev::db::alloc::liveObjects(), baseline) << "database objects leaked";
            if (outcome.failures == 0)
                break;
        }
        SetUp(); // for the fixture's own TearDown
        EXPECT_LE(n, kMaxRuns) << "the command never ran clean";
        return n;
    }

    // The lines of model space that are not erased.
    std::vector<LineData> liveLines() { return lines(); }

    // The end points of every 2D polyline of model space, first and last vertex.
    std::vector<std::pair<AcGePoint3d, AcGePoint3d>> polylineEnds() {
        std::vector<std::pair<AcGePoint3d, AcGePoint3d>> ends;
        for (AcDbObjectId id : entities(AcDb2dPolyline::desc())) {
            AcDb2dPolyline *pline = nullptr;
            if (acdbOpenObject(pline, id, AcDb::kForRead) != Acad::eOk) {
                ADD_FAILURE() << "cannot open a polyline";
                continue;
            }
            AcDbObjectIterator *it = pline->vertexIterator();
            EXPECT_EQ(pline->close(), Acad::eOk);
            std::vector<AcGePoint3d> points;
            for (; it != nullptr && !it->done(); it->step()) {
                AcDb2dVertex *v = nullptr;
                if (acdbOpenObject(v, it->objectId(), AcDb::kForRead) != Acad::eOk)
                    continue;
                points.push_back(v->position());
                EXPECT_EQ(v->close(), Acad::eOk);
            }
            delete it;
            if (points.size() >= 2)
                ends.emplace_back(points.front(), points.back());
        }
        return ends;
    }
};

bool hasLine(const std::vector<LineData> &lines, AcGePoint3d a, AcGePoint3d b) {
    for (const LineData &l : lines)
        if (samePoint(l.start, a) && samePoint(l.end, b))
            return true;
    return false;
}

// --- the commands that make lines ------------------------------------------------------------

// Test Cl over three segments: a failed segment raises the alert and ends the chain at
// once; the segments before it stay.
TEST_F(AllocFailure, ColorLineStopsAtTheFailedSegment) {
    const long runs = sweep(colorLineCommand, {"", "2", "0,100", "10,100", "10,110", "0,110", ""},
                            /*persistent=*/false, [&](const SweepRun &run) {
                                const auto now = liveLines();
                                if (run.failures == 0) {
                                    EXPECT_EQ(occurrences(run.said, kLineAlertRu), 0u);
                                    EXPECT_EQ(now.size(), 4u + 3u);
                                    return;
                                }
                                EXPECT_TRUE(run.said.ends_with(kLineAlertRu + "\n")) << run.said;
                                EXPECT_EQ(occurrences(run.said, kLineAlertRu), 1u);
                                EXPECT_EQ(now.size(), 4u + static_cast<std::size_t>(run.n - 1));
                                EXPECT_TRUE(hasLine(now, {0, 100, 0}, {10, 100, 0}) || run.n == 1);
                            });
    EXPECT_EQ(runs, 4); // one run per segment, then a clean one
}

// Test Lp with a corner piece and a straight piece: createLine's alert for each line that
// cannot be made, and the chain goes on with the lines after it.
TEST_F(AllocFailure, CornerLineAlertsAndGoesOn) {
    const long runs =
        sweep(cornerLineCommand, {"0,100", "10,110", "5,100", "20,110", ""},
              /*persistent=*/false, [&](const SweepRun &run) {
                  const auto now = liveLines();
                  EXPECT_EQ(occurrences(run.said, kLineAlertEn), run.failures == 0 ? 0u : 1u)
                      << run.said;
                  EXPECT_EQ(now.size(), 4u + 3u - (run.failures == 0 ? 0u : 1u));
                  // The last piece runs along X from the corner's end.
                  EXPECT_TRUE(hasLine(now, {10, 110, 0}, {20, 110, 0}) || run.failures != 0);
              });
    EXPECT_EQ(runs, 4); // one run per line, then a clean one
}

// Test Lp with every allocation from the Nth on failing: one alert per line not made.
TEST_F(AllocFailure, CornerLineUnderPersistentFailure) {
    sweep(cornerLineCommand, {"0,100", "10,110", "5,100", "20,110", ""}, /*persistent=*/true,
          [&](const SweepRun &run) {
              const std::size_t made = liveLines().size() - 4u;
              EXPECT_EQ(made + occurrences(run.said, kLineAlertEn), 3u) << run.said;
          });
}

// Test Jl: when the joining line cannot be made the alert is raised and the drawing is
// exactly as it was, both picked lines kept.
TEST_F(AllocFailure, JoinLinesKeepsThePickedLines) {
    const long runs =
        sweep(joinLinesCommand, {"5,0", "15,0"}, /*persistent=*/false, [&](const SweepRun &run) {
            const auto now = liveLines();
            if (run.failures == 0) {
                EXPECT_TRUE(hasLine(now, {0, 0, 0}, {20, 0, 0}));
                EXPECT_EQ(now.size(), 3u);
                return;
            }
            EXPECT_TRUE(run.said.ends_with(kLineAlertRu + "\n")) << run.said;
            EXPECT_EQ(run.after, run.before);
            EXPECT_TRUE(hasLine(now, {0, 0, 0}, {10, 0, 0}));
            EXPECT_TRUE(hasLine(now, {12, 0, 0}, {20, 0, 0}));
        });
    EXPECT_EQ(runs, 2);
}

// --- Wpe
// ------------------------------------------------------------------------------------------

// Test Wpe over every entity, single and persistent failures: no line is lost. Each line
// either stays as it was or is replaced by a polyline with its end points; a line whose
// polyline cannot be made raises the alert and stays; the locked line always stays.
TEST_F(AllocFailure, PolylineWidthLosesNoLine) {
    for (bool persistent : {false, true}) {
        SCOPED_TRACE(persistent ? "persistent" : "single");
        const long runs =
            sweep(polylineWidthCommand, {"ALL", "", "2"}, persistent, [&](const SweepRun &run) {
                const auto now = liveLines();
                const auto ends = polylineEnds();
                EXPECT_EQ(now.size() + ends.size(), 4u) << run.said;
                EXPECT_TRUE(hasLine(now, {30, 0, 0}, {40, 10, 0})); // locked
                const std::size_t alerts = occurrences(run.said, kPolylineAlert);
                EXPECT_EQ(alerts, now.size() - 1u) << run.said;
                if (!persistent) {
                    EXPECT_EQ(alerts, run.failures == 0 ? 0u : 1u);
                }
                for (const auto &[a, b] : ends)
                    EXPECT_FALSE(hasLine(now, a, b)) << "a line and its polyline both";
            });
        EXPECT_GT(runs, 3); // each of the three open lines needs allocations
    }
}

// --- the commands that allocate nothing
// ------------------------------------------------------------

// Test that the inquiry and colour commands neither need the allocator nor change the
// drawing when it fails: Lpl, En, nEn and Nor change no entity; Sel only colours.
TEST_F(AllocFailure, CommandsWithoutNewObjectsRunClean) {
    struct Case {
        const char *name;
        void (*command)();
        std::vector<std::string> answers;
        bool changesDrawing;
    };
    const Case cases[] = {
        {"Lpl", lengthByColorCommand, {"5,0", "ALL", ""}, false},
        {"En", entityListCommand, {"5,0"}, false},
        {"nEn", nestedEntityListCommand, {"15,0"}, false},
        {"Nor", snapAngleCommand, {"30"}, true},
        {"Sel", recolorCommand, {"5,0", "ALL", "", ""}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const long runs =
            sweep(c.command, c.answers, /*persistent=*/true, [&](const SweepRun &run) {
                EXPECT_EQ(run.failures, 0);
                if (c.changesDrawing) {
                    EXPECT_NE(run.after, run.before);
                } else {
                    EXPECT_EQ(run.after, run.before);
                }
            });
        EXPECT_EQ(runs, 1);
    }
}

} // namespace
