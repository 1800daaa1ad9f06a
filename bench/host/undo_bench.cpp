// undo_bench.cpp - what the undo journal costs a Wpe over 100k lines: the same work (each line
// opened for write, erased, and replaced by a wide 2D polyline) with no step, and as one undo
// step; then undoing and redoing that step. The journal's memory is reported as a counter.
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "journal.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr long kLines = 100000;

struct Drawing {
    std::unique_ptr<AcDbDatabase> db;
    std::vector<AcDbObjectId> lines;
};

Drawing makeDrawing() {
    Drawing d;
    d.db = std::make_unique<AcDbDatabase>(true);
    AcDbBlockTableRecord *ms = nullptr;
    if (acdbOpenObject(ms, d.db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk)
        return d;
    for (long i = 0; i < kLines; ++i) {
        double x = static_cast<double>(i % 300) * 10, y = static_cast<double>(i / 300) * 10;
        auto *line = new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 6, y + 3, 0));
        AcDbObjectId id;
        if (ms->appendAcDbEntity(id, line) == Acad::eOk) {
            (void)line->close();
            d.lines.push_back(id);
        } else {
            delete line;
        }
    }
    (void)ms->close();
    return d;
}

// What Wpe does to a line: erase it, append a wide 2D polyline in its place.
void widen(AcDbDatabase &db, const std::vector<AcDbObjectId> &lines) {
    AcDbBlockTableRecord *ms = nullptr;
    if (acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite) != Acad::eOk)
        return;
    for (AcDbObjectId id : lines) {
        AcDbLine *line = nullptr;
        if (acdbOpenObject(line, id, AcDb::kForWrite) != Acad::eOk)
            continue;
        AcGePoint3dArray pts;
        pts.append(line->startPoint());
        pts.append(line->endPoint());
        (void)line->erase();
        (void)line->close();
        auto *pline = new AcDb2dPolyline(AcDb::k2dSimplePoly, pts, 0, false, 40, 40);
        if (ms->appendAcDbEntity(pline) == Acad::eOk)
            (void)pline->close();
        else
            delete pline;
    }
    (void)ms->close();
}

void BM_Wpe100k(benchmark::State &state) {
    const bool journal = state.range(0) != 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Drawing d = makeDrawing();
        state.ResumeTiming();
        if (journal)
            tev::db::beginStep(*d.db, "WPE");
        widen(*d.db, d.lines);
        if (journal)
            (void)tev::db::endStep(*d.db);
        state.PauseTiming();
        bytes = tev::db::journalBytes(*d.db);
        d.db.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.counters["journal_MB"] = static_cast<double>(bytes) / (1 << 20);
}
BENCHMARK(BM_Wpe100k)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("journal")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_UndoRedoWpe100k(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        Drawing d = makeDrawing();
        tev::db::beginStep(*d.db, "WPE");
        widen(*d.db, d.lines);
        (void)tev::db::endStep(*d.db);
        state.ResumeTiming();
        benchmark::DoNotOptimize(tev::db::undoSteps(*d.db, 1));
        benchmark::DoNotOptimize(tev::db::redoSteps(*d.db));
        state.PauseTiming();
        d.db.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_UndoRedoWpe100k)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
