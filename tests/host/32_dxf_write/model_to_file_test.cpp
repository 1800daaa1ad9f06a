// Every property the database models, as the database holds it, as our reader reads it back
// and as python3-ezdxf reads it: from a varied file ezdxf wrote, and after values set through
// the API (defaults, zero, negative, huge, mixed across vertices) were saved over it.
#include "dxf_io.h"
#include "tag_writer.h"
#include "dxf_test_util.h"
#include "access.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <vector>

namespace {

using dxftest::runPython;
using dxftest::ScratchDir;
using Facts = std::map<std::string, std::set<std::string>>; // handle -> "key=value"

constexpr double kDegree = std::numbers::pi / 180.0;

std::string num(double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", x);
    return std::string(buf) == "-0" ? "0" : buf;
}
std::string pt(const AcGePoint3d &p, int dims = 3) {
    return num(p.x) + "," + num(p.y) + (dims == 3 ? "," + num(p.z) : "");
}
std::string nameOf(AcDbObjectId id) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (acdbOpenObject(rec, id, AcDb::kForRead) != Acad::eOk)
        return "?";
    std::string name = rec->nameRef();
    EXPECT_EQ(rec->close(), Acad::eOk);
    return name;
}

// The same keys ezdxf_facts.py prints.
std::set<std::string> factsOf(const AcDbEntity &e) {
    std::vector<std::pair<std::string, std::string>> f;
    const AcCmColor c = e.color();
    f.emplace_back("layer", nameOf(e.layerId()));
    f.emplace_back("color", std::to_string(e.colorIndex()));
    f.emplace_back("rgb",
                   c.isByColor() ? std::to_string(c.red() << 16 | c.green() << 8 | c.blue()) : "-");
    f.emplace_back("lineweight", std::to_string(e.lineWeight()));
    f.emplace_back("ltscale", num(e.linetypeScale()));
    f.emplace_back("invisible", e.isVisible() ? "0" : "1");
    if (const auto *l = AcDbLine::cast(&e)) {
        f.emplace_back("start", pt(l->startPoint()));
        f.emplace_back("end", pt(l->endPoint()));
        f.emplace_back("thickness", num(l->thickness()));
    } else if (const auto *a = AcDbArc::cast(&e)) {
        f.emplace_back("center", pt(a->center()));
        f.emplace_back("radius", num(a->radius()));
        f.emplace_back("thickness", num(a->thickness()));
        f.emplace_back("start_angle", num(a->startAngle() / kDegree));
        f.emplace_back("end_angle", num(a->endAngle() / kDegree));
    } else if (const auto *ci = AcDbCircle::cast(&e)) {
        f.emplace_back("center", pt(ci->center()));
        f.emplace_back("radius", num(ci->radius()));
        f.emplace_back("thickness", num(ci->thickness()));
    } else if (const auto *t = AcDbText::cast(&e)) {
        f.emplace_back("text", t->textStringConst());
        f.emplace_back("insert", pt(t->position()));
        f.emplace_back("height", num(t->height()));
        f.emplace_back("width", num(t->widthFactor()));
        f.emplace_back("oblique", num(t->oblique() / kDegree));
        f.emplace_back("rotation", num(t->rotation() / kDegree));
        f.emplace_back("halign", std::to_string(t->horizontalMode()));
        f.emplace_back("valign", std::to_string(t->verticalMode()));
        f.emplace_back("generation", std::to_string(t->generationFlags()));
        f.emplace_back("thickness", num(t->thickness()));
        if (t->horizontalMode() != AcDb::kTextLeft || t->verticalMode() != AcDb::kTextBase)
            f.emplace_back("align_point", pt(t->alignmentPoint()));
    } else if (const auto *r = AcDbBlockReference::cast(&e)) {
        f.emplace_back("name", nameOf(r->blockTableRecord()));
        f.emplace_back("insert", pt(r->position()));
        f.emplace_back("xscale", num(r->scaleFactors().sx));
        f.emplace_back("yscale", num(r->scaleFactors().sy));
        f.emplace_back("zscale", num(r->scaleFactors().sz));
        f.emplace_back("rotation", num(r->rotation() / kDegree));
    } else if (const auto *p = AcDbPolyline::cast(&e)) {
        f.emplace_back("closed", p->isClosed() ? "1" : "0");
        f.emplace_back("elevation", num(p->elevation()));
        f.emplace_back("thickness", num(p->thickness()));
        for (unsigned i = 0; i < p->numVerts(); ++i) {
            AcGePoint2d v;
            double s = 0, w = 0, b = 0;
            EXPECT_EQ(p->getPointAt(i, v), Acad::eOk);
            EXPECT_EQ(p->getWidthsAt(i, s, w), Acad::eOk);
            EXPECT_EQ(p->getBulgeAt(i, b), Acad::eOk);
            f.emplace_back("v" + std::to_string(i), num(v.x) + "," + num(v.y) + " w" + num(s) +
                                                        "," + num(w) + " b" + num(b));
        }
    } else if (const auto *p2 = AcDb2dPolyline::cast(&e)) {
        f.emplace_back("closed", p2->isClosed() ? "1" : "0");
        f.emplace_back("default_widths",
                       num(p2->defaultStartWidth()) + "," + num(p2->defaultEndWidth()));
        f.emplace_back("elevation", num(p2->elevation()));
        int i = 0;
        for (const AcDbObject *o : tev::db::ObjectAccess::sequence(*p2)->items) {
            const auto *v = AcDb2dVertex::cast(o);
            f.emplace_back("v" + std::to_string(i++),
                           pt(v->position(), 2) + " w" + num(v->startWidth()) + "," +
                               num(v->endWidth()) + " b" + num(v->bulge()));
        }
    }
    std::set<std::string> out;
    for (const auto &[k, v] : f)
        out.insert(k + "=" + v);
    return out;
}

