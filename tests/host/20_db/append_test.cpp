// append_test.cpp - appending entities: ids, handles, owners and the drawing's defaults;
// entity names; polylines with their vertices; erasing many.
#include "db_fixture.h"
#include "access.h"
#include "spatial.h"

#include <set>
#include <vector>

namespace {

using Append = DbTest;

std::string nameOf(char *copy) {
    std::string s = copy != nullptr ? copy : "<null>";
    acutDelString(copy);
    EXPECT_EQ(copy, nullptr);
    return s;
}

// Test that what the caller left unset takes CECOLOR, CLAYER and CELTYPE on append, and
// that what the caller set stays.
TEST_F(Append, DefaultsFillOnlyWhatWasNotSet) {
    AcDbObjectId walls = addLayer("Walls");
    AcDbLinetypeTable *lt = nullptr;
    ASSERT_EQ(db->getLinetypeTable(lt, AcDb::kForRead), Acad::eOk);
    AcDbObjectId continuous, byBlock;
    ASSERT_EQ(lt->getAt("Continuous", continuous), Acad::eOk);
    ASSERT_EQ(lt->getAt("BYBLOCK", byBlock), Acad::eOk);
    ASSERT_EQ(lt->close(), Acad::eOk);
    ASSERT_EQ(db->setClayer(walls), Acad::eOk);
    ASSERT_EQ(db->setCeltype(continuous), Acad::eOk);
    AcCmColor red;
    ASSERT_EQ(red.setColorIndex(1), Acad::eOk);
    ASSERT_EQ(db->setCecolor(red), Acad::eOk);

    auto *plain = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    EXPECT_EQ(plain->colorIndex(), 257) << "not set yet";
    EXPECT_EQ(plain->layer(), nullptr);
    AcDbObjectId plainId = add(plain);

    auto *set = new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0));
    ASSERT_EQ(set->setColorIndex(0), Acad::eOk); // BYBLOCK is a choice, not "unset"
    ASSERT_EQ(set->setLayer("0"), Acad::eOk);
    ASSERT_EQ(set->setLinetype("ByBlock"), Acad::eOk);
    AcDbObjectId setId = add(set);

    AcDbEntity *e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, plainId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->colorIndex(), 1);
    EXPECT_EQ(e->layerId(), walls);
    EXPECT_EQ(nameOf(e->layer()), "Walls");
    EXPECT_EQ(nameOf(e->linetype()), "Continuous");
    ASSERT_EQ(e->close(), Acad::eOk);
    auto *green = new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1);
    ASSERT_EQ(green->setColorIndex(3), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbEntity(e, add(green), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->colorIndex(), 3);
    EXPECT_EQ(e->layerId(), walls) << "only the colour was set";
    ASSERT_EQ(e->close(), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbEntity(e, setId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->colorIndex(), 0);
    EXPECT_EQ(nameOf(e->layer()), "0");
    EXPECT_EQ(e->linetypeId(), byBlock);
    ASSERT_EQ(e->close(), Acad::eOk);
}

// Test colour index limits: 0..256 accepted, above refused with the colour kept.
TEST_F(Append, ColourIndexAbove256IsRefused) {
    auto *line = new AcDbLine;
    EXPECT_EQ(line->setColorIndex(256), Acad::eOk);
    EXPECT_EQ(line->setColorIndex(300), Acad::eBadColorIndex);
    EXPECT_EQ(line->setColorIndex(257), Acad::eBadColorIndex);
    EXPECT_EQ(line->colorIndex(), 256);
    EXPECT_EQ(line->setColorIndex(3), Acad::eOk);
    EXPECT_EQ(line->color().colorIndex(), 3);
    delete line;
}

// Test that a new entity looks names up in the working database, and says so without one.
TEST_F(Append, NamesOfNewEntitiesNeedTheWorkingDatabase) {
    auto *line = new AcDbLine;
    EXPECT_EQ(line->setLayer("no such layer"), Acad::eKeyNotFound);
    EXPECT_EQ(line->setLinetype("no such type"), Acad::eKeyNotFound);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    EXPECT_EQ(line->setLayer("0"), Acad::eNoDatabase);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
    EXPECT_EQ(line->setLayer("0"), Acad::eOk);
    delete line;
}

// Test that append gives an id, a handle above every earlier one, the record as owner, the
// open-for-write state, and that every handle finds its object again.
TEST_F(Append, HandlesIncreaseAndFindTheirObjects) {
    std::vector<AcDbObjectId> ids;
    std::set<Adesk::UInt64> handles;
    AcDbHandle seedBefore = db->handseed();
    for (int i = 0; i < 50; ++i)
        ids.push_back(addLine(i, 0, i, 1));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_TRUE(handles.insert(ids[i].handle().value()).second) << "duplicate handle";
        EXPECT_GE(ids[i].handle(), seedBefore);
        if (i > 0) {
            EXPECT_GT(ids[i].handle(), ids[i - 1].handle());
        }
        AcDbObjectId found;
        ASSERT_EQ(db->getAcDbObjectId(found, false, ids[i].handle()), Acad::eOk);
        EXPECT_EQ(found, ids[i]);
    }
    EXPECT_GT(db->handseed(), ids.back().handle());
    AcDbObjectId none;
    EXPECT_EQ(db->getAcDbObjectId(none, false, db->handseed()), Acad::eKeyNotFound);
    EXPECT_EQ(db->getAcDbObjectId(none, false, AcDbHandle()), Acad::eNullHandle);

    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
    auto *line = new AcDbLine;
    AcDbObjectId id;
    ASSERT_EQ(rec->appendAcDbEntity(id, line), Acad::eOk);
    EXPECT_EQ(line->objectId(), id);
    EXPECT_EQ(line->ownerId(), ms);
    EXPECT_EQ(line->database(), db.get());
    EXPECT_TRUE(line->isWriteEnabled());
    EXPECT_TRUE(line->isNewObject());
    EXPECT_EQ(rec->appendAcDbEntity(line), Acad::eAlreadyInDb);
    EXPECT_EQ(rec->appendAcDbEntity(nullptr), Acad::eNullEntityPointer);
    ASSERT_EQ(line->close(), Acad::eOk);
    EXPECT_FALSE(line->isNewObject());
    ASSERT_EQ(rec->close(), Acad::eOk);
}

