// Tests of the shared entity and system-variable services: the class test, opening with a
// class check, system variables, appending to the current space, lines, colour, linetype
// and highlight by id.
#include "fixture.h"
#include "services.h"

#include <cstdlib>
#include <string>

#include "adscodes.h"
#include "acedads.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "allocator.h"
#include "sysvars.h"

namespace {

using tevtest::ModuleTest;

// An object of the runtime that reports no class at all.
class Classless : public AcRxObject {
public:
    AcRxClass *isA() const override { return nullptr; }
};

void setTileMode(short mode) {
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = mode;
    ASSERT_EQ(acedSetVar("TILEMODE", &rb), RTNORM);
}

void setCeColor(const char *text) {
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<char *>(text);
    ASSERT_EQ(acedSetVar("CECOLOR", &rb), RTNORM);
}

// Test that the class test takes the class itself, its descendants and a classless object,
// and refuses unrelated classes and ancestors.
TEST_F(ModuleTest, ClassTestFollowsTheHierarchy) {
    AcDbObjectId lineId = addLine({0, 0, 0}, {1, 0, 0});
    AcDbObject *line = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(line, lineId, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(passesClassTest(line, AcDbLine::desc()));
    EXPECT_TRUE(passesClassTest(line, AcDbCurve::desc()));
    EXPECT_TRUE(passesClassTest(line, AcDbEntity::desc()));
    EXPECT_TRUE(passesClassTest(line, AcDbObject::desc()));
    EXPECT_FALSE(passesClassTest(line, AcDbCircle::desc()));
    EXPECT_FALSE(passesClassTest(line, AcDbPolyline::desc()));
    EXPECT_EQ(line->close(), Acad::eOk);

    AcDbObjectId circleId = addCircle({0, 0, 0}, 2);
    AcDbObject *circle = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(circle, circleId, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(passesClassTest(circle, AcDbLine::desc()));
    EXPECT_EQ(circle->close(), Acad::eOk);

    Classless nobody;
    EXPECT_TRUE(passesClassTest(&nobody, AcDbLine::desc()));
}

// Test that openEntityAs gives the object open in the mode asked for when its class fits.
TEST_F(ModuleTest, OpenEntityAsOpensAMatchingClassInItsMode) {
    AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
    AcDbObject *write = openEntityAs(id, AcDb::kForWrite, AcDbLine::desc());
    ASSERT_NE(write, nullptr);
    EXPECT_TRUE(write->isWriteEnabled());
    EXPECT_EQ(write->objectId(), id);
    EXPECT_EQ(openObjects(), 1u);
    EXPECT_EQ(write->close(), Acad::eOk);

    AcDbObject *read = openEntityAs(id, AcDb::kForRead, AcDbEntity::desc());
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->isReadEnabled());
    EXPECT_FALSE(read->isWriteEnabled());
    EXPECT_EQ(read->close(), Acad::eOk);
}

// Test that a wrong class, an erased object, a null id and an object already open for
// write all give none and leave nothing (new) open.
TEST_F(ModuleTest, OpenEntityAsRefusesWithoutLeavingAnythingOpen) {
    AcDbObjectId circle = addCircle({0, 0, 0}, 2);
    EXPECT_EQ(openEntityAs(circle, AcDb::kForRead, AcDbLine::desc()), nullptr);
    EXPECT_EQ(openEntityAs(circle, AcDb::kForWrite, AcDbLine::desc()), nullptr);
    EXPECT_EQ(openObjects(), 0u);

    EXPECT_EQ(openEntityAs(AcDbObjectId(), AcDb::kForRead, AcDbEntity::desc()), nullptr);

    AcDbObjectId erased = addLine({0, 0, 0}, {1, 0, 0});
    AcDbObject *obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, erased, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->erase(true), Acad::eOk);
    ASSERT_EQ(obj->close(), Acad::eOk);
    EXPECT_EQ(openEntityAs(erased, AcDb::kForRead, AcDbLine::desc()), nullptr);

    AcDbObjectId held = addLine({0, 0, 0}, {2, 0, 0});
    AcDbObject *holder = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(holder, held, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(openEntityAs(held, AcDb::kForRead, AcDbLine::desc()), nullptr);
    EXPECT_EQ(openObjects(), 1u); // only the test's own open
    EXPECT_EQ(holder->close(), Acad::eOk);
}

// Test that an integer variable is read sign-extended, and that an unknown name gives 3
// and leaves the value alone.
TEST_F(ModuleTest, GetSysVarShortReadsSignExtendedOrLeavesTheValue) {
    int value = 42;
    EXPECT_EQ(getSysVarShort("TILEMODE", value), 0);
    EXPECT_EQ(value, 1);
    setTileMode(0);
    EXPECT_EQ(getSysVarShort("tilemode", value), 0);
    EXPECT_EQ(value, 0);

    host::setErrno(-1);
    value = 42;
    EXPECT_EQ(getSysVarShort("ERRNO", value), 0);
    EXPECT_EQ(value, -1);

    value = 42;
    EXPECT_EQ(getSysVarShort("NOSUCHVARIABLE", value), kStatusSysVarUnreadable);
    EXPECT_EQ(value, 42);
    // A text variable is no integer: its text is freed and the value left.
    EXPECT_EQ(getSysVarShort("CECOLOR", value), kStatusSysVarUnreadable);
    EXPECT_EQ(value, 42);
}

// Test that a text variable comes back as an owned string, and an unreadable one as an
// empty string rather than null.
TEST_F(ModuleTest, GetSysVarStringGivesAnOwnedString) {
    char *color = getSysVarString("CECOLOR");
    ASSERT_NE(color, nullptr);
    EXPECT_STREQ(color, "BYLAYER");
    std::free(color);

    setCeColor("3");
    color = getSysVarString("CECOLOR");
    ASSERT_NE(color, nullptr);
    EXPECT_STREQ(color, "3");
    std::free(color);

    char *unknown = getSysVarString("NOSUCHVARIABLE");
    ASSERT_NE(unknown, nullptr);
    EXPECT_STREQ(unknown, "");
    std::free(unknown);
}

// Test that TILEMODE 1 appends to model space and TILEMODE 0 to paper space, each new
// entity closed and owned by the database.
TEST_F(ModuleTest, AddToCurrentSpaceFollowsTileMode) {
    auto *model = new AcDbLine({0, 0, 0}, {1, 1, 0});
    AcDbObjectId modelId;
    ASSERT_EQ(addToCurrentSpace(model, modelId), 0);
    EXPECT_FALSE(modelId.isNull());

    setTileMode(0);
    auto *paper = new AcDbLine({2, 2, 0}, {3, 3, 0});
    AcDbObjectId paperId;
    ASSERT_EQ(addToCurrentSpace(paper, paperId), 0);

    EXPECT_EQ(entities(nullptr, db()->modelSpaceId()), std::vector<AcDbObjectId>{modelId});
    EXPECT_EQ(entities(nullptr, db()->paperSpaceId()), std::vector<AcDbObjectId>{paperId});
    EXPECT_EQ(openObjects(), 0u);
}

// Test that without a working database nothing is touched: 124, the entity stays new
// and the caller's.
TEST_F(ModuleTest, AddToCurrentSpaceWithoutDatabaseGives124) {
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    auto *line = new AcDbLine({0, 0, 0}, {1, 1, 0});
    AcDbObjectId id;
    EXPECT_EQ(addToCurrentSpace(line, id), kStatusNoDatabase);
    acdbHostApplicationServices()->setWorkingDatabase(db());
    EXPECT_TRUE(id.isNull());
    EXPECT_FALSE(line->isDatabaseResident());
    EXPECT_EQ(openObjects(), 0u);
    EXPECT_TRUE(entities().empty());
    delete line;
}

// Test that a space record that cannot be opened for write leaves the entity with the
// caller, unappended, and the block table closed; the status of the open is returned.
TEST_F(ModuleTest, AddToCurrentSpaceWhenTheSpaceCannotBeOpened) {
    AcDbObject *space = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(space, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    auto *line = new AcDbLine({0, 0, 0}, {1, 1, 0});
    AcDbObjectId id;
    EXPECT_EQ(addToCurrentSpace(line, id), Acad::eWasOpenForRead);
    EXPECT_EQ(takeMisuseReports().size(), 1u); // the refused write open of the record
    EXPECT_FALSE(line->isDatabaseResident());
    EXPECT_EQ(openObjects(), 1u); // the test's read open only
    EXPECT_EQ(space->close(), Acad::eOk);
    EXPECT_TRUE(entities().empty());
    delete line;
}

// Test that a failed append closes the record and the table but not the entity, and
// returns the append's status.
TEST_F(ModuleTest, AddToCurrentSpaceWhenTheAppendFails) {
    AcDbObjectId existing = addLine({0, 0, 0}, {1, 0, 0});
    AcDbEntity *line = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(line, existing, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(addToCurrentSpace(line, id), Acad::eAlreadyInDb);
    EXPECT_TRUE(line->isWriteEnabled()); // still open: not closed by the service
    EXPECT_EQ(openObjects(), 1u);
    EXPECT_EQ(line->close(), Acad::eOk);
    EXPECT_EQ(entities().size(), 1u);
}

// Test that createLine appends a line with the given points and the drawing's current
// colour, layer and linetype.
TEST_F(ModuleTest, CreateLineAppendsALine) {
    EXPECT_EQ(createLine({1, 2, 3}, {4, 5, 6}), 0);
    auto all = lines();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_PRED2(samePoint, all[0].start, AcGePoint3d(1, 2, 3));
    EXPECT_PRED2(samePoint, all[0].end, AcGePoint3d(4, 5, 6));
    EXPECT_EQ(all[0].color, 256);
    EXPECT_EQ(all[0].layer, "0");
    EXPECT_TRUE(transcript().empty());
}

// Test that a line the allocator cannot give is reported with the alert and 6, and the
// drawing is unchanged.
TEST_F(ModuleTest, CreateLineOutOfMemory) {
    {
        tev::db::alloc::ScopedFailure fail(1);
        EXPECT_EQ(createLine({0, 0, 0}, {1, 1, 0}), kStatusNoMemory);
    }
    EXPECT_EQ(transcript(), "\n** ALERT: Not enough memory to create a Line! **\n");
    EXPECT_TRUE(entities().empty());
}

// Test that a line that cannot be appended is deleted, not leaked, and the status given.
TEST_F(ModuleTest, CreateLineThatCannotBeAppendedIsDeleted) {
    const long before = tev::db::alloc::liveObjects();
    AcDbObject *space = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(space, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(createLine({0, 0, 0}, {1, 1, 0}), Acad::eWasOpenForRead);
    EXPECT_EQ(takeMisuseReports().size(), 1u); // the refused write open of the record
    EXPECT_EQ(space->close(), Acad::eOk);
    EXPECT_EQ(tev::db::alloc::liveObjects(), before);
    EXPECT_TRUE(entities().empty());
}

// Test that colours pass unchanged (ByBlock and ByLayer included), that the host's refusal
// of an index above 256 keeps the old colour, and that the setter answers 0 throughout.
TEST_F(ModuleTest, SetEntityColorPassesTheIndexOn) {
    AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0}, 3);
    EXPECT_EQ(setEntityColor(id, 256), 0);
    EXPECT_EQ(colorOf(id), 256);
    EXPECT_EQ(setEntityColor(id, 0), 0);
    EXPECT_EQ(colorOf(id), 0);
    EXPECT_EQ(setEntityColor(id, 5), 0);
    EXPECT_EQ(colorOf(id), 5);
    EXPECT_EQ(setEntityColor(id, kPickEnter), 0);
    EXPECT_EQ(colorOf(id), 5);
    EXPECT_EQ(setEntityColor(id, kPickMissed), 0);
    EXPECT_EQ(colorOf(id), 5);
}

// Test that getEntityColor reads the stored index, and that an entity on a locked layer
// (which refuses the write open) is not opened and answers no colour.
TEST_F(ModuleTest, GetEntityColorReadsTheStoredIndex) {
    addLayer("Locked", 2, /*locked=*/true);
    AcDbObjectId plain = addLine({0, 0, 0}, {1, 0, 0}, 7);
    AcDbObjectId byLayer = addLine({0, 1, 0}, {1, 1, 0}, 256);
    AcDbObjectId locked = addLine({0, 2, 0}, {1, 2, 0}, 4, "Locked");
    EXPECT_EQ(getEntityColor(plain), 7);
    EXPECT_EQ(getEntityColor(byLayer), 256);
    EXPECT_EQ(getEntityColor(locked), -1);
    EXPECT_EQ(colorOf(locked), 4);
}

// Test that the setters leave an entity on a locked layer as it was and still answer 0.
TEST_F(ModuleTest, SettersLeaveLockedEntitiesAlone) {
    addLayer("Locked", 2, /*locked=*/true);
    addLinetype("DASHED");
    AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0}, 4, "Locked");
    EXPECT_EQ(setEntityColor(id, 1), 0);
    EXPECT_EQ(setEntityLinetype(id, "DASHED"), 0);
    EXPECT_EQ(colorOf(id), 4);
    EXPECT_EQ(linetypeOf(id), "ByLayer");
}

// Test that a known linetype is set and an unknown one leaves the entity's own.
TEST_F(ModuleTest, SetEntityLinetypeByName) {
    addLinetype("DASHED");
    AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
    EXPECT_EQ(setEntityLinetype(id, "DASHED"), 0);
    EXPECT_EQ(linetypeOf(id), "DASHED");
    EXPECT_EQ(setEntityLinetype(id, "NOSUCHTYPE"), 0);
    EXPECT_EQ(linetypeOf(id), "DASHED");
}

// Test that highlight and unhighlight switch the whole entity's highlight, and quietly do
// nothing for an erased entity or a null id.
TEST_F(ModuleTest, HighlightAndUnhighlightById) {
    AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
    highlightEntity(id);
    EXPECT_TRUE(isHighlighted(id));
    unhighlightEntity(id);
    EXPECT_FALSE(isHighlighted(id));

    AcDbObjectId none;
    highlightEntity(none);
    unhighlightEntity(none);

    AcDbObject *obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(obj->erase(true), Acad::eOk);
    ASSERT_EQ(obj->close(), Acad::eOk);
    highlightEntity(id);
    EXPECT_FALSE(isHighlighted(id));
    EXPECT_EQ(openObjects(), 0u);
}

// Test that the null sub-entity path names the whole entity: no ids, a null sub-entity.
TEST(NullSubEnt, IsTheWholeEntity) {
    EXPECT_TRUE(kNullSubEnt.isNull());
    EXPECT_EQ(kNullSubEnt.subentId().type(), AcDb::kNullSubentType);
    EXPECT_EQ(kNullSubEnt.subentId().index(), 0);
}

} // namespace
