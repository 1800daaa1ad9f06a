// picture_bench.cpp - the view's picture of a whole drawing at extents, in-process: the first
// picture of a page 1280 x 800 pixels (what is too small to send as vectors drawn into the
// kept pixels first), a pan at that scale (the kept pixels cropped) and a picture at a
// working zoom. The drawing is TEV_BENCH_DRAWING (the shared reference drawing, or one of
// tev_gen's); without it the benchmarks are skipped. TEV_BENCH_PICTURE names a file for the
// first picture's bytes.
#include "database_impl.h"
#include "dbmain.h"
#include "dxf_io.h"
#include "spatial.h"
#include "view_scene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

std::unique_ptr<AcDbDatabase> &drawing() {
    static std::unique_ptr<AcDbDatabase> db = [] {
        const char *path = std::getenv("TEV_BENCH_DRAWING");
        std::unique_ptr<AcDbDatabase> read;
        if (path == nullptr)
            return read;
        std::string error;
        read = dxf::readDrawing(path, error);
        if (!read)
            std::fprintf(stderr, "%s\n", error.c_str());
        return read;
    }();
    return db;
}

// The drawing, or null with the benchmark skipped.
AcDbDatabase *drawingFor(benchmark::State &state) {
    auto &db = drawing();
    if (!db)
        state.SkipWithError("TEV_BENCH_DRAWING names no drawing");
    return db.get();
}

// The page's view at extents: the drawing fitted into 1280 x 800 pixels.
host::view::ViewBox extentsBox(AcDbDatabase &db) {
    AcGePoint2d lo, hi;
    if (!tev::db::spaceExtents(db, db.modelSpaceId(), lo, hi))
        return {};
    double pixel = std::max((hi.x - lo.x) / 1280, (hi.y - lo.y) / 800) * 1.05;
    double cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
    return {cx - 640 * pixel, cy - 400 * pixel, cx + 640 * pixel, cy + 400 * pixel, pixel};
}

void firstPicture(benchmark::State &state) {
    AcDbDatabase *db = drawingFor(state);
    if (db == nullptr)
        return;
    const host::view::ViewBox box = extentsBox(*db);
    std::string picture;
    for (auto _ : state) {
        ++tev::db::drawingEpoch(); // what a write does: the kept pixels are made anew
        picture = host::view::encodeView(*db, box, {});
        benchmark::DoNotOptimize(picture);
    }
    // TEV_BENCH_PICTURE names a file for the picture, to compare what two builds draw.
    if (const char *keep = std::getenv("TEV_BENCH_PICTURE"))
        std::ofstream(keep, std::ios::binary) << picture;
}
BENCHMARK(firstPicture)->Unit(benchmark::kMillisecond)->Iterations(5);

void panAtExtents(benchmark::State &state) {
    AcDbDatabase *db = drawingFor(state);
    if (db == nullptr)
        return;
    host::view::ViewBox box = extentsBox(*db);
    (void)host::view::encodeView(*db, box, {});
    for (auto _ : state) {
        box.x0 += 200 * box.pixel, box.x1 += 200 * box.pixel;
        benchmark::DoNotOptimize(host::view::encodeView(*db, box, {}));
        box.x0 -= 200 * box.pixel, box.x1 -= 200 * box.pixel;
    }
}
BENCHMARK(panAtExtents)->Unit(benchmark::kMillisecond);

void workingZoom(benchmark::State &state) {
    AcDbDatabase *db = drawingFor(state);
    if (db == nullptr)
        return;
    host::view::ViewBox box = extentsBox(*db);
    double cx = (box.x0 + box.x1) / 2, cy = (box.y0 + box.y1) / 2;
    box.pixel /= 50;
    box = {cx - 640 * box.pixel, cy - 400 * box.pixel, cx + 640 * box.pixel, cy + 400 * box.pixel,
           box.pixel};
    int n = 0;
    for (auto _ : state) {
        const double step = (++n % 2 ? 200 : -200) * box.pixel;
        box.x0 += step, box.x1 += step;
        benchmark::DoNotOptimize(host::view::encodeView(*db, box, {}));
    }
}
BENCHMARK(workingZoom)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
