// db_fixture.cpp - the fixture's helpers; each asserts the statuses it relies on.
#include "db_fixture.h"

void DbTest::SetUp() {
    tev::db::alloc::reset();
    tev::db::clearMisuseReports();
    db = std::make_unique<AcDbDatabase>();
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
    ms = db->modelSpaceId();
}

void DbTest::TearDown() {
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u)
        << ::testing::PrintToString(tev::db::objectsLeftOpen(*db));
    db.reset();
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
    tev::db::alloc::reset();
}

AcDbObjectId DbTest::add(AcDbEntity *ent, AcDbObjectId space) {
    AcDbBlockTableRecord *rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, space.isNull() ? ms : space, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(rec->appendAcDbEntity(id, ent), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    return id;
}

AcDbObjectId DbTest::addLine(double x0, double y0, double x1, double y1, AcDbObjectId space) {
    return add(new AcDbLine(AcGePoint3d(x0, y0, 0), AcGePoint3d(x1, y1, 0)), space);
}

AcDbObjectId DbTest::addLayer(const char *name, bool locked, bool off, bool frozen) {
    AcDbLayerTable *table = nullptr;
    EXPECT_EQ(db->getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    auto *rec = new AcDbLayerTableRecord;
    EXPECT_EQ(rec->setName(name), Acad::eOk);
    EXPECT_EQ(rec->setIsLocked(locked), Acad::eOk);
    EXPECT_EQ(rec->setIsOff(off), Acad::eOk);
    EXPECT_EQ(rec->setIsFrozen(frozen), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(table->close(), Acad::eOk);
    return id;
}

AcDbObjectId DbTest::addBlock(const char *name, AcGePoint3d origin) {
    AcDbBlockTable *table = nullptr;
    EXPECT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto *rec = new AcDbBlockTableRecord;
    EXPECT_EQ(rec->setName(name), Acad::eOk);
    EXPECT_EQ(rec->setOrigin(origin), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(table->close(), Acad::eOk);
    return id;
}

void DbTest::setLayerLocked(AcDbObjectId layer, bool locked) {
    AcDbLayerTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, layer, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rec->setIsLocked(locked), Acad::eOk);
    EXPECT_EQ(rec->close(), Acad::eOk);
}
