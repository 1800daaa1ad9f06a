// fixture.cpp - the shared fixture of the module's tests: a fresh drawing and command line
// per test, helpers to build a drawing and read it back, and the checks after every test.
#include "fixture.h"

#include <ostream>

#include "acedads.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "allocator.h"
#include "misuse.h"
#include "command_line.h"

namespace tevtest {

namespace {

// Fails the current test (not the caller) when a host call the fixture relies on fails.
void require(Acad::ErrorStatus es, const char *what) {
    ASSERT_EQ(es, Acad::eOk) << what << ": " << Acad::errorStatusName(es);
}

std::string takeString(char *s) {
    std::string out = s != nullptr ? s : "";
    acutDelString(s);
    return out;
}

} // namespace

std::string cp1251(std::string_view utf8Text) {
    return host::utf8ToCp1251(utf8Text);
}
std::string utf8(std::string_view cp1251Text) {
    return host::cp1251ToUtf8(cp1251Text);
}

void ModuleTest::SetUp() {
    tev::db::alloc::reset();
    tev::db::clearMisuseReports();
    host::CommandLine::reset();
    {
        tev::db::alloc::Exempt exempt; // building the drawing is not under test
        mDb = new AcDbDatabase(/*buildDefaultDrawing=*/true);
    }
    acdbHostApplicationServices()->setWorkingDatabase(mDb);
}

void ModuleTest::TearDown() {
    tev::db::alloc::reset();
    EXPECT_EQ(tev::db::openObjectCount(*mDb), 0u)
        << ::testing::PrintToString(tev::db::objectsLeftOpen(*mDb));
    EXPECT_EQ(host::CommandLine::current().allocatedSelectionSets(), 0u);
    EXPECT_TRUE(tev::db::misuseReports().empty())
        << ::testing::PrintToString(tev::db::misuseReports());
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    delete mDb;
    mDb = nullptr;
}

void ModuleTest::type(std::initializer_list<std::string_view> answers) {
    for (std::string_view a : answers)
        host::CommandLine::current().queue()->push(cp1251(a));
}

void ModuleTest::typeEscape() {
    host::CommandLine::current().queue()->pushEscape();
}

std::size_t ModuleTest::answersLeft() const {
    return host::CommandLine::current().queue()->remaining();
}

std::string ModuleTest::transcript() const {
    return host::CommandLine::current().captured();
}

void ModuleTest::run(void (*command)()) {
    host::CommandLine::current().setRunningModule("tevcom.arx"); // as the command loop does
    command();
}

void ModuleTest::addLayer(const char *name, int color, bool locked) {
    tev::db::alloc::Exempt exempt;
    AcDbLayerTable *table = nullptr;
    require(mDb->getSymbolTable(table, AcDb::kForWrite), "open layer table");
    auto *record = new AcDbLayerTableRecord;
    require(record->setName(name), "layer name");
    AcCmColor c;
    require(c.setColorIndex(static_cast<Adesk::UInt16>(color)), "colour index");
    require(record->setColor(c), "layer colour");
    require(record->setIsLocked(locked), "layer lock");
    require(table->add(record), "add layer");
    require(record->close(), "close layer");
    require(table->close(), "close layer table");
}

void ModuleTest::setLayerLocked(const char *name, bool locked) {
    AcDbLayerTable *table = nullptr;
    require(mDb->getSymbolTable(table, AcDb::kForRead), "open layer table");
    AcDbLayerTableRecord *record = nullptr;
    require(table->getAt(name, record, AcDb::kForWrite), "open layer");
    require(table->close(), "close layer table");
    require(record->setIsLocked(locked), "layer lock");
    require(record->close(), "close layer");
}

void ModuleTest::addLinetype(const char *name) {
    tev::db::alloc::Exempt exempt;
    AcDbLinetypeTable *table = nullptr;
    require(mDb->getSymbolTable(table, AcDb::kForWrite), "open linetype table");
    auto *record = new AcDbLinetypeTableRecord;
    require(record->setName(name), "linetype name");
    require(table->add(record), "add linetype");
    require(record->close(), "close linetype");
    require(table->close(), "close linetype table");
}

AcDbObjectId ModuleTest::append(AcDbEntity *entity, AcDbObjectId space) {
    tev::db::alloc::Exempt exempt;
    if (space.isNull())
        space = mDb->modelSpaceId();
    AcDbBlockTableRecord *record = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = acdbOpenObject(record, space, AcDb::kForWrite);
    EXPECT_EQ(es, Acad::eOk) << "open space: " << Acad::errorStatusName(es);
    if (es != Acad::eOk)
        return id;
    es = record->appendAcDbEntity(id, entity);
    EXPECT_EQ(es, Acad::eOk) << "append: " << Acad::errorStatusName(es);
    if (es == Acad::eOk) {
        EXPECT_EQ(entity->close(), Acad::eOk);
    }
    EXPECT_EQ(record->close(), Acad::eOk);
    return id;
}

AcDbObjectId ModuleTest::addLine(const AcGePoint3d &start, const AcGePoint3d &end, int color,
                                 const char *layer, const char *linetype) {
    AcDbLine *line = nullptr;
    {
        tev::db::alloc::Exempt exempt;
        line = new AcDbLine(start, end);
    }
    EXPECT_EQ(line->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
    EXPECT_EQ(line->setLayer(layer), Acad::eOk) << layer;
    EXPECT_EQ(line->setLinetype(linetype), Acad::eOk) << linetype;
    return append(line);
}

AcDbObjectId ModuleTest::addCircle(const AcGePoint3d &center, double radius, int color,
                                   const char *layer) {
    AcDbCircle *circle = nullptr;
    {
        tev::db::alloc::Exempt exempt;
        circle = new AcDbCircle(center, AcGeVector3d::kZAxis, radius);
    }
    EXPECT_EQ(circle->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
    EXPECT_EQ(circle->setLayer(layer), Acad::eOk) << layer;
    return append(circle);
}

AcDbObjectId ModuleTest::addPolyline(const std::vector<AcGePoint2d> &points, bool closed, int color,
                                     const char *layer) {
    AcDbPolyline *pline = nullptr;
    {
        tev::db::alloc::Exempt exempt;
        pline = new AcDbPolyline;
        for (unsigned int i = 0; i < points.size(); ++i)
            EXPECT_EQ(pline->addVertexAt(i, points[i]), Acad::eOk);
    }
    pline->setClosed(closed);
    EXPECT_EQ(pline->setColorIndex(static_cast<Adesk::UInt16>(color)), Acad::eOk);
    EXPECT_EQ(pline->setLayer(layer), Acad::eOk) << layer;
    return append(pline);
}

std::vector<AcDbObjectId> ModuleTest::entities(AcRxClass *cls, AcDbObjectId space) const {
    if (space.isNull())
        space = mDb->modelSpaceId();
    std::vector<AcDbObjectId> ids;
    AcDbBlockTableRecord *record = nullptr;
    if (acdbOpenObject(record, space, AcDb::kForRead) != Acad::eOk) {
        ADD_FAILURE() << "cannot open the space";
        return ids;
    }
    AcDbBlockTableRecordIterator *it = nullptr;
    if (record->newIterator(it) == Acad::eOk) {
        for (; !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getEntityId(id) != Acad::eOk)
                continue;
            AcDbObject *obj = nullptr;
            if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk) {
                ids.push_back(id); // open elsewhere: still part of the drawing
                continue;
            }
            if (cls == nullptr || obj->isKindOf(cls))
                ids.push_back(id);
            EXPECT_EQ(obj->close(), Acad::eOk);
        }
        delete it;
    }
    EXPECT_EQ(record->close(), Acad::eOk);
    return ids;
}

LineData ModuleTest::lineData(AcDbObjectId id) const {
    LineData data;
    AcDbLine *line = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(line, id, AcDb::kForRead);
    if (es != Acad::eOk) {
        ADD_FAILURE() << "cannot open the line: " << Acad::errorStatusName(es);
        return data;
    }
    data.start = line->startPoint();
    data.end = line->endPoint();
    data.color = line->colorIndex();
    data.layer = takeString(line->layer());
    data.linetype = takeString(line->linetype());
    EXPECT_EQ(line->close(), Acad::eOk);
    return data;
}

std::vector<LineData> ModuleTest::lines() const {
    std::vector<LineData> out;
    for (AcDbObjectId id : entities(AcDbLine::desc()))
        out.push_back(lineData(id));
    return out;
}

int ModuleTest::colorOf(AcDbObjectId id) const {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead, /*openErased=*/true) != Acad::eOk) {
        ADD_FAILURE() << "cannot open the entity";
        return -1;
    }
    const int color = ent->colorIndex();
    EXPECT_EQ(ent->close(), Acad::eOk);
    return color;
}

