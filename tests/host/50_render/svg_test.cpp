// Tests of pictures of a whole drawing: every entity kind shown, block references
// transformed, colours and linetypes resolved, hidden things left out, self-inserting
// blocks, the empty drawing, text escaping and the atomic file write. Each picture is read
// back by python's XML parser.
#include "svg.h"
#include "svg_check.h"

#include "dbmain.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using render_test::Element;
using render_test::summarize;
using render_test::SvgSummary;

constexpr double kPi = 3.14159265358979323846;

// The properties an entity gets on append: P().color(3).layer(walls).
struct Props {
    int colorIndex = 256; // BYLAYER
    AcDbObjectId layerId;
    AcDbObjectId linetypeId;
    double scale = 1;
    Props &color(int c) { return colorIndex = c, *this; }
    Props &layer(AcDbObjectId id) { return layerId = id, *this; }
    Props &linetype(AcDbObjectId id) { return linetypeId = id, *this; }
    Props &linetypeScale(double s) { return scale = s, *this; }
};
Props P() {
    return Props();
}

// A fresh drawing per test, with helpers that build what a test needs and close it again.
class SvgTest : public ::testing::Test {
protected:
    AcDbDatabase db{/*buildDefaultDrawing=*/true};

    AcDbObjectId modelSpace() { return db.modelSpaceId(); }

    AcDbObjectId layerId(const char *name) {
        AcDbLayerTable *table = nullptr;
        EXPECT_EQ(db.getLayerTable(table, AcDb::kForRead), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->getAt(name, id), Acad::eOk) << name;
        EXPECT_EQ(table->close(), Acad::eOk);
        return id;
    }

    AcDbObjectId linetypeId(const char *name) {
        AcDbLinetypeTable *table = nullptr;
        EXPECT_EQ(db.getLinetypeTable(table, AcDb::kForRead), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->getAt(name, id), Acad::eOk) << name;
        EXPECT_EQ(table->close(), Acad::eOk);
        return id;
    }

