// Tests of reading DXF into the drawing database: every modelled class, the tables, the
// header's settings, code pages and binary files.
#include "dxf_io.h"
#include "sample_dxf.h"

#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace dxftest;
using tev::db::ObjectAccess;

constexpr double kPi = std::numbers::pi;

std::unique_ptr<AcDbDatabase> readText(const std::string &text) {
    std::string error;
    auto db = dxf::readDrawingText(text, "test.dxf", error);
    EXPECT_EQ(error, "");
    return db;
}

// Opens id for read as T, runs f on it and closes it.
template <class T, class F> void withObject(AcDbObjectId id, F &&f) {
    T *obj = nullptr;
    ASSERT_EQ(acdbOpenObject(obj, id, AcDb::kForRead), Acad::eOk);
    f(*obj);
    EXPECT_EQ(obj->close(), Acad::eOk);
}

const std::vector<AcDbObject *> &entitiesOf(AcDbObjectId space) {
    AcDbBlockTableRecord *rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, space, AcDb::kForRead), Acad::eOk);
    (void)rec->close();
    return ObjectAccess::entities(*rec);
}

AcDbObjectId recordId(AcDbSymbolTable *table, const char *name) {
    AcDbObjectId id;
    EXPECT_EQ(table->getAt(name, id), Acad::eOk) << name;
    return id;
}

std::string nameOf(AcDbObjectId id) {
    std::string name;
    withObject<AcDbSymbolTableRecord>(id, [&](AcDbSymbolTableRecord &r) { name = r.nameRef(); });
    return name;
}

// Test that layers, linetypes and the header's current settings come into the database.
TEST(ReadDrawing, TablesAndHeader) {
    auto db = readText(sampleDxf());
    ASSERT_NE(db, nullptr);
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    const AcDbObjectId walls = recordId(layers, WALLS);
    const AcDbObjectId frozen = recordId(layers, "FROZEN"); // names compare without case
    EXPECT_EQ(layers->close(), Acad::eOk);
    withObject<AcDbLayerTableRecord>(walls, [&](AcDbLayerTableRecord &l) {
        EXPECT_TRUE(l.isOff());    // a negative colour
        EXPECT_TRUE(l.isLocked()); // flag 4
        EXPECT_FALSE(l.isFrozen());
        EXPECT_EQ(l.color().colorIndex(), 1);
        EXPECT_EQ(nameOf(l.linetypeObjectId()), "DASHED");
        EXPECT_EQ(ObjectAccess::source(l).substr(0, 16), "0\nLAYER\n5\n11\n330");
    });
    withObject<AcDbLayerTableRecord>(frozen, [&](AcDbLayerTableRecord &l) {
        EXPECT_TRUE(l.isFrozen());
        EXPECT_FALSE(l.isOff());
        EXPECT_EQ(l.color().colorIndex(), 5);
    });
    AcDbLinetypeTable *linetypes = nullptr;
    ASSERT_EQ(db->getLinetypeTable(linetypes, AcDb::kForRead), Acad::eOk);
    const AcDbObjectId dashed = recordId(linetypes, "Dashed");
    EXPECT_EQ(linetypes->close(), Acad::eOk);
    withObject<AcDbLinetypeTableRecord>(dashed, [&](AcDbLinetypeTableRecord &lt) {
        EXPECT_STREQ(lt.comments(), "Dashed __ __");
        EXPECT_EQ(lt.patternLength(), 0.75);
        EXPECT_EQ(lt.objectId().handle().value(), 0x17u);
    });
    EXPECT_EQ(nameOf(db->clayer()), WALLS);
    EXPECT_EQ(nameOf(db->celtype()), "DASHED");
    EXPECT_EQ(db->cecolor().colorIndex(), 3);
    EXPECT_TRUE(db->tilemode());
    EXPECT_NEAR(db->snapAngle(), kPi / 6, 1e-15); // 30 degrees in the *ACTIVE viewport
    EXPECT_GE(db->handseed().value(), 0x100u);
    EXPECT_EQ(db->layerTableId().handle().value(), 2u);
    EXPECT_EQ(db->blockTableId().handle().value(), 1u);
}

