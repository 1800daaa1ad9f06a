// scene.h - what a picture is made of before it becomes SVG: paths with bulges, filled
// bands, circles and text in world coordinates (plan view), grouped per entity, with the
// box they cover. Knows nothing of the database.
#pragma once
#include "palette.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace host::render {

struct Point2 {
    double x = 0, y = 0;
};

// A 3D affine map (rows of a 3x4 matrix). The picture is the plan view: the XY of its result.
struct Xform {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static Xform translation(double x, double y, double z);
    static Xform rotationZ(double angle);
    static Xform scaling(double sx, double sy, double sz);
    // From an entity's own coordinate system (its normal, by the arbitrary axis rule) to
    // world. A zero normal is taken as +Z.
    static Xform fromNormal(double nx, double ny, double nz);
    Xform operator*(const Xform &right) const; // this after right
    void apply(double x, double y, double z, double &ox, double &oy, double &oz) const;
    Point2 apply2(double x, double y, double z) const; // the plan view of apply
    Point2 applyVector2(double x, double y, double z) const;

    // Whether the plan view of the XY plane is a similarity (rotation, uniform scale and
    // perhaps a mirror); then scale and mirrored say which. Circles stay circles only then.
    bool isPlanSimilarity(double &scale, bool &mirrored) const;
    // The factor lengths in the XY plane grow by on average (sqrt of the plan determinant).
    double planScale() const;
};

// How a line is stroked. dashes: on/off lengths in world units, starting with a dash (even
// count); empty and fixedDash false: solid; fixedDash: a dash sized to the picture.
// weight: the lineweight in millimetres on paper (0: the thinnest line), drawn as wide as
// the screen shows it at 96 dots per inch, never thinner than the thin line.
struct Stroke {
    Rgb color;
    std::vector<double> dashes;
    bool fixedDash = false;
    double weight = 0;
};

struct PathVertex {
    Point2 p;
    double bulge = 0; // of the segment from this vertex to the next: tan(angle / 4), + is CCW
};

struct PathItem {
    std::string kind; // class of the element; empty inside an entity group
    std::vector<PathVertex> verts;
    bool closed = false;
    double width = 0; // 0: a thin line; otherwise a stroke this wide (world units)
    Stroke stroke;
};

// A filled area: pts the outer ring; holes more rings, the whole filled by the even-odd rule
// (a ring inside another is left out, one inside that filled again, ...).
struct PolygonItem {
    std::string kind;
    std::vector<Point2> pts;
    Rgb fill;
    std::vector<std::vector<Point2>> holes = {};
};

struct CircleItem {
    std::string kind;
    Point2 center;
    double radius = 0;
    Stroke stroke;
};

enum class Anchor { Start, Middle, End };
enum class Baseline { Alphabetic, Middle, Top, Bottom };

struct TextItem {
    std::string kind;
    Point2 pos;          // anchor point
    double height = 1;   // world units
    double rotation = 0; // radians, counter-clockwise
    double widthFactor = 1;
    std::string xmlText; // already escaped UTF-8
    Anchor anchor = Anchor::Start;
    Baseline baseline = Baseline::Alphabetic;
    Rgb color;
};

struct GroupOpen {
    std::string kind;
};
struct GroupClose {};

using SceneItem = std::variant<PathItem, PolygonItem, CircleItem, TextItem, GroupOpen, GroupClose>;

// Samples of the arc from a to b with this bulge, a and b included; at least 2 points,
// more for larger angles (so that the chord error stays small).
std::vector<Point2> tessellateBulge(Point2 a, Point2 b, double bulge, int perFullCircle = 72);

class Scene {
public:
    // Each add checks its numbers: an item with a value that is not finite (or absurdly
    // large) is refused (false) and counted, so that one broken entity cannot spoil the
    // picture's box or its syntax.
    bool add(PathItem item);
    bool add(PolygonItem item);
    bool add(CircleItem item);
    bool add(TextItem item);
    void open(std::string_view kind);
    void close();

    std::size_t primitiveCount() const { return mPrimitives; }
    std::size_t refusedCount() const { return mRefused; }
    bool hasBox() const { return mMinX <= mMaxX; }
    // The box of everything added; (0,0,0,0) when empty.
    void box(double &minX, double &minY, double &maxX, double &maxY) const;
    const std::vector<SceneItem> &items() const { return mItems; }
    // Notes written into the picture as comments (things not drawn, and why).
    void addNote(std::string note) { mNotes.push_back(std::move(note)); }
    const std::vector<std::string> &notes() const { return mNotes; }

private:
    void cover(Point2 p, double pad = 0);
    bool refuse();
    std::vector<SceneItem> mItems;
    std::vector<std::string> mNotes;
    std::size_t mPrimitives = 0;
    std::size_t mRefused = 0;
    double mMinX = 1, mMinY = 1, mMaxX = 0, mMaxY = 0;
};

// The SVG document of the scene: the box with a margin, y up as in the drawing, white
// paper. An empty scene gives a small valid empty picture.
std::string sceneToSvg(const Scene &scene);

// A number as SVG writes it: up to 10 significant digits, no "-0".
std::string formatNumber(double v);

} // namespace host::render