    AcDbObjectId addLayer(const char *name, int color, bool off = false, bool frozen = false,
                          AcDbObjectId linetype = AcDbObjectId()) {
        AcDbLayerTable *table = nullptr;
        EXPECT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
        auto *rec = new AcDbLayerTableRecord;
        EXPECT_EQ(rec->setName(name), Acad::eOk);
        AcCmColor c;
        EXPECT_EQ(c.setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
        EXPECT_EQ(rec->setColor(c), Acad::eOk);
        EXPECT_EQ(rec->setIsOff(off), Acad::eOk);
        EXPECT_EQ(rec->setIsFrozen(frozen), Acad::eOk);
        if (!linetype.isNull()) {
            EXPECT_EQ(rec->setLinetypeObjectId(linetype), Acad::eOk);
        }
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        EXPECT_EQ(rec->close(), Acad::eOk);
        EXPECT_EQ(table->close(), Acad::eOk);
        return id;
    }

    AcDbObjectId addLinetype(const char *name, double patternLength) {
        AcDbLinetypeTable *table = nullptr;
        EXPECT_EQ(db.getLinetypeTable(table, AcDb::kForWrite), Acad::eOk);
        auto *rec = new AcDbLinetypeTableRecord;
        EXPECT_EQ(rec->setName(name), Acad::eOk);
        EXPECT_EQ(rec->setPatternLength(patternLength), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        EXPECT_EQ(rec->close(), Acad::eOk);
        EXPECT_EQ(table->close(), Acad::eOk);
        return id;
    }

    AcDbObjectId addBlock(const char *name, AcGePoint3d origin = AcGePoint3d::kOrigin) {
        AcDbBlockTable *table = nullptr;
        EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
        auto *rec = new AcDbBlockTableRecord;
        EXPECT_EQ(rec->setName(name), Acad::eOk);
        EXPECT_EQ(rec->setOrigin(origin), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(table->add(id, rec), Acad::eOk);
        EXPECT_EQ(rec->close(), Acad::eOk);
        EXPECT_EQ(table->close(), Acad::eOk);
        return id;
    }

    // Appends entity to the block record (model space by default) with these properties.
    AcDbObjectId add(AcDbEntity *entity, Props props = Props(),
                     AcDbObjectId space = AcDbObjectId()) {
        EXPECT_NE(entity, nullptr);
        AcDbBlockTableRecord *rec = nullptr;
        EXPECT_EQ(acdbOpenObject(rec, space.isNull() ? modelSpace() : space, AcDb::kForWrite),
                  Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(rec->appendAcDbEntity(id, entity), Acad::eOk);
        EXPECT_EQ(rec->close(), Acad::eOk);
        EXPECT_EQ(entity->setColorIndex(static_cast<Adesk::UInt16>(props.colorIndex)), Acad::eOk);
        if (!props.layerId.isNull()) {
            EXPECT_EQ(entity->setLayer(props.layerId), Acad::eOk);
        }
        if (!props.linetypeId.isNull()) {
            EXPECT_EQ(entity->setLinetype(props.linetypeId), Acad::eOk);
        }
        EXPECT_EQ(entity->setLinetypeScale(props.scale), Acad::eOk);
        EXPECT_EQ(entity->close(), Acad::eOk);
        return id;
    }

    AcDbObjectId addLine(AcGePoint3d a, AcGePoint3d b, Props props = Props(),
                         AcDbObjectId space = AcDbObjectId()) {
        return add(new AcDbLine(a, b), props, space);
    }

    AcDbObjectId addInsert(AcDbObjectId block, AcGePoint3d at, Props props = Props(),
                           AcDbObjectId space = AcDbObjectId(), double scale = 1,
                           double rotation = 0) {
        auto *ref = new AcDbBlockReference(at, block);
        EXPECT_EQ(ref->setScaleFactors(AcGeScale3d(scale)), Acad::eOk);
        EXPECT_EQ(ref->setRotation(rotation), Acad::eOk);
        return add(ref, props, space);
    }

    SvgSummary picture() {
        std::string svg, error;
        EXPECT_TRUE(host::render::makeSvg(db, svg, error)) << error;
        lastSvg = svg;
        SvgSummary s = summarize(svg);
        EXPECT_TRUE(s.wellFormed) << s.parseError << "\n" << svg;
        return s;
    }

    // A failing test leaves its picture in the temporary folder, to be looked at.
    void TearDown() override {
        if (!HasFailure() || lastSvg.empty())
            return;
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string path = std::string("/tmp/render_") + info->name() + ".svg";
        std::ofstream(path, std::ios::binary) << lastSvg;
        std::printf("picture left in %s\n", path.c_str());
    }

    std::string lastSvg;
};

const std::vector<std::string> kKinds = {"line",   "lwpolyline", "polyline2d", "polyline3d",
                                         "circle", "arc",        "text",       "insert"};

// Test that an empty drawing gives a valid picture with a positive view and no entities.
TEST_F(SvgTest, EmptyDrawingIsAValidEmptyPicture) {
    SvgSummary s = picture();
    EXPECT_EQ(s.root, "svg");
    EXPECT_GT(s.viewBox[2], 0);
    EXPECT_GT(s.viewBox[3], 0);
    for (const std::string &kind : kKinds)
        EXPECT_EQ(s.count(kind), 0) << kind;
}

// Test that every entity kind is drawn, one element per entity, and entities inside a
// block reference are drawn in its group.
TEST_F(SvgTest, ShowsEveryEntityKind) {
    addLine({0, 0, 0}, {10, 0, 0});

    auto *lw = new AcDbPolyline;
    ASSERT_EQ(lw->addVertexAt(0, {0, 10}, 0.5), Acad::eOk);
    ASSERT_EQ(lw->addVertexAt(1, {10, 10}), Acad::eOk);
    ASSERT_EQ(lw->addVertexAt(2, {10, 20}), Acad::eOk);
    add(lw);

    AcGePoint3dArray pts2d;
    pts2d.append({0, 30, 0});
    pts2d.append({5, 35, 0});
    pts2d.append({10, 30, 0});
    add(new AcDb2dPolyline(AcDb::k2dSimplePoly, pts2d, 0, /*closed=*/true));

    AcGePoint3dArray pts3d;
    pts3d.append({20, 0, 0});
    pts3d.append({25, 5, 3});
    pts3d.append({30, 0, 6});
    add(new AcDb3dPolyline(AcDb::k3dSimplePoly, pts3d));

    add(new AcDbCircle({40, 40, 0}, AcGeVector3d::kZAxis, 5));
    add(new AcDbArc({60, 40, 0}, 5, 0, kPi / 2));
    add(new AcDbText({0, 50, 0}, "Plan", AcDbObjectId(), 2.5));

    AcDbObjectId block = addBlock("MARK");
    addLine({0, 0, 0}, {1, 1, 0}, P(), block);
    addInsert(block, {70, 70, 0});

    SvgSummary s = picture();
    EXPECT_EQ(s.count("line"), 2); // one in model space, one through the reference
    for (const char *kind :
         {"lwpolyline", "polyline2d", "polyline3d", "circle", "arc", "text", "insert"})
        EXPECT_EQ(s.count(kind), 1) << kind << "\n" << lastSvg;
    // The block's line sits inside the reference's group.
    int insertDepth = s.withClass("insert")[0].depth;
    bool nested = false;
    for (const Element &e : s.withClass("line"))
        nested = nested || e.depth == insertDepth + 1;
    EXPECT_TRUE(nested);
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0], "Plan");
}

// Test the geometry: the plan with y flipped; a reference moved, scaled by 2 and turned a
// quarter; its block's base point honoured; an arc from 0 to 90 degrees.
TEST_F(SvgTest, GeometryAndBlockTransforms) {
    addLine({1, 2, 0}, {11, 2, 0});
    AcDbObjectId block = addBlock("TICK", {5, 5, 0});
    addLine({5, 5, 0}, {6, 5, 0}, P(), block); // from the base point, one unit along x
    addInsert(block, {100, 50, 0}, P(), AcDbObjectId(), /*scale=*/2, /*rotation=*/kPi / 2);
    add(new AcDbArc({0, 0, 0}, 5, 0, kPi / 2));

    SvgSummary s = picture();
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].attr("d"), "M1 -2 L11 -2");
    // (0,0) of the block at (100,50); x turned to +y and doubled: (100,52), flipped.
    std::string d = lines[1].attr("d");
    double x0, y0, x1, y1;
    ASSERT_EQ(std::sscanf(d.c_str(), "M%lf %lf L%lf %lf", &x0, &y0, &x1, &y1), 4) << d;
    EXPECT_NEAR(x0, 100, 1e-9);
    EXPECT_NEAR(y0, -50, 1e-9);
    EXPECT_NEAR(x1, 100, 1e-9);
    EXPECT_NEAR(y1, -52, 1e-9);

