// kept_shape.h - the geometry of the kinds the database keeps only as the file's groups
// (hatches, paragraph text, ellipses, splines, dimensions, leaders, solids, traces, 3D faces,
// points, rays, construction lines, polygon and polyface meshes), read from their groups.
// The one reading of them: the spatial index, picks and selections take their shapes from
// here, and pictures draw from here.
#pragma once
#include "curves.h"
#include "groups.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tev::db {

struct KeptPath {
    std::vector<Point3> pts; // world coordinates (of the block the entity is in)
    bool closed = false;
};

// One line of text: its anchor point and the unit directions of its baseline and its up.
struct KeptText {
    Point3 pos, along{1, 0, 0}, up{0, 1, 0};
    double height = 1;
    double widthFactor = 1;
    std::string text; // database text (Windows-1251 with \U+XXXX escapes), %% codes unexpanded
    int anchor = 0;   // 0 start, 1 middle, 2 end
    int baseline = 0; // 0 the baseline, 1 middle, 2 top, 3 bottom
};

// A hatch's pattern: lines through base, repeated by offset, dashed (+ dash, - gap, 0 dot);
// all in the hatch's own coordinates.
struct PatternLine {
    double angle = 0; // radians
    double baseX = 0, baseY = 0, offsetX = 0, offsetY = 0;
    std::vector<double> dashes;
};

struct KeptHatch {
    bool solid = false;
    std::vector<std::vector<Point3>> rings; // in the hatch's own coordinates (z 0)
    std::vector<PatternLine> pattern;
    Point3 normal{0, 0, 1};
    double elevation = 0;
};

// A ray (from base one way) or a construction line (both ways).
struct KeptLine {
    Point3 base, dir;
    bool bothWays = false;
};

struct KeptShape {
    std::vector<KeptPath> paths;
    // Filled areas, each its rings by the even-odd rule (world coordinates).
    std::vector<std::vector<std::vector<Point3>>> areas;
    std::vector<KeptText> texts;
    std::vector<Point3> points;
    std::vector<KeptLine> lines;
    KeptHatch hatch; // when the kind is a hatch (areas then hold its rings)
    bool isHatch = false;
    std::string block; // a dimension: the name of its block, as the file spells it
    // A leader's arrowhead: at tip, pointing away from next; its size comes from the
    // dimension style named (as the file spells it).
    bool arrow = false;
    Point3 arrowTip, arrowNext;
    std::string_view arrowStyle;
};

// The file's text → the database's (Windows-1251 with \U+XXXX escapes). Empty: text that is
// valid UTF-8 is taken as UTF-8, any other as it is.
using TextConverter = std::function<std::string(std::string_view)>;

// The shape of the entity of records[0] (its children, such as a mesh's vertices,
// following). False when the kind has no shape here (records of another kind, or too
// broken: a hatch without a boundary, a spline without points).
bool keptShape(const std::vector<Groups> &records, const TextConverter &toDatabaseText,
               KeptShape &out);

// The text an attribute (ATTRIB) or attribute definition (ATTDEF) shows, placed in world
// coordinates (of the block it is in). A definition on its own shows its tag; inside a
// block only a constant one shows, with its value (the others are the references'
// prompts). False when it shows nothing: invisible, empty, or a definition's prompt.
bool attributeText(const Groups &g, bool inBlock, const TextConverter &toDatabaseText,
                   KeptText &out);

// The points of the arc from a to b with this bulge (tan of a quarter of its angle, +
// counter-clockwise), 72 chords to a whole turn, appended to ring: a and those between, not b.
void bulgePoints(std::vector<Point3> &ring, Point3 a, Point3 b, double bulge);

// The database text of a file's string, as keptShape reads it.
std::string keptText(std::string_view fileText, const TextConverter &toDatabaseText);

// The approximate width of one line of text: characters 0.6 of the height wide.
double textWidth(std::string_view databaseText, double height, double widthFactor);

} // namespace tev::db
