// blocks_bench.cpp - many references to a few blocks: building the spatial index (the boxes of
// every reference, after a block changed), a crossing window and a pick among them. Four
// blocks of 40 entities (lines, arcs, circles, a polyline, a text) each place a part of 20 more;
// the references lie on a grid, turned and scaled, so each query sees the same density.
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpl.h"
#include "dbsymtb.h"
#include "spatial.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

struct Drawing {
    std::unique_ptr<AcDbDatabase> db;
    double side = 0;      // the grid is side x side cells of 100 units
    AcDbObjectId touched; // an entity inside a block, changed to drop what is kept
};

AcDbObjectId addTo(AcDbObjectId space, AcDbEntity *e) {
    AcDbBlockTableRecord *rec = nullptr;
    AcDbObjectId id;
    if (acdbOpenObject(rec, space, AcDb::kForWrite) != Acad::eOk)
        return id;
    if (rec->appendAcDbEntity(id, e) == Acad::eOk)
        (void)e->close();
    else
        delete e;
    (void)rec->close();
    return id;
}

AcDbObjectId addBlock(AcDbDatabase &db, const std::string &name) {
    AcDbBlockTable *table = nullptr;
    AcDbObjectId id;
    if (db.getBlockTable(table, AcDb::kForWrite) != Acad::eOk)
        return id;
    auto *rec = new AcDbBlockTableRecord;
    (void)rec->setName(name.c_str());
    if (table->add(id, rec) == Acad::eOk)
        (void)rec->close();
    else
        delete rec;
    (void)table->close();
    return id;
}

// A few of each kind in a 40 x 40 square; the first is a line.
AcDbObjectId fill(AcDbObjectId block, int count, int seed) {
    AcDbObjectId first;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> at(0, 40);
    for (int i = 0; i < count; ++i) {
        AcGePoint3d a(at(random), at(random), 0), b(at(random), at(random), 0);
        switch (i % 5) {
        case 0:
        case 1: {
            AcDbObjectId id = addTo(block, new AcDbLine(a, b));
            first = first.isNull() ? id : first;
            break;
        }
        case 2:
            addTo(block, new AcDbArc(a, 1 + i % 7, 0.3, 2.5));
            break;
        case 3: {
            auto *pl = new AcDbPolyline;
            for (unsigned k = 0; k < 6; ++k)
                (void)pl->addVertexAt(k, AcGePoint2d(at(random), at(random)), k % 3 ? 0 : 0.4);
            addTo(block, pl);
            break;
        }
        default:
            if (i % 10 == 4)
                addTo(block, new AcDbCircle(a, AcGeVector3d::kZAxis, 2));
            else
                addTo(block, new AcDbText(a, "PART-17", AcDbObjectId(), 1.5, 0.2));
        }
    }
    return first;
}

Drawing &drawing(long count) {
    static std::map<long, Drawing> s_drawings;
    Drawing &d = s_drawings[count];
    if (d.db)
        return d;
    d.db = std::make_unique<AcDbDatabase>(true);
    AcDbObjectId part = addBlock(*d.db, "PART");
    fill(part, 20, 1);
    std::vector<AcDbObjectId> blocks;
    for (int b = 0; b < 4; ++b) {
        AcDbObjectId block = addBlock(*d.db, "B" + std::to_string(b));
        AcDbObjectId first = fill(block, 40, 10 + b);
        if (b == 0)
            d.touched = first;
        addTo(block, new AcDbBlockReference(AcGePoint3d(5, 5, 0), part));
        blocks.push_back(block);
    }
    d.side = std::ceil(std::sqrt(static_cast<double>(count)));
    const long perRow = static_cast<long>(d.side);
    for (long i = 0; i < count; ++i) {
        double x = static_cast<double>(i % perRow) * 100, y = static_cast<double>(i / perRow) * 100;
        auto *ref = new AcDbBlockReference(AcGePoint3d(x, y, 0), blocks[i % 4]);
        (void)ref->setRotation(static_cast<double>(i % 8) * std::numbers::pi / 4);
        (void)ref->setScaleFactors(AcGeScale3d(0.8 + 0.1 * static_cast<double>(i % 3)));
        addTo(d.db->modelSpaceId(), ref);
    }
    AcGePoint2d lo, hi;
    (void)tev::db::spaceExtents(*d.db, d.db->modelSpaceId(), lo, hi);
    return d;
}

// The index of every reference made anew after one entity of a block changed.
void BM_BlockIndex(benchmark::State &state) {
    Drawing &d = drawing(state.range(0));
    for (auto _ : state) {
        AcDbEntity *e = nullptr;
        if (acdbOpenAcDbEntity(e, d.touched, AcDb::kForWrite) == Acad::eOk)
            (void)e->close(); // every reference of the block may have moved
        AcGePoint2d lo, hi;
        benchmark::DoNotOptimize(tev::db::spaceExtents(*d.db, d.db->modelSpaceId(), lo, hi));
    }
}

// A crossing window over 3 x 3 cells: each reference in it is tested by its shape.
void BM_BlockCrossing(benchmark::State &state) {
    Drawing &d = drawing(state.range(0));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> cell(1, d.side - 4);
    std::size_t found = 0;
    for (auto _ : state) {
        double x = std::floor(cell(random)) * 100, y = std::floor(cell(random)) * 100;
        auto ids = tev::db::selectWindow(*d.db, d.db->modelSpaceId(), AcGePoint2d(x + 10, y + 10),
                                         AcGePoint2d(x + 290, y + 290), /*crossing=*/true);
        found += ids.size();
        benchmark::DoNotOptimize(ids);
    }
    state.counters["per_window"] = static_cast<double>(found) / state.iterations();
}

// A pick near a reference's base point.
void BM_BlockPick(benchmark::State &state) {
    Drawing &d = drawing(state.range(0));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> cell(0, d.side - 1);
    long hits = 0;
    for (auto _ : state) {
        double x = std::floor(cell(random)) * 100, y = std::floor(cell(random)) * 100;
        AcDbObjectId id =
            tev::db::pickEntity(*d.db, d.db->modelSpaceId(), AcGePoint2d(x + 3, y + 3), 5);
        hits += id.isNull() ? 0 : 1;
        benchmark::DoNotOptimize(id);
    }
    state.counters["hits"] = static_cast<double>(hits) / state.iterations();
}

BENCHMARK(BM_BlockIndex)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockCrossing)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockPick)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
