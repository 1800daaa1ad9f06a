// Tests of writing: a new drawing as minimal valid R2000, byte-for-byte round trips of our
// own files, other writers' files through the database and back (checked by ezdxf), and
// changed, new and erased entities.
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

std::string writeText(AcDbDatabase &db) {
    std::string out, error;
    EXPECT_TRUE(dxf::writeDrawingText(db, out, error)) << error;
    return out;
}

std::unique_ptr<AcDbDatabase> readText(const std::string &text) {
    std::string error;
    auto db = dxf::readDrawingText(text, "test.dxf", error);
    EXPECT_EQ(error, "");
    return db;
}

// Appends ent to db's model space and closes it.
AcDbObjectId append(AcDbDatabase &db, AcDbEntity *ent) {
    AcDbBlockTableRecord *ms = nullptr;
    EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(ms->appendAcDbEntity(id, ent), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
    EXPECT_EQ(ms->close(), Acad::eOk);
    return id;
}

// A new drawing with one entity of every kind the host models.
std::unique_ptr<AcDbDatabase> newDrawing() {
    auto db = std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    append(*db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 5, 0)));
    append(*db, new AcDbCircle(AcGePoint3d(3, 3, 0), AcGeVector3d::kZAxis, 1.5));
    append(*db, new AcDbArc(AcGePoint3d(1, 1, 0), 2, 0, std::numbers::pi / 2));
    append(*db, new AcDbText(AcGePoint3d(1, 8, 0), HELLO, AcDbObjectId(), 2.5, 0));
    auto *lw = new AcDbPolyline;
    (void)lw->addVertexAt(0, AcGePoint2d(0, 0), 0.5, 0.1, 0.2);
    (void)lw->addVertexAt(1, AcGePoint2d(4, 0));
    (void)lw->addVertexAt(2, AcGePoint2d(4, 3));
    lw->setClosed(true);
    append(*db, lw);
    AcGePoint3dArray pts;
    pts.append(AcGePoint3d(0, 0, 0));
    pts.append(AcGePoint3d(2, 0, 0));
    pts.append(AcGePoint3d(2, 2, 0));
    append(*db, new AcDb2dPolyline(AcDb::k2dSimplePoly, pts, 0, true));
    append(*db, new AcDb3dPolyline(AcDb::k3dSimplePoly, pts));
    return db;
}

// Test that a new drawing is written as AC1015 in ANSI_1251 and that ezdxf reads it with no
// audit errors and sees every entity with its values.
TEST(WriteDrawing, NewDrawingIsValidR2000) {
    auto db = newDrawing();
    const std::string text = writeText(*db);
    EXPECT_NE(text.find("$ACADVER\n  1\nAC1015\n"), std::string::npos);
    EXPECT_NE(text.find("$DWGCODEPAGE\n  3\nANSI_1251\n"), std::string::npos);
    EXPECT_NE(text.find(HELLO), std::string::npos); // Windows-1251 bytes as they are
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    writeFile(dir.file("new.dxf"), text);
    const std::string out = runPython(ezdxfSummaryScript(dir.file("new.dxf")) +
                                      "print(doc.dxfversion, doc.encoding)\n"
                                      "t = doc.modelspace().query('TEXT')[0]\n"
                                      "print(t.dxf.text == 'Привет')\n");
    EXPECT_EQ(out.substr(0, out.find('\n')), "audit errors 0") << out;
    EXPECT_NE(out.find("LINE "), std::string::npos);
    EXPECT_NE(out.find(" 0 256 0,0,0\n"), std::string::npos) << out; // the line's start
    EXPECT_NE(out.find("CIRCLE"), std::string::npos);
    EXPECT_NE(out.find("ARC"), std::string::npos);
    EXPECT_NE(out.find("LWPOLYLINE"), std::string::npos);
    EXPECT_NE(out.find("0,0,0.5;4,0,0;4,3,0"), std::string::npos) << out; // with the bulge
    EXPECT_NE(out.find("POLYLINE"), std::string::npos);
    EXPECT_NE(out.find("AC1015 cp1251\nTrue\n"), std::string::npos) << out;
}

// Test that a file our writer made reads and writes back byte for byte.
TEST(WriteDrawing, OwnFileRoundTripsByteForByte) {
    auto db = newDrawing();
    const std::string first = writeText(*db);
    auto again = readText(first);
    ASSERT_NE(again, nullptr);
    const std::string second = writeText(*again);
    EXPECT_EQ(first, second);
    // And a third time, to be sure the handle seed holds still.
    auto third = readText(second);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(writeText(*third), first);
}

// Test that another writer's file comes back unchanged when nothing changed (entities are
// copied from their bytes, the header and tables kept).
TEST(WriteDrawing, UntouchedFileIsKept) {
    const std::string sample = sampleDxf();
    auto db = readText(sample);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(writeText(*db), sample);
}

