// symtab_test.cpp - the default drawing, symbol tables and records: case-insensitive names
// (Windows-1251 letters too), adding, renaming, iterating, and the current settings.
#include "db_fixture.h"

#include <vector>

namespace {

using SymbolTables = DbTest;

std::vector<std::string> recordNames(AcDbSymbolTable *table, bool skipDeleted = true) {
    std::vector<std::string> out;
    AcDbSymbolTableIterator *it = nullptr;
    EXPECT_EQ(table->newIterator(it, true, skipDeleted), Acad::eOk);
    for (; !it->done(); it->step(true, skipDeleted)) {
        AcDbSymbolTableRecord *rec = nullptr;
        EXPECT_EQ(it->getRecord(rec, AcDb::kForRead, /*openErasedRecord=*/true), Acad::eOk);
        const char *name = nullptr;
        EXPECT_EQ(rec->getName(name), Acad::eOk);
        out.emplace_back(name);
        EXPECT_EQ(rec->close(), Acad::eOk);
    }
    delete it;
    return out;
}

// Test the default drawing: its records, current settings and spaces.
TEST_F(SymbolTables, DefaultDrawing) {
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getSymbolTable(layers, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(recordNames(layers), std::vector<std::string>{"0"});
    AcDbLayerTableRecord *zero = nullptr;
    ASSERT_EQ(layers->getAt("0", zero, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(zero->color().colorIndex(), 7);
    EXPECT_FALSE(zero->isLocked());
    EXPECT_EQ(zero->objectId(), db->clayer());
    ASSERT_EQ(zero->close(), Acad::eOk);
    ASSERT_EQ(layers->close(), Acad::eOk);

    AcDbLinetypeTable *types = nullptr;
    ASSERT_EQ(db->getLinetypeTable(types, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(recordNames(types), (std::vector<std::string>{"ByBlock", "ByLayer", "Continuous"}));
    AcDbObjectId byLayer;
    ASSERT_EQ(types->getAt("BYLAYER", byLayer), Acad::eOk);
    EXPECT_EQ(byLayer, db->celtype());
    ASSERT_EQ(types->close(), Acad::eOk);

    AcDbBlockTable *blocks = nullptr;
    ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(recordNames(blocks), (std::vector<std::string>{"*Model_Space", "*Paper_Space"}));
    AcDbObjectId paper;
    ASSERT_EQ(blocks->getAt("*PAPER_SPACE", paper), Acad::eOk);
    ASSERT_EQ(blocks->close(), Acad::eOk);
    EXPECT_TRUE(db->tilemode());
    EXPECT_EQ(db->currentSpaceId(), ms);
    ASSERT_EQ(db->setTilemode(false), Acad::eOk);
    EXPECT_EQ(db->currentSpaceId(), paper);
    EXPECT_EQ(db->cecolor().colorIndex(), 256);

    AcDbDatabase bare(/*buildDefaultDrawing=*/false);
    EXPECT_TRUE(bare.modelSpaceId().isNull());
    EXPECT_FALSE(bare.layerTableId().isNull());
}

// Test lookups without regard to case, for Latin and Windows-1251 Cyrillic names, and
// eKeyNotFound (22) with the pointer cleared for a missing name.
TEST_F(SymbolTables, NamesIgnoreCase) {
    const char *walls = "\xD1\xF2\xE5\xED\xFB";      // "Стены" in Windows-1251
    const char *wallsLower = "\xF1\xF2\xE5\xED\xFB"; // "стены"
    const char *wallsUpper = "\xD1\xD2\xC5\xCD\xDB"; // "СТЕНЫ"
    AcDbObjectId id = addLayer(walls);
    addLayer("Doors");
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(layers->has(wallsLower));
    EXPECT_TRUE(layers->has(wallsUpper));
    EXPECT_TRUE(layers->has("dOORS"));
    EXPECT_TRUE(layers->has(id));
    EXPECT_FALSE(layers->has("Windows"));
    AcDbLayerTableRecord *rec = reinterpret_cast<AcDbLayerTableRecord *>(0x1);
    EXPECT_EQ(layers->getAt("Windows", rec, AcDb::kForRead), Acad::eKeyNotFound);
    EXPECT_EQ(static_cast<int>(Acad::eKeyNotFound), 22);
    EXPECT_EQ(rec, nullptr);
    ASSERT_EQ(layers->getAt(wallsUpper, rec, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(rec->objectId(), id);
    char *copy = nullptr;
    ASSERT_EQ(rec->getName(copy), Acad::eOk);
    EXPECT_STREQ(copy, walls) << "the name keeps the case it was given";
    acutDelString(copy);
    ASSERT_EQ(rec->close(), Acad::eOk);
    ASSERT_EQ(layers->close(), Acad::eOk);
}

// Test the refusals of add: table not open for write, duplicate (any case), empty name,
// a record of another kind; and that an added record is left open for write.
TEST_F(SymbolTables, AddRefusals) {
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    auto *rec = new AcDbLayerTableRecord;
    ASSERT_EQ(rec->setName("New"), Acad::eOk);
    EXPECT_EQ(layers->add(rec), Acad::eNotOpenForWrite);
    ASSERT_EQ(layers->upgradeOpen(), Acad::eOk);

    auto *dup = new AcDbLayerTableRecord;
    ASSERT_EQ(dup->setName("0"), Acad::eOk);
    EXPECT_EQ(layers->add(dup), Acad::eDuplicateKey);
    delete dup;
    auto *unnamed = new AcDbLayerTableRecord;
    EXPECT_EQ(layers->add(unnamed), Acad::eInvalidInput);
    EXPECT_EQ(unnamed->setName(""), Acad::eInvalidInput);
    delete unnamed;
    auto *wrong = new AcDbLinetypeTableRecord;
    ASSERT_EQ(wrong->setName("Dashed"), Acad::eOk);
    EXPECT_EQ(layers->add(wrong), Acad::eWrongObjectType);
    delete wrong;

    AcDbObjectId id;
    ASSERT_EQ(layers->add(id, rec), Acad::eOk);
    EXPECT_TRUE(rec->isWriteEnabled());
    EXPECT_EQ(rec->ownerId(), db->layerTableId());
    EXPECT_EQ(layers->add(rec), Acad::eAlreadyInDb);
    ASSERT_EQ(rec->close(), Acad::eOk);
    ASSERT_EQ(layers->close(), Acad::eOk);
}

// Test renaming: the new name finds the record, the old one does not, and a name in use
// is refused; an erased record is skipped by lookups and iterators.
TEST_F(SymbolTables, RenameAndErase) {
    AcDbObjectId a = addLayer("A");
    addLayer("B");
    AcDbLayerTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, a, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(rec->setName("b"), Acad::eDuplicateKey);
    ASSERT_EQ(rec->setName("Renamed"), Acad::eOk);
    ASSERT_EQ(rec->close(), Acad::eOk);
    AcDbLayerTable *layers = nullptr;
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(layers->has("A"));
    AcDbObjectId found;
    ASSERT_EQ(layers->getAt("RENAMED", found), Acad::eOk);
    EXPECT_EQ(found, a);
    ASSERT_EQ(layers->close(), Acad::eOk);

    ASSERT_EQ(acdbOpenObject(rec, a, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(rec->erase(), Acad::eOk);
    ASSERT_EQ(rec->close(), Acad::eOk);
    ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(layers->has("Renamed"));
    EXPECT_EQ(layers->getAt("Renamed", found), Acad::eKeyNotFound);
    EXPECT_EQ(layers->getAt("Renamed", found, /*getErasedRecord=*/true), Acad::eOk);
    EXPECT_EQ(recordNames(layers), (std::vector<std::string>{"0", "B"}));
    EXPECT_EQ(recordNames(layers, false), (std::vector<std::string>{"0", "Renamed", "B"}));
    ASSERT_EQ(layers->close(), Acad::eOk);
    EXPECT_EQ(db->setClayer(a), Acad::eWasErased);
}

// Test layer colours (1..255 only) and the current-layer setter's type check.
TEST_F(SymbolTables, LayerColourAndCurrentLayer) {
    AcDbObjectId id = addLayer("Red");
    AcDbLayerTableRecord *rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, id, AcDb::kForWrite), Acad::eOk);
    AcCmColor c;
    ASSERT_EQ(c.setColorIndex(1), Acad::eOk);
    EXPECT_EQ(rec->setColor(c), Acad::eOk);
    ASSERT_EQ(c.setColorIndex(256), Acad::eOk);
    EXPECT_EQ(rec->setColor(c), Acad::eBadColorIndex);
    ASSERT_EQ(c.setColorIndex(0), Acad::eOk);
    EXPECT_EQ(rec->setColor(c), Acad::eBadColorIndex);
    EXPECT_EQ(rec->color().colorIndex(), 1);
    ASSERT_EQ(rec->close(), Acad::eOk);
    EXPECT_EQ(db->setClayer(db->celtype()), Acad::eWrongObjectType);
    EXPECT_EQ(db->setClayer(id), Acad::eOk);
    EXPECT_EQ(db->clayer(), id);
    AcCmColor bad;
    EXPECT_EQ(bad.setColorIndex(257), Acad::eBadColorIndex);
}

} // namespace
