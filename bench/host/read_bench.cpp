// read_bench.cpp - the DXF layers in process, on the benchmark drawing of 100k entities made
// in memory: splitting into records alone (the reading thread's share), a whole read on one
// thread and on two, a check read (entities read and dropped), and writing the read drawing
// back. The whole-process figures in run.sh add start-up, the file and the commands.
#include "drawing_gen.hpp"
#include "drawing_reader.h"
#include "drawing_writer.h"
#include "dxf_io.h"
#include "structure.h"

#include "access.h"
#include "dbmain.h"
#include "dbsymtb.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string &drawingText() {
    static const std::string text = [] {
        tevbench::GenOptions options;
        options.entities = 100000;
        return tevbench::generateDrawingText(options);
    }();
    return text;
}

// A sink that takes every call and keeps nothing.
struct NullSink : dxf::StructureSink {
    std::size_t tags = 0;
    void sectionBegin(std::string_view, const dxf::Record &) override {}
    void sectionEnd(std::string_view, const dxf::Record &) override {}
    void headerVariable(std::string_view, std::span<const dxf::Tag>, std::size_t,
                        std::size_t) override {}
    void tableBegin(std::string_view, const dxf::Record &) override {}
    void tableEntry(std::string_view, const dxf::Record &) override {}
    void tableEnd(std::string_view, const dxf::Record &) override {}
    void blockBegin(const dxf::Record &) override {}
    void blockEnd(const dxf::Record &) override {}
    void entity(const dxf::EntityGroup &g, bool) override { tags += g.main.tags.size(); }
    void object(std::string_view, const dxf::Record &) override {}
    void endOfFile(const dxf::Record &) override {}
};

void setBytes(benchmark::State &state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(drawingText().size()));
}

void BM_SplitRecords(benchmark::State &state) {
    const std::string &text = drawingText();
    for (auto _ : state) {
        dxf::Locator where("bench.dxf");
        dxf::StructureReader reader(text, where, dxf::Limits{});
        reader.setPassedHook([](std::size_t) {});
        NullSink sink;
        reader.read(sink);
        benchmark::DoNotOptimize(sink.tags);
    }
    setBytes(state);
}

// range(0): 1 reads on two threads, 0 on one; range(1): 1 checks only.
void BM_Read(benchmark::State &state) {
    const std::string &text = drawingText();
    dxf::ReadOptions options;
    options.limits.pipelineFromBytes = state.range(0) != 0 ? 0 : text.size() + 1;
    options.checkOnly = state.range(1) != 0;
    for (auto _ : state) {
        std::string error;
        auto db = dxf::readDrawingText(text, "bench.dxf", error, options);
        if (db == nullptr)
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(db.get());
        state.PauseTiming(); // closing the drawing is not part of the read
        db.reset();
        state.ResumeTiming();
    }
    setBytes(state);
}

// Writes db back as text for every iteration; with rebuilt, every entity is first marked
// changed, as after a command that changed them all (a kept polyline's numbers are still
// spelled as the file had them where they are equal).
void writeBack(benchmark::State &state, bool rebuilt) {
    std::string error;
    auto db = dxf::readDrawingText(drawingText(), "bench.dxf", error);
    if (db == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    AcDbBlockTableRecord *space = nullptr;
    if (rebuilt && acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
        for (AcDbObject *e : tev::db::ObjectAccess::entities(*space)) {
            tev::db::ObjectAccess::markModified(*e);
            if (AcDbOwnedSequence *seq = tev::db::ObjectAccess::sequence(*e))
                for (AcDbObject *item : seq->items)
                    tev::db::ObjectAccess::markModified(*item);
        }
        (void)space->close();
    }
    for (auto _ : state) {
        std::string out;
        if (!dxf::writeDrawingText(*db, out, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

void BM_Write(benchmark::State &state) {
    writeBack(state, false);
}

void BM_WriteRebuilt(benchmark::State &state) {
    writeBack(state, true);
}

} // namespace

BENCHMARK(BM_SplitRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)
    ->ArgNames({"two_threads", "check_only"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRebuilt)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