    auto arcs = s.withClass("arc");
    ASSERT_EQ(arcs.size(), 1u);
    std::string a = arcs[0].attr("d");
    double sx, sy;
    ASSERT_EQ(std::sscanf(a.c_str(), "M%lf %lf", &sx, &sy), 2) << a;
    EXPECT_NEAR(sx, 5, 1e-9);
    EXPECT_NEAR(sy, 0, 1e-9);
    double ex = 0, ey = 0;
    ASSERT_EQ(std::sscanf(a.c_str() + a.rfind(' ', a.rfind(' ') - 1), " %lf %lf", &ex, &ey), 2)
        << a;
    EXPECT_NEAR(ex, 0, 1e-9);
    EXPECT_NEAR(ey, -5, 1e-9);
}

// Test that the view covers the drawing with a margin and keeps its proportions.
TEST_F(SvgTest, PictureFitsTheExtents) {
    addLine({-100, 0, 0}, {900, 0, 0});
    add(new AcDbCircle({0, 200, 0}, AcGeVector3d::kZAxis, 100));
    SvgSummary s = picture();
    double x = s.viewBox[0], y = s.viewBox[1], w = s.viewBox[2], h = s.viewBox[3];
    // Drawing box: x -100..900, y 0..300 (flipped: -300..0).
    EXPECT_LT(x, -100);
    EXPECT_GT(x + w, 900);
    EXPECT_LT(y, -300);
    EXPECT_GT(y + h, 0);
    EXPECT_LT(w, 1000 * 1.25);
    EXPECT_LT(h, 300 + 1000 * 0.25);
    double pixelW = std::stod(s.elements[0].attr("width"));
    double pixelH = std::stod(s.elements[0].attr("height"));
    EXPECT_NEAR(pixelW / pixelH, w / h, 0.01);
}

