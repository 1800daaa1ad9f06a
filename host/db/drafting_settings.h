// drafting_settings.h - the drafting aids a drawing keeps for the next session: ortho and the
// running object snaps in its header ($ORTHOMODE, $OSMODE), grid snap and the grid in its
// *ACTIVE viewport (snap base, snap and grid spacing, snap and grid on). Like the view, they
// are no change of the drawing: undo leaves them alone and DBMOD does not count them.
#pragma once

class AcDbDatabase;

namespace tev::db {

struct DraftingSettings {
    short osmode = 4133; // END, CEN, INT (and extension, which this host has not)
    short orthomode = 0; // 1: picked points keep to the axes through the base point
    short snapmode = 0;  // 1: picked points go to the snap grid
    short gridmode = 0;  // 1: the page shows the grid
    double snapunit[2] = {10, 10};
    double snapbase[2] = {0, 0};
    double gridunit[2] = {10, 10}; // 0: the snap spacing's
    bool operator==(const DraftingSettings &) const = default;
};

struct DraftingState {
    DraftingSettings current; // what the session uses now
    DraftingSettings asRead;  // what the file held, so that unchanged settings save as read
};

// The drafting settings of db (its defaults until a file is read into it).
DraftingState &draftingState(const AcDbDatabase &db);

} // namespace tev::db
