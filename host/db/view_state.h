// view_state.h - the model space's view as the drawing keeps it (the *ACTIVE viewport: its
// centre, height and width-to-height ratio), set by ZOOM, PAN and the live page, and the
// views before it for ZOOM Previous. Not a change of the drawing: undo leaves it alone.
#pragma once

#include <cstdint>
#include <vector>

class AcDbDatabase;

namespace tev::db {

struct View {
    double cx = 0, cy = 0; // the centre, in drawing units
    double height = 0;     // the height shown, in drawing units (0: none known)
    double aspect = 0;     // width over height of the screen it was shown on (0: none known)
};

struct ViewState {
    View current;             // what the viewport shows (read from the file, or set since)
    View asRead;              // what the file held, so that an unchanged view saves as read
    std::vector<View> before; // the views before it, the latest last (ZOOM Previous)
    std::uint64_t moved = 0;  // how often a command moved the view (the page follows it)
    std::uint64_t regens = 0; // how often REGEN asked the page to draw everything anew
};

// The view state of db (made on first use).
ViewState &viewState(const AcDbDatabase &db);

// How many views ZOOM Previous can go back.
constexpr std::size_t kViewsKept = 10;

// Makes v the current view, keeping the one before it for ZOOM Previous. byCommand: a
// command moved it (the page follows); otherwise the page itself reported what it shows.
void setView(const AcDbDatabase &db, const View &v, bool byCommand);

} // namespace tev::db
