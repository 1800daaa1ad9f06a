// allocator_test.cpp - the database allocator: the Nth allocation fails (new gives
// nullptr), appending cannot half-succeed when memory runs out, and nothing leaks.
#include "db_fixture.h"

namespace {

using Allocator = DbTest;

// Test that the Nth allocation fails once (or from then on when persistent), that new
// then yields nullptr, and that counts and live objects add up.
TEST_F(Allocator, NthAllocationFails) {
    long live = tev::db::alloc::liveObjects();
    tev::db::alloc::failAt(2);
    AcDbLine *a = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbLine *b = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbCircle *c = new AcDbCircle;
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_NE(c, nullptr) << "one failure only";
    EXPECT_EQ(tev::db::alloc::allocationCount(), 3);
    EXPECT_EQ(tev::db::alloc::failureCount(), 1);
    EXPECT_EQ(tev::db::alloc::liveObjects(), live + 2);
    delete a;
    delete c;
    EXPECT_EQ(tev::db::alloc::liveObjects(), live);

    tev::db::alloc::failAt(1, /*persistent=*/true);
    EXPECT_EQ(new AcDbArc, nullptr);
    EXPECT_EQ(new AcDbText, nullptr);
    tev::db::alloc::reset();
    auto *d = new AcDbText;
    EXPECT_NE(d, nullptr) << "reset turns failures off";
    delete d;
}

// Test that the host's own allocations are exempt and that a scoped failure resets.
TEST_F(Allocator, ExemptAndScoped) {
    {
        tev::db::alloc::ScopedFailure fail(1, /*persistent=*/true);
        {
            tev::db::alloc::Exempt exempt;
            AcDbDatabase other; // builds its tables with the allocator failing
            EXPECT_FALSE(other.modelSpaceId().isNull());
        }
        EXPECT_EQ(tev::db::alloc::allocationCount(), 0) << "exempt allocations are not counted";
        EXPECT_EQ(new AcDbLine, nullptr);
    }
    auto *line = new AcDbLine;
    EXPECT_NE(line, nullptr);
    delete line;
}

// Test that a polyline whose vertices could not all be allocated refuses to be appended,
// stays the caller's and frees everything when deleted.
TEST_F(Allocator, IncompletePolylineIsNotAppended) {
    long live = tev::db::alloc::liveObjects();
    AcGePoint3dArray pts;
    for (int i = 0; i < 4; ++i)
        pts.append(AcGePoint3d(i, i * i, 0));
    tev::db::alloc::failAt(3); // the polyline, the first vertex, then the second fails
    auto *pl = new AcDb2dPolyline(AcDb::k2dSimplePoly, pts);
    ASSERT_NE(pl, nullptr);
    tev::db::alloc::reset();
    AcDbBlockTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rec->appendAcDbEntity(pl), Acad::eOutOfMemory);
    EXPECT_FALSE(pl->isDatabaseResident());
    ASSERT_EQ(rec->close(), Acad::eOk);
    delete pl;
    EXPECT_EQ(tev::db::alloc::liveObjects(), live);
}

// Test running "make a polyline and append it" with the Nth allocation failing for
// N = 1, 2, ... until it runs clean: every failure leaves nothing appended, nothing open
// and nothing leaked; the clean run appends exactly one polyline with all its vertices.
TEST_F(Allocator, FailEachAllocationInTurn) {
    long live = tev::db::alloc::liveObjects();
    bool clean = false;
    int runs = 0;
    for (long n = 1; !clean && n < 50; ++n, ++runs) {
        tev::db::alloc::ScopedFailure fail(n);
        AcGePoint3dArray pts;
        pts.append(AcGePoint3d(0, 0, 0));
        pts.append(AcGePoint3d(4, 0, 0));
        pts.append(AcGePoint3d(4, 3, 0));
        Acad::ErrorStatus es = Acad::eOutOfMemory;
        auto *pl = new AcDb2dPolyline(AcDb::k2dSimplePoly, pts);
        if (pl != nullptr) {
            AcDbBlockTableRecord *rec = nullptr;
            ASSERT_EQ(acdbOpenObject(rec, ms, AcDb::kForWrite), Acad::eOk);
            es = rec->appendAcDbEntity(pl);
            ASSERT_EQ(rec->close(), Acad::eOk);
            if (es == Acad::eOk)
                ASSERT_EQ(pl->close(), Acad::eOk);
            else
                delete pl;
        }
        EXPECT_EQ(tev::db::openObjectCount(*db), 0u) << "N = " << n;
        if (es == Acad::eOk) {
            clean = true;
            break;
        }
        EXPECT_EQ(tev::db::alloc::liveObjects(), live) << "leak at N = " << n;
        EXPECT_TRUE(tev::db::selectAll(*db, ms).empty()) << "half-appended at N = " << n;
    }
    ASSERT_TRUE(clean);
    EXPECT_EQ(runs, 5) << "polyline, three vertices and the sequence end can each fail";
    auto all = tev::db::selectAll(*db, ms);
    ASSERT_EQ(all.size(), 1u);
    AcDb2dPolyline *pl = nullptr;
    ASSERT_EQ(acdbOpenObject(pl, all[0], AcDb::kForRead), Acad::eOk);
    AcDbObjectIterator *it = pl->vertexIterator();
    int count = 0;
    for (; !it->done(); it->step())
        ++count;
    delete it;
    EXPECT_EQ(count, 3);
    ASSERT_EQ(pl->close(), Acad::eOk);
}

} // namespace
