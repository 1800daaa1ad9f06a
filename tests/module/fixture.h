// fixture.h - the shared fixture of the module's tests. Every test gets a fresh drawing
// (set as the working database) and a fresh command line whose answers come from a queue
// the test fills and whose transcript is captured as UTF-8. After every test the fixture
// checks that no object is left open, no selection set is allocated and the database
// recorded no misuse (closing what is not open, a second write open, ...).
//
// A transcript test reads like a person at the command line: the answers typed, the
// command run, then the lines the command line must show.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "dbmain.h"
#include "dbents.h"
#include "dbpl.h"

namespace tevtest {

// UTF-8 text as the host's Windows-1251 bytes, and back.
std::string cp1251(std::string_view utf8);
std::string utf8(std::string_view cp1251);

// What a test reads back of a line, through a read open.
struct LineData {
    AcGePoint3d start;
    AcGePoint3d end;
    int color = -1;
    std::string layer;
    std::string linetype;
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // --- the person at the command line ----------------------------------------------
    // Queues answers as typed, in UTF-8: "10,20" a point, "" an empty answer (Enter).
    void type(std::initializer_list<std::string_view> answers);
    // Queues an Escape.
    void typeEscape();
    // How many queued answers the commands have not taken yet.
    std::size_t answersLeft() const;
    // Everything the command line showed so far, UTF-8.
    std::string transcript() const;
    // Runs a command body as the host runs it.
    void run(void (*command)());

    // --- the drawing -----------------------------------------------------------------------
    AcDbDatabase *db() const { return mDb; }
    // Adds a layer (colour 1..255), optionally locked.
    void addLayer(const char *name, int color, bool locked = false);
    // Locks or unlocks an existing layer.
    void setLayerLocked(const char *name, bool locked);
    // Adds a linetype record (a name the drawing then knows).
    void addLinetype(const char *name);
    // Appends a line to model space (or to space) with colour, layer and linetype set.
    AcDbObjectId addLine(const AcGePoint3d &start, const AcGePoint3d &end, int color = 256,
                         const char *layer = "0", const char *linetype = "ByLayer");
    AcDbObjectId addCircle(const AcGePoint3d &center, double radius, int color = 256,
                           const char *layer = "0");
    // A lightweight polyline through points (X, Y), open or closed.
    AcDbObjectId addPolyline(const std::vector<AcGePoint2d> &points, bool closed = false,
                             int color = 256, const char *layer = "0");
    // Appends an entity made by the test (the fixture closes it).
    AcDbObjectId append(AcDbEntity *entity, AcDbObjectId space = AcDbObjectId());

    // The entities of a space (model space by default), erased ones left out, in drawing
    // order; only those of class cls when given.
    std::vector<AcDbObjectId> entities(AcRxClass *cls = nullptr,
                                       AcDbObjectId space = AcDbObjectId()) const;
    // The lines of model space, read back.
    std::vector<LineData> lines() const;
    LineData lineData(AcDbObjectId id) const;
    int colorOf(AcDbObjectId id) const;
    std::string linetypeOf(AcDbObjectId id) const;
    bool isErased(AcDbObjectId id) const;
    bool isHighlighted(AcDbObjectId id) const;
    // Objects left open right now.
    std::size_t openObjects() const;
    // What the database refused and recorded since the test began, cleared. A test that
    // provokes a refusal on purpose takes it, so that the check after the test passes.
    std::vector<std::string> takeMisuseReports();

private:
    AcDbDatabase *mDb = nullptr;
};

} // namespace tevtest

// Point comparison for EXPECT_PRED2 / EXPECT_TRUE with readable output.
bool samePoint(const AcGePoint3d &a, const AcGePoint3d &b);
std::ostream &operator<<(std::ostream &os, const AcGePoint3d &p);
std::ostream &operator<<(std::ostream &os, const tevtest::LineData &l);