// Test colours: explicit, ByLayer through the entity's layer, ByBlock black at the top and
// through the reference inside a block, layer "0" inside a block taking the reference's
// layer, and ByBlock handed down through two levels of references.
TEST_F(SvgTest, ColoursResolveThroughLayersAndReferences) {
    AcDbObjectId walls = addLayer("Walls", 1);
    AcDbObjectId doors = addLayer("Doors", 5);
    AcDbObjectId zero = layerId("0");

    addLine({0, 0, 0}, {1, 0, 0}, P().color(3));                // green
    addLine({0, 1, 0}, {1, 1, 0}, P().color(256).layer(walls)); // red by layer
    addLine({0, 2, 0}, {1, 2, 0}, P().color(0));                // ByBlock at top: black

    AcDbObjectId inner = addBlock("INNER");
    addLine({0, 0, 0}, {1, 0, 0}, P().color(0).layer(doors), inner);   // ByBlock
    addLine({0, 1, 0}, {1, 1, 0}, P().color(256).layer(zero), inner);  // layer 0
    addLine({0, 2, 0}, {1, 2, 0}, P().color(256).layer(doors), inner); // blue

    addInsert(inner, {10, 0, 0}, P().color(4).layer(walls)); // cyan, on red Walls

    AcDbObjectId outer = addBlock("OUTER");
    addInsert(inner, {0, 0, 0}, P().color(0).layer(zero), outer); // passes ByBlock on
    addInsert(outer, {20, 0, 0}, P().color(6).layer(doors));      // magenta

    SvgSummary s = picture();
    std::vector<std::string> strokes;
    for (const Element &e : s.withClass("line"))
        strokes.push_back(e.stroke);
    std::vector<std::string> expected = {
        "#00ff00", "#ff0000", "#000000", "#00ffff", "#ff0000", "#0000ff", // INNER in cyan on Walls
        "#ff00ff", "#0000ff", "#0000ff", // INNER in OUTER: ByBlock magenta; layer 0 → Doors
    };
    EXPECT_EQ(strokes, expected) << lastSvg;
}

// Test that entities on layers that are off or frozen, invisible ones and erased ones are
// not drawn; a reference on a frozen layer hides its whole block, one on a layer that is off
// hides only what its block has on layer "0".
TEST_F(SvgTest, HiddenAndErasedEntitiesAreNotDrawn) {
    AcDbObjectId off = addLayer("Off", 2, /*off=*/true);
    AcDbObjectId frozen = addLayer("Frozen", 3, /*off=*/false, /*frozen=*/true);
    AcDbObjectId shown = addLayer("Shown", 4);
    AcDbObjectId zero = layerId("0");

    addLine({0, 0, 0}, {1, 0, 0}, P().layer(off));
    addLine({0, 1, 0}, {1, 1, 0}, P().layer(frozen));
    AcDbObjectId erased = addLine({0, 2, 0}, {1, 2, 0}, P().layer(shown));
    AcDbObjectId invisible = addLine({0, 3, 0}, {1, 3, 0}, P().layer(shown));
    addLine({0, 4, 0}, {1, 4, 0}, P().layer(shown)); // the one that shows

    AcDbEntity *ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, erased, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ent->erase(), Acad::eOk);
    ASSERT_EQ(ent->close(), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, invisible, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ent->setVisibility(false), Acad::eOk);
    ASSERT_EQ(ent->close(), Acad::eOk);

    AcDbObjectId block = addBlock("B");
    addLine({0, 0, 0}, {1, 0, 0}, P().layer(zero), block);
    add(new AcDbCircle({0, 0, 0}, AcGeVector3d::kZAxis, 1), P().layer(shown), block);
    addInsert(block, {10, 0, 0}, P().layer(frozen)); // nothing
    addInsert(block, {20, 0, 0}, P().layer(off));    // the circle only

    SvgSummary s = picture();
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 1u) << lastSvg;
    EXPECT_EQ(lines[0].attr("d"), "M0 -4 L1 -4");
    EXPECT_EQ(s.count("insert"), 1);
    EXPECT_EQ(s.count("circle"), 1);
}

