// view_follow.h - what the page follows besides the prompt: the rubber band of the prompt
// that waits and the host's view (ZOOM, PAN, REGEN); what it reports back (the view it shows
// after the mouse moved it); and what a click at the cursor would pick (hover). Run on the
// thread that owns the database.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class AcDbDatabase;

namespace host::view {

// JSON members for the prompt state, each after a comma: ,"band":...,"view":...,"atCommand":
// ... The view is null without a drawing; "moved" and "regens" count the commands that moved
// it or asked for a new picture. atCommand: promptLine (UTF-8) is the command prompt's.
std::string promptExtras(std::string_view promptLine);

// The page shows the view of centre (cx, cy) and height h on a screen of width/height
// aspect: the host keeps it (ZOOM Previous goes back to the view before). Without h, only the
// screen's shape is taken. False when the numbers are no view.
bool takePageView(AcDbDatabase &db, std::optional<double> cx, std::optional<double> cy,
                  std::optional<double> h, std::optional<double> aspect);

// What a pick at (x, y) within aperture would take, as JSON: null for nothing, else
// {"handle", "line": [x0, y0, x1, y1] for a line, "paths": [[x, y, x, y, ...], ...]} (its
// shape as polylines, at most some thousands of points).
std::string hoverJson(AcDbDatabase &db, double x, double y, double aperture);

} // namespace host::view
