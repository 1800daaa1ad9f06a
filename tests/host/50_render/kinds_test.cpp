// Tests of the kinds the database keeps as the file's groups: a small record of each kind
// is read by the host and drawn, and the scene must hold the right primitive in the right
// place and colour. Then one drawing with every kind, made by ezdxf, pictured whole.
#include "scene.h"
#include "svg.h"
#include "svg_check.h"

#include "dbmain.h"
#include "dxf_io.h"
#include "picture_facts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

using namespace host::render;

// DXF text from groups written "code|value|code|value...".
std::string groups(const std::string &s) {
    std::string out;
    for (char c : s)
        out += c == '|' ? '\n' : c;
    return out + "\n";
}

std::unique_ptr<AcDbDatabase> readEntities(const std::string &entities,
                                           const std::string &blocks = "",
                                           const dxf::ReadOptions &options = {},
                                           const std::string &header = "") {
    std::string text = groups("0|SECTION|2|HEADER|9|$ACADVER|1|AC1018|9|$DWGCODEPAGE|3|ANSI_1251|"
                              "9|$DIMASZ|40|1|" +
                              header + (header.empty() ? "" : "|") + "0|ENDSEC");
    if (!blocks.empty())
        text += groups("0|SECTION|2|BLOCKS|" + blocks + "|0|ENDSEC");
    text += groups("0|SECTION|2|ENTITIES|" + entities + "|0|ENDSEC|0|EOF");
    std::string error;
    auto db = dxf::readDrawingText(text, "kinds.dxf", error, options);
    EXPECT_NE(db, nullptr) << error;
    return db;
}

// The primitives of a scene, groups left out, and the kinds of the groups they stand in.
struct Drawn {
    Scene scene;
    std::vector<const PathItem *> paths;
    std::vector<const PolygonItem *> polygons;
    std::vector<const TextItem *> texts;
    std::vector<std::string> groups;

    void collect() {
        for (const SceneItem &item : scene.items()) {
            if (auto *p = std::get_if<PathItem>(&item))
                paths.push_back(p);
            else if (auto *g = std::get_if<PolygonItem>(&item))
                polygons.push_back(g);
            else if (auto *t = std::get_if<TextItem>(&item))
                texts.push_back(t);
            else if (auto *o = std::get_if<GroupOpen>(&item))
                groups.push_back(o->kind);
        }
    }
};

void expectAt(Point2 p, double x, double y, const char *what) {
    EXPECT_NEAR(p.x, x, 1e-9) << what;
    EXPECT_NEAR(p.y, y, 1e-9) << what;
}

const Rgb kRed{255, 0, 0}, kBlack{0, 0, 0}, kGreen{0, 255, 0};

struct KindCase {
    const char *name;
    std::string entities, blocks;
    std::function<void(const Drawn &)> check;
};

