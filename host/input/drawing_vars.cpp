// drawing_vars.cpp - TILEMODE, CECOLOR, CLAYER, CELTYPE and SNAPANG in the working
// drawing. Every object opened here is closed before returning.
#include "drawing_vars.h"

#include "dbapserv.h"
#include "dbsymtb.h"
#include "sysvars.h"

namespace host::detail {
namespace {

AcDbDatabase *working() {
    return acdbHostApplicationServices()->workingDatabase();
}

// The name of a symbol table record, or nullopt when it cannot be opened.
std::optional<std::string> recordName(AcDbObjectId id) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (acdbOpenObject(rec, id, AcDb::kForRead) != Acad::eOk)
        return std::nullopt;
    std::string name = rec->nameRef();
    (void)rec->close(); // a read open of our own: closing cannot fail
    return name;
}

// The id of the record called name in a table, or null.
template <class Table> AcDbObjectId lookUp(AcDbDatabase &db, const std::string &name) {
    Table *table = nullptr;
    if (db.getSymbolTable(table, AcDb::kForRead) != Acad::eOk)
        return {};
    AcDbObjectId id;
    if (table->getAt(name.c_str(), id) != Acad::eOk)
        id.setNull();
    (void)table->close();
    return id;
}

} // namespace

std::optional<short> getDrawingModified() {
    AcDbDatabase *db = working();
    if (db == nullptr)
        return std::nullopt;
    return static_cast<short>(db->changeCount() != 0 ? 1 : 0);
}

std::optional<short> getTileMode() {
    AcDbDatabase *db = working();
    if (!db)
        return std::nullopt;
    return static_cast<short>(db->tilemode() ? 1 : 0);
}

bool setTileMode(short value) {
    AcDbDatabase *db = working();
    return db && (value == 0 || value == 1) && db->setTilemode(value == 1) == Acad::eOk;
}

std::optional<int> getCurrentColor() {
    AcDbDatabase *db = working();
    if (!db)
        return std::nullopt;
    return db->cecolor().colorIndex();
}

bool setCurrentColor(int color) {
    AcDbDatabase *db = working();
    if (!db || color < 0 || color > 256)
        return false;
    AcCmColor c;
    if (c.setColorIndex(static_cast<Adesk::UInt16>(color)) != Acad::eOk)
        return false;
    return db->setCecolor(c) == Acad::eOk;
}

std::optional<std::string> getCurrentLayer() {
    AcDbDatabase *db = working();
    if (!db)
        return std::nullopt;
    return recordName(db->clayer());
}

bool setCurrentLayer(const std::string &name) {
    AcDbDatabase *db = working();
    if (!db || name.empty())
        return false;
    AcDbObjectId id = lookUp<AcDbLayerTable>(*db, name);
    if (id.isNull())
        return false;
    AcDbLayerTableRecord *layer = nullptr;
    if (acdbOpenObject(layer, id, AcDb::kForRead) != Acad::eOk)
        return false;
    bool frozen = layer->isFrozen(); // the host never makes a frozen layer current
    (void)layer->close();
    return !frozen && db->setClayer(id) == Acad::eOk;
}

std::optional<std::string> getCurrentLinetype() {
    AcDbDatabase *db = working();
    if (!db)
        return std::nullopt;
    auto name = recordName(db->celtype());
    if (!name)
        return std::nullopt;
    // The host spells the two pseudo linetypes in capitals in CELTYPE.
    if (sameNameIgnoringCase(*name, "BYLAYER"))
        return std::string("BYLAYER");
    if (sameNameIgnoringCase(*name, "BYBLOCK"))
        return std::string("BYBLOCK");
    return name;
}

bool setCurrentLinetype(const std::string &name) {
    AcDbDatabase *db = working();
    if (!db || name.empty())
        return false;
    AcDbObjectId id = lookUp<AcDbLinetypeTable>(*db, name);
    return !id.isNull() && db->setCeltype(id) == Acad::eOk;
}

std::optional<double> getSnapAngle() {
    AcDbDatabase *db = working();
    if (!db)
        return std::nullopt;
    return db->snapAngle();
}

bool setSnapAngle(double radians) {
    AcDbDatabase *db = working();
    return db && db->setSnapAngle(radians) == Acad::eOk;
}

} // namespace host::detail