// Test that appending needs the record open for write and leaves the entity the caller's.
TEST_F(Append, RecordMustBeOpenForWrite) {
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForRead), Acad::eOk);
    auto *line = new AcDbLine;
    EXPECT_EQ(rec->appendAcDbEntity(line), Acad::eNotOpenForWrite);
    EXPECT_FALSE(line->isDatabaseResident());
    ASSERT_EQ(rec->close(), Acad::eOk);
    delete line;
    auto *loose = new AcDbBlockTableRecord;
    auto *other = new AcDbLine;
    EXPECT_EQ(loose->appendAcDbEntity(other), Acad::eNotInDatabase);
    delete other;
    delete loose;
}

// Test ads_name round trips, bad names, and that names die with their database.
TEST_F(Append, EntityNamesRoundTrip) {
    AcDbObjectId a = addLine(0, 0, 1, 0), b = addLine(0, 1, 1, 1);
    ads_name na, nb, again;
    ASSERT_EQ(acdbGetAdsName(na, a), Acad::eOk);
    ASSERT_EQ(acdbGetAdsName(nb, b), Acad::eOk);
    ASSERT_EQ(acdbGetAdsName(again, a), Acad::eOk);
    EXPECT_TRUE(ads_name_equal(na, again)) << "one name per object";
    EXPECT_FALSE(ads_name_equal(na, nb));
    AcDbObjectId back;
    ASSERT_EQ(acdbGetObjectId(back, nb), Acad::eOk);
    EXPECT_EQ(back, b);
    ads_name bad = {na[0] + 1000, na[1]};
    EXPECT_EQ(acdbGetObjectId(back, bad), Acad::eInvalidAdsName);
    EXPECT_TRUE(back.isNull());
    ads_name wrongKind = {na[0], 0};
    EXPECT_EQ(acdbGetObjectId(back, wrongKind), Acad::eInvalidAdsName);
    ads_name empty;
    EXPECT_EQ(acdbGetAdsName(empty, AcDbObjectId()), Acad::eNullObjectId);

    auto other = std::make_unique<AcDbDatabase>();
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, other->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto *line = new AcDbLine;
    AcDbObjectId otherId;
    ASSERT_EQ(rec->appendAcDbEntity(otherId, line), Acad::eOk);
    ASSERT_EQ(line->close(), Acad::eOk);
    ASSERT_EQ(rec->close(), Acad::eOk);
    ads_name stale;
    ASSERT_EQ(acdbGetAdsName(stale, otherId), Acad::eOk);
    other.reset();
    EXPECT_EQ(acdbGetObjectId(back, stale), Acad::eInvalidAdsName);
    EXPECT_EQ(acdbGetObjectId(back, na), Acad::eOk) << "this drawing's names still work";
}