// Test each kind from a record the host keeps only as bytes.
TEST(Kinds, EachKindDrawsItsPrimitive) {
    const KindCase cases[] = {
        {"solid corners go 1-2-4-3", "0|SOLID|8|0|62|1|10|0|20|0|11|4|21|0|12|0|22|3|13|4|23|3", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.polygons.size(), 1u);
             const auto &p = d.polygons[0]->pts;
             ASSERT_EQ(p.size(), 4u);
             expectAt(p[2], 4, 3, "third corner is the fourth point");
             expectAt(p[3], 0, 3, "fourth corner is the third point");
             EXPECT_EQ(d.polygons[0]->fill, kRed);
         }},
        {"3D face leaves out its hidden edge",
         "0|3DFACE|8|0|10|0|20|0|30|0|11|4|21|0|31|0|12|4|22|4|32|9|13|0|23|4|33|0|70|2", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 3u);
             for (const PathItem *p : d.paths) // none runs along x = 4 (the second edge)
                 EXPECT_FALSE(p->verts[0].p.x == 4 && p->verts[1].p.x == 4);
         }},
        {"ellipse quarter by parameters",
         "0|ELLIPSE|8|0|10|1|20|1|30|0|11|2|21|0|31|0|40|0.5|41|0|42|1.5707963267948966", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 1u);
             expectAt(d.paths[0]->verts.front().p, 3, 1, "start");
             expectAt(d.paths[0]->verts.back().p, 1, 2, "end");
             EXPECT_FALSE(d.paths[0]->closed);
         }},
        {"leader with its arrowhead at the first vertex",
         "0|LEADER|8|0|62|3|71|1|76|2|10|0|20|0|30|0|10|10|20|0|30|0", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 1u);
             ASSERT_EQ(d.polygons.size(), 1u);
             expectAt(d.polygons[0]->pts[0], 0, 0, "tip");
             EXPECT_NEAR(d.polygons[0]->pts[1].x, 1, 1e-9); // $DIMASZ long
             EXPECT_EQ(d.polygons[0]->fill, kGreen);
         }},
        {"point a dot on the point (the header's mode 0)", "0|POINT|8|0|10|5|20|6|30|0", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 1u);
             expectAt(d.paths[0]->verts[0].p, 5, 6, "dot");
             expectAt(d.paths[0]->verts[1].p, 5, 6, "dot");
         }},
        {"ray reaches just beyond the drawing, one way",
         "0|LINE|8|0|10|0|20|0|30|0|11|10|21|10|31|0|0|RAY|8|0|10|0|20|5|30|0|11|1|21|0|31|0", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 2u);
             const PathItem *ray = d.paths[1];
             expectAt(ray->verts[0].p, 0, 5, "ray base");
             EXPECT_GT(ray->verts[1].p.x, 10);
             EXPECT_LT(ray->verts[1].p.x, 13);
         }},
        {"construction line both ways",
         "0|LINE|8|0|10|0|20|0|30|0|11|10|21|10|31|0|0|XLINE|8|0|10|5|20|5|30|0|11|0|21|1|31|0", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 2u);
             EXPECT_LT(d.paths[1]->verts[0].p.y, 0);
             EXPECT_GT(d.paths[1]->verts[1].p.y, 10);
         }},
        {"paragraph text in lines, centred on the middle",
         "0|MTEXT|8|0|62|1|10|10|20|20|30|0|40|2|71|5|1|{\\fArial;A}\\P%%c\\U+2205", "",
         [](const Drawn &d) {
             ASSERT_EQ(d.texts.size(), 2u);
             EXPECT_EQ(d.texts[0]->xmlText, "A");
             EXPECT_EQ(d.texts[1]->xmlText, "\xE2\x8C\x80\xE2\x88\x85"); // ⌀ ∅
             EXPECT_EQ(d.texts[0]->anchor, Anchor::Middle);
             // Two lines of height 2, 10/3 apart: the block's middle on y = 20.
             double top = d.texts[0]->pos.y + 2, bottom = d.texts[1]->pos.y;
             EXPECT_NEAR((top + bottom) / 2, 20, 1e-9);
             EXPECT_EQ(d.texts[0]->color, kRed);
         }},
        {"solid hatch with a hole, even-odd",
         "0|HATCH|8|0|62|1|100|AcDbHatch|10|0|20|0|30|0|210|0|220|0|230|1|2|SOLID|70|1|71|0|91|2|"
         "92|3|72|0|73|1|93|4|10|0|20|0|10|10|20|0|10|10|20|10|10|0|20|10|97|0|"
         "92|1|93|4|72|1|10|3|20|3|11|7|21|3|72|1|10|7|20|3|11|7|21|7|"
         "72|1|10|7|20|7|11|3|21|7|72|1|10|3|20|7|11|3|21|3|97|0|75|0|76|1|98|0",
         "",
         [](const Drawn &d) {
             ASSERT_EQ(d.polygons.size(), 1u);
             EXPECT_EQ(d.polygons[0]->pts.size(), 4u);
             ASSERT_EQ(d.polygons[0]->holes.size(), 1u);
             EXPECT_EQ(d.polygons[0]->holes[0].size(), 4u);
             EXPECT_EQ(d.polygons[0]->fill, kRed);
         }},
        {"pattern hatch lines cut at the boundary, dashed",
         "0|HATCH|8|0|100|AcDbHatch|10|0|20|0|30|0|2|USER|70|0|71|0|91|1|"
         "92|3|72|0|73|1|93|4|10|0|20|0|10|10|20|0|10|10|20|10|10|0|20|10|97|0|"
         "75|0|76|0|52|0|41|1|77|0|78|1|53|0|43|0|44|0.5|45|0|46|1|79|2|49|3|49|-1|98|0",
         "",
         [](const Drawn &d) {
             // Ten lines (y = 0.5 ... 9.5), each in dashes of 3 every 4: [0,3] [4,7] [8,10].
             ASSERT_EQ(d.paths.size(), 30u);
             expectAt(d.paths[0]->verts[0].p, 0, 0.5, "first dash");
             expectAt(d.paths[0]->verts[1].p, 3, 0.5, "first dash");
             expectAt(d.paths[2]->verts[1].p, 10, 0.5, "last dash cut at the boundary");
         }},
        {"polyface mesh: visible edges only",
         "0|POLYLINE|8|0|66|1|10|0|20|0|30|0|70|64|71|4|72|1|"
         "0|VERTEX|8|0|10|0|20|0|30|0|70|192|0|VERTEX|8|0|10|4|20|0|30|0|70|192|"
         "0|VERTEX|8|0|10|4|20|4|30|0|70|192|0|VERTEX|8|0|10|0|20|4|30|0|70|192|"
         "0|VERTEX|8|0|10|0|20|0|30|0|70|128|71|1|72|2|73|-3|74|4|0|SEQEND|8|0",
         "",
         [](const Drawn &d) {
             EXPECT_EQ(d.paths.size(), 3u); // the edge from vertex 3 is hidden
         }},
        {"polygon mesh: rows and columns",
         "0|POLYLINE|8|0|66|1|10|0|20|0|30|0|70|16|71|2|72|2|"
         "0|VERTEX|8|0|10|0|20|0|30|0|70|64|0|VERTEX|8|0|10|0|20|5|30|0|70|64|"
         "0|VERTEX|8|0|10|5|20|0|30|0|70|64|0|VERTEX|8|0|10|5|20|5|30|0|70|64|0|SEQEND|8|0",
         "",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 4u);
             expectAt(d.paths[0]->verts[1].p, 0, 5, "first row ends");
             expectAt(d.paths[2]->verts[1].p, 5, 0, "first column ends");
         }},
        {"dimension draws its block, ByBlock taking its colour",
         "0|DIMENSION|8|0|62|3|2|*D1|10|0|20|0|30|0|70|0",
         "0|BLOCK|8|0|2|*D1|70|1|10|0|20|0|30|0|3|*D1|"
         "0|LINE|8|0|62|0|10|1|20|2|30|0|11|3|21|4|31|0|0|ENDBLK|8|0",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 1u);
             expectAt(d.paths[0]->verts[0].p, 1, 2, "block line in world terms");
             EXPECT_EQ(d.paths[0]->stroke.color, kGreen);
             EXPECT_EQ(d.groups, std::vector<std::string>{"dimension"});
         }},
        {"attribute text of a reference, not its block's definition",
         "0|INSERT|8|0|66|1|2|B|10|10|20|0|30|0|"
         "0|ATTRIB|8|0|10|11|20|1|30|0|40|2|1|Room|2|TAG|70|0|0|SEQEND|8|0",
         "0|BLOCK|8|0|2|B|70|2|10|0|20|0|30|0|3|B|"
         "0|ATTDEF|8|0|10|0|20|0|30|0|40|1|1|dflt|3|Prompt|2|TAG|70|0|0|ENDBLK|8|0",
         [](const Drawn &d) {
             ASSERT_EQ(d.texts.size(), 1u);
             EXPECT_EQ(d.texts[0]->xmlText, "Room");
             expectAt(d.texts[0]->pos, 11, 1, "attribute place (world)");
             EXPECT_EQ(d.texts[0]->height, 2);
         }},
        {"true colour over the index, lineweight, ByBlock lineweight from the reference",
         "0|LINE|8|0|62|1|420|16744448|370|50|10|0|20|0|30|0|11|1|21|0|31|0|"
         "0|INSERT|8|0|370|100|2|W|10|0|20|0|30|0",
         "0|BLOCK|8|0|2|W|70|0|10|0|20|0|30|0|3|W|"
         "0|LINE|8|0|370|-2|10|0|20|5|30|0|11|1|21|5|31|0|0|ENDBLK|8|0",
         [](const Drawn &d) {
             ASSERT_EQ(d.paths.size(), 2u);
             EXPECT_EQ(d.paths[0]->stroke.color, (Rgb{255, 128, 0}));
             EXPECT_EQ(d.paths[0]->stroke.weight, 0.5);
             EXPECT_EQ(d.paths[1]->stroke.weight, 1.0);
             EXPECT_EQ(d.paths[1]->stroke.color, kBlack);
         }},
    };
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.name);
        auto db = readEntities(c.entities, c.blocks);
        if (db == nullptr)
            continue;
        Drawn d;
        std::string error;
        FileFacts facts = host::app::pictureFacts(*db);
        ASSERT_TRUE(makeScene(*db, d.scene, error, &facts)) << error;
        EXPECT_TRUE(d.scene.notes().empty()) << d.scene.notes()[0];
        d.collect();
        c.check(d);
    }
}

