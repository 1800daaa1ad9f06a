// undo_commands.cpp - U, UNDO, REDO, and the undo step around every other command.
#include "undo_commands.h"

#include "answer_parse.h"
#include "command_line.h"
#include "dbapserv.h"
#include "i18n.h"
#include "journal.h"
#include "text_util.h"

#include <cmath>
#include <string>
#include <vector>

namespace host {
namespace {

using i18n::tr;

AcDbDatabase *working() {
    return acdbHostApplicationServices()->workingDatabase();
}

std::string megabytes(std::size_t bytes) {
    return std::to_string((bytes + (std::size_t{1} << 19)) >> 20) + " MB";
}

// The names of the steps undone or redone, on a line of their own.
void sayNames(const std::vector<std::string> &names) {
    std::string line;
    for (const std::string &n : names)
        line += (line.empty() ? "" : " ") + n;
    if (!line.empty())
        CommandLine::current().print("\n" + line + "\n");
}

void sayEverythingUndone() {
    CommandLine::current().print("\n" + std::string(tr("Everything has been undone")) + "\n");
}

AcDbDatabase *drawingOrSay() {
    AcDbDatabase *db = working();
    if (db == nullptr)
        CommandLine::current().refuse(tr("No drawing is open."));
    return db;
}

void undoCount(AcDbDatabase &db, std::size_t count) {
    tev::db::UndoOutcome out = tev::db::undoSteps(db, count);
    sayNames(out.names);
    if (out.names.size() < count)
        sayEverythingUndone();
}

void undoBack(AcDbDatabase &db) {
    CommandLine &cl = CommandLine::current();
    if (!tev::db::hasMark(db)) {
        if (tev::db::undoableSteps(db) == 0) {
            sayEverythingUndone();
            return;
        }
        for (;;) {
            Answer a = cl.ask(tr("\nThis will undo everything. OK? <Y>: "));
            if (!a.isText())
                return;
            std::string u = text::toUpper(a.text);
            if (u == "N" || u == "NO")
                return;
            if (u.empty() || u == "Y" || u == "YES")
                break;
            cl.refuse(tr("Please answer Yes or No."));
        }
    }
    tev::db::UndoOutcome out = tev::db::undoSteps(db, 0, /*toMark=*/true);
    sayNames(out.names);
    if (out.markMet)
        cl.print("\n" + std::string(tr("Mark encountered")) + "\n");
    else
        sayEverythingUndone();
}

} // namespace

void uCommand() {
    if (AcDbDatabase *db = drawingOrSay())
        undoCount(*db, 1);
}

void undoCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    CommandLine &cl = CommandLine::current();
    for (;;) {
        Answer a = cl.ask(tr("\nEnter the number of operations to undo or [Mark/Back] <1>: "));
        if (!a.isText())
            return;
        std::string u = text::toUpper(a.text);
        if (u.empty()) {
            undoCount(*db, 1);
            return;
        }
        if (u == "M" || u == "MARK") {
            tev::db::addMark(*db);
            return;
        }
        if (u == "B" || u == "BACK") {
            undoBack(*db);
            return;
        }
        std::optional<double> n = parseNumber(a.text);
        if (n && *n >= 1 && *n <= 1e9 && std::floor(*n) == *n) {
            undoCount(*db, static_cast<std::size_t>(*n));
            return;
        }
        cl.refuse(tr("Requires a positive whole number or Mark or Back."));
    }
}

void redoCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    tev::db::UndoOutcome out = tev::db::redoSteps(*db);
    if (out.names.empty())
        CommandLine::current().print("\n" + std::string(tr("Nothing to redo")) + "\n");
    else
        sayNames(out.names);
}

CommandStep::CommandStep(std::string_view command) : db_(working()), name_(text::toUpper(command)) {
    if (db_ != nullptr)
        tev::db::beginStep(*db_, name_);
}

CommandStep::~CommandStep() {
    if (db_ == nullptr)
        return;
    tev::db::StepOutcome out = tev::db::endStep(*db_);
    const std::string limit = megabytes(tev::db::journalLimit(*db_));
    CommandLine &cl = CommandLine::current();
    if (out.lost)
        cl.print("\n" +
                 i18n::format(tr("%s changed more than the undo memory (%s) holds: it cannot be "
                                 "undone, nor can anything before it."),
                              {name_, limit}) +
                 "\n");
    else if (out.dropped > 0)
        cl.print("\n" +
                 i18n::format(tr("The undo memory (%s) is full: the oldest commands (%s) can no "
                                 "longer be undone."),
                              {limit, std::to_string(out.dropped)}) +
                 "\n");
}

} // namespace host
