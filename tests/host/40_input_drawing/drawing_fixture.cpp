// drawing_fixture.cpp - the fresh drawing and command line of every drawing test.
#include "drawing_fixture.h"

#include "access.h"
#include "misuse.h"

namespace drawingtest {

void DrawingTest::SetUp() {
    cl = &host::CommandLine::reset();
    db = std::make_unique<AcDbDatabase>(true);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
}

void DrawingTest::TearDown() {
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u) << "objects left open";
    EXPECT_EQ(cl->allocatedSelectionSets(), 0u) << "selection sets left allocated";
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    db.reset();
}

AcDbObjectId DrawingTest::addEntity(AcDbEntity *ent, AcDbObjectId space) {
    if (space.isNull())
        space = db->modelSpaceId();
    AcDbBlockTableRecord *rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, space, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
    return id;
}

AcDbObjectId DrawingTest::addLine(double x1, double y1, double x2, double y2, const char *layer,
                                  AcDbObjectId space) {
    auto *line = new AcDbLine(AcGePoint3d(x1, y1, 0), AcGePoint3d(x2, y2, 0));
    if (layer) {
        EXPECT_EQ(line->setLayer(layer), Acad::eOk);
    }
    return addEntity(line, space);
}

AcDbObjectId DrawingTest::addCircle(double cx, double cy, double r) {
    return addEntity(new AcDbCircle(AcGePoint3d(cx, cy, 0), AcGeVector3d(0, 0, 1), r));
}

void DrawingTest::addLayer(const char *name, bool frozen, bool locked, bool off) {
    AcDbLayerTable *table = nullptr;
    ASSERT_EQ(db->getSymbolTable(table, AcDb::kForWrite), Acad::eOk);
    auto *layer = new AcDbLayerTableRecord;
    EXPECT_EQ(layer->setName(name), Acad::eOk);
    EXPECT_EQ(table->add(layer), Acad::eOk);
    EXPECT_EQ(layer->setIsFrozen(frozen), Acad::eOk);
    EXPECT_EQ(layer->setIsLocked(locked), Acad::eOk);
    EXPECT_EQ(layer->setIsOff(off), Acad::eOk);
    EXPECT_EQ(layer->close(), Acad::eOk);
    EXPECT_EQ(table->close(), Acad::eOk);
}

AcDbObjectId DrawingTest::addBlock(const char *name) {
    AcDbBlockTable *table = nullptr;
    EXPECT_EQ(db->getSymbolTable(table, AcDb::kForWrite), Acad::eOk);
    auto *rec = new AcDbBlockTableRecord;
    EXPECT_EQ(rec->setName(name), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(table->close(), Acad::eOk);
    return id;
}

AcDbObjectId DrawingTest::addInsert(AcDbObjectId block, double x, double y, AcDbObjectId space) {
    return addEntity(new AcDbBlockReference(AcGePoint3d(x, y, 0), block), space);
}

std::vector<AcDbObjectId> DrawingTest::modelEntities() {
    AcDbBlockTableRecord *rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    std::vector<AcDbObjectId> out;
    for (AcDbObject *obj : tev::db::ObjectAccess::entities(*rec))
        if (!obj->isErased())
            out.push_back(obj->objectId());
    EXPECT_EQ(rec->close(), Acad::eOk);
    return out;
}

std::vector<long> DrawingTest::nameOf(AcDbObjectId id) {
    ads_name n;
    EXPECT_EQ(acdbGetAdsName(n, id), Acad::eOk);
    return {n[0], n[1]};
}

AcDbObjectId DrawingTest::idOf(const ads_name n) {
    AcDbObjectId id;
    EXPECT_EQ(acdbGetObjectId(id, n), Acad::eOk);
    return id;
}

int occurrences(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (std::size_t at = hay.find(needle); at != std::string::npos;
         at = hay.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace drawingtest
