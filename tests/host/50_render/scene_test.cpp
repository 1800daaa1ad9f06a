// Tests of the scene: transforms, arcs, the picture's box, refusing broken numbers, and the
// SVG text read back by an XML parser.
#include "scene.h"
#include "svg_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace host::render;
using render_test::summarize;

constexpr double kPi = 3.14159265358979323846;

// Test that an entity normal of -Z mirrors x, +X uses world Y as its x axis (the arbitrary
// axis rule), and +Z changes nothing.
TEST(Xform, NormalsFollowTheArbitraryAxisRule) {
    Point2 p = Xform::fromNormal(0, 0, -1).apply2(2, 3, 0);
    EXPECT_NEAR(p.x, -2, 1e-12);
    EXPECT_NEAR(p.y, 3, 1e-12);
    double x, y, z;
    Xform::fromNormal(1, 0, 0).apply(1, 0, 0, x, y, z);
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);
    EXPECT_NEAR(z, 0, 1e-12);
    Xform::fromNormal(1, 0, 0).apply(0, 1, 0, x, y, z);
    EXPECT_NEAR(z, 1, 1e-12);
    p = Xform::fromNormal(0, 0, 5).apply2(2, 3, 0);
    EXPECT_NEAR(p.x, 2, 1e-12);
    EXPECT_NEAR(p.y, 3, 1e-12);
}

// Test composition order (right first) and the similarity test with its scale and mirror.
TEST(Xform, CompositionAndSimilarity) {
    Xform t = Xform::translation(10, 0, 0) * Xform::rotationZ(kPi / 2) * Xform::scaling(2, 2, 1);
    Point2 p = t.apply2(1, 0, 0); // scaled to (2,0), turned to (0,2), moved to (10,2)
    EXPECT_NEAR(p.x, 10, 1e-12);
    EXPECT_NEAR(p.y, 2, 1e-12);
    double scale = 0;
    bool mirrored = true;
    ASSERT_TRUE(t.isPlanSimilarity(scale, mirrored));
    EXPECT_NEAR(scale, 2, 1e-12);
    EXPECT_FALSE(mirrored);
    ASSERT_TRUE(Xform::scaling(-3, 3, 1).isPlanSimilarity(scale, mirrored));
    EXPECT_TRUE(mirrored);
    EXPECT_NEAR(scale, 3, 1e-12);
    EXPECT_FALSE(Xform::scaling(2, 1, 1).isPlanSimilarity(scale, mirrored));
    EXPECT_FALSE(Xform::fromNormal(1, 0, 0).isPlanSimilarity(scale, mirrored));
    EXPECT_NEAR(Xform::scaling(2, 8, 1).planScale(), 4, 1e-12);
}

// Test that a bulge of 1 from (0,0) to (2,0) is the lower half circle about (1,0) (a
// positive bulge turns counter-clockwise), and a bulge of -1 the upper one.
TEST(Bulge, TessellationFollowsTheCircle) {
    for (double bulge : {1.0, -1.0, 0.25, -3.0}) {
        std::vector<Point2> pts = tessellateBulge({0, 0}, {2, 0}, bulge);
        ASSERT_GE(pts.size(), 3u);
        // From the chord: the apex lies `sag` off its middle (below it for a positive
        // bulge), and the centre a radius beyond the apex.
        double sag = bulge * 1.0;
        double radius = (1 + sag * sag) / (2 * std::fabs(sag));
        double cy = -sag + std::copysign(radius, sag);
        double deepest = 0;
        for (Point2 p : pts)
            EXPECT_NEAR(std::hypot(p.x - 1, p.y - cy), radius, 1e-9) << bulge;
        for (std::size_t i = 1; i + 1 < pts.size(); ++i) {
            EXPECT_GT(-pts[i].y * sag, 0) << "point " << i << " of bulge " << bulge;
            deepest = std::max(deepest, std::fabs(pts[i].y));
        }
        EXPECT_NEAR(deepest, std::fabs(sag), 0.01 * std::fabs(sag)) << bulge;
        EXPECT_NEAR(pts.front().x, 0, 1e-12);
        EXPECT_NEAR(pts.back().x, 2, 1e-12);
    }
    std::vector<Point2> straight = tessellateBulge({0, 0}, {5, 5}, 0);
    EXPECT_EQ(straight.size(), 2u);
}

