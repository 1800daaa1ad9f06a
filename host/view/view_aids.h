// view_aids.h - the page's drafting aids: where a click at the cursor would land (object
// snaps, ortho, polar, grid, from the waiting prompt's base point) and the F-key toggles.
#pragma once

#include "view_input.h"

#include <memory>

namespace host::view {

class HttpServer;

// GET /api/track?x=&y=&aperture= → {"x":..,"y":..,"kind":"END"|...|""}
// GET /api/aids → the settings the page draws by (osnap, ortho, polar, snap, grid, snapang,
// snapunit, snapbase, gridunit, aperture)
// POST /api/toggle?what=osnap|ortho|snap|polar|grid → the settings after the toggle, which
// the transcript shows ("<Ortho on>").
void addAidRoutes(HttpServer &server, std::shared_ptr<Hub> hub);

} // namespace host::view
