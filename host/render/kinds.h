// kinds.h - pictures of the kinds the database keeps only as the file's groups: hatches,
// paragraph text, ellipses, splines, leaders, solids, traces, 3D faces, points, rays,
// construction lines, polygon and polyface meshes (drawn from their shapes, kept_shape.h),
// and attribute text.
#pragma once
#include "groups.h"
#include "kept_shape.h"
#include "scene.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace host::render {

using tev::db::Group;
using tev::db::Groups;
using tev::db::Point3;

// What the records do not say themselves.
struct KindSettings {
    // The file's text → the database's (Windows-1251 with \U+XXXX escapes); empty: as is.
    std::function<std::string(std::string_view)> toDatabaseText;
    double arrowSize = 2.5; // of leaders, in drawing units, by default
    // The arrow size of each dimension style (its name as the file spells it).
    std::map<std::string, double, std::less<>> styleArrowSizes;
    // How points are drawn (the header's PDMODE and PDSIZE), and the height of the view a
    // picture is for (0: the picture's own), which a size of 0 or below is a share of.
    int pointMode = 0;
    double pointSize = 0;
    double viewHeight = 0;
};

// Things sized by the whole picture, drawn once its box is known: rays and construction
// lines reach a little beyond it, points get a mark sized by it (or by the view).
struct Deferred {
    struct Line {
        Point2 base, dir;
        bool bothWays = false;
        Stroke stroke;
    };
    struct Mark {
        Point2 at;
        Stroke stroke;
    };
    std::vector<Line> lines;
    std::vector<Mark> marks;
    int pointMode = 0; // as KindSettings
    double pointSize = 0;
    double viewHeight = 0;
};

// Draws the entity of records[0] (its children, such as a mesh's vertices, following)
// through xf in the stroke's colour. False when the kind is not one drawn here, or the
// record is too broken to draw (a hatch without a boundary).
bool drawKind(const std::vector<Groups> &records, const Xform &xf, const Stroke &stroke,
              const KindSettings &settings, Scene &scene, Deferred &deferred);

// The text of an attribute (ATTRIB; an ATTDEF shows its tag, or, inside a block, its
// value when constant). Invisible attributes draw nothing. inBlock: drawn as part of a
// block reference's block.
void drawAttribute(const Groups &g, const Xform &xf, Rgb color, bool inBlock,
                   const KindSettings &settings, Scene &scene);

// Lines of text (their places through xf) in this colour, as elements of class kind.
void drawTextLines(const std::vector<tev::db::KeptText> &texts, const Xform &xf, Rgb color,
                   std::string_view kind, Scene &scene);

// Adds what was deferred, sized by the scene's box (all rays' bases in it).
void finishDeferred(const Deferred &deferred, Scene &scene);

// The database text (Windows-1251 with \U+XXXX escapes) of a file's string.
std::string fileTextToDatabase(std::string_view text, const KindSettings &settings);

} // namespace host::render