// Test that the box covers arcs (not only their end points), circles and wide strokes.
TEST(Scene, BoxCoversArcsCirclesAndWidths) {
    Scene scene;
    EXPECT_FALSE(scene.hasBox());
    PathItem arc;
    arc.verts = {{{0, 0}, 1}, {{2, 0}, 0}}; // dips to y = -1
    ASSERT_TRUE(scene.add(arc));
    CircleItem circle;
    circle.center = {10, 0};
    circle.radius = 2;
    ASSERT_TRUE(scene.add(circle));
    PathItem wide;
    wide.verts = {{{0, 5}, 0}, {{4, 5}, 0}};
    wide.width = 2;
    ASSERT_TRUE(scene.add(wide));
    double minX, minY, maxX, maxY;
    scene.box(minX, minY, maxX, maxY);
    EXPECT_NEAR(minX, -1, 1e-9); // the wide line's pad
    EXPECT_NEAR(minY, -2, 1e-9); // the circle
    EXPECT_NEAR(maxX, 12, 1e-9);
    EXPECT_NEAR(maxY, 6, 1e-9);
    EXPECT_EQ(scene.primitiveCount(), 3u);
}

// Test that items with numbers that are not finite are refused and leave the box alone.
TEST(Scene, RefusesBrokenNumbers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Scene scene;
    PathItem good;
    good.verts = {{{0, 0}, 0}, {{1, 1}, 0}};
    ASSERT_TRUE(scene.add(good));
    PathItem bad = good;
    bad.verts[1].p.x = nan;
    EXPECT_FALSE(scene.add(bad));
    bad = good;
    bad.verts[0].bulge = inf;
    EXPECT_FALSE(scene.add(bad));
    EXPECT_FALSE(scene.add(CircleItem{"circle", {0, 0}, -1, {}}));
    EXPECT_FALSE(scene.add(CircleItem{"circle", {1e300, 0}, 1, {}}));
    TextItem text;
    text.height = nan;
    EXPECT_FALSE(scene.add(text));
    PathItem single;
    single.verts = {{{0, 0}, 0}};
    EXPECT_FALSE(scene.add(single));
    EXPECT_EQ(scene.refusedCount(), 6u);
    EXPECT_EQ(scene.primitiveCount(), 1u);
    double minX, minY, maxX, maxY;
    scene.box(minX, minY, maxX, maxY);
    EXPECT_EQ(maxX, 1);
    EXPECT_EQ(maxY, 1);
}

// Test that an empty scene is a valid SVG document with a positive view and no drawing.
TEST(SceneSvg, EmptySceneIsAValidPicture) {
    auto s = summarize(sceneToSvg(Scene()));
    ASSERT_TRUE(s.wellFormed) << s.parseError;
    EXPECT_EQ(s.root, "svg");
    EXPECT_EQ(s.ns, "http://www.w3.org/2000/svg");
    EXPECT_GT(s.viewBox[2], 0);
    EXPECT_GT(s.viewBox[3], 0);
    for (const auto &e : s.elements)
        EXPECT_TRUE(e.tag == "svg" || e.tag == "g" || e.tag == "rect") << e.tag;
}

// Test that the view is the box plus a margin on every side, with y flipped (the top of the
// drawing is at the top of the picture).
TEST(SceneSvg, ViewIsTheBoxWithAMarginAndYFlipped) {
    Scene scene;
    PathItem line;
    line.verts = {{{10, 20}, 0}, {{110, 70}, 0}};
    ASSERT_TRUE(scene.add(line));
    auto s = summarize(sceneToSvg(scene));
    ASSERT_TRUE(s.wellFormed) << s.parseError;
    double x = s.viewBox[0], y = s.viewBox[1], w = s.viewBox[2], h = s.viewBox[3];
    EXPECT_LT(x, 10);
    EXPECT_GT(x + w, 110);
    // Flipped: world y 70 (the top) is SVG y -70.
    EXPECT_LT(y, -70);
    EXPECT_GT(y + h, -20);
    // A margin, but not a huge one.
    EXPECT_LT(w, 100 * 1.5);
    EXPECT_LT(h, 50 + 100);
}

