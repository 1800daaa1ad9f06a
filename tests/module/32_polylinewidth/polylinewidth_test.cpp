// Tests of Wpe, polyline width: lightweight and 2D polylines take the width (spline control
// vertices excepted), lines become flat wide 2D polylines with their colour and linetype,
// other entities stay as they were, and a line is never lost when its polyline cannot be
// made or added.
#include "fixture.h"
#include "edit.h"

#include <string>
#include <vector>

#include "acedads.h"
#include "allocator.h"
#include "command_line.h"
#include "dbpoly.h"
#include "misuse.h"

namespace {

using tevtest::ModuleTest;

const std::string kSelect = "\nSelect objects: ";
const std::string kWidth = "\nВведите ширину:";
const std::string kNothingSelected = " \nНичего не выбрано";
const std::string kNothingEntered = "\nНичего не введено";
const std::string kNoMemory = "\n** ALERT: Не достаточно памяти, чтобы создать полилинию! **\n";
const std::string kNotAdded = "\nНе удалось добавить полилинию в чертёж";

struct Vertex {
    AcGePoint3d position;
    AcDb::Vertex2dType type = AcDb::k2dVertex;
    double startWidth = 0;
    double endWidth = 0;
};

struct Polyline2d {
    AcDb::Poly2dType type = AcDb::k2dSimplePoly;
    bool closed = false;
    double elevation = 0;
    double defStartWidth = 0;
    double defEndWidth = 0;
    int color = -1;
    std::string layer;
    std::string linetype;
    std::vector<Vertex> vertices;
};

std::string takeString(char *s) {
    std::string out = s != nullptr ? s : "";
    acutDelString(s);
    return out;
}

class PolylineWidth : public ModuleTest {
protected:
    // Selects everything in model space, then types the width.
    void selectAllAndWidth(const std::string &width) { type({"ALL", "", width}); }

    // A 2D polyline built vertex by vertex, with the vertex types and widths given.
    AcDbObjectId add2dPolyline(AcDb::Poly2dType type, const std::vector<Vertex> &vertices,
                               const char *layer = "0") {
        auto *pline = new AcDb2dPolyline;
        EXPECT_EQ(pline->setPolyType(type), Acad::eOk);
        for (const Vertex &v : vertices) {
            auto *vertex = new AcDb2dVertex(v.position, 0, v.startWidth, v.endWidth);
            EXPECT_EQ(vertex->setVertexType(v.type), Acad::eOk);
            EXPECT_EQ(pline->appendVertex(vertex), Acad::eOk);
        }
        EXPECT_EQ(pline->setLayer(layer), Acad::eOk);
        return append(pline);
    }
    AcDbObjectId add3dPolyline(const std::vector<AcGePoint3d> &points) {
        AcGePoint3dArray array;
        for (const AcGePoint3d &p : points)
            array.append(p);
        return append(new AcDb3dPolyline(AcDb::k3dSimplePoly, array));
    }

    Polyline2d read2d(AcDbObjectId id) const {
        Polyline2d out;
        AcDb2dPolyline *pline = nullptr;
        if (acdbOpenObject(pline, id, AcDb::kForRead) != Acad::eOk) {
            ADD_FAILURE() << "cannot open the 2D polyline";
            return out;
        }
        out.type = pline->polyType();
        out.closed = pline->isClosed();
        out.elevation = pline->elevation();
        out.defStartWidth = pline->defaultStartWidth();
        out.defEndWidth = pline->defaultEndWidth();
        out.color = pline->colorIndex();
        out.layer = takeString(pline->layer());
        out.linetype = takeString(pline->linetype());
        AcDbObjectIterator *it = pline->vertexIterator();
        for (; it != nullptr && !it->done(); it->step()) {
            AcDb2dVertex *v = nullptr;
            if (acdbOpenObject(v, it->objectId(), AcDb::kForRead) != Acad::eOk) {
                ADD_FAILURE() << "cannot open a vertex";
                continue;
            }
            out.vertices.push_back(
                {v->position(), v->vertexType(), v->startWidth(), v->endWidth()});
            EXPECT_EQ(v->close(), Acad::eOk);
        }
        delete it;
        EXPECT_EQ(pline->close(), Acad::eOk);
        return out;
    }

