// db_fixture.h - a fresh drawing for every database test, and small helpers to put
// entities into it.
#pragma once
#include "acedads.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "allocator.h"
#include "misuse.h"
#include "spatial.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

// Prints a status by name in failure messages ("eWasOpenForWrite", not 83).
namespace Acad {
inline void PrintTo(ErrorStatus es, std::ostream *os) {
    *os << errorStatusName(es);
}
} // namespace Acad

class DbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Appends ent to model space (or the given record) and closes it; returns its id.
    AcDbObjectId add(AcDbEntity *ent, AcDbObjectId space = AcDbObjectId());
    AcDbObjectId addLine(double x0, double y0, double x1, double y1,
                         AcDbObjectId space = AcDbObjectId());
    // A new layer (closed), optionally locked/off/frozen.
    AcDbObjectId addLayer(const char *name, bool locked = false, bool off = false,
                          bool frozen = false);
    // A new block record (closed) with base point origin.
    AcDbObjectId addBlock(const char *name, AcGePoint3d origin = AcGePoint3d());
    // Sets a layer flag through a write open.
    void setLayerLocked(AcDbObjectId layer, bool locked);

    std::unique_ptr<AcDbDatabase> db;
    AcDbObjectId ms;
};