// Test that every modelled entity kind is read into its class with its values, angles in
// radians, and that a kind the host does not model is kept as an unknown entity.
TEST(ReadDrawing, Entities) {
    auto db = readText(sampleDxf());
    ASSERT_NE(db, nullptr);
    const auto &model = entitiesOf(db->modelSpaceId());
    ASSERT_EQ(model.size(), 9u);
    const auto &paper = entitiesOf(db->paperSpaceId());
    ASSERT_EQ(paper.size(), 1u);
    EXPECT_TRUE(AcDbLine::cast(paper[0]) != nullptr);

    const auto *line = AcDbLine::cast(model[0]);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->startPoint(), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(line->endPoint(), AcGePoint3d(6, 5, 0));
    EXPECT_EQ(line->colorIndex(), 1);
    EXPECT_EQ(line->objectId().handle().value(), 0x30u);
    EXPECT_EQ(line->ownerId(), db->modelSpaceId());

    const auto *circle = AcDbCircle::cast(model[1]);
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->radius(), 2.5);
    EXPECT_EQ(nameOf(circle->layerId()), WALLS);
    EXPECT_EQ(circle->colorIndex(), 256); // left out: BYLAYER

    const auto *arc = AcDbArc::cast(model[2]);
    ASSERT_NE(arc, nullptr);
    EXPECT_NEAR(arc->startAngle(), kPi / 2, 1e-15);
    EXPECT_NEAR(arc->endAngle(), kPi, 1e-15);

    const auto *text = AcDbText::cast(model[3]);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->textStringConst(), HELLO);
    EXPECT_NEAR(text->rotation(), kPi / 4, 1e-15);
    EXPECT_EQ(text->height(), 2.5);

    const auto *lw = AcDbPolyline::cast(model[4]);
    ASSERT_NE(lw, nullptr);
    ASSERT_EQ(lw->numVerts(), 3u);
    EXPECT_TRUE(lw->isClosed());
    double bulge = 0, sw = 0, ew = 0;
    EXPECT_EQ(lw->getBulgeAt(0, bulge), Acad::eOk);
    EXPECT_EQ(bulge, 1.0);
    EXPECT_EQ(lw->getWidthsAt(1, sw, ew), Acad::eOk);
    EXPECT_EQ(sw, 0.5);
    EXPECT_EQ(ew, 0.25);
    AcGePoint2d p;
    EXPECT_EQ(lw->getPointAt(2, p), Acad::eOk);
    EXPECT_EQ(p, AcGePoint2d(10, 10));

    const auto *pl2 = AcDb2dPolyline::cast(model[5]);
    ASSERT_NE(pl2, nullptr);
    EXPECT_EQ(pl2->elevation(), 2.0);
    const AcDbOwnedSequence *seq = ObjectAccess::sequence(*pl2);
    ASSERT_NE(seq, nullptr);
    ASSERT_EQ(seq->items.size(), 2u);
    const auto *v0 = AcDb2dVertex::cast(seq->items[0]);
    ASSERT_NE(v0, nullptr);
    EXPECT_EQ(v0->bulge(), 0.5);
    EXPECT_EQ(v0->position().x, 1.0);
    EXPECT_EQ(v0->objectId().handle().value(), 0x36u);
    EXPECT_EQ(v0->ownerId(), pl2->objectId());
    ASSERT_NE(seq->seqEnd, nullptr);
    EXPECT_EQ(seq->seqEnd->objectId().handle().value(), 0x38u);

    const auto *pl3 = AcDb3dPolyline::cast(model[6]);
    ASSERT_NE(pl3, nullptr);
    const auto *v3 = AcDb3dPolylineVertex::cast(ObjectAccess::sequence(*pl3)->items.at(0));
    ASSERT_NE(v3, nullptr);
    EXPECT_EQ(v3->position(), AcGePoint3d(1, 2, 3));

    const auto *ref = AcDbBlockReference::cast(model[7]);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(nameOf(ref->blockTableRecord()), "Door");
    EXPECT_EQ(ref->scaleFactors().sx, 2.0);
    EXPECT_NEAR(ref->rotation(), kPi / 2, 1e-15);
    withObject<AcDbBlockTableRecord>(ref->blockTableRecord(), [&](AcDbBlockTableRecord &door) {
        EXPECT_EQ(door.origin(), AcGePoint3d(1, 2, 0));
        EXPECT_EQ(ObjectAccess::entities(door).size(), 1u);
    });

    const auto *unknown = AcDbUnknownEntity::cast(model[8]);
    ASSERT_NE(unknown, nullptr);
    EXPECT_STREQ(unknown->dxfTypeName(), "MTEXT");
    EXPECT_NE(ObjectAccess::source(*unknown).find("AcDbMText"), std::string_view::npos);
}