    // The widths of every segment of a lightweight polyline, start and end in turn.
    std::vector<double> widths(AcDbObjectId id) const {
        std::vector<double> out;
        AcDbPolyline *pline = nullptr;
        if (acdbOpenObject(pline, id, AcDb::kForRead) != Acad::eOk) {
            ADD_FAILURE() << "cannot open the polyline";
            return out;
        }
        for (unsigned int i = 0; i < pline->numVerts(); ++i) {
            double s = -1, e = -1;
            EXPECT_EQ(pline->getWidthsAt(i, s, e), Acad::eOk);
            out.push_back(s);
            out.push_back(e);
        }
        EXPECT_EQ(pline->close(), Acad::eOk);
        return out;
    }

    // A lightweight polyline whose every segment has widths 1 to 2.
    AcDbObjectId addWidePolyline(const char *layer = "0") {
        AcDbObjectId id = addPolyline({{0, 20}, {10, 20}, {10, 30}}, false, 256, layer);
        AcDbPolyline *pline = nullptr;
        EXPECT_EQ(acdbOpenObject(pline, id, AcDb::kForWrite), Acad::eOk);
        for (unsigned int i = 0; i < 3; ++i)
            EXPECT_EQ(pline->setWidthsAt(i, 1.0, 2.0), Acad::eOk);
        EXPECT_EQ(pline->close(), Acad::eOk);
        return id;
    }

    std::vector<AcDbObjectId> polylines2d() const { return entities(AcDb2dPolyline::desc()); }
};

std::vector<double> repeated(double w, std::size_t n) {
    return std::vector<double>(n, w);
}

bool endsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// --- lines ------------------------------------------------------------------------------

// Test that the line (0,0,5)-(10,0,7) becomes a simple open 2D polyline through (0,0,0) and
// (10,0,0) at elevation 0 with the width as default widths, the line's colour and linetype,
// and that the line is erased and nothing is printed.
TEST_F(PolylineWidth, LineBecomesFlatWidePolyline) {
    addLinetype("DASHED");
    AcDbObjectId line = addLine({0, 0, 5}, {10, 0, 7}, /*color=*/3, "0", "DASHED");
    selectAllAndWidth("2.5");
    run(polylineWidthCommand);

    EXPECT_TRUE(isErased(line));
    EXPECT_TRUE(lines().empty());
    auto ids = polylines2d();
    ASSERT_EQ(ids.size(), 1u);
    Polyline2d p = read2d(ids[0]);
    EXPECT_EQ(p.type, AcDb::k2dSimplePoly);
    EXPECT_FALSE(p.closed);
    EXPECT_EQ(p.elevation, 0.0);
    EXPECT_EQ(p.defStartWidth, 2.5);
    EXPECT_EQ(p.defEndWidth, 2.5);
    EXPECT_EQ(p.color, 3);
    EXPECT_EQ(p.linetype, "DASHED");
    ASSERT_EQ(p.vertices.size(), 2u);
    EXPECT_PRED2(samePoint, p.vertices[0].position, AcGePoint3d(0, 0, 0));
    EXPECT_PRED2(samePoint, p.vertices[1].position, AcGePoint3d(10, 0, 0));
    EXPECT_TRUE(endsWith(transcript(), kWidth + "2.5\n")) << transcript();
}

// Test that a ByLayer line gives a ByLayer polyline, and that the line's layer is not
// carried over: the polyline goes to the current layer.
TEST_F(PolylineWidth, ByLayerLineGivesByLayerPolylineOnCurrentLayer) {
    addLayer("WALLS", 4);
    addLine({0, 0, 0}, {10, 0, 0}, /*color=*/256, "WALLS");
    selectAllAndWidth("1");
    run(polylineWidthCommand);
    auto ids = polylines2d();
    ASSERT_EQ(ids.size(), 1u);
    Polyline2d p = read2d(ids[0]);
    EXPECT_EQ(p.color, 256);
    EXPECT_EQ(p.layer, "0");
}

// Test that several lines each become a polyline of their own.
TEST_F(PolylineWidth, EveryLineIsReplaced) {
    addLine({0, 0, 0}, {10, 0, 0}, 1);
    addLine({0, 5, 0}, {10, 5, 0}, 2);
    addLine({0, 9, 0}, {10, 9, 0}, 3);
    selectAllAndWidth("0.5");
    run(polylineWidthCommand);
    EXPECT_TRUE(lines().empty());
    auto ids = polylines2d();
    ASSERT_EQ(ids.size(), 3u);
    std::vector<int> colors;
    for (AcDbObjectId id : ids)
        colors.push_back(read2d(id).color);
    EXPECT_EQ(colors, (std::vector<int>{1, 2, 3}));
}

// --- polylines ----------------------------------------------------------------------------

// Test that width 0 is a width like any other: lightweight segments and 2D vertices get 0,
// and lines still become polylines (of width 0).
TEST_F(PolylineWidth, WidthZero) {
    AcDbObjectId lw = addWidePolyline();
    AcDbObjectId p2d = add2dPolyline(AcDb::k2dSimplePoly, {{{0, 40, 0}, AcDb::k2dVertex, 3, 3},
                                                           {{9, 40, 0}, AcDb::k2dVertex, 3, 4}});
    addLine({0, 60, 0}, {10, 60, 0});
    selectAllAndWidth("0");
    run(polylineWidthCommand);
    EXPECT_EQ(widths(lw), repeated(0.0, 6));
    for (const Vertex &v : read2d(p2d).vertices) {
        EXPECT_EQ(v.startWidth, 0.0);
        EXPECT_EQ(v.endWidth, 0.0);
    }
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(polylines2d().size(), 2u);
}

// Test that a lightweight polyline gets the width on every segment, the closing one too.
TEST_F(PolylineWidth, LightweightPolylineEverySegment) {
    AcDbObjectId lw = addPolyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, /*closed=*/true);
    selectAllAndWidth("1.25");
    run(polylineWidthCommand);
    EXPECT_EQ(widths(lw), repeated(1.25, 8));
}