// The centre of an SVG arc from its end-point form (the SVG's own conversion rule, for
// equal radii and no rotation), in SVG coordinates.
Point2 svgArcCentre(Point2 p1, Point2 p2, double r, bool large, bool sweep) {
    double mx = (p1.x - p2.x) / 2, my = (p1.y - p2.y) / 2;
    double d2 = mx * mx + my * my;
    double k = std::sqrt(std::max(0.0, (r * r - d2) / d2));
    if (large == sweep)
        k = -k;
    double cxp = k * my, cyp = -k * mx;
    return {cxp + (p1.x + p2.x) / 2, cyp + (p1.y + p2.y) / 2};
}

// Test that the arcs in the path data bend the way the bulge says, by reading the SVG arc
// back with SVG's own rules: the centre of a small positive bulge from (0,0) to (2,0) is
// above the chord in the drawing (the arc dips below), i.e. below it in SVG coordinates.
TEST(SceneSvg, ArcsBendTheWayTheBulgeSays) {
    for (double bulge : {0.5, -0.5, 2.0, -2.0}) {
        Scene scene;
        PathItem arc;
        arc.verts = {{{0, 0}, bulge}, {{2, 0}, 0}};
        ASSERT_TRUE(scene.add(arc));
        std::string svg = sceneToSvg(scene);
        std::size_t at = svg.find(" A");
        ASSERT_NE(at, std::string::npos);
        double rx, ry, rot, x, y;
        int large, sweep;
        ASSERT_EQ(std::sscanf(svg.c_str() + at, " A%lf %lf %lf %d %d %lf %lf", &rx, &ry, &rot,
                              &large, &sweep, &x, &y),
                  7);
        Point2 c = svgArcCentre({0, 0}, {x, y}, rx, large, sweep);
        // The same centre from the bulge, in the drawing, then flipped.
        double sag = bulge;
        double radius = (1 + sag * sag) / (2 * std::fabs(sag));
        double cyDrawing = std::copysign(radius, sag) - sag;
        EXPECT_NEAR(rx, radius, 1e-6) << bulge;
        EXPECT_NEAR(c.x, 1, 1e-6) << bulge;
        EXPECT_NEAR(c.y, -cyDrawing, 1e-6) << bulge;
        EXPECT_EQ(large, std::fabs(bulge) > 1) << bulge;
    }
}

// Test that every kind of item comes out as its element with its class and colours, text
// escaped, dashes written, and the result parses.
TEST(SceneSvg, ItemsBecomeElements) {
    Scene scene;
    PathItem path;
    path.kind = "line";
    path.verts = {{{0, 0}, 0}, {{5, 0}, 0}};
    path.stroke.color = {255, 0, 0};
    path.stroke.dashes = {2, 1};
    ASSERT_TRUE(scene.add(path));
    scene.open("lwpolyline");
    ASSERT_TRUE(scene.add(PolygonItem{"", {{0, 0}, {1, 0}, {1, 1}}, {0, 0, 255}}));
    scene.close();
    CircleItem circle{"circle", {3, 3}, 1, {}};
    circle.stroke.fixedDash = true;
    ASSERT_TRUE(scene.add(circle));
    TextItem text;
    text.kind = "text";
    text.xmlText = "a &lt; b";
    text.pos = {1, 1};
    text.color = {0, 255, 0};
    ASSERT_TRUE(scene.add(text));
    scene.addNote("2 HATCH -- not drawn");

    auto s = summarize(sceneToSvg(scene));
    ASSERT_TRUE(s.wellFormed) << s.parseError;
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].tag, "path");
    EXPECT_EQ(lines[0].stroke, "#ff0000");
    EXPECT_EQ(lines[0].dashes, "2,1");
    auto groups = s.withClass("lwpolyline");
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].tag, "g");
    auto circles = s.withClass("circle");
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_NE(circles[0].dashes, "-");
    bool bandFilled = false;
    for (const auto &e : s.elements)
        bandFilled = bandFilled || (e.tag == "path" && e.fill == "#0000ff");
    EXPECT_TRUE(bandFilled);
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0], "a < b");
    EXPECT_EQ(s.withClass("text")[0].fill, "#00ff00");
}

// Test numbers: no "-0", ten significant digits, exponents only when needed.
TEST(SceneSvg, NumberFormat) {
    EXPECT_EQ(formatNumber(-0.0), "0");
    EXPECT_EQ(formatNumber(1.5), "1.5");
    EXPECT_EQ(formatNumber(-123456.75), "-123456.75");
    EXPECT_EQ(formatNumber(1.0 / 3), "0.3333333333");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::quiet_NaN()), "0");
}

} // namespace