// Test a point's mark follows the header's PDMODE and PDSIZE: the figure (a dot, nothing, a
// cross, an oblique cross, a tick up), a circle and a square around it, the size in drawing
// units or a share of the picture's height.
TEST(Kinds, PointMarksFollowTheHeader) {
    struct Row {
        const char *mode, *size;
        std::size_t paths, circles;
        double reachX, reachY; // how far the mark goes from the point
    } rows[] = {
        {"0", "4", 1, 0, 0, 0},  {"1", "4", 0, 0, 0, 0},         {"2", "4", 2, 0, 2, 2},
        {"3", "4", 2, 0, 2, 2},  {"4", "4", 1, 0, 0, 2},         {"33", "4", 0, 1, 2, 2},
        {"98", "4", 3, 1, 2, 2}, {"2", "-10", 2, 0, 2.75, 2.75}, {"2", "0", 2, 0, 1.375, 1.375},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("PDMODE ") + row.mode + " PDSIZE " + row.size);
        // A line 50 high beside the point: the picture is 55 high with its margins (a
        // twentieth of its larger side each).
        auto db = readEntities(
            "0|LINE|8|0|10|0|20|0|30|0|11|0|21|50|31|0|0|POINT|8|0|10|10|20|10|30|0", "", {},
            std::string("9|$PDMODE|70|") + row.mode + "|9|$PDSIZE|40|" + row.size);
        ASSERT_NE(db, nullptr);
        Drawn d;
        std::string error;
        FileFacts facts = host::app::pictureFacts(*db);
        ASSERT_TRUE(makeScene(*db, d.scene, error, &facts)) << error;
        d.collect();
        std::size_t circles = 0;
        double reachX = 0, reachY = 0;
        for (const SceneItem &item : d.scene.items())
            if (auto *c = std::get_if<CircleItem>(&item)) {
                ++circles;
                expectAt(c->center, 10, 10, "circle centre");
                reachX = std::max(reachX, c->radius), reachY = std::max(reachY, c->radius);
            }
        ASSERT_EQ(d.paths.size(), row.paths + 1); // the line first
        for (std::size_t i = 1; i < d.paths.size(); ++i)
            for (const PathVertex &v : d.paths[i]->verts) {
                reachX = std::max(reachX, std::fabs(v.p.x - 10));
                reachY = std::max(reachY, std::fabs(v.p.y - 10));
            }
        EXPECT_EQ(circles, row.circles);
        EXPECT_NEAR(reachX, row.reachX, 0.1);
        EXPECT_NEAR(reachY, row.reachY, 0.1);
    }
}