// Test that the control vertices of a spline-fit 2D polyline keep their widths while its
// fit vertices take the width; curve-fit and simple vertices take it as well. The
// polyline's own default widths stay.
TEST_F(PolylineWidth, SplineControlVerticesKeepTheirWidths) {
    AcDbObjectId spline =
        add2dPolyline(AcDb::k2dCubicSplinePoly, {{{0, 0, 0}, AcDb::k2dSplineCtlVertex, 0.5, 0.5},
                                                 {{5, 5, 0}, AcDb::k2dSplineCtlVertex, 0.5, 0.7},
                                                 {{10, 0, 0}, AcDb::k2dSplineCtlVertex, 0.5, 0.5},
                                                 {{1, 1, 0}, AcDb::k2dSplineFitVertex, 0, 0},
                                                 {{5, 3, 0}, AcDb::k2dSplineFitVertex, 0, 0},
                                                 {{9, 1, 0}, AcDb::k2dSplineFitVertex, 0, 0}});
    AcDbObjectId curve =
        add2dPolyline(AcDb::k2dFitCurvePoly, {{{0, 20, 0}, AcDb::k2dVertex, 0, 0},
                                              {{2, 22, 0}, AcDb::k2dCurveFitVertex, 0, 0},
                                              {{4, 20, 0}, AcDb::k2dVertex, 0, 0}});
    selectAllAndWidth("3");
    run(polylineWidthCommand);

    Polyline2d s = read2d(spline);
    ASSERT_EQ(s.vertices.size(), 6u);
    for (const Vertex &v : s.vertices) {
        if (v.type == AcDb::k2dSplineCtlVertex) {
            EXPECT_EQ(v.startWidth, 0.5);
            EXPECT_NE(v.endWidth, 3.0);
        } else {
            EXPECT_EQ(v.startWidth, 3.0);
            EXPECT_EQ(v.endWidth, 3.0);
        }
    }
    EXPECT_EQ(s.vertices[1].endWidth, 0.7);
    EXPECT_EQ(s.defStartWidth, 0.0);
    EXPECT_EQ(s.defEndWidth, 0.0);
    for (const Vertex &v : read2d(curve).vertices) {
        EXPECT_EQ(v.startWidth, 3.0);
        EXPECT_EQ(v.endWidth, 3.0);
    }
}

