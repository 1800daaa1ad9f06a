// svg.h - pictures of the drawing: the model space as an SVG document.
#pragma once
#include <string>

class AcDbDatabase;

namespace host::render {

class Scene;

// The model space of db as a scene (what makeSvg writes out): every kind that has a
// picture, including those the database keeps only as the file's groups (hatches,
// paragraph text, ellipses, splines, dimensions through their blocks, leaders, solids,
// 3D faces, points, rays, meshes, attributes), in true colours and lineweights where set.
// False, with error, as makeSvg.
bool makeScene(AcDbDatabase &db, Scene &scene, std::string &error);

// Draws the model space of db as an SVG document (UTF-8): lines, polylines of all three
// kinds with their arcs and widths, circles, arcs, text, block references and the kinds
// makeScene lists, in the host's colours with ByLayer and ByBlock resolved and dashed linetypes
// dashed. Entities on layers that are off or frozen, invisible ones and erased ones are not drawn.
// False, with error saying why, when the model space cannot be read or the picture would
// be unreasonably large (block references nesting into millions of entities).
bool makeSvg(AcDbDatabase &db, std::string &svg, std::string &error);

// makeSvg into the file at path, written to a temporary file beside it and renamed over
// it, so that a failed write leaves the old file as it was. False with error on failure.
bool writeSvg(AcDbDatabase &db, const std::string &path, std::string &error);

} // namespace host::render
