// drawing_fixture.h - a fresh drawing as the working database and a fresh command line
// fed from a queue; after each test nothing may be left open and no selection set alive.
#pragma once

#include "acedads.h"
#include "command_line.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbsymtb.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace drawingtest {

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void type(std::initializer_list<std::string> answers) {
        for (const auto &a : answers)
            cl->queue()->push(a);
    }
    void escape() { cl->queue()->pushEscape(); }
    std::string transcript() { return cl->captured(); }

    // Entities appended to model space (or to block record space), closed; their ids.
    AcDbObjectId addLine(double x1, double y1, double x2, double y2, const char *layer = nullptr,
                         AcDbObjectId space = {});
    AcDbObjectId addCircle(double cx, double cy, double r);
    AcDbObjectId addEntity(AcDbEntity *ent, AcDbObjectId space = {});
    // A new layer with the given states.
    void addLayer(const char *name, bool frozen = false, bool locked = false, bool off = false);
    // A new block definition; its record id.
    AcDbObjectId addBlock(const char *name);
    AcDbObjectId addInsert(AcDbObjectId block, double x, double y, AcDbObjectId space = {});

    // Every live entity of model space, in drawing order.
    std::vector<AcDbObjectId> modelEntities();
    // The name of an entity as picks and sets give it.
    std::vector<long> nameOf(AcDbObjectId id);
    AcDbObjectId idOf(const ads_name n);

    std::unique_ptr<AcDbDatabase> db;
    host::CommandLine *cl = nullptr;
};

int occurrences(const std::string &hay, const std::string &needle);

} // namespace drawingtest
