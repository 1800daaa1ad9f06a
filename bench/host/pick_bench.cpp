// pick_bench.cpp - an entity pick and a window selection in drawings of 10k, 100k and 1M
// lines: neither may grow with the drawing. The lines lie on a grid whose side grows with
// the square root of their number, so every pick and every window sees the same density.
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "spatial.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>

namespace {

struct Drawing {
    std::unique_ptr<AcDbDatabase> db;
    double side = 0; // the grid is side x side cells of 10 units
};

// One drawing per size, built once: a short line in every grid cell.
Drawing &drawing(long count) {
    static std::map<long, Drawing> s_drawings;
    Drawing &d = s_drawings[count];
    if (d.db)
        return d;
    d.db = std::make_unique<AcDbDatabase>(true);
    d.side = std::ceil(std::sqrt(static_cast<double>(count)));
    AcDbBlockTableRecord *ms = nullptr;
    if (acdbOpenObject(ms, d.db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk)
        return d;
    const long perRow = static_cast<long>(d.side);
    for (long i = 0; i < count; ++i) {
        double x = static_cast<double>(i % perRow) * 10, y = static_cast<double>(i / perRow) * 10;
        auto *line = new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 6, y + 3, 0));
        if (ms->appendAcDbEntity(line) == Acad::eOk)
            (void)line->close();
        else
            delete line;
    }
    (void)ms->close();
    // The first query builds the index; the benchmark measures queries after that.
    (void)tev::db::pickEntity(*d.db, d.db->modelSpaceId(), AcGePoint2d(0, 0), 1.0);
    return d;
}

void BM_Pick(benchmark::State &state) {
    Drawing &d = drawing(state.range(0));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> cell(0, d.side - 1);
    long hits = 0;
    for (auto _ : state) {
        double x = std::floor(cell(random)) * 10, y = std::floor(cell(random)) * 10;
        // The middle of a cell's line: always a hit.
        AcDbObjectId id =
            tev::db::pickEntity(*d.db, d.db->modelSpaceId(), AcGePoint2d(x + 3, y + 1.5), 0.5);
        hits += id.isNull() ? 0 : 1;
        benchmark::DoNotOptimize(id);
    }
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_WindowSelection(benchmark::State &state) {
    Drawing &d = drawing(state.range(0));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> cell(0, d.side - 5);
    std::size_t found = 0;
    for (auto _ : state) {
        double x = std::floor(cell(random)) * 10, y = std::floor(cell(random)) * 10;
        // A window over 4 x 4 cells: 16 lines wholly inside.
        auto ids = tev::db::selectWindow(*d.db, d.db->modelSpaceId(), AcGePoint2d(x - 1, y - 1),
                                         AcGePoint2d(x + 39, y + 39), /*crossing=*/false);
        found += ids.size();
        benchmark::DoNotOptimize(ids);
    }
    state.counters["per_window"] = static_cast<double>(found) / state.iterations();
}

BENCHMARK(BM_Pick)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowSelection)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
