// tev_bench_tags: in-process figures for the tag-scan passes (Google Benchmark), free of
// process start-up and file mapping: reading tags alone, the length-by-colour pass and the
// recolouring copy, over generated drawings held in memory.
#include "drawing_gen.hpp"
#include "tag_scan.hpp"

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace {

const std::string &drawingOf(int64_t entities) {
    static std::map<int64_t, std::string> cache;
    auto it = cache.find(entities);
    if (it == cache.end())
        it = cache
                 .emplace(entities,
                          tevbench::generateDrawingText({static_cast<uint64_t>(entities), 1}))
                 .first;
    return it->second;
}

void setCounters(benchmark::State &state, const std::string &text) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["ns/entity"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0)),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

void tagsOnly(benchmark::State &state) {
    const std::string &text = drawingOf(state.range(0));
    for (auto _ : state) {
        tevbench::TagCursor cur(text);
        tevbench::Tag t;
        uint64_t n = 0;
        while (cur.next(t) == tevbench::TagCursor::kTag)
            n += static_cast<uint64_t>(t.code);
        benchmark::DoNotOptimize(n);
    }
    setCounters(state, text);
}

void lengthByColour(benchmark::State &state) {
    const std::string &text = drawingOf(state.range(0));
    for (auto _ : state) {
        const tevbench::ScanResult r = tevbench::scanLengths(text);
        if (!r.ok)
            state.SkipWithError(r.error.c_str());
        benchmark::DoNotOptimize(r.totals.all);
    }
    setCounters(state, text);
}

void recolourCopy(benchmark::State &state) {
    const std::string &text = drawingOf(state.range(0));
    uint64_t bytes = 0;
    for (auto _ : state) {
        const tevbench::RecolourResult r =
            tevbench::recolourAll(text, 3, [&bytes](std::string_view s) {
                bytes += s.size();
                return true;
            });
        if (!r.ok)
            state.SkipWithError(r.error.c_str());
    }
    benchmark::DoNotOptimize(bytes);
    setCounters(state, text);
}

} // namespace

BENCHMARK(tagsOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(lengthByColour)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(recolourCopy)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
