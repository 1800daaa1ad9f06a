// make_plan.cpp - writes the sample floor plan (examples/plan.dxf) with the host's own
// database and DXF writer: walls, rooms and furniture on coloured layers, and a block
// (a table with chairs) inserted in two rooms.
//
// Usage: tev_make_plan OUT.dxf
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpl.h"
#include "dbsymtb.h"
#include "dxf_io.h"

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>

namespace {

struct LayerDef {
    const char *name;
    Adesk::UInt16 color;
};

bool addLayers(AcDbDatabase &db, std::initializer_list<LayerDef> layers) {
    AcDbLayerTable *table = nullptr;
    if (db.getSymbolTable(table, AcDb::kForWrite) != Acad::eOk)
        return false;
    bool ok = true;
    for (const LayerDef &l : layers) {
        auto *rec = new AcDbLayerTableRecord;
        (void)rec->setName(l.name);
        AcCmColor color;
        (void)color.setColorIndex(l.color);
        (void)rec->setColor(color);
        if (table->add(rec) != Acad::eOk) {
            delete rec;
            ok = false;
            continue;
        }
        (void)rec->close();
    }
    (void)table->close();
    return ok;
}

// Appends entity to the record, on layer; ByLayer unless color is given.
void put(AcDbBlockTableRecord *space, AcDbEntity *entity, const char *layer, int color = 256) {
    (void)entity->setLayer(layer);
    (void)entity->setColorIndex(static_cast<Adesk::UInt16>(color));
    if (space->appendAcDbEntity(entity) == Acad::eOk)
        (void)entity->close();
    else
        delete entity;
}

AcDbPolyline *rectangle(double x0, double y0, double x1, double y1, double width = 0) {
    auto *pl = new AcDbPolyline;
    const double pts[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (unsigned i = 0; i < 4; ++i)
        (void)pl->addVertexAt(i, AcGePoint2d(pts[i][0], pts[i][1]), 0, width, width);
    (void)pl->setClosed(true);
    return pl;
}

AcDbLine *line(double x0, double y0, double x1, double y1) {
    return new AcDbLine(AcGePoint3d(x0, y0, 0), AcGePoint3d(x1, y1, 0));
}

// The block "TABLE4": a table with four chairs around it, drawn ByBlock so that every
// reference shows it in its own colour.
AcDbObjectId makeTableBlock(AcDbDatabase &db) {
    AcDbBlockTable *blocks = nullptr;
    if (db.getSymbolTable(blocks, AcDb::kForWrite) != Acad::eOk)
        return AcDbObjectId();
    auto *rec = new AcDbBlockTableRecord;
    (void)rec->setName("TABLE4");
    AcDbObjectId id;
    if (blocks->add(id, rec) != Acad::eOk) {
        delete rec;
        (void)blocks->close();
        return AcDbObjectId();
    }
    (void)blocks->close();
    put(rec, rectangle(-800, -450, 800, 450), "FURNITURE", 0);
    for (double x : {-400.0, 400.0}) {
        put(rec, new AcDbCircle(AcGePoint3d(x, 750, 0), AcGeVector3d(0, 0, 1), 220), "FURNITURE",
            0);
        put(rec, new AcDbCircle(AcGePoint3d(x, -750, 0), AcGeVector3d(0, 0, 1), 220), "FURNITURE",
            0);
    }
    (void)rec->close();
    return id;
}

void drawPlan(AcDbDatabase &db, AcDbObjectId table) {
    AcDbBlockTableRecord *ms = nullptr;
    if (acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite) != Acad::eOk)
        return;
    // Outer walls: a wide closed polyline; inner walls: lines.
    put(ms, rectangle(0, 0, 12000, 8000, 250), "WALLS");
    put(ms, line(5000, 0, 5000, 5200), "WALLS");
    put(ms, line(5000, 6200, 5000, 8000), "WALLS");
    put(ms, line(5000, 4500, 12000, 4500), "WALLS");
    put(ms, line(8500, 0, 8500, 4500), "WALLS");
    // Doors: an arc swing and a leaf.
    put(ms, new AcDbArc(AcGePoint3d(5000, 5200, 0), 1000, 0, 3.14159265358979 / 2), "DOORS");
    put(ms, line(5000, 5200, 6000, 5200), "DOORS");
    // Windows in their own colour, not ByLayer.
    put(ms, line(1500, 8000, 3500, 8000), "WINDOWS", 5);
    put(ms, line(7000, 8000, 10000, 8000), "WINDOWS", 5);
    // Two tables.
    for (auto at : {AcGePoint3d(2500, 4000, 0), AcGePoint3d(8500, 6300, 0)}) {
        auto *ref = new AcDbBlockReference(at, table);
        put(ms, ref, "FURNITURE", 30);
    }
    auto *label = new AcDbText(AcGePoint3d(600, 600, 0), "Plan 1", AcDbObjectId(), 350, 0);
    put(ms, label, "TEXT");
    (void)ms->close();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tev_make_plan OUT.dxf\n");
        return 2;
    }
    auto db = std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
    if (!addLayers(*db,
                   {{"WALLS", 7}, {"DOORS", 3}, {"WINDOWS", 4}, {"FURNITURE", 2}, {"TEXT", 1}})) {
        std::fprintf(stderr, "tev_make_plan: cannot add the layers\n");
        return 1;
    }
    drawPlan(*db, makeTableBlock(*db));
    std::string error;
    bool ok = dxf::saveDrawing(*db, argv[1], error);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    if (!ok) {
        std::fprintf(stderr, "tev_make_plan: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
