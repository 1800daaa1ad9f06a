// view_scene.h - what the page is sent about the drawing: the picture of one view in a
// compact binary form, the layers, the extents. Runs on the thread that owns the database.
#pragma once

#include "dbid.h"

#include <string>
#include <unordered_set>
#include <vector>

class AcDbDatabase;

namespace host::view {

// The part of the model space a page shows, and the size of one of its pixels in drawing
// units (what is smaller is not sent).
struct ViewBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double pixel = 1;
};

// The entities drawn highlighted: the live selection sets and the selection being built.
std::unordered_set<AcDbObjectId> highlightedIds();

// The picture of box, every entity that shows there, little-endian: as vectors at most some
// thousands (the largest; a highlighted one always), the rest drawn by the server into the
// view's pixels (a crowded or far view):
//   "TVW1", f64 originX, f64 originY (every coordinate below is f32, relative to it),
//   u32 entities drawn (vectors and pixels), u32 groupCount, then per group of one look:
//     u8 r, g, b, flags (1 highlighted, 2 filled, 4 dashed at a fixed screen size, 8 the
//     width is in screen pixels: a lineweight), f32 width (drawing units, 0 thin),
//     u32 dashCount, f32 dashes (on, off, ...), u32 pathCount, u32 pointCount,
//     u32 pathEnd[pathCount] (the high bit: closed; the next: a hole in the area before),
//     f32 xy[2 * pointCount], u32 circleCount, f32 (cx, cy, r)[circleCount],
//     u32 textCount, per text f32 x, y, height, rotation, widthFactor, u8 anchor,
//     u8 baseline, u16 byteCount, UTF-8 bytes, padded to 4 bytes;
//   then the pixels: u32 width, height (0 0: none), f64 left, top (drawing units, not
//     relative), f64 pixel size, u32 colourCount, per colour u8 r, g, b, 0, u32 cellCount,
//     u32 cells (row by row from the top left).
std::string encodeView(AcDbDatabase &db, const ViewBox &box,
                       const std::unordered_set<AcDbObjectId> &highlighted);

// From how many entities a picture draws its pixels in two parts at once, one of them on
// another thread (the tests lower it to compare the two ways).
std::size_t &twoPassesFrom();

// The layers as JSON: [{"name", "color": "#rrggbb", "on", "frozen", "locked", "current"}...].
std::string layersJson(AcDbDatabase &db);

// The extents of the model space as JSON {"x0","y0","x1","y1"}, or null when empty.
std::string extentsJson(AcDbDatabase &db);

// A string as a JSON string literal (UTF-8 in, escapes for quotes and control characters).
std::string jsonString(std::string_view utf8);

} // namespace host::view
