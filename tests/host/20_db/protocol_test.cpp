// protocol_test.cpp - the open/close protocol: many readers or one writer, erased objects,
// locked layers, upgrade and downgrade, and the misuse the database refuses and records.
#include "db_fixture.h"

#include <vector>

namespace {

struct OpenCase {
    const char *name;
    int readers; // read opens already held
    bool writer; // a write open already held
    bool erased; // the object is erased
    AcDb::OpenMode mode;
    bool openErased;
    Acad::ErrorStatus expected;
};

const OpenCase kOpenCases[] = {
    // name                       readers writer erased mode            openErased expected
    {"closed, read", 0, false, false, AcDb::kForRead, false, Acad::eOk},
    {"closed, write", 0, false, false, AcDb::kForWrite, false, Acad::eOk},
    {"one reader, read", 1, false, false, AcDb::kForRead, false, Acad::eOk},
    {"two readers, read", 2, false, false, AcDb::kForRead, false, Acad::eOk},
    {"one reader, write", 1, false, false, AcDb::kForWrite, false, Acad::eWasOpenForRead},
    {"writer, read", 0, true, false, AcDb::kForRead, false, Acad::eWasOpenForWrite},
    {"writer, write", 0, true, false, AcDb::kForWrite, false, Acad::eWasOpenForWrite},
    {"erased, read", 0, false, true, AcDb::kForRead, false, Acad::eWasErased},
    {"erased, write", 0, false, true, AcDb::kForWrite, false, Acad::eWasErased},
    {"erased, read, openErased", 0, false, true, AcDb::kForRead, true, Acad::eOk},
    {"erased, write, openErased", 0, false, true, AcDb::kForWrite, true, Acad::eOk},
    {"closed, notify", 0, false, false, AcDb::kForNotify, false, Acad::eInvalidOpenState},
};

class OpenTable : public DbTest, public ::testing::WithParamInterface<OpenCase> {};

// Test that each open mode against each state gives the host's status, leaves the state
// as it was on failure, and that closing everything returns the count to zero.
TEST_P(OpenTable, OpenGivesTheHostsStatus) {
    const OpenCase &c = GetParam();
    AcDbObjectId id = addLine(0, 0, 1, 1);
    std::vector<AcDbObject *> held;
    if (c.erased) {
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(o->erase(), Acad::eOk);
        ASSERT_EQ(o->close(), Acad::eOk);
    }
    for (int i = 0; i < c.readers; ++i) {
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead, c.erased), Acad::eOk);
        held.push_back(o);
    }
    if (c.writer) {
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite, c.erased), Acad::eOk);
        held.push_back(o);
    }
    std::size_t before = tev::db::openObjectCount(*db);

    AcDbObject *obj = reinterpret_cast<AcDbObject *>(0x1);
    EXPECT_EQ(acdbOpenAcDbObject(obj, id, c.mode, c.openErased), c.expected) << c.name;
    if (c.expected == Acad::eOk) {
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->objectId(), id);
        EXPECT_EQ(obj->isWriteEnabled(), c.mode == AcDb::kForWrite);
        EXPECT_TRUE(obj->isReadEnabled());
        EXPECT_EQ(tev::db::openObjectCount(*db), 1u);
        held.push_back(obj);
    } else {
        EXPECT_EQ(obj, nullptr) << "a failed open must clear the pointer";
        EXPECT_EQ(tev::db::openObjectCount(*db), before);
    }
    for (AcDbObject *o : held)
        EXPECT_EQ(o->close(), Acad::eOk);
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u);
}

INSTANTIATE_TEST_SUITE_P(Db, OpenTable, ::testing::ValuesIn(kOpenCases),
                         [](const ::testing::TestParamInfo<OpenCase> &info) {
                             std::string n = info.param.name;
                             for (char &ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

using Protocol = DbTest;

// Test that a null id is refused, and that acdbOpenAcDbEntity refuses a non-entity.
TEST_F(Protocol, NullIdAndNonEntity) {
    AcDbObject *obj = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(obj, AcDbObjectId(), AcDb::kForRead), Acad::eNullObjectId);
    AcDbEntity *ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, db->layerTableId(), AcDb::kForRead), Acad::eNotAnEntity);
    EXPECT_EQ(ent, nullptr);
    AcDbLine *line = nullptr;
    EXPECT_EQ(acdbOpenObject(line, db->clayer(), AcDb::kForRead), Acad::eNotThatKindOfClass);
    EXPECT_EQ(line, nullptr);
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u) << "a failed class test leaves nothing open";
}

// Test that 256 readers are allowed, the 257th is refused, and each close ends one.
TEST_F(Protocol, AtMostTwoHundredFiftySixReaders) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    AcDbObject *o = nullptr;
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead), Acad::eOk) << i;
    AcDbObject *extra = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(extra, id, AcDb::kForRead), Acad::eAtMaxReaders);
    EXPECT_EQ(extra, nullptr);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(o->close(), Acad::eOk) << i;
    EXPECT_TRUE(o->isReadEnabled()) << "one reader is left";
    ASSERT_EQ(o->close(), Acad::eOk);
    EXPECT_FALSE(o->isReadEnabled());
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u);
}

// Test that an entity on a locked layer refuses a write open and an upgrade, but reads.
TEST_F(Protocol, LockedLayerRefusesWrite) {
    AcDbObjectId layer = addLayer("Locked", /*locked=*/true);
    auto *line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    ASSERT_EQ(line->setLayer(layer), Acad::eOk);
    AcDbObjectId id = add(line); // appending works: the new entity was the caller's

    AcDbEntity *ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOnLockedLayer);
    EXPECT_EQ(ent, nullptr);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ent->upgradeOpen(), Acad::eOnLockedLayer);
    EXPECT_FALSE(ent->isWriteEnabled());
    EXPECT_EQ(ent->close(), Acad::eOk);

    setLayerLocked(layer, false);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(ent->close(), Acad::eOk);
    EXPECT_TRUE(tev::db::misuseReports().empty());
}