// Test a 2D polyline made from points: its vertices are the polyline's until it is
// appended, then database objects owned by it (closed), with a sequence end.
TEST_F(Append, PolylineBringsItsVertices) {
    AcGePoint3dArray pts;
    pts.append(AcGePoint3d(0, 0, 9));
    pts.append(AcGePoint3d(10, 0, 9));
    pts.append(AcGePoint3d(10, 5, 9));
    AcGeDoubleArray bulges;
    bulges.append(0);
    bulges.append(1);
    auto *pl = new AcDb2dPolyline(AcDb::k2dSimplePoly, pts, 2.0, true, 0.5, 0.25, &bulges);
    ASSERT_EQ(pl->setColorIndex(5), Acad::eOk);
    AcDbObjectIterator *it = pl->vertexIterator();
    ASSERT_NE(it, nullptr);
    int n = 0;
    for (; !it->done(); it->step(), ++n) {
        EXPECT_TRUE(it->objectId().isNull()) << "not in a database yet";
        auto *v = AcDb2dVertex::cast(it->entity());
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->position().z, 2.0) << "the polyline's elevation";
        EXPECT_EQ(v->startWidth(), 0.5);
        EXPECT_EQ(v->endWidth(), 0.25);
        EXPECT_EQ(v->bulge(), n == 1 ? 1.0 : 0.0);
    }
    delete it;
    EXPECT_EQ(n, 3);

    AcDbObjectId id = add(pl);
    AcDb2dPolyline *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForRead), Acad::eOk);
    it = open->vertexIterator();
    std::vector<AcDbObjectId> vids;
    for (; !it->done(); it->step())
        vids.push_back(it->objectId());
    delete it;
    ASSERT_EQ(vids.size(), 3u);
    for (AcDbObjectId v : vids) {
        EXPECT_GT(v.handle(), id.handle());
        AcDbEntity *ve = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(ve, v, AcDb::kForRead), Acad::eOk) << "vertices are closed";
        EXPECT_EQ(ve->ownerId(), id);
        EXPECT_EQ(ve->blockId(), ms);
        EXPECT_EQ(ve->colorIndex(), 5) << "vertices take the polyline's colour";
        ASSERT_EQ(ve->close(), Acad::eOk);
    }
    AcDbSequenceEnd *end = nullptr;
    ASSERT_EQ(open->openSequenceEnd(end, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(end->ownerId(), id);
    ASSERT_EQ(end->close(), Acad::eOk);
    ASSERT_EQ(open->close(), Acad::eOk);
}

// Test appendVertex on a polyline in the database: the vertex is appended open for write,
// and erasing the polyline erases its vertices; the iterator skips erased ones on request.
TEST_F(Append, VerticesFollowTheirPolyline) {
    AcGePoint3dArray pts;
    pts.append(AcGePoint3d(0, 0, 0));
    auto *pl = new AcDb3dPolyline(AcDb::k3dSimplePoly, pts);
    AcDbObjectId id = add(pl);
    AcDb3dPolyline *open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, id, AcDb::kForRead), Acad::eOk);
    auto *v = new AcDb3dPolylineVertex(AcGePoint3d(1, 2, 3));
    EXPECT_EQ(open->appendVertex(v), Acad::eNotOpenForWrite);
    ASSERT_EQ(open->upgradeOpen(), Acad::eOk);
    AcDbObjectId vid;
    ASSERT_EQ(open->appendVertex(vid, v), Acad::eOk);
    EXPECT_TRUE(v->isWriteEnabled());
    EXPECT_EQ(open->appendVertex(v), Acad::eAlreadyInDb);
    ASSERT_EQ(v->close(), Acad::eOk);

    AcDbObjectIterator *it = open->vertexIterator();
    AcDbObjectId first = it->objectId();
    delete it;
    AcDbObject *fv = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(fv, first, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(fv->erase(), Acad::eOk);
    ASSERT_EQ(fv->close(), Acad::eOk);
    it = open->vertexIterator();
    EXPECT_EQ(it->objectId(), vid) << "the erased first vertex is skipped";
    it->start();
    it->step(false, /*skipDeleted=*/false);
    EXPECT_TRUE(it->done());
    delete it;

    ASSERT_EQ(open->erase(), Acad::eOk);
    EXPECT_TRUE(vid.isErased());
    ASSERT_EQ(open->erase(false), Acad::eOk);
    EXPECT_FALSE(vid.isErased());
    ASSERT_EQ(open->close(), Acad::eOk);
}

// Test that a vertex or sequence end cannot be appended to a block record by itself.
TEST_F(Append, VertexAloneIsRefused) {
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
    auto *v = new AcDb2dVertex(AcGePoint3d(1, 1, 0));
    EXPECT_EQ(rec->appendAcDbEntity(v), Acad::eIllegalEntityType);
    ASSERT_EQ(rec->close(), Acad::eOk);
    delete v;
}

