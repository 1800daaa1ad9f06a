// svg.h - pictures of the drawing: the model space as an SVG document.
#pragma once
#include "kinds.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;
class AcDbObjectId;

namespace host::render {

class Scene;

// What the file a drawing was read from tells its picture beyond the database, given by
// whoever read the file. Without it (nullptr) texts kept as the file's bytes are taken as
// they are, and no true colours are looked for.
struct FileFacts {
    KindSettings kinds;
    bool trueColours = false; // the file's version has true colours (2004 and later)
    std::string_view text;    // the file's bytes, into which kept records point
    // The file's bytes before this offset will not be looked at again soon (may be empty).
    std::function<void(std::size_t)> doneBefore;
};

// The model space of db as a scene (what makeSvg writes out): every kind that has a
// picture, including those the database keeps only as the file's groups (hatches,
// paragraph text, ellipses, splines, dimensions through their blocks, leaders, solids,
// 3D faces, points, rays, meshes, attributes), in true colours and lineweights where set.
// False, with error, as makeSvg.
bool makeScene(AcDbDatabase &db, Scene &scene, std::string &error,
               const FileFacts *facts = nullptr);

// Draws the given entities of the model space into scene, as makeSvg draws them (ids that
// do not show or cannot be read add nothing). For pictures of part of the drawing.
void drawEntities(AcDbDatabase &db, const std::vector<AcDbObjectId> &ids, Scene &scene,
                  const FileFacts *facts = nullptr);

// Draws the model space of db as an SVG document (UTF-8): lines, polylines of all three
// kinds with their arcs and widths, circles, arcs, text, block references and the kinds
// makeScene lists, in the host's colours with ByLayer and ByBlock resolved and dashed linetypes
// dashed. Entities on layers that are off or frozen, invisible ones and erased ones are not drawn.
// False, with error saying why, when the model space cannot be read or the picture would
// be unreasonably large (block references nesting into millions of entities).
bool makeSvg(AcDbDatabase &db, std::string &svg, std::string &error,
             const FileFacts *facts = nullptr);

// makeSvg into the file at path, written to a temporary file beside it and renamed over
// it, so that a failed write leaves the old file as it was. False with error on failure.
bool writeSvg(AcDbDatabase &db, const std::string &path, std::string &error,
              const FileFacts *facts = nullptr);

} // namespace host::render