// Test upgradeOpen and downgradeOpen: one reader upgrades, two do not.
TEST_F(Protocol, UpgradeAndDowngrade) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    AcDbObject *a = nullptr, *b = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(a->upgradeOpen(), Acad::eHadMultipleReaders);
    ASSERT_EQ(b->close(), Acad::eOk);
    EXPECT_EQ(a->upgradeOpen(), Acad::eOk);
    EXPECT_TRUE(a->isWriteEnabled());
    EXPECT_EQ(a->upgradeOpen(), Acad::eWasOpenForWrite);
    EXPECT_EQ(a->downgradeOpen(), Acad::eOk);
    EXPECT_FALSE(a->isWriteEnabled());
    EXPECT_EQ(a->downgradeOpen(), Acad::eWasNotOpenForWrite);
    EXPECT_EQ(a->close(), Acad::eOk);
}

// Test erase and un-erase: write access needed, statuses for the wrong state, and an
// erased object opens only with openErased.
TEST_F(Protocol, EraseAndUnerase) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    AcDbObject *o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(o->erase(), Acad::eNotOpenForWrite);
    EXPECT_FALSE(o->isErased());
    ASSERT_EQ(o->close(), Acad::eOk);

    ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(o->erase(false), Acad::eWasNotErased);
    EXPECT_EQ(o->erase(), Acad::eOk);
    EXPECT_TRUE(o->isErased());
    EXPECT_TRUE(id.isErased());
    EXPECT_EQ(o->erase(), Acad::eWasErased);
    ASSERT_EQ(o->close(), Acad::eOk);

    EXPECT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead), Acad::eWasErased);
    ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite, /*openErased=*/true), Acad::eOk);
    EXPECT_EQ(o->erase(false), Acad::eOk);
    ASSERT_EQ(o->close(), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(o->isErased());
    ASSERT_EQ(o->close(), Acad::eOk);
}

// Test that setters refuse an object open only for read, change nothing and record it.
TEST_F(Protocol, SetterOnReadOpenObjectIsRefused) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    AcDbLine *line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(line->setEndPoint(AcGePoint3d(5, 5, 0)), Acad::eNotOpenForWrite);
    EXPECT_EQ(line->setColorIndex(1), Acad::eNotOpenForWrite);
    EXPECT_EQ(line->endPoint(), AcGePoint3d(1, 0, 0));
    EXPECT_NE(line->colorIndex(), 1);
    ASSERT_EQ(line->close(), Acad::eOk);
    ASSERT_EQ(tev::db::misuseReports().size(), 2u);
    EXPECT_NE(tev::db::misuseReports()[0].find("not open for write"), std::string::npos);
}

// Test the misuse log: second write open, write open of a read-open object, close of a
// closed object, close of a new object never appended; and the report of what is left open.
TEST_F(Protocol, MisuseIsRefusedAndRecorded) {
    AcDbObjectId id = addLine(0, 0, 1, 0);
    char handle[17];
    id.handle().getIntoAsciiBuffer(handle);
    AcDbObject *w = nullptr, *again = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(w, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(again, id, AcDb::kForWrite), Acad::eWasOpenForWrite);

    std::vector<std::string> left = tev::db::objectsLeftOpen(*db);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], std::string("AcDbLine ") + handle + " open for write");
    ASSERT_EQ(w->close(), Acad::eOk);

    AcDbObject *r = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(r, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(again, id, AcDb::kForWrite), Acad::eWasOpenForRead);
    ASSERT_EQ(r->close(), Acad::eOk);
    EXPECT_EQ(r->close(), Acad::eNotOpenForRead);

    auto *fresh = new AcDbLine;
    EXPECT_EQ(fresh->close(), Acad::eNotInDatabase);
    delete fresh; // still the caller's

    const auto &log = tev::db::misuseReports();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], std::string("second write open of AcDbLine ") + handle);
    EXPECT_EQ(log[1], std::string("write open of AcDbLine ") + handle + " that is open for read");
    EXPECT_EQ(log[2], std::string("close of AcDbLine ") + handle + " that is not open");
    EXPECT_EQ(log[3], "close of new AcDbLine that was never appended");
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u);
}

// Test that deleting an appended entity is recorded and leaves the database usable: its
// record no longer lists it and its id no longer opens.
TEST_F(Protocol, DeletingADatabaseObjectIsSurvived) {
    AcDbObjectId keep = addLine(0, 0, 1, 0);
    AcDbObjectId gone = addLine(0, 1, 1, 1);
    AcDbObject *o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, gone, AcDb::kForWrite), Acad::eOk);
    delete o;
    EXPECT_EQ(tev::db::openObjectCount(*db), 0u);
    ASSERT_EQ(tev::db::misuseReports().size(), 1u);
    EXPECT_EQ(acdbOpenAcDbObject(o, gone, AcDb::kForRead), Acad::ePermanentlyErased);

    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecordIterator *it = nullptr;
    ASSERT_EQ(rec->newIterator(it), Acad::eOk);
    std::vector<AcDbObjectId> seen;
    for (; !it->done(); it->step()) {
        AcDbObjectId id;
        ASSERT_EQ(it->getEntityId(id), Acad::eOk);
        seen.push_back(id);
    }
    delete it;
    ASSERT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(seen, std::vector<AcDbObjectId>{keep});
}

} // namespace