// Test that a negative width is handed to the host, which refuses it: polylines keep their
// widths, nothing is printed and nothing is left open.
TEST_F(PolylineWidth, NegativeWidthRefusedByTheHost) {
    AcDbObjectId lw = addWidePolyline();
    AcDbObjectId p2d = add2dPolyline(AcDb::k2dSimplePoly, {{{0, 40, 0}, AcDb::k2dVertex, 3, 3},
                                                           {{9, 40, 0}, AcDb::k2dVertex, 3, 4}});
    selectAllAndWidth("-1.5");
    run(polylineWidthCommand);
    EXPECT_EQ(widths(lw), (std::vector<double>{1, 2, 1, 2, 1, 2}));
    Polyline2d p = read2d(p2d);
    ASSERT_EQ(p.vertices.size(), 2u);
    EXPECT_EQ(p.vertices[1].startWidth, 3.0);
    EXPECT_EQ(p.vertices[1].endWidth, 4.0);
    EXPECT_TRUE(endsWith(transcript(), kWidth + "-1.5\n")) << transcript();
}

// --- what stays as it was -----------------------------------------------------------------

// Test that 3D polylines, circles, arcs, texts and block references are left alone, no
// polyline is made and nothing is printed.
TEST_F(PolylineWidth, OtherEntitiesUnchanged) {
    add3dPolyline({{0, 0, 0}, {10, 0, 5}, {10, 10, 0}});
    AcDbObjectId circle = addCircle({50, 50, 0}, 5);
    append(new AcDbArc({80, 0, 0}, 4, 0, 1.5));
    append(new AcDbText({0, 80, 0}, "note"));
    const auto before = entities();
    selectAllAndWidth("2");
    run(polylineWidthCommand);
    EXPECT_EQ(entities(), before);
    EXPECT_TRUE(polylines2d().empty());
    EXPECT_FALSE(isErased(circle));
    EXPECT_TRUE(endsWith(transcript(), kWidth + "2\n")) << transcript();
}

// Test that entities on a locked layer are left as they were: the line is not erased and
// no polyline replaces it, the polylines keep their widths.
TEST_F(PolylineWidth, LockedLayerLeftAlone) {
    addLayer("FIXED", 2);
    AcDbObjectId line = addLine({0, 0, 0}, {10, 0, 0}, 256, "FIXED");
    AcDbObjectId lw = addWidePolyline("FIXED");
    AcDbObjectId p2d = add2dPolyline(
        AcDb::k2dSimplePoly,
        {{{0, 40, 0}, AcDb::k2dVertex, 3, 3}, {{9, 40, 0}, AcDb::k2dVertex, 3, 4}}, "FIXED");
    AcDbObjectId free = addLine({0, 90, 0}, {10, 90, 0});
    setLayerLocked("FIXED", true);
    selectAllAndWidth("5");
    run(polylineWidthCommand);
    EXPECT_FALSE(isErased(line));
    EXPECT_EQ(widths(lw), (std::vector<double>{1, 2, 1, 2, 1, 2}));
    Polyline2d p = read2d(p2d);
    ASSERT_EQ(p.vertices.size(), 2u);
    EXPECT_EQ(p.vertices[0].startWidth, 3.0);
    EXPECT_EQ(p.vertices[1].endWidth, 4.0);
    EXPECT_TRUE(isErased(free));
    EXPECT_EQ(polylines2d().size(), 2u); // the locked one and the new one
}

// --- prompts --------------------------------------------------------------------------------

// Test that an empty selection ends the command before the width is asked for.
TEST_F(PolylineWidth, EmptySelection) {
    AcDbObjectId line = addLine({0, 0, 0}, {10, 0, 0});
    type({""});
    run(polylineWidthCommand);
    EXPECT_EQ(transcript(), kSelect + "\n" + kNothingSelected);
    EXPECT_FALSE(isErased(line));
}

