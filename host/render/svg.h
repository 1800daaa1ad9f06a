// svg.h - pictures of the drawing: the model space as an SVG document.
#pragma once
#include <string>
#include <vector>

class AcDbDatabase;
class AcDbObjectId;

namespace host::render {

class Scene; // scene.h

// Draws the given entities of the model space into scene, as makeSvg draws them (ids that
// do not show or cannot be read add nothing). For pictures of part of the drawing.
void drawEntities(AcDbDatabase &db, const std::vector<AcDbObjectId> &ids, Scene &scene);

// Draws the model space of db as an SVG document (UTF-8): lines, polylines of all three
// kinds with their arcs and widths, circles, arcs, text and block references, in the
// host's colours with ByLayer and ByBlock resolved and dashed linetypes dashed. Entities
// on layers that are off or frozen, invisible ones and erased ones are not drawn.
// False, with error saying why, when the model space cannot be read or the picture would
// be unreasonably large (block references nesting into millions of entities).
bool makeSvg(AcDbDatabase &db, std::string &svg, std::string &error);

// makeSvg into the file at path, written to a temporary file beside it and renamed over
// it, so that a failed write leaves the old file as it was. False with error on failure.
bool writeSvg(AcDbDatabase &db, const std::string &path, std::string &error);

} // namespace host::render