// Test a record too broken to draw: named in a note, nothing else harmed, no crash. (Read as
// the host reads a user's drawing: values not of their group's type are left out, noted.)
TEST(Kinds, BrokenRecordsAreNotedNotFatal) {
    std::vector<std::string> repairs;
    dxf::ReadOptions options;
    options.repairs = &repairs;
    auto db = readEntities("0|SPLINE|8|0|71|3|72|99|73|2|40|x|10|nan|20|1|30|0|"
                           "0|HATCH|8|0|100|AcDbHatch|91|2000000000|92|0|93|7|72|9|"
                           "0|DIMENSION|8|0|2|*NOPE|0|LINE|8|0|10|0|20|0|30|0|11|1|21|1|31|0",
                           "", options);
    ASSERT_NE(db, nullptr);
    Scene scene;
    std::string error;
    FileFacts facts = host::app::pictureFacts(*db);
    ASSERT_TRUE(makeScene(*db, scene, error, &facts)) << error;
    EXPECT_EQ(scene.primitiveCount(), 1u); // the line
    std::string notes;
    for (const std::string &n : scene.notes())
        notes += n + ";";
    EXPECT_NE(notes.find("DIMENSION not drawn"), std::string::npos) << notes;
    EXPECT_NE(notes.find("HATCH not drawn"), std::string::npos) << notes;
}