// Test changes written back: a recoloured line (with groups the class does not model kept),
// a recoloured entity the host does not model, an erased 2D polyline (its vertices and
// SEQEND with it), a new line with a new handle, and the header's settings.
TEST(WriteDrawing, ChangesNewAndErased) {
    std::string sample = sampleDxf();
    // An application group and extended data the line class does not model.
    const std::string lineHead = "0\nLINE\n5\n30\n330\n1F\n";
    sample.replace(sample.find(lineHead), lineHead.size(),
                   "0\nLINE\n5\n30\n102\n{ACAD_REACTORS\n330\nC\n102\n}\n330\n1F\n");
    const std::string lineEnd = "31\n0.0\n0\nCIRCLE";
    sample.replace(sample.find(lineEnd), lineEnd.size(),
                   "31\n0.0\n1001\nACAD\n1000\nkept\n0\nCIRCLE");
    auto db = readText(sample);
    ASSERT_NE(db, nullptr);
    AcDbBlockTableRecord *ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    const std::vector<AcDbObject *> model = ObjectAccess::entities(*ms);
    EXPECT_EQ(ms->close(), Acad::eOk);
    auto change = [&](AcDbObject *obj, auto &&f) {
        AcDbEntity *ent = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(ent, obj->objectId(), AcDb::kForWrite), Acad::eOk);
        f(*ent);
        EXPECT_EQ(ent->close(), Acad::eOk);
    };
    change(model[0], [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(4), Acad::eOk); });
    change(model[8], [](AcDbEntity &e) { EXPECT_EQ(e.setColorIndex(6), Acad::eOk); });
    change(model[5], [](AcDbEntity &e) { EXPECT_EQ(e.erase(), Acad::eOk); });
    const std::uint64_t seedBefore = db->handseed().value();
    const AcDbObjectId added =
        append(*db, new AcDbLine(AcGePoint3d(7, 7, 0), AcGePoint3d(8, 8, 0)));
    EXPECT_GE(added.handle().value(), 0x100u);
    EXPECT_EQ(db->setCecolor([] {
        AcCmColor c;
        (void)c.setColorIndex(2);
        return c;
    }()),
              Acad::eOk);
    EXPECT_EQ(db->setTilemode(false), Acad::eOk);
    EXPECT_EQ(db->setSnapAngle(std::numbers::pi / 4), Acad::eOk);
    const std::string text = writeText(*db);
    EXPECT_EQ(text.find("0\nVERTEX\n5\n36\n"), std::string::npos);
    EXPECT_EQ(text.find("0\nSEQEND\n5\n38\n"), std::string::npos);
    EXPECT_EQ(text.find("0\nPOLYLINE\n5\n35\n"), std::string::npos);
    EXPECT_NE(text.find("102\n{ACAD_REACTORS\n330\nC\n102\n}\n330\n1F\n"), std::string::npos);
    EXPECT_NE(text.find("1001\nACAD\n1000\nkept\n"), std::string::npos);
    EXPECT_NE(text.find("AcDbMText"), std::string::npos);
    // Read back by ourselves: the changes are there.
    auto back = readText(text);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->cecolor().colorIndex(), 2);
    EXPECT_FALSE(back->tilemode());
    EXPECT_NEAR(back->snapAngle(), std::numbers::pi / 4, 1e-12);
    EXPECT_GT(back->handseed().value(), added.handle().value());
    EXPECT_GE(back->handseed().value(), seedBefore);
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    writeFile(dir.file("changed.dxf"), text);
    const std::string out =
        runPython(ezdxfSummaryScript(dir.file("changed.dxf")) +
                  "print('snap', doc.viewports.get('*ACTIVE')[0].dxf.snap_rotation)\n"
                  "print('seed', doc.header['$HANDSEED'], 'tilemode', doc.header['$TILEMODE'],"
                  " 'cecolor', doc.header['$CECOLOR'])\n"
                  "l = doc.entitydb['30']\n"
                  "print('xdata', [tuple(t) for t in l.get_xdata('ACAD')])\n");
    EXPECT_EQ(out.substr(0, out.find('\n')), "audit errors 0") << out;
    EXPECT_NE(out.find("LINE 30 0 4 1,2,0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("MTEXT 3D 0 6 0,20,0\n"), std::string::npos) << out;
    // The new line took the drawing's current layer and colour when it was appended.
    char hex[17];
    added.handle().getIntoAsciiBuffer(hex);
    EXPECT_NE(out.find("LINE " + std::string(hex) + " Стены 3 7,7,0\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("POLYLINE 35"), std::string::npos) << out;
    EXPECT_NE(out.find("snap 45.0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("tilemode 0 cecolor 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("xdata [(1000, 'kept')]"), std::string::npos) << out;
}

// Test that a character Windows-1251 lacks, in a layer name of a UTF-8 file, comes back as
// the same character when the layer and an entity on it are written from the database.
TEST(WriteDrawing, Utf8LayerNameRoundTrip) {
    std::string text = sampleDxf();
    auto replaceAll = [&](const std::string &from, const std::string &to) {
        for (std::size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    };
    replaceAll("AC1015", "AC1021");
    replaceAll(WALLS, "Стены Ω");
    auto db = readText(text);
    ASSERT_NE(db, nullptr);
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    AcDbLayerTableRecord *layer = nullptr;
    ASSERT_EQ(layers->getAt(WALLS " \\U+03A9", layer, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(layers->close(), Acad::eOk);
    AcCmColor green;
    (void)green.setColorIndex(3);
    EXPECT_EQ(layer->setColor(green), Acad::eOk);
    EXPECT_EQ(layer->setIsLocked(false), Acad::eOk); // so that its circle can change
    EXPECT_EQ(layer->close(), Acad::eOk);
    AcDbBlockTableRecord *ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    const AcDbObjectId circle = ObjectAccess::entities(*ms)[1]->objectId();
    EXPECT_EQ(ms->close(), Acad::eOk);
    AcDbEntity *ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, circle, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(ent->setColorIndex(2), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
    const std::string out = writeText(*db);
    EXPECT_NE(
        out.find(
            "  0\nLAYER\n  5\n11\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n"
            "  2\nСтены Ω\n 70\n0\n 62\n-3\n  6\nDASHED\n"),
        std::string::npos)
        << out.substr(out.find("5\n11\n"), 300);
    // The circle's colour alone changed: its own bytes stand, the file's layer spelling too.
    EXPECT_NE(out.find("\n8\nСтены Ω\n 62\n2\n"), std::string::npos);
    EXPECT_EQ(out.find("\\U+03A9"), std::string::npos);
}

// Test that a file from another writer (ezdxf, with entities the host does not model,
// extended data and a block with attributes) survives read, change and write: ezdxf sees
// the same entities, handles, layers, colours and coordinates, and its audit finds nothing.
TEST(WriteDrawing, OtherWritersFileThroughTheDatabase) {
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ScratchDir dir;
    const std::string made =
        runPython("doc = ezdxf.new('R2000', setup=True)\n"
                  "doc.layers.add('Walls', color=1)\n"
                  "doc.appids.new('TEV')\n"
                  "b = doc.blocks.new('Tag')\n"
                  "b.add_circle((0, 0), 1)\n"
                  "b.add_attdef('NO', (0, 0))\n"
                  "msp = doc.modelspace()\n"
                  "l = msp.add_line((0, 0), (5, 5), dxfattribs={'layer': 'Walls'})\n"
                  "l.set_xdata('TEV', [(1000, 'x'), (1040, 2.5)])\n"
                  "msp.add_lwpolyline([(0, 0, 0.1, 0.2, 0.3), (1, 1)], dxfattribs={'color': 3})\n"
                  "msp.add_polyline3d([(0, 0, 0), (1, 2, 3)])\n"
                  "msp.add_mtext('Hello', dxfattribs={'insert': (2, 2)})\n"
                  "h = msp.add_hatch(color=2)\n"
                  "h.paths.add_polyline_path([(0, 0), (1, 0), (1, 1)], is_closed=True)\n"
                  "r = msp.add_blockref('Tag', (4, 4))\n"
                  "r.add_attrib('NO', '7', (4, 4))\n"
                  "msp.add_text('Txt', dxfattribs={'insert': (1, 2), 'rotation': 30})\n"
                  "doc.saveas(r'" +
                  dir.file("src.dxf") + "')\n");
    ASSERT_EQ(made, "");
    const std::string before = runPython(ezdxfSummaryScript(dir.file("src.dxf")));
    std::string error;
    auto db = dxf::readDrawing(dir.file("src.dxf"), error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(dxf::saveDrawing(*db, dir.file("same.dxf"), error)) << error;
    EXPECT_EQ(runPython(ezdxfSummaryScript(dir.file("same.dxf"))), before);
    // Now every entity changed: recoloured, so each is written from the database.
    AcDbBlockTableRecord *ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    const std::vector<AcDbObject *> model = ObjectAccess::entities(*ms);
    EXPECT_EQ(ms->close(), Acad::eOk);
    for (AcDbObject *obj : model) {
        AcDbEntity *ent = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(ent, obj->objectId(), AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(ent->setColorIndex(ent->colorIndex()), Acad::eOk); // no change in value
        EXPECT_EQ(ent->close(), Acad::eOk);
        EXPECT_TRUE(ObjectAccess::modifiedSinceRead(*obj));
    }
    ASSERT_TRUE(dxf::saveDrawing(*db, dir.file("rewritten.dxf"), error)) << error;
    EXPECT_EQ(runPython(ezdxfSummaryScript(dir.file("rewritten.dxf"))), before);
    EXPECT_EQ(runPython("doc = ezdxf.readfile(r'" + dir.file("rewritten.dxf") +
                        "')\n"
                        "l = doc.modelspace().query('LINE')[0]\n"
                        "print(l.dxf.layer)\n"),
              "Walls\n");
    EXPECT_EQ(runPython("doc = ezdxf.readfile(r'" + dir.file("rewritten.dxf") +
                        "')\n"
                        "l = doc.modelspace().query('LINE')[0]\n"
                        "print([tuple(t) for t in l.get_xdata('TEV')])\n"
                        "print(doc.modelspace().query('INSERT')[0].get_attrib_text('NO'))\n"),
              "[(1000, 'x'), (1040, 2.5)]\n7\n");
}

} // namespace