std::vector<AcDbEntity *> modelSpace(AcDbDatabase &db) {
    AcDbBlockTableRecord *ms = nullptr;
    EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    std::vector<AcDbEntity *> out;
    for (AcDbObject *o : tev::db::ObjectAccess::entities(*ms))
        if (o != nullptr && !o->isErased())
            out.push_back(static_cast<AcDbEntity *>(o));
    EXPECT_EQ(ms->close(), Acad::eOk);
    return out;
}

Facts databaseFacts(AcDbDatabase &db) {
    Facts out;
    for (AcDbEntity *e : modelSpace(db))
        out[dxf::formatHandle(e->objectId().handle().value())] = factsOf(*e);
    return out;
}

Facts ezdxfFacts(const std::string &path) {
    const std::string text = runPython("import runpy; sys.argv = ['', 'dump', r'" + path +
                                       "']; runpy.run_path(r'" DXF_FACTS_PY "', "
                                       "run_name='__main__')\n");
    EXPECT_EQ(text.rfind("ERROR", 0), std::string::npos) << text;
    Facts out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        const std::size_t space = line.find(' ');
        if (space != std::string::npos)
            out[line.substr(0, space)].insert(line.substr(space + 1));
    }
    return out;
}

std::unique_ptr<AcDbDatabase> read(const std::string &path) {
    std::string error;
    auto db = dxf::readDrawing(path, error);
    EXPECT_NE(db, nullptr) << error;
    return db;
}

class ModelToFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (!dxftest::haveEzdxf())
            GTEST_SKIP() << "python3-ezdxf is not installed";
        const std::string made = runPython("import runpy; sys.argv = ['', 'make', r'" + varied +
                                           "']; runpy.run_path(r'" DXF_FACTS_PY "', "
                                           "run_name='__main__')\n");
        ASSERT_EQ(made.rfind("ERROR", 0), std::string::npos) << made;
    }
    ScratchDir dir;
    const std::string varied = dir.file("varied.dxf");
};

// Test that every modelled value of a varied file (ezdxf's own, one line with its common
// groups after the subclass marker) reads as ezdxf reads it.
TEST_F(ModelToFile, ReaderAgreesWithEzdxf) {
    auto db = read(varied);
    ASSERT_NE(db, nullptr);
    const Facts ours = databaseFacts(*db);
    EXPECT_EQ(ours.size(), 9u);
    EXPECT_EQ(ours, ezdxfFacts(varied));
}

