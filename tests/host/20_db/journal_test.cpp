// journal_test.cpp - undo and redo kept by the database: a step comes back whole (objects
// changed, erased, appended, records added, settings), UNDO's number, Mark and Back, redo
// cleared by a new step, and the bound on the journal's memory.
#include "db_fixture.h"
#include "access.h"
#include "database_impl.h"
#include "journal.h"

#include <vector>

using namespace tev::db;

namespace {

class Journal : public DbTest {
protected:
    // Runs f as one step named name; returns what ending it said.
    template <class F> StepOutcome step(const char *name, F &&f) {
        beginStep(*db, name);
        f();
        return endStep(*db);
    }
    std::size_t liveEntities() const {
        std::size_t n = 0;
        auto *rec = peekAs<AcDbBlockTableRecord>(ms);
        for (AcDbObject *e : ObjectAccess::entities(*rec))
            n += e != nullptr && !e->isErased();
        return n;
    }
    AcDbObjectId pick(double x, double y) const { return pickEntity(*db, ms, {x, y}, 0.1); }
    std::vector<std::string> undo(std::size_t n) { return undoSteps(*db, n).names; }
};

AcDbObjectId vertexAt(AcDbObjectId pline, int index) {
    AcDb2dPolyline *p = nullptr;
    EXPECT_EQ(acdbOpenObject(p, pline, AcDb::kForRead), Acad::eOk);
    AcDbObjectIterator *it = p->vertexIterator();
    for (int i = 0; i < index && !it->done(); ++i)
        it->step();
    AcDbObjectId id = it->done() ? AcDbObjectId() : it->objectId();
    delete it;
    EXPECT_EQ(p->close(), Acad::eOk);
    return id;
}

int vertexCount(AcDbObjectId pline) {
    int n = 0;
    while (!vertexAt(pline, n).isNull())
        ++n;
    return n;
}

TEST_F(Journal, AStepIsUndoneWholeAndRedoneWithItsHandles) {
    const AcDbObjectId erased = addLine(0, 0, 10, 0);
    const AcDbObjectId moved = addLine(0, 5, 10, 5);
    AcGePoint3dArray pts;
    pts.append(AcGePoint3d(0, 20, 0));
    pts.append(AcGePoint3d(10, 20, 0));
    const AcDbObjectId poly2d = add(new AcDb2dPolyline(AcDb::k2dSimplePoly, pts));
    const AcDbObjectId layer0 = db->clayer();
    const AcDbHandle seedBefore = db->handseed();
    const std::size_t before = liveEntities();
    ASSERT_EQ(pick(5, 5), moved); // the spatial index is made now, and must follow

    AcDbObjectId appended, newLayer;
    AcDbHandle appendedHandle;
    StepOutcome out = step("WPE", [&] {
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(e, erased, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(e->erase(), Acad::eOk);
        ASSERT_EQ(e->close(), Acad::eOk);
        AcDbLine *l = nullptr;
        ASSERT_EQ(acdbOpenObject(l, moved, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(l->setStartPoint(AcGePoint3d(0, 50, 0)), Acad::eOk);
        ASSERT_EQ(l->setEndPoint(AcGePoint3d(10, 50, 0)), Acad::eOk);
        ASSERT_EQ(l->setColorIndex(1), Acad::eOk);
        ASSERT_EQ(l->close(), Acad::eOk);
        auto *pl = new AcDbPolyline;
        ASSERT_EQ(pl->addVertexAt(0, AcGePoint2d(100, 100)), Acad::eOk);
        ASSERT_EQ(pl->addVertexAt(1, AcGePoint2d(200, 100)), Acad::eOk);
        appended = add(pl);
        AcDb2dPolyline *p = nullptr;
        ASSERT_EQ(acdbOpenObject(p, poly2d, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId vertex;
        ASSERT_EQ(p->appendVertex(vertex, new AcDb2dVertex(AcGePoint3d(10, 30, 0))), Acad::eOk);
        ASSERT_EQ(peek(vertex)->close(), Acad::eOk);
        ASSERT_EQ(p->setColorIndex(3), Acad::eOk); // its vertices too, never opened
        ASSERT_EQ(p->close(), Acad::eOk);
        newLayer = addLayer("WALLS");
        ASSERT_EQ(db->setClayer(newLayer), Acad::eOk);
        ASSERT_EQ(db->setSnapAngle(0.5), Acad::eOk);
    });
    ASSERT_TRUE(out.kept);
    appendedHandle = appended.handle();
    const AcDbHandle seedAfter = db->handseed();

    // Undo, redo and undo again: the same states each time.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(undo(1), std::vector<std::string>{"WPE"});
        EXPECT_FALSE(erased.isErased());
        EXPECT_EQ(peekAs<AcDbLine>(moved)->startPoint(), AcGePoint3d(0, 5, 0));
        EXPECT_EQ(peekAs<AcDbLine>(moved)->colorIndex(), 256);
        AcDbObject *gone = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(gone, appended, AcDb::kForRead), Acad::ePermanentlyErased);
        EXPECT_TRUE(lookupHandle(*db, appendedHandle).isNull());
        EXPECT_EQ(vertexCount(poly2d), 2);
        EXPECT_EQ(peekAs<AcDbEntity>(vertexAt(poly2d, 1))->colorIndex(), 256);
        EXPECT_EQ(liveEntities(), before);
        EXPECT_TRUE(pick(150, 100).isNull()); // the spatial index follows
        EXPECT_EQ(pick(5, 0), erased);
        EXPECT_EQ(pick(5, 5), moved);
        auto *layers = peekAs<AcDbLayerTable>(db->layerTableId());
        EXPECT_FALSE(layers->has("WALLS"));
        EXPECT_EQ(db->clayer(), layer0);
        EXPECT_EQ(db->snapAngle(), 0.0);
        EXPECT_EQ(db->handseed(), seedBefore);

        ASSERT_EQ(redoSteps(*db).names, std::vector<std::string>{"WPE"});
        EXPECT_TRUE(erased.isErased());
        EXPECT_EQ(peekAs<AcDbLine>(moved)->startPoint(), AcGePoint3d(0, 50, 0));
        EXPECT_EQ(lookupHandle(*db, appendedHandle), appended);
        EXPECT_EQ(pick(5, 50), moved);
        EXPECT_EQ(pick(150, 100), appended);
        EXPECT_EQ(vertexCount(poly2d), 3);
        EXPECT_EQ(peekAs<AcDbEntity>(vertexAt(poly2d, 1))->colorIndex(), 3);
        EXPECT_TRUE(layers->has("WALLS"));
        EXPECT_EQ(db->clayer(), newLayer);
        EXPECT_EQ(db->snapAngle(), 0.5);
        EXPECT_EQ(db->handseed(), seedAfter);
    }
    EXPECT_TRUE(misuseReports().empty());
}

TEST_F(Journal, UndoNumberMarkBackAndRedo) {
    auto line = [&](int i) { step("LINE", [&] { addLine(i, 0, i, 1); }); };
    line(0);
    line(1);
    addMark(*db);
    line(2);
    line(3);
    line(4);
    EXPECT_EQ(undoableSteps(*db), 5u);

    EXPECT_EQ(undo(2).size(), 2u); // UNDO 2
    EXPECT_EQ(liveEntities(), 3u);
    UndoOutcome back = undoSteps(*db, 0, /*toMark=*/true);
    EXPECT_EQ(back.names.size(), 1u);
    EXPECT_TRUE(back.markMet);
    EXPECT_FALSE(hasMark(*db));
    EXPECT_EQ(liveEntities(), 2u);

    EXPECT_EQ(redoSteps(*db).names.size(), 1u); // the last group: Back's one step
    EXPECT_EQ(redoSteps(*db).names.size(), 2u); // then UNDO 2's
    EXPECT_EQ(liveEntities(), 5u);
    EXPECT_TRUE(redoSteps(*db).names.empty());

    undo(1);
    EXPECT_EQ(redoableGroups(*db), 1u);
    step("LIST", [] {}); // changes nothing: redo stays
    EXPECT_EQ(redoableGroups(*db), 1u);
    line(5); // changes the drawing: redo is gone
    EXPECT_EQ(redoableGroups(*db), 0u);

    back = undoSteps(*db, 0, /*toMark=*/true); // no mark: everything
    EXPECT_FALSE(back.markMet);
    EXPECT_EQ(back.names.size(), 5u);
    EXPECT_EQ(liveEntities(), 0u);
    EXPECT_TRUE(undo(1).empty());
}

TEST_F(Journal, AWriteOpenThatChangesNothingIsNoStep) {
    const AcDbObjectId id = addLine(0, 0, 1, 1);
    StepOutcome out = step("LPL", [&] {
        AcDbEntity *e = nullptr; // opened for write to read the colour
        ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(e->close(), Acad::eOk);
        AcDbBlockTableRecord *rec = nullptr; // opened for write, nothing appended
        ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(rec->close(), Acad::eOk);
    });
    EXPECT_FALSE(out.kept);
    EXPECT_EQ(undoableSteps(*db), 0u);
}

// Test that undoing an index colour set over a true colour brings the true colour back, and
// that redo drops it again.
TEST_F(Journal, AnUndoneColourSetBringsTheTrueColourBack) {
    const AcDbObjectId id = addLine(0, 0, 1, 1);
    auto colourOf = [&] {
        AcDbEntity *e = nullptr;
        EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
        AcCmColor c = e->color();
        EXPECT_EQ(e->close(), Acad::eOk);
        return c;
    };
    auto setColour = [&](const AcCmColor &c) {
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(e->setColor(c), Acad::eOk);
        ASSERT_EQ(e->close(), Acad::eOk);
    };
    AcCmColor orange;
    ASSERT_EQ(orange.setRGB(255, 128, 0), Acad::eOk);
    step("COLOR", [&] { setColour(orange); });
    AcCmColor red;
    ASSERT_EQ(red.setColorIndex(1), Acad::eOk);
    step("SEL", [&] { setColour(red); });
    ASSERT_FALSE(colourOf().isByColor());

    EXPECT_EQ(undo(1), std::vector<std::string>{"SEL"});
    EXPECT_EQ(colourOf(), orange);
    ASSERT_EQ(redoSteps(*db).names.size(), 1u);
    EXPECT_EQ(colourOf(), red);
}

// Test that a recolour keeps the colour alone (less than a state copy), that another change
// after it in the same step still brings the whole entity back, and that a recolour to the
// colour it had is no step.
TEST_F(Journal, ARecolourKeepsTheColourAloneAndALaterChangeKeepsTheRest) {
    struct Case {
        const char *what;
        int colour;
        bool move; // the end point moves after the recolour, in the same open
        bool kept;
    };
    const Case cases[] = {
        {"recolour", 5, false, true},
        {"recolour then move", 5, true, true},
        {"recolour to the same colour", 2, false, false},
    };
    std::size_t colourBytes = 0, moveBytes = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const AcDbObjectId id = addLine(0, 0, 1, 1);
        {
            AcDbEntity *e = nullptr;
            ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
            ASSERT_EQ(e->setColorIndex(2), Acad::eOk);
            ASSERT_EQ(e->close(), Acad::eOk);
        }
        const std::size_t bytesBefore = journalBytes(*db);
        StepOutcome out = step("SEL", [&] {
            AcDbLine *l = nullptr;
            ASSERT_EQ(acdbOpenObject(l, id, AcDb::kForWrite), Acad::eOk);
            ASSERT_EQ(l->setColorIndex(static_cast<Adesk::UInt16>(c.colour)), Acad::eOk);
            if (c.move) {
                ASSERT_EQ(l->setEndPoint(AcGePoint3d(7, 7, 0)), Acad::eOk);
            }
            ASSERT_EQ(l->close(), Acad::eOk);
        });
        ASSERT_EQ(out.kept, c.kept);
        EXPECT_FALSE(id.stub()->colourKept);
        if (!c.kept)
            continue;
        (c.move ? moveBytes : colourBytes) = journalBytes(*db) - bytesBefore;
        ASSERT_EQ(undo(1).size(), 1u);
        EXPECT_EQ(peekAs<AcDbLine>(id)->colorIndex(), 2);
        EXPECT_EQ(peekAs<AcDbLine>(id)->endPoint(), AcGePoint3d(1, 1, 0));
        ASSERT_EQ(redoSteps(*db).names.size(), 1u);
        EXPECT_EQ(peekAs<AcDbLine>(id)->colorIndex(), c.colour);
        EXPECT_EQ(peekAs<AcDbLine>(id)->endPoint(),
                  c.move ? AcGePoint3d(7, 7, 0) : AcGePoint3d(1, 1, 0));
    }
    EXPECT_LT(colourBytes + sizeof(AcDbLine) / 2, moveBytes);
    EXPECT_TRUE(misuseReports().empty());
}

// Test that a width change keeps the widths alone, and that undo and redo bring back every
// change of the step whatever else came after the widths in it.
TEST_F(Journal, AWidthChangeKeepsTheWidthsAloneAndALaterChangeKeepsTheRest) {
    enum class Then { Nothing, Recolour, Move };
    struct Case {
        const char *what;
        bool vertex; // a 2D polyline's first vertex, else a lightweight polyline
        double width;
        Then then;
        bool kept;
    };
    const Case cases[] = {
        {"polyline widths", false, 0.5, Then::Nothing, true},
        {"polyline widths then recolour", false, 0.5, Then::Recolour, true},
        {"polyline widths then a vertex moved", false, 0.5, Then::Move, true},
        {"polyline widths to the same 0", false, 0.0, Then::Nothing, false},
        {"vertex widths", true, 0.5, Then::Nothing, true},
        {"vertex widths then recolour", true, 0.5, Then::Recolour, true},
        {"vertex widths then moved", true, 0.5, Then::Move, true},
        {"vertex widths to the same 0", true, 0.0, Then::Nothing, false},
    };
    // The widths, colour and first point of the entity changed.
    struct Seen {
        double start, end;
        int colour;
        double x;
        bool operator==(const Seen &) const = default;
    };
    auto seen = [](AcDbObjectId id) {
        if (auto *v = peekAs<AcDb2dVertex>(id))
            return Seen{v->startWidth(), v->endWidth(), v->colorIndex(), v->position().x};
        auto *pl = peekAs<AcDbPolyline>(id);
        Seen s{0, 0, pl->colorIndex(), 0};
        AcGePoint2d p;
        EXPECT_EQ(pl->getWidthsAt(1, s.start, s.end), Acad::eOk);
        EXPECT_EQ(pl->getPointAt(0, p), Acad::eOk);
        s.x = p.x;
        return s;
    };
    std::size_t widthsBytes[2] = {0, 0}, moveBytes[2] = {0, 0};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        AcDbObjectId id;
        if (c.vertex) {
            AcGePoint3dArray pts;
            pts.append(AcGePoint3d(0, 0, 0));
            pts.append(AcGePoint3d(4, 0, 0));
            id = vertexAt(add(new AcDb2dPolyline(AcDb::k2dSimplePoly, pts)), 0);
        } else {
            auto *pl = new AcDbPolyline;
            for (unsigned int i = 0; i < 40; ++i)
                ASSERT_EQ(pl->addVertexAt(i, AcGePoint2d(i, i % 2)), Acad::eOk);
            id = add(pl);
        }
        const Seen before = seen(id);
        const std::size_t bytesBefore = journalBytes(*db);
        StepOutcome out = step("WPE", [&] {
            AcDbEntity *e = nullptr;
            ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
            if (auto *v = AcDb2dVertex::cast(e)) {
                ASSERT_EQ(v->setStartWidth(c.width), Acad::eOk);
                ASSERT_EQ(v->setEndWidth(c.width), Acad::eOk);
                if (c.then == Then::Move) {
                    ASSERT_EQ(v->setPosition(AcGePoint3d(9, 0, 0)), Acad::eOk);
                }
            } else {
                auto *pl = AcDbPolyline::cast(e);
                for (unsigned int i = 0; i < pl->numVerts(); ++i)
                    ASSERT_EQ(pl->setWidthsAt(i, c.width, c.width), Acad::eOk);
                if (c.then == Then::Move) {
                    ASSERT_EQ(pl->setPointAt(0, AcGePoint2d(9, 0)), Acad::eOk);
                }
            }
            if (c.then == Then::Recolour) {
                ASSERT_EQ(e->setColorIndex(5, /*doSubents=*/false), Acad::eOk);
            }
            ASSERT_EQ(e->close(), Acad::eOk);
        });
        ASSERT_EQ(out.kept, c.kept);
        EXPECT_FALSE(id.stub()->widthsKept);
        const Seen after = seen(id);
        if (!c.kept) {
            EXPECT_EQ(after, before);
            continue;
        }
        if (c.then == Then::Nothing)
            widthsBytes[c.vertex] = journalBytes(*db) - bytesBefore;
        if (c.then == Then::Move)
            moveBytes[c.vertex] = journalBytes(*db) - bytesBefore;
        EXPECT_EQ(after.start, c.width);
        ASSERT_EQ(undo(1).size(), 1u);
        EXPECT_EQ(seen(id), before);
        ASSERT_EQ(redoSteps(*db).names.size(), 1u);
        EXPECT_EQ(seen(id), after);
    }
    // The widths alone hold less than a copy of the entity.
    EXPECT_LT(widthsBytes[0] + 40 * sizeof(AcGePoint2d), moveBytes[0]);
    EXPECT_LT(widthsBytes[1] + sizeof(AcDb2dVertex) / 2, moveBytes[1]);
    EXPECT_TRUE(misuseReports().empty());
}

TEST_F(Journal, MemoryBoundDropsTheOldestStepsAndRefusesAnOversizedOne) {
    auto moveAll = [&](const std::vector<AcDbObjectId> &ids, double y) {
        return step("MOVE", [&] {
            for (AcDbObjectId id : ids) {
                AcDbLine *l = nullptr;
                ASSERT_EQ(acdbOpenObject(l, id, AcDb::kForWrite), Acad::eOk);
                ASSERT_EQ(l->setEndPoint(AcGePoint3d(1, y, 0)), Acad::eOk);
                ASSERT_EQ(l->close(), Acad::eOk);
            }
        });
    };
    std::vector<AcDbObjectId> ids;
    for (int i = 0; i < 10; ++i)
        ids.push_back(addLine(0, i, 1, i));
    ASSERT_TRUE(moveAll(ids, 1).kept);
    const std::size_t oneStep = journalBytes(*db);
    setJournalLimit(*db, oneStep * 3 + oneStep / 2);

    EXPECT_EQ(moveAll(ids, 2).dropped, 0u);
    EXPECT_EQ(moveAll(ids, 3).dropped, 0u);
    StepOutcome fourth = moveAll(ids, 4);
    EXPECT_TRUE(fourth.kept);
    EXPECT_EQ(fourth.dropped, 1u);
    EXPECT_EQ(undoableSteps(*db), 3u);
    EXPECT_LE(journalBytes(*db), journalLimit(*db));
    EXPECT_EQ(undo(10).size(), 3u); // back to the state after the first, dropped, step
    EXPECT_EQ(peekAs<AcDbLine>(ids[0])->endPoint(), AcGePoint3d(1, 1, 0));
    redoSteps(*db);

    setJournalLimit(*db, oneStep / 2); // one step alone holds more
    StepOutcome lost = moveAll(ids, 5);
    EXPECT_TRUE(lost.lost);
    EXPECT_FALSE(lost.kept);
    EXPECT_EQ(undoableSteps(*db), 0u);
    EXPECT_EQ(journalBytes(*db), 0u);
    EXPECT_EQ(peekAs<AcDbLine>(ids[9])->endPoint(), AcGePoint3d(1, 5, 0)); // the change stays
    for (AcDbObjectId id : ids)
        EXPECT_FALSE(id.stub()->journaled);
}

} // namespace