// Test that a block inserting itself, directly or through another block, ends, draws each
// block's entities once and says what it skipped.
TEST_F(SvgTest, SelfInsertingBlocksTerminate) {
    AcDbObjectId a = addBlock("A");
    AcDbObjectId b = addBlock("B");
    addLine({0, 0, 0}, {1, 0, 0}, P(), a);
    addInsert(a, {0, 0, 0}, P(), a); // A in A
    addInsert(b, {5, 0, 0}, P(), a); // B in A
    add(new AcDbCircle({0, 0, 0}, AcGeVector3d::kZAxis, 1), P(), b);
    addInsert(a, {0, 5, 0}, P(), b); // A in B
    addInsert(a, {0, 0, 0});

    SvgSummary s = picture();
    EXPECT_EQ(s.count("line"), 1);
    EXPECT_EQ(s.count("circle"), 1);
    EXPECT_EQ(s.count("insert"), 2); // A, and B inside it
    EXPECT_NE(lastSvg.find("inside itself"), std::string::npos);
}

// Test linetypes: a pattern length dashes by it (times the entity's linetype scale and the
// reference's scale); ByLayer and ByBlock are followed; Continuous stays solid; a linetype
// whose pattern is unknown still dashes.
TEST_F(SvgTest, DashedLinetypesAreDashed) {
    AcDbObjectId dashed = addLinetype("DASHED", 10);
    AcDbObjectId hidden = addLinetype("HIDDEN", 0);
    AcDbObjectId byBlock = linetypeId("ByBlock");
    AcDbObjectId continuous = linetypeId("Continuous");
    AcDbObjectId dashedLayer = addLayer("Dashed", 7, false, false, dashed);

    addLine({0, 0, 0}, {1, 0, 0}, P().linetype(dashed));                  // 5 5
    addLine({0, 1, 0}, {1, 1, 0}, P().linetype(dashed).linetypeScale(2)); // 10 10
    addLine({0, 2, 0}, {1, 2, 0}, P().layer(dashedLayer));                // ByLayer
    addLine({0, 3, 0}, {1, 3, 0}, P().layer(dashedLayer).linetype(continuous));
    addLine({0, 4, 0}, {1, 4, 0}, P().linetype(hidden)); // fixed dash
    AcDbObjectId block = addBlock("DB");
    addLine({0, 0, 0}, {1, 0, 0}, P().linetype(byBlock), block);
    addInsert(block, {0, 5, 0}, P().linetype(dashed), AcDbObjectId(), /*scale=*/3); // 15 15
    addInsert(block, {0, 6, 0}); // ByBlock of ByLayer: solid

    SvgSummary s = picture();
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].dashes, "5,5");
    EXPECT_EQ(lines[1].dashes, "10,10");
    EXPECT_EQ(lines[2].dashes, "5,5");
    EXPECT_EQ(lines[3].dashes, "-");
    EXPECT_NE(lines[4].dashes, "-");
    EXPECT_EQ(lines[5].dashes, "15,15");
    EXPECT_EQ(lines[6].dashes, "-");
}