// Test erasing every other one of many entities: drawing order, ALL and Last see exactly
// the rest (and erasing is a flag, not a removal from the middle of a list).
TEST_F(Append, EraseManyKeepsOrder) {
    constexpr int kCount = 20000;
    std::vector<AcDbObjectId> ids;
    ids.reserve(kCount);
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
    for (int i = 0; i < kCount; ++i) {
        auto *line = new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0));
        AcDbObjectId id;
        ASSERT_EQ(rec->appendAcDbEntity(id, line), Acad::eOk);
        ASSERT_EQ(line->close(), Acad::eOk);
        ids.push_back(id);
    }
    ASSERT_EQ(rec->close(), Acad::eOk);
    for (int i = 1; i < kCount; i += 2) {
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, ids[i], AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(o->erase(), Acad::eOk);
        ASSERT_EQ(o->close(), Acad::eOk);
    }
    std::vector<AcDbObjectId> all = tev::db::selectAll(*db, ms);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kCount / 2));
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], ids[2 * i]);
    EXPECT_EQ(tev::db::lastEntity(*db, ms), ids[kCount - 2]);

    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecordIterator *it = nullptr;
    ASSERT_EQ(rec->newIterator(it, /*atBeginning=*/false), Acad::eOk);
    AcDbObjectId lastSeen;
    ASSERT_EQ(it->getEntityId(lastSeen), Acad::eOk);
    EXPECT_EQ(lastSeen, ids[kCount - 2]) << "backwards start skips the erased last";
    it->step(/*forward=*/false);
    ASSERT_EQ(it->getEntityId(lastSeen), Acad::eOk);
    EXPECT_EQ(lastSeen, ids[kCount - 4]);
    delete it;
    ASSERT_EQ(rec->close(), Acad::eOk);
}

// Test the file side doors: a file's entity keeps its handle, takes the file defaults (not
// the current settings), is closed, and carries kept data and source bytes until changed.
TEST_F(Append, EntitiesFromAFile) {
    struct Kept : tev::db::KeptData {
        explicit Kept(int *d) : destroyed(d) {}
        ~Kept() override { ++*destroyed; }
        int *destroyed;
    };
    int destroyed = 0;
    AcDbObjectId walls = addLayer("Walls");
    ASSERT_EQ(db->setClayer(walls), Acad::eOk);
    auto *line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0));
    tev::db::ObjectAccess::presetHandle(*line, AcDbHandle(0x4F2));
    tev::db::ObjectAccess::setKept(*line, std::make_unique<Kept>(&destroyed));
    static const char kBytes[] = "  0\nLINE\n  5\n4F2\n";
    tev::db::ObjectAccess::setSource(*line, kBytes);
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(rec->close(), Acad::eOk); // a file's entities need no open record
    ASSERT_EQ(tev::db::appendFromFile(*rec, line), Acad::eOk);
    EXPECT_EQ(line->objectId().handle(), AcDbHandle(0x4F2));
    EXPECT_EQ(tev::db::lookupHandle(*db, AcDbHandle(0x4F2)), line->objectId());
    EXPECT_GT(db->handseed(), AcDbHandle(0x4F2));
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u);
    EXPECT_EQ(line->colorIndex(), 256);
    EXPECT_EQ(nameOf(line->layer()), "0") << "a file's entity without 8 is on layer 0";
    EXPECT_EQ(nameOf(line->linetype()), "ByLayer");
    EXPECT_FALSE(tev::db::ObjectAccess::modifiedSinceRead(*line));
    EXPECT_EQ(tev::db::ObjectAccess::source(*line), kBytes);

    AcDbObject *o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, line->objectId(), AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(o->close(), Acad::eOk);
    EXPECT_FALSE(tev::db::ObjectAccess::modifiedSinceRead(*line)) << "a read changes nothing";
    ASSERT_EQ(acdbOpenAcDbObject(o, line->objectId(), AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(o->close(), Acad::eOk);
    EXPECT_TRUE(tev::db::ObjectAccess::modifiedSinceRead(*line));

    auto *clash = new AcDbLine;
    tev::db::ObjectAccess::presetHandle(*clash, AcDbHandle(0x4F2));
    ASSERT_EQ(tev::db::appendFromFile(*rec, clash), Acad::eOk);
    EXPECT_NE(clash->objectId().handle(), AcDbHandle(0x4F2)) << "a taken handle is not reused";
    db.reset();
    EXPECT_EQ(destroyed, 1) << "kept data dies with its object";
    db = std::make_unique<AcDbDatabase>(); // for TearDown
}

} // namespace