// Test that Escape at the selection ends the command the same way.
TEST_F(PolylineWidth, EscapeAtSelection) {
    addLine({0, 0, 0}, {10, 0, 0});
    typeEscape();
    run(polylineWidthCommand);
    EXPECT_EQ(transcript(), kSelect + "*Cancel*\n" + kNothingSelected);
}

// Test that Escape or an empty answer at the width prompt changes nothing and says so.
TEST_F(PolylineWidth, NoWidthChangesNothing) {
    AcDbObjectId line = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId lw = addWidePolyline();
    type({"ALL", ""});
    typeEscape();
    run(polylineWidthCommand);
    EXPECT_TRUE(endsWith(transcript(), kWidth + "*Cancel*\n" + kNothingEntered)) << transcript();

    selectAllAndWidth("");
    run(polylineWidthCommand);
    EXPECT_TRUE(endsWith(transcript(), kWidth + "\n" + kNothingEntered)) << transcript();
    EXPECT_FALSE(isErased(line));
    EXPECT_EQ(widths(lw), (std::vector<double>{1, 2, 1, 2, 1, 2}));
    EXPECT_TRUE(polylines2d().empty());
}

// Test that a width that is not a number is refused by the host and asked again.
TEST_F(PolylineWidth, TextAtWidthPromptIsAskedAgain) {
    AcDbObjectId lw = addWidePolyline();
    selectAllAndWidth("wide");
    type({"4"});
    run(polylineWidthCommand);
    EXPECT_EQ(widths(lw), repeated(4.0, 6));
}

// --- failures that must not lose a line ---------------------------------------------------

// Test, with the Nth allocation of the database failing for N = 1, 2, ... until the command
// runs clean, that every run either replaces the line or keeps it whole with an alert, and
// leaves nothing open and nothing leaked.
TEST_F(PolylineWidth, AllocationFailureNeverLosesTheLine) {
    bool ranClean = false;
    for (long n = 1; n <= 50 && !ranClean; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        AcDbObjectId line = addLine({0, 0, 0}, {10, 0, 0}, 6);
        const long liveBefore = tev::db::alloc::liveObjects();
        host::CommandLine::reset();
        selectAllAndWidth("1");
        {
            tev::db::alloc::ScopedFailure failure(n);
            run(polylineWidthCommand);
            ranClean = tev::db::alloc::failureCount() == 0;
        }
        EXPECT_EQ(openObjects(), 0u);
        if (ranClean) {
            EXPECT_TRUE(isErased(line));
            EXPECT_EQ(polylines2d().size(), 1u);
            EXPECT_EQ(transcript().find("ALERT"), std::string::npos) << transcript();
            break;
        }
        EXPECT_FALSE(isErased(line));
        EXPECT_EQ(lineData(line).color, 6);
        EXPECT_TRUE(polylines2d().empty());
        EXPECT_TRUE(endsWith(transcript(), kNoMemory)) << transcript();
        EXPECT_EQ(tev::db::alloc::liveObjects(), liveBefore);
        // Next round: a fresh line, the old one out of the way.
        AcDbObject *obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(obj->erase(), Acad::eOk);
        ASSERT_EQ(obj->close(), Acad::eOk);
    }
    EXPECT_TRUE(ranClean);
}

// Test that a line whose polyline the current space will not take stays in the drawing,
// and the user is told. The space is kept busy by a reader for the length of the command.
TEST_F(PolylineWidth, AppendFailureKeepsTheLine) {
    AcDbObjectId line = addLine({0, 0, 0}, {10, 0, 0});
    AcDbObjectId lw = addWidePolyline();
    selectAllAndWidth("2");
    AcDbObject *space = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(space, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    run(polylineWidthCommand);
    ASSERT_EQ(space->close(), Acad::eOk);
    tev::db::clearMisuseReports(); // the refused write open was provoked on purpose

    EXPECT_FALSE(isErased(line));
    EXPECT_TRUE(polylines2d().empty());
    EXPECT_EQ(widths(lw), repeated(2.0, 6));
    EXPECT_TRUE(endsWith(transcript(), kNotAdded)) << transcript();
}

} // namespace