// Test a drawing of every kind another program wrote: nothing left undrawn, each kind in
// its class, the spline through the point ezdxf computes, and the SVG well formed.
TEST(Kinds, EveryKindFromAnotherWriter) {
    char name[] = "/tmp/render_kinds_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string command = std::string("/usr/bin/python3 ") + RENDER_MAKE_EVERY_KIND + " " + name;
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    double midX = 0, midY = 0;
    int got = std::fscanf(pipe, "spline_mid %lf %lf", &midX, &midY);
    pclose(pipe);
    ASSERT_EQ(got, 2) << "python3 with ezdxf did not make the drawing";
    std::string error, svg;
    auto db = dxf::readDrawing(name, error);
    unlink(name);
    ASSERT_NE(db, nullptr) << error;
    FileFacts facts = host::app::pictureFacts(*db);
    ASSERT_TRUE(makeSvg(*db, svg, error, &facts)) << error;
    EXPECT_EQ(svg.find("not drawn"), std::string::npos) << svg.substr(0, 600);
    render_test::SvgSummary s = render_test::summarize(svg);
    ASSERT_TRUE(s.wellFormed) << s.parseError;
    for (const char *kind : {"hatch", "mtext", "ellipse", "spline", "dimension", "leader", "solid",
                             "trace", "3dface", "point", "ray", "xline", "mesh", "attrib"})
        EXPECT_GE(s.count(kind), 1) << kind;
    EXPECT_EQ(s.count("ellipse"), 2);
    EXPECT_EQ(s.count("mesh"), 2);
    bool through = false;
    for (const render_test::Element &e : s.withClass("spline")) {
        std::string d = e.attr("d");
        std::string x = formatNumber(midX), y = formatNumber(-midY);
        through = through || d.find(x + " " + y) != std::string::npos;
    }
    EXPECT_TRUE(through) << "no spline passes through " << midX << " " << midY;
    EXPECT_NE(svg.find("stroke=\"#ff8000\""), std::string::npos); // the line's true colour
    EXPECT_NE(svg.find("stroke=\"#0080ff\""), std::string::npos); // its layer's
}

} // namespace
