// snap_test.cpp - object snaps: each kind on each kind of geometry that has it, the exact
// point; the choice among candidates; layers that hide.
#include "db_fixture.h"

#include "access.h"
#include "snap.h"

#include <cmath>
#include <deque>
#include <functional>
#include <numbers>
#include <optional>
#include <string>

namespace {

using namespace tev::db;

class Snaps : public DbTest {
public: // for the cases' builders
    using DbTest::add;
    using DbTest::addBlock;
    using DbTest::addLine;
    // An entity the database keeps as the file's groups (code, value pairs).
    AcDbObjectId addKept(const char *kind, std::initializer_list<std::pair<int, double>> groups) {
        std::string &bytes = sources.emplace_back(std::string("0\n") + kind + "\n");
        for (auto [code, value] : groups)
            bytes += std::to_string(code) + "\n" + std::to_string(value) + "\n";
        auto *ent = new AcDbUnknownEntity(kind);
        EXPECT_TRUE(ObjectAccess::setSource(*ent, bytes));
        return add(ent);
    }
    std::deque<std::string> sources; // the bytes outlive the database's use of them
};

struct Case {
    const char *what;
    int bits;
    // Builds the geometry around (dx, 0); every case has its own place.
    std::function<void(Snaps &, double dx)> build;
    P2 cursor;
    std::optional<P2> base;
    std::optional<P2> expected; // none: nothing found
    int kind = 0;
};

// Test every snap kind on every kind of geometry it applies to lands exactly on its point,
// and the nearest candidate (a lower bit on a tie, NEA last) is the one taken.
TEST_F(Snaps, EachKindOnEachShape) {
    const double r = 5, s60 = 5 * std::sqrt(3.0) / 2, h45 = 5 / std::sqrt(2.0);
    auto line = [](double x0, double y0, double x1, double y1) {
        return [=](Snaps &t, double dx) { t.addLine(x0 + dx, y0, x1 + dx, y1); };
    };
    auto circle = [r](Snaps &t, double dx) {
        t.add(new AcDbCircle(AcGePoint3d(dx, 0, 0), AcGeVector3d::kZAxis, r));
    };
    auto quarterArc = [r](Snaps &t, double dx) {
        t.add(new AcDbArc(AcGePoint3d(dx, 0, 0), r, 0, std::numbers::pi / 2));
    };
    auto cross = [](Snaps &t, double dx) {
        t.addLine(dx, 0, dx + 10, 10);
        t.addLine(dx, 10, dx + 10, 0);
    };
    auto corner = [](Snaps &t, double dx) {
        t.addLine(dx, 0, dx + 10, 0);
        t.addLine(dx, 0, dx, 10);
    };
    auto lineAndCircle = [circle](Snaps &t, double dx) {
        t.addLine(dx - 10, 0, dx + 10, 0);
        circle(t, dx);
    };
    auto polyline = [](Snaps &t, double dx) {
        auto *pl = new AcDbPolyline;
        pl->addVertexAt(0, AcGePoint2d(dx, 0));
        pl->addVertexAt(1, AcGePoint2d(dx + 10, 0), 1); // a half circle to (dx + 10, 10)
        pl->addVertexAt(2, AcGePoint2d(dx + 10, 10));
        t.add(pl);
    };
    auto reference = [](Snaps &t, double dx) {
        static int n = 0;
        AcDbObjectId block = t.addBlock(("B" + std::to_string(n++)).c_str());
        t.addLine(0, 0, 5, 0, block);
        t.add(new AcDbBlockReference(AcGePoint3d(dx + 2, 3, 0), block));
    };
    auto text = [](Snaps &t, double dx) {
        t.add(new AcDbText(AcGePoint3d(dx + 2, 3, 0), "AB", AcDbObjectId(), 1.0));
    };
    auto point = [](Snaps &t, double dx) { t.addKept("POINT", {{10, dx + 3}, {20, 4}}); };
    auto mtext = [](Snaps &t, double dx) {
        t.addKept("MTEXT", {{10, dx + 4}, {20, 5}, {40, 1}, {1, 0}});
    };
    auto solid = [](Snaps &t, double dx) {
        t.addKept(
            "SOLID",
            {{10, dx}, {20, 0}, {11, dx + 4}, {21, 0}, {12, dx}, {22, 4}, {13, dx + 4}, {23, 4}});
    };
    const Case cases[] = {
        {"END of a line", kSnapEnd, line(0, 0, 10, 0), {9.7, 0.2}, {}, P2{10, 0}, kSnapEnd},
        {"MID of a line", kSnapMid, line(0, 0, 10, 0), {5.3, 0.1}, {}, P2{5, 0}, kSnapMid},
        {"END of an arc", kSnapEnd, quarterArc, {0.2, 4.9}, {}, P2{0, 5}, kSnapEnd},
        {"MID of an arc", kSnapMid, quarterArc, {3.4, 3.6}, {}, P2{h45, h45}, kSnapMid},
        {"CEN from a circle's rim", kSnapCen, circle, {5.1, 0}, {}, P2{0, 0}, kSnapCen},
        {"QUA of a circle", kSnapQua, circle, {0.3, 4.9}, {}, P2{0, 5}, kSnapQua},
        {"QUA outside an arc's span", kSnapQua, quarterArc, {0.3, -4.9}, {}, {}, 0},
        {"INT of two lines", kSnapInt, cross, {5.2, 4.9}, {}, P2{5, 5}, kSnapInt},
        {"INT of a line and a circle", kSnapInt, lineAndCircle, {4.8, 0.2}, {}, P2{5, 0}, kSnapInt},
        {"APP of two lines", kSnapApp, cross, {5.2, 4.9}, {}, P2{5, 5}, kSnapApp},
        {"PER to a line", kSnapPer, line(0, 0, 10, 0), {5.4, 0.3}, P2{5, 5}, P2{5, 0}, kSnapPer},
        {"PER to a circle", kSnapPer, circle, {3.4, 3.7}, P2{10, 10}, P2{h45, h45}, kSnapPer},
        {"TAN to a circle", kSnapTan, circle, {2.6, 4.2}, P2{10, 0}, P2{2.5, s60}, kSnapTan},
        {"PER without a base point", kSnapPer, line(0, 0, 10, 0), {5.4, 0.3}, {}, {}, 0},
        {"NEA on a line", kSnapNea, line(0, 0, 10, 0), {3.3, 0.4}, {}, P2{3.3, 0}, kSnapNea},
        {"NEA on a circle", kSnapNea, circle, {0, 5.5}, {}, P2{0, 5}, kSnapNea},
        {"NOD of a point", kSnapNod, point, {3.2, 4.1}, {}, P2{3, 4}, kSnapNod},
        {"INS of a text", kSnapIns, text, {2.3, 3.1}, {}, P2{2, 3}, kSnapIns},
        {"INS of a block reference", kSnapIns, reference, {2.2, 3.3}, {}, P2{2, 3}, kSnapIns},
        {"INS of paragraph text", kSnapIns, mtext, {4.3, 5.2}, {}, P2{4, 5}, kSnapIns},
        {"END inside a block reference", kSnapEnd, reference, {6.8, 3.1}, {}, P2{7, 3}, kSnapEnd},
        {"END of a polyline's vertex", kSnapEnd, polyline, {9.8, 0.3}, {}, P2{10, 0}, kSnapEnd},
        {"CEN of a polyline's arc", kSnapCen, polyline, {15.1, 5}, {}, P2{10, 5}, kSnapCen},
        {"END of a solid's corner", kSnapEnd, solid, {3.8, 3.9}, {}, P2{4, 4}, kSnapEnd},
        {"the nearest candidate wins",
         kSnapEnd | kSnapMid,
         line(0, 0, 10, 0),
         {5.3, 0.1},
         {},
         P2{5, 0},
         kSnapMid},
        {"NEA only where nothing else is",
         kSnapMid | kSnapNea,
         line(0, 0, 10, 0),
         {4.6, 0.1},
         {},
         P2{5, 0},
         kSnapMid},
        {"a tie goes to the lower bit",
         kSnapEnd | kSnapInt,
         corner,
         {0.2, 0.1},
         {},
         P2{0, 0},
         kSnapEnd},
        {"INT where two lines meet", kSnapInt, corner, {0.2, 0.1}, {}, P2{0, 0}, kSnapInt},
        {"nothing within the aperture", kSnapEnd, line(0, 0, 10, 0), {5, 0.2}, {}, {}, 0},
        {"running snaps suspended", kSnapEnd | kSnapOff, line(0, 0, 10, 0), {9.7, 0.2}, {}, {}, 0},
    };
    double dx = 0;
    for (const Case &c : cases) {
        dx += 1000;
        c.build(*this, dx);
        P2 base = c.base ? P2{c.base->x + dx, c.base->y} : P2{};
        auto hit =
            findSnap(*db, ms, {c.cursor.x + dx, c.cursor.y}, 1.0, c.bits, c.base ? &base : nullptr);
        ASSERT_EQ(hit.has_value(), c.expected.has_value()) << c.what;
        if (!hit)
            continue;
        EXPECT_NEAR(hit->at.x, c.expected->x + dx, 1e-9) << c.what;
        EXPECT_NEAR(hit->at.y, c.expected->y, 1e-9) << c.what;
        EXPECT_STREQ(snapKindName(hit->kind), snapKindName(c.kind)) << c.what;
    }
}

// Test entities on layers that are off or frozen are not snapped to.
TEST_F(Snaps, HiddenLayersAreSkipped) {
    for (auto [name, off, frozen] : {std::tuple{"OFF", true, false}, {"FROZEN", false, true}}) {
        AcDbObjectId layer = addLayer(name, false, off, frozen);
        auto *l = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
        ASSERT_EQ(l->setLayer(layer), Acad::eOk);
        AcDbObjectId id = add(l);
        EXPECT_FALSE(findSnap(*db, ms, {9.9, 0}, 1, kSnapEnd)) << name;
        AcDbObject *o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(o->erase(), Acad::eOk);
        ASSERT_EQ(o->close(), Acad::eOk);
    }
    addLine(0, 0, 10, 0);
    EXPECT_TRUE(findSnap(*db, ms, {9.9, 0}, 1, kSnapEnd)) << "on a layer that shows";
}

} // namespace
