// pick_bench.cpp - an entity pick and a window selection in drawings of 10k, 100k and 1M
// lines: neither may grow with the drawing. The lines lie on a grid whose side grows with
// the square root of their number, so every pick and every window sees the same density.
// The same pick runs in drawings read from files too, named in TEV_PICK_DRAWINGS
// ("tev/10000=PATH,tev/1000000=PATH,ezdxf/10000=PATH,..."): BM_PickFile/<label>.
#include "dxf_io.h"

#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "spatial.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

// A drawing read from a file and the middles of its model-space lines, where picks go.
struct FileDrawing {
    std::string label;
    std::unique_ptr<AcDbDatabase> db;
    std::vector<AcGePoint2d> targets;
};

// One at a time: a drawing of a million entities holds over half a gigabyte.
FileDrawing &fileDrawing(const std::string &label, const std::string &path) {
    static FileDrawing s_current;
    if (s_current.label == label)
        return s_current;
    s_current = FileDrawing{};
    s_current.label = label;
    std::string error;
    s_current.db = dxf::readDrawing(path, error);
    if (!s_current.db)
        return s_current;
    AcDbBlockTableRecord *ms = nullptr;
    if (acdbOpenObject(ms, s_current.db->modelSpaceId(), AcDb::kForRead) != Acad::eOk)
        return s_current;
    AcDbBlockTableRecordIterator *it = nullptr;
    if (ms->newIterator(it) == Acad::eOk) {
        std::unique_ptr<AcDbBlockTableRecordIterator> owned(it);
        for (; !it->done(); it->step()) {
            AcDbEntity *e = nullptr;
            if (it->getEntity(e, AcDb::kForRead) != Acad::eOk)
                continue;
            if (const AcDbLine *line = AcDbLine::cast(e)) {
                const AcGePoint3d a = line->startPoint(), b = line->endPoint();
                s_current.targets.emplace_back((a.x + b.x) / 2, (a.y + b.y) / 2);
            }
            (void)e->close();
        }
    }
    (void)ms->close();
    (void)tev::db::pickEntity(*s_current.db, s_current.db->modelSpaceId(), AcGePoint2d(0, 0), 1.0);
    return s_current;
}

void pickInFile(benchmark::State &state, const std::string &label, const std::string &path) {
    FileDrawing &d = fileDrawing(label, path);
    if (!d.db || d.targets.empty()) {
        state.SkipWithError(("cannot read " + path).c_str());
        return;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> which(0, d.targets.size() - 1);
    long hits = 0;
    for (auto _ : state) {
        AcDbObjectId id =
            tev::db::pickEntity(*d.db, d.db->modelSpaceId(), d.targets[which(random)], 0.5);
        hits += id.isNull() ? 0 : 1;
        benchmark::DoNotOptimize(id);
    }
    state.counters["hits"] = static_cast<double>(hits);
}

void registerFilePicks() {
    const char *list = std::getenv("TEV_PICK_DRAWINGS");
    std::string rest = list ? list : "";
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string item = rest.substr(0, comma);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string label = item.substr(0, eq), path = item.substr(eq + 1);
        benchmark::RegisterBenchmark(
            ("BM_PickFile/" + label).c_str(),
            [label, path](benchmark::State &state) { pickInFile(state, label, path); })
            ->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char **argv) {
    registerFilePicks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