// Test polyline widths: one width everywhere is a stroke that wide; tapering widths are
// filled bands in the entity's colour, with thin segments between them still drawn.
TEST_F(SvgTest, PolylineWidths) {
    auto *constant = new AcDbPolyline;
    ASSERT_EQ(constant->addVertexAt(0, {0, 0}), Acad::eOk);
    ASSERT_EQ(constant->addVertexAt(1, {10, 0}), Acad::eOk);
    ASSERT_EQ(constant->setConstantWidth(2), Acad::eOk);
    add(constant, P().color(1));

    auto *taper = new AcDbPolyline;
    ASSERT_EQ(taper->addVertexAt(0, {0, 10}, 0, 0, 4), Acad::eOk);    // 0 → 4
    ASSERT_EQ(taper->addVertexAt(1, {10, 10}, 0, 0, 0), Acad::eOk);   // thin
    ASSERT_EQ(taper->addVertexAt(2, {20, 10}, 0.5, 1, 1), Acad::eOk); // wide arc... open end
    ASSERT_EQ(taper->addVertexAt(3, {30, 10}), Acad::eOk);
    add(taper, P().color(5));

    SvgSummary s = picture();
    auto polys = s.withClass("lwpolyline");
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0].tag, "path");
    EXPECT_EQ(polys[0].strokeWidth, "2");
    EXPECT_EQ(polys[0].stroke, "#ff0000");
    EXPECT_EQ(polys[1].tag, "g");
    int bands = 0, thin = 0;
    for (const Element &e : s.elements) {
        if (e.depth != polys[1].depth + 1)
            continue;
        bands += e.fill == "#0000ff" && e.stroke == "none";
        thin += e.stroke == "#0000ff" && e.fill == "-";
    }
    EXPECT_EQ(bands, 2);
    EXPECT_EQ(thin, 1);
    // The band of the tapered segment reaches 2 above and below the axis at its end.
    EXPECT_LT(s.viewBox[1], -12);
}

// Test that a circle in a reference scaled unevenly becomes an ellipse-shaped path, still
// of class "circle", spanning the stretched size.
TEST_F(SvgTest, UnevenlyScaledCircleIsAnEllipse) {
    AcDbObjectId block = addBlock("C");
    add(new AcDbCircle({0, 0, 0}, AcGeVector3d::kZAxis, 1), P(), block);
    auto *ref = new AcDbBlockReference({0, 0, 0}, block);
    ASSERT_EQ(ref->setScaleFactors(AcGeScale3d(10, 1, 1)), Acad::eOk);
    add(ref);
    SvgSummary s = picture();
    auto circles = s.withClass("circle");
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0].tag, "path");
    EXPECT_GT(s.viewBox[2], 20);
    EXPECT_LT(s.viewBox[3], 5);
}

// Test that text with characters XML must escape, Cyrillic and a %% code comes out as the
// reader would read it.
TEST_F(SvgTest, TextIsConvertedAndEscaped) {
    // "a<b & Ж "План" 30%%d" in Windows-1251.
    add(new AcDbText({0, 0, 0}, "a<b & \xC6 \"\xCF\xEB\xE0\xED\" 30%%d", AcDbObjectId(), 2));
    SvgSummary s = picture();
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0], "a<b & \xD0\x96 \"\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xBD\" 30\xC2\xB0");
    EXPECT_EQ(s.withClass("text")[0].attr("font-size"), "2");
}

// Test that the file is written whole, with nothing left beside it, and that a failed write
// says so and leaves what was at the path.
TEST_F(SvgTest, WritesTheFileAtomically) {
    addLine({0, 0, 0}, {1, 1, 0});
    char dirTemplate[] = "/tmp/render_svg_XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    std::string dir = dirTemplate;
    std::string path = dir + "/plan.svg";
    std::string error, expected;
    ASSERT_TRUE(host::render::makeSvg(db, expected, error)) << error;
    ASSERT_TRUE(host::render::writeSvg(db, path, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), expected);

    // A directory where the file should go: the rename fails, the directory stays.
    std::string blocked = dir + "/blocked.svg";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    error.clear();
    EXPECT_FALSE(host::render::writeSvg(db, blocked, error));
    EXPECT_NE(error.find("blocked.svg"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(stat(blocked.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    error.clear();
    EXPECT_FALSE(host::render::writeSvg(db, dir + "/no/such/dir/x.svg", error));
    EXPECT_FALSE(error.empty());

    // Only the picture and the directory are left: no temporary files.
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent *e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"blocked.svg", "plan.svg"}));
    rmdir(blocked.c_str());
    unlink(path.c_str());
    rmdir(dir.c_str());
}

} // namespace