// Test that a UTF-8 file's names become Windows-1251, with \U+XXXX for what it lacks.
TEST(ReadDrawing, Utf8FileNames) {
    std::string text = sampleDxf();
    const auto replace = [&](const std::string &from, const std::string &to) {
        for (std::size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    };
    replace("AC1015", "AC1021");
    replace(WALLS, "Стены Ω"); // UTF-8, with a Greek letter Windows-1251 lacks
    auto db = readText(text);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(nameOf(db->clayer()), WALLS " \\U+03A9");
}

// Test that a file ezdxf writes in binary DXF reads like its ASCII twin.
TEST(ReadDrawing, BinaryMatchesAscii) {
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    const std::string out =
        runPython("doc = ezdxf.new('R2000')\n"
                  "msp = doc.modelspace()\n"
                  "doc.layers.add('Walls', color=3)\n"
                  "msp.add_line((1, 2), (3.25, -4), dxfattribs={'layer': 'Walls', 'color': 5})\n"
                  "msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (4, 0), (4, 3)], close=True)\n"
                  "msp.add_circle((1, 1), 0.125)\n"
                  "doc.saveas(r'" +
                  dir.file("a.dxf") +
                  "')\n"
                  "doc.saveas(r'" +
                  dir.file("b.dxf") + "', fmt='bin')\n");
    ASSERT_EQ(out, "");
    std::string errA, errB;
    auto a = dxf::readDrawing(dir.file("a.dxf"), errA);
    auto b = dxf::readDrawing(dir.file("b.dxf"), errB);
    ASSERT_NE(a, nullptr) << errA;
    ASSERT_NE(b, nullptr) << errB;
    const auto &ea = entitiesOf(a->modelSpaceId());
    const auto &eb = entitiesOf(b->modelSpaceId());
    ASSERT_EQ(ea.size(), 3u);
    ASSERT_EQ(eb.size(), 3u);
    const auto *la = AcDbLine::cast(ea[0]);
    const auto *lb = AcDbLine::cast(eb[0]);
    ASSERT_TRUE(la && lb);
    EXPECT_EQ(lb->endPoint(), AcGePoint3d(3.25, -4, 0));
    EXPECT_EQ(la->endPoint(), lb->endPoint());
    EXPECT_EQ(lb->colorIndex(), 5);
    EXPECT_EQ(nameOf(lb->layerId()), "Walls");
    const auto *pa = AcDbPolyline::cast(ea[1]);
    const auto *pb = AcDbPolyline::cast(eb[1]);
    ASSERT_TRUE(pa && pb);
    double bulge = 0;
    EXPECT_EQ(pb->getBulgeAt(0, bulge), Acad::eOk);
    EXPECT_EQ(bulge, 0.5);
    EXPECT_EQ(pb->numVerts(), 3u);
    EXPECT_EQ(AcDbCircle::cast(eb[2])->radius(), 0.125);
    EXPECT_EQ(ea[2]->objectId().handle(), eb[2]->objectId().handle());
}

// Test that an R12 file (no handles on tables, no block records) reads too.
TEST(ReadDrawing, R12File) {
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    ASSERT_EQ(runPython("doc = ezdxf.new('R12')\n"
                        "doc.layers.add('A', color=2)\n"
                        "b = doc.blocks.new('B')\n"
                        "b.add_line((0, 0), (1, 1))\n"
                        "msp = doc.modelspace()\n"
                        "msp.add_blockref('B', (2, 2))\n"
                        "msp.add_polyline2d([(0, 0), (1, 0), (1, 1)], dxfattribs={'layer': 'A'})\n"
                        "doc.saveas(r'" +
                        dir.file("r12.dxf") + "')\n"),
              "");
    std::string error;
    auto db = dxf::readDrawing(dir.file("r12.dxf"), error);
    ASSERT_NE(db, nullptr) << error;
    const auto &model = entitiesOf(db->modelSpaceId());
    ASSERT_EQ(model.size(), 2u);
    const auto *ref = AcDbBlockReference::cast(model[0]);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(nameOf(ref->blockTableRecord()), "B");
    const auto *pl = AcDb2dPolyline::cast(model[1]);
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(ObjectAccess::sequence(*pl)->items.size(), 3u);
    EXPECT_EQ(nameOf(pl->layerId()), "A");
}

} // namespace
