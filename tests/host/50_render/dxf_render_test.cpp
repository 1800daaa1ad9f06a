// Tests of pictures of a drawing another program wrote: ezdxf makes a DXF file with every
// kind of entity, the host reads it, and the picture is read back by an XML parser.
#include "svg.h"
#include "svg_check.h"

#include "dbmain.h"
#include "dxf_io.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using render_test::summarize;
using render_test::SvgSummary;

// Runs make_drawing.py into path; the facts it prints, by name.
std::map<std::string, std::pair<double, double>> makeDrawing(const std::string &path) {
    std::string command = std::string("/usr/bin/python3 ") + RENDER_MAKE_DRAWING + " " + path;
    std::map<std::string, std::pair<double, double>> facts;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return facts;
    char name[64];
    double x, y;
    while (std::fscanf(pipe, "%63s %lf %lf", name, &x, &y) == 3)
        facts[name] = {x, y};
    pclose(pipe);
    return facts;
}

// The first and the last point of SVG path data (its numbers, commands left out).
void endsOf(const std::string &d, double &x0, double &y0, double &x1, double &y1) {
    std::string spaced;
    for (char c : d)
        spaced += std::isalpha(static_cast<unsigned char>(c)) && c != 'e' ? ' ' : c;
    std::istringstream in(spaced);
    std::vector<double> v;
    for (double x; in >> x;)
        v.push_back(x);
    ASSERT_GE(v.size(), 4u) << d;
    x0 = v[0], y0 = v[1], x1 = v[v.size() - 2], y1 = v[v.size() - 1];
}

class DxfPicture : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/render_dxf_XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
        facts = makeDrawing(path);
        ASSERT_EQ(facts.size(), 2u) << "python3 with ezdxf did not make the drawing";
        std::string error;
        db = dxf::readDrawing(path, error);
        ASSERT_NE(db, nullptr) << error;
        ASSERT_TRUE(host::render::makeSvg(*db, svg, error)) << error;
        s = summarize(svg);
        ASSERT_TRUE(s.wellFormed) << s.parseError;
    }
    void TearDown() override { unlink(path.c_str()); }

    std::string path, svg;
    std::map<std::string, std::pair<double, double>> facts;
    std::unique_ptr<AcDbDatabase> db;
    SvgSummary s;
};

// Test that every kind of entity in the file is drawn (the hatch too, which the database
// keeps only as the file's groups) and the line on a layer that is off is not.
TEST_F(DxfPicture, EveryKindFromAnotherWriter) {
    EXPECT_EQ(s.count("line"), 3) << svg; // Walls, dashed, the block's; not the hidden one
    EXPECT_EQ(s.count("lwpolyline"), 1);
    EXPECT_EQ(s.count("polyline2d"), 1);
    EXPECT_EQ(s.count("polyline3d"), 1);
    EXPECT_EQ(s.count("circle"), 2);
    EXPECT_EQ(s.count("arc"), 1);
    EXPECT_EQ(s.count("text"), 1);
    EXPECT_EQ(s.count("insert"), 1);
    EXPECT_EQ(s.count("hatch"), 1);
    EXPECT_EQ(svg.find("not drawn"), std::string::npos);
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0], "\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xBD & <x>"); // "План & <x>"
}

// Test colours and linetypes as the file set them: ByLayer red on Walls, ByBlock in the
// block taking the reference's cyan, DASHED dashed.
TEST_F(DxfPicture, ColoursAndLinetypesFromTheFile) {
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].stroke, "#ff0000");
    EXPECT_EQ(lines[0].dashes, "-");
    EXPECT_NE(lines[1].dashes, "-");
    auto circles = s.withClass("circle");
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[0].stroke, "#00ff00");
    EXPECT_EQ(circles[1].stroke, "#00ffff");
}

// Test that the arc drawn with a -Z extrusion (as mirrored arcs are) starts and ends where
// ezdxf says in world coordinates. The file gives the centre in the arc's own coordinates;
// the database holds it in world coordinates, so the reader must convert (-Z mirrors x).
TEST_F(DxfPicture, MirroredArcIsWhereTheOtherReaderSaysIt) {
    auto arcs = s.withClass("arc");
    ASSERT_EQ(arcs.size(), 1u);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    endsOf(arcs[0].attr("d"), x0, y0, x1, y1);
    EXPECT_NEAR(x0, facts["arc_start"].first, 1e-6) << arcs[0].attr("d");
    EXPECT_NEAR(-y0, facts["arc_start"].second, 1e-6);
    EXPECT_NEAR(x1, facts["arc_end"].first, 1e-6);
    EXPECT_NEAR(-y1, facts["arc_end"].second, 1e-6);
}

// Test that the block's line is moved to the reference, turned a quarter and doubled.
TEST_F(DxfPicture, BlockReferenceIsTransformed) {
    auto lines = s.withClass("line");
    ASSERT_EQ(lines.size(), 3u);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    endsOf(lines[2].attr("d"), x0, y0, x1, y1);
    EXPECT_NEAR(x0, 70, 1e-9);
    EXPECT_NEAR(-y0, 70, 1e-9);
    EXPECT_NEAR(x1, 68, 1e-9); // (1,1) turned a quarter and doubled: (-2, 2)
    EXPECT_NEAR(-y1, 72, 1e-9);
}

} // namespace