std::string ModuleTest::linetypeOf(AcDbObjectId id) const {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead, /*openErased=*/true) != Acad::eOk) {
        ADD_FAILURE() << "cannot open the entity";
        return {};
    }
    std::string name = takeString(ent->linetype());
    EXPECT_EQ(ent->close(), Acad::eOk);
    return name;
}

bool ModuleTest::isErased(AcDbObjectId id) const {
    return id.isErased();
}

bool ModuleTest::isHighlighted(AcDbObjectId id) const {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead, /*openErased=*/true) != Acad::eOk) {
        ADD_FAILURE() << "cannot open the entity";
        return false;
    }
    const bool on = ent->isHighlighted();
    EXPECT_EQ(ent->close(), Acad::eOk);
    return on;
}

std::size_t ModuleTest::openObjects() const {
    return tev::db::openObjectCount(*mDb);
}

std::vector<std::string> ModuleTest::takeMisuseReports() {
    std::vector<std::string> reports = tev::db::misuseReports();
    tev::db::clearMisuseReports();
    return reports;
}

} // namespace tevtest

bool samePoint(const AcGePoint3d &a, const AcGePoint3d &b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

std::ostream &operator<<(std::ostream &os, const AcGePoint3d &p) {
    return os << '(' << p.x << ", " << p.y << ", " << p.z << ')';
}

std::ostream &operator<<(std::ostream &os, const tevtest::LineData &l) {
    return os << l.start << "-" << l.end << " colour " << l.color << " layer " << l.layer
              << " linetype " << l.linetype;
}