// Test that what the API sets is what the saved file says, to our reader and to ezdxf:
// values set back to their defaults (which the file leaves out) must not let the old value
// stand, zero widths on polylines whose vertices had widths, widths that differ from vertex to
// vertex, negative and huge values, an index colour over a true colour, BYLAYER over a colour
// a writer put after the subclass marker.
TEST_F(ModelToFile, SavedFileSaysWhatTheDatabaseHolds) {
    auto db = read(varied);
    ASSERT_NE(db, nullptr);
    using Set = std::function<void(AcDbEntity &)>;
    // One change for each entity of the varied file, in its order.
    const std::vector<Set> changes = {
        [](AcDbEntity &e) { // the line with stray common groups: every one back to default
            auto &l = static_cast<AcDbLine &>(e);
            EXPECT_EQ(l.setColorIndex(256), Acad::eOk);
            EXPECT_EQ(l.setLineWeight(AcDb::kLnWtByLayer), Acad::eOk);
            EXPECT_EQ(l.setLinetypeScale(1.0), Acad::eOk);
            EXPECT_EQ(l.setThickness(0), Acad::eOk);
            EXPECT_EQ(l.setLayer(l.database()->clayer()), Acad::eOk);
        },
        [](AcDbEntity &e) { // the true-colour line: an index colour, huge and tiny points
            auto &l = static_cast<AcDbLine &>(e);
            EXPECT_EQ(l.setColorIndex(2), Acad::eOk);
            EXPECT_EQ(l.setStartPoint(AcGePoint3d(-1e300, 1e-300, 0)), Acad::eOk);
            EXPECT_EQ(l.setThickness(-7.5), Acad::eOk);
        },
        [](AcDbEntity &e) { // the invisible line: visible, a true colour
            EXPECT_EQ(e.setVisibility(true), Acad::eOk);
            AcCmColor c;
            EXPECT_EQ(c.setColorIndex(1), Acad::eOk);
            EXPECT_EQ(c.setRGB(255, 0, 128), Acad::eOk);
            EXPECT_EQ(e.setColor(c), Acad::eOk);
        },
        [](AcDbEntity &e) { // circle: thickness back to 0, colour BYBLOCK
            EXPECT_EQ(static_cast<AcDbCircle &>(e).setThickness(0), Acad::eOk);
            EXPECT_EQ(e.setColorIndex(0), Acad::eOk);
        },
        [](AcDbEntity &e) { // arc: negative angle, huge radius
            auto &a = static_cast<AcDbArc &>(e);
            EXPECT_EQ(a.setStartAngle(-90 * kDegree), Acad::eOk);
            EXPECT_EQ(a.setRadius(1e12), Acad::eOk);
        },
        [](AcDbEntity &e) { // text: every default
            auto &t = static_cast<AcDbText &>(e);
            EXPECT_EQ(t.setWidthFactor(1), Acad::eOk);
            EXPECT_EQ(t.setOblique(0), Acad::eOk);
            EXPECT_EQ(t.setRotation(0), Acad::eOk);
            EXPECT_EQ(t.setHorizontalMode(AcDb::kTextLeft), Acad::eOk);
            EXPECT_EQ(t.setVerticalMode(AcDb::kTextBase), Acad::eOk);
            EXPECT_EQ(t.setGenerationFlags(0), Acad::eOk);
            EXPECT_EQ(t.setThickness(0), Acad::eOk);
        },
        [](AcDbEntity &e) { // insert: scales back to 1 but one negative, no rotation
            auto &r = static_cast<AcDbBlockReference &>(e);
            EXPECT_EQ(r.setScaleFactors(AcGeScale3d(1, 1, -1)), Acad::eOk);
            EXPECT_EQ(r.setRotation(0), Acad::eOk);
        },
        [](AcDbEntity &e) { // lightweight polyline: width 0 everywhere, no bulges
            auto &p = static_cast<AcDbPolyline &>(e);
            EXPECT_EQ(p.setConstantWidth(0), Acad::eOk);
            for (unsigned i = 0; i < p.numVerts(); ++i)
                EXPECT_EQ(p.setBulgeAt(i, 0), Acad::eOk);
            p.setElevation(0);
            EXPECT_EQ(p.setThickness(0), Acad::eOk);
        },
        [](AcDbEntity &e) { // 2D polyline: default widths 0, vertex widths mixed
            auto &p = static_cast<AcDb2dPolyline &>(e);
            EXPECT_EQ(p.setDefaultStartWidth(0), Acad::eOk);
            EXPECT_EQ(p.setDefaultEndWidth(0), Acad::eOk);
            double w = 0;
            for (AcDbObject *o : tev::db::ObjectAccess::sequence(p)->items) {
                AcDb2dVertex *v = nullptr;
                ASSERT_EQ(acdbOpenObject(v, o->objectId(), AcDb::kForWrite), Acad::eOk);
                EXPECT_EQ(v->setStartWidth(w), Acad::eOk);
                EXPECT_EQ(v->setEndWidth(w == 0 ? 0 : 1e6), Acad::eOk);
                EXPECT_EQ(v->setBulge(0), Acad::eOk);
                EXPECT_EQ(v->close(), Acad::eOk);
                w = w == 0 ? 2.5 : 0;
            }
        },
    };
    const std::vector<AcDbEntity *> ents = modelSpace(*db);
    ASSERT_EQ(ents.size(), changes.size());
    for (std::size_t i = 0; i < ents.size(); ++i) {
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenObject(e, ents[i]->objectId(), AcDb::kForWrite), Acad::eOk);
        changes[i](*e);
        EXPECT_EQ(e->close(), Acad::eOk);
    }
    const Facts held = databaseFacts(*db);
    const std::string saved = dir.file("saved.dxf");
    std::string error;
    ASSERT_TRUE(dxf::saveDrawing(*db, saved, error)) << error;
    auto again = read(saved);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(databaseFacts(*again), held);
    EXPECT_EQ(ezdxfFacts(saved), held);
}

} // namespace
