// journal.h - undo and redo, kept by the database: each command is one step, and a step holds
// what the command changed. For an object opened for write, its state before the step's first
// write open (its data, source bytes, modified flags and erased flag); for an object appended
// or added, the object itself, taken out of the drawing on undo (handle and all) and put back
// on redo; the drawing's settings (layer, linetype, colour, snap angle) and the next handle.
// Undoing and redoing exchange the two states, so a step undone and redone is the step again.
// The memory the steps hold is bounded: past the limit the oldest steps are dropped.
#pragma once
#include "dbmain.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tev::db {

// The bound on the memory the journal holds unless told otherwise: 512 MiB (a Wpe over a
// million entities takes about 65 MiB: widths and flags, no copies).
constexpr std::size_t kDefaultJournalLimit = std::size_t{512} << 20;

// Starts a step: what db changes until endStep is one step named name. A step begun while
// another is under way is part of it.
void beginStep(AcDbDatabase &db, std::string_view name);

struct StepOutcome {
    bool kept = false;       // the step changed the drawing and can be undone
    bool lost = false;       // the step alone held more than the limit: it cannot be undone,
                             // and no step before it can be either (all were dropped)
    std::size_t dropped = 0; // the oldest steps dropped to stay within the limit
};
// Ends the step under way. A step that changed nothing is no step. A step kept clears what
// could be redone.
StepOutcome endStep(AcDbDatabase &db);

struct UndoOutcome {
    std::vector<std::string> names; // the steps undone (or redone), latest undone first
    bool markMet = false;           // stopped at a mark (which is gone now)
};
// Undoes up to count steps (marks on the way are passed and removed). With toMark, undoes
// until a mark, or everything when there is none. The steps undone are one group for redo.
UndoOutcome undoSteps(AcDbDatabase &db, std::size_t count, bool toMark = false);
// Redoes the last group of steps undone; none when a step was kept since.
UndoOutcome redoSteps(AcDbDatabase &db);
// UNDO Mark: a place that UNDO Back goes back to.
void addMark(AcDbDatabase &db);
bool hasMark(const AcDbDatabase &db);
// The steps that can be undone (marks not counted), and the groups that can be redone.
std::size_t undoableSteps(const AcDbDatabase &db);
std::size_t redoableGroups(const AcDbDatabase &db);

// The memory the steps hold (an estimate: object states, objects taken out, bookkeeping),
// and its bound.
std::size_t journalBytes(const AcDbDatabase &db);
std::size_t journalLimit(const AcDbDatabase &db);
// A new bound; steps above it are dropped, oldest first, when the next step ends.
void setJournalLimit(AcDbDatabase &db, std::size_t bytes);

} // namespace tev::db
