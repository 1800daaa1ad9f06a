// dxf_round_trip.cpp - the DXF-reader fuzz target's check.
#include "dxf_round_trip.h"

#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>

#include "allocator.h"
#include "dbmain.h"

namespace tevfuzz {

namespace {

// The line of text holding byte `at`, without its line end, shortened for a message.
std::string lineAround(std::string_view text, std::size_t at) {
    const std::size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = begin == std::string_view::npos || at == 0 ? 0 : begin + 1;
    std::string_view line = text.substr(from, text.find('\n', from) - from);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    constexpr std::size_t kShown = 60;
    std::string shown(line.substr(0, kShown));
    return "\"" + shown + (line.size() > kShown ? "...\"" : "\"");
}

} // namespace

dxf::ReadOptions fuzzReadOptions() {
    dxf::ReadOptions options;
    options.limits.maxBytes = std::size_t(1) << 20;
    options.limits.maxTags = 200'000;
    options.limits.maxEntities = 20'000;
    options.limits.maxStringLength = 4096;
    options.limits.maxNestingDepth = 16;
    return options;
}

std::string describeDifference(std::string_view a, std::string_view b) {
    std::size_t i = 0, line = 1;
    for (; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
        line += a[i] == '\n';
    if (i == a.size() && i == b.size())
        return {};
    return "line " + std::to_string(line) + ": " + lineAround(a, i) + " / " + lineAround(b, i);
}

namespace {

// TEV_FUZZ_KEEP_TEXT=<folder> keeps the texts written (first.dxf, second.dxf) for a look at
// a failing input; a replay sets it, a fuzzing run does not.
void keepText(const char *name, const std::string &text) {
    const char *folder = std::getenv("TEV_FUZZ_KEEP_TEXT");
    if (folder == nullptr || *folder == '\0')
        return;
    std::ofstream(std::string(folder) + "/" + name, std::ios::binary) << text;
}

std::string roundTrip(std::string_view bytes) {
    std::string error;
    dxf::ReadOptions plain = fuzzReadOptions(), piped = fuzzReadOptions();
    plain.limits.pipelineFromBytes = std::numeric_limits<std::size_t>::max();
    piped.limits.pipelineFromBytes = 0;
    std::unique_ptr<AcDbDatabase> db =
        dxf::readDrawingText(std::string(bytes), "input.dxf", error, plain);
    // Read on two threads, the same input gives the same drawing or the same message.
    std::string pipedError;
    std::unique_ptr<AcDbDatabase> pipedDb =
        dxf::readDrawingText(std::string(bytes), "input.dxf", pipedError, piped);
    if ((db == nullptr) != (pipedDb == nullptr) || pipedError != error)
        return "read on two threads: " + (pipedDb ? "a drawing" : "\"" + pipedError + "\"") +
               "; on one: " + (db ? "a drawing" : "\"" + error + "\"");
    if (db == nullptr)
        return error.empty() ? "the reader refused the input without saying why" : "";

    std::string first, pipedFirst;
    if (!dxf::writeDrawingText(*db, first, error))
        return "a drawing just read does not write: " + error;
    keepText("first.dxf", first);
    if (!dxf::writeDrawingText(*pipedDb, pipedFirst, pipedError))
        return "a drawing just read on two threads does not write: " + pipedError;
    pipedDb.reset();
    if (std::string diff = describeDifference(first, pipedFirst); !diff.empty())
        return "read on two threads, the drawing writes differently at " + diff;
    // Our own output is read without the fuzz limits: writing may add what a short input
    // left out (tables, handles), and the limits are for untrusted files.
    std::unique_ptr<AcDbDatabase> again = dxf::readDrawingText(first, "written.dxf", error);
    if (again == nullptr)
        return "the text written does not read back: " + error;
    std::string second;
    if (!dxf::writeDrawingText(*again, second, error))
        return "the drawing read back does not write: " + error;
    keepText("second.dxf", second);
    if (std::string diff = describeDifference(first, second); !diff.empty())
        return "read, write, read and write again differs at " + diff;
    return {};
}

} // namespace

std::string checkDxfRoundTrip(std::string_view bytes) {
    // The reader's own allocations are not what this target tests.
    tev::db::alloc::Exempt exempt;
    const long liveBefore = tev::db::alloc::liveObjects();
    std::string problem = roundTrip(bytes);
    // Every drawing made above is gone by now, and with it every object it held.
    const long leaked = tev::db::alloc::liveObjects() - liveBefore;
    if (problem.empty() && leaked != 0)
        problem = std::to_string(leaked) + " database object(s) outlived the drawings read";
    return problem;
}

} // namespace tevfuzz
