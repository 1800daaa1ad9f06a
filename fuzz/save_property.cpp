// save_property.cpp - the save fuzz target's check.
#include "save_property.h"

#include <memory>
#include <optional>
#include <vector>

#include "allocator.h"
#include "command_line.h"
#include "command_script.h"
#include "dbapserv.h"
#include "dbmain.h"
#include "dxf_round_trip.h"
#include "edit.h"
#include "misuse.h"
#include "user_commands.h"
#include "written_check.h"

namespace tevfuzz {

namespace {

// A command and what a user types to have it act on everything.
struct Step {
    const char *name;
    void (*body)();
    std::vector<const char *> answers;
};

// Sel: no colour first, then colour 3 for all; Wpe: all, width 0; ERASE: all.
const Step kSteps[] = {
    {"Sel", recolorCommand, {"", "3", "ALL", "", ""}},
    {"Wpe", polylineWidthCommand, {"ALL", "", "0"}},
    {"ERASE", host::eraseCommand, {"ALL", ""}},
};

// Saves db, reads the text back and saves that: the two texts are the same.
std::string saveReadSave(AcDbDatabase &db) {
    std::string error;
    const std::string first = checkedSave(db, error);
    if (!error.empty())
        return "the save refuses: " + error;
    std::unique_ptr<AcDbDatabase> again = dxf::readDrawingText(first, "saved.dxf", error);
    if (again == nullptr)
        return "the text saved does not read back: " + error;
    const std::string second = checkedSave(*again, error);
    if (!error.empty())
        return "the drawing read back does not save: " + error;
    if (std::string diff = describeDifference(first, second); !diff.empty())
        return "the drawing read back saves differently at " + diff;
    return {};
}

// Runs step on db as the working drawing; what went wrong, or empty.
std::string runStep(AcDbDatabase &db, const Step &step) {
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    host::CommandLine &cl = host::CommandLine::reset();
    for (const char *answer : step.answers)
        cl.queue()->push(answer);
    step.body();
    std::string problem = problemsAfterCommand(db, step.name);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    host::CommandLine::reset();
    return problem;
}

std::string runSteps(std::string_view bytes, const dxf::ReadOptions &options) {
    std::string error;
    std::unique_ptr<AcDbDatabase> db =
        dxf::readDrawingText(std::string(bytes), "input.dxf", error, options);
    if (db == nullptr)
        return {};
    if (std::string problem = saveReadSave(*db); !problem.empty())
        return "unchanged: " + problem;
    for (const Step &step : kSteps) {
        std::string problem = runStep(*db, step);
        if (problem.empty())
            problem = saveReadSave(*db);
        if (!problem.empty())
            return std::string("after ") + step.name + ": " + problem;
    }
    return {};
}

} // namespace

std::string checkedSave(AcDbDatabase &db, std::string &error) {
    error.clear();
    dxf::StringSink sink;
    try {
        dxf::WrittenCheck check(sink, "what was written is faulty");
        dxf::writeDatabase(db, check);
        check.finish();
    } catch (const dxf::DxfError &e) {
        error = e.what();
        return {};
    }
    return std::move(sink.text);
}

std::string saveAfter(std::string_view bytes, std::string_view command, std::string &error) {
    tev::db::alloc::Exempt exempt;
    std::unique_ptr<AcDbDatabase> db = dxf::readDrawingText(std::string(bytes), "input.dxf", error);
    if (db == nullptr)
        return {};
    for (const Step &step : kSteps)
        if (step.name == command)
            if (error = runStep(*db, step); !error.empty())
                return {};
    return checkedSave(*db, error);
}

std::string checkSaveProperty(std::string_view bytes, const dxf::ReadOptions &options) {
    tev::db::alloc::Exempt exempt;
    tev::db::clearMisuseReports();
    const long liveBefore = tev::db::alloc::liveObjects();
    std::string problem = runSteps(bytes, options);
    const long leaked = tev::db::alloc::liveObjects() - liveBefore;
    if (problem.empty() && leaked != 0)
        problem = std::to_string(leaked) + " database object(s) outlived the drawing";
    return problem;
}

} // namespace tevfuzz
