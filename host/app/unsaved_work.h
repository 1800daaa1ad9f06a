// unsaved_work.h - what the host does with unsaved changes when it is about to end: at a
// terminal it asks, in a script it says so on standard error.
#pragma once

namespace host {

// Whether the host asks before it ends with unsaved changes (a person at a terminal,
// and no --output that will save them anyway). Off by default.
void setAskBeforeQuit(bool ask);

// Called when QUIT was typed or the input ended: true when the host may end now. With
// unsaved changes at a terminal it asks "Save changes to NAME?": Yes saves (and stays
// when the save fails, saying why), No drops the changes, Cancel or Escape stays.
bool mayQuit();

// True when the drawing has changes that were neither saved nor given up by the user.
bool changesLeftUnsaved();

} // namespace host
