// services.cpp - the shared operations on entities and system variables: opening with a
// class check, appending to the current space, making lines, colour, linetype and highlight
// by object id.
#include "services.h"

#include <cstdlib>
#include <cstring>

#include "adscodes.h"
#include "acedads.h"
#include "rxregsvc.h"
#include "dbents.h"
#include "dbsymtb.h"
#include "dbapserv.h"

// A null object id and a null sub-entity id (type 0, index 0): the whole entity.
const AcDbFullSubentPath kNullSubEnt;

bool passesClassTest(const AcRxObject *obj, AcRxClass *wanted) {
    const AcRxClass *cls = obj->isA();
    return cls == nullptr || cls->isDerivedFrom(wanted);
}

// The object is returned open (the caller closes it) only when it passes the class test.
// A wrong class is closed at once; if even that fails, the object is stuck open and the
// host cannot go on safely, so it is stopped.
AcDbObject *openEntityAs(AcDbObjectId id, AcDb::OpenMode mode, AcRxClass *wanted) {
    AcDbObject *obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, mode, /*openErased=*/false) != Acad::eOk || obj == nullptr)
        return nullptr;
    if (passesClassTest(obj, wanted))
        return obj;
    if (obj->close() != Acad::eOk)
        acrx_abort("Failed AcDbObject::close()");
    return nullptr;
}

// An integer variable arrives as a 16-bit value; it is sign-extended so that -1 stays -1.
// A host that answers with text for the name gets its string freed and counts as unreadable.
int getSysVarShort(const char *name, int &value) {
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM)
        return kStatusSysVarUnreadable;
    if (rb.restype == RTSTR) {
        std::free(rb.resval.rstring);
        return kStatusSysVarUnreadable;
    }
    value = rb.resval.rint;
    return 0;
}

// The text of a variable, owned by the caller. A variable that cannot be read as text gives
// an empty string, which atoi reads as 0, so callers need no special case. Null only when
// not even one byte can be allocated.
char *getSysVarString(const char *name) {
    resbuf rb{};
    rb.restype = RTNONE;
    if (acedGetVar(name, &rb) == RTNORM && rb.restype == RTSTR && rb.resval.rstring != nullptr)
        return rb.resval.rstring;
    char *empty = static_cast<char *>(std::malloc(1));
    if (empty != nullptr)
        empty[0] = '\0';
    return empty;
}

// The block table record new entities go to: model space for TILEMODE 1, paper space for 0,
// none for anything else (a failed read included).
static const char *currentSpaceName(int tileMode) {
    if (tileMode == 1)
        return "*Model_Space";
    if (tileMode == 0)
        return "*Paper_Space";
    return nullptr;
}

// On success the entity is closed and belongs to the database. On any failure it is
// neither closed nor deleted: it stays with the caller. A TILEMODE that cannot be read, or
// holds neither 0 nor 1, names no space: nothing is appended and 3 is returned.
int addToCurrentSpace(AcDbEntity *entity, AcDbObjectId &id) {
    int tileMode = -1;
    // A failed read leaves -1, which names no space; that case is answered below.
    (void)getSysVarShort("TILEMODE", tileMode);
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    if (db == nullptr)
        return kStatusNoDatabase;
    const char *space = currentSpaceName(tileMode);
    if (space == nullptr)
        return kStatusSysVarUnreadable;

    AcDbBlockTable *table = nullptr;
    Acad::ErrorStatus es = db->getSymbolTable(table, AcDb::kForRead);
    if (es != Acad::eOk)
        return es;
    AcDbBlockTableRecord *record = nullptr;
    es = table->getAt(space, record, AcDb::kForWrite, /*openErased=*/false);
    if (es == Acad::eOk) {
        es = record->appendAcDbEntity(id, entity);
        if (es == Acad::eOk)
            (void)entity->close(); // a freshly appended entity always closes
        (void)record->close();     // closing a record we opened cannot usefully fail
    }
    (void)table->close();
    return es;
}

// A line that cannot be appended is of no use to anyone: it is deleted here.
int createLine(const AcGePoint3d &start, const AcGePoint3d &end) {
    AcDbLine *line = new AcDbLine(start, end);
    if (line == nullptr) {
        acedAlert("Not enough memory to create a Line!");
        return kStatusNoMemory;
    }
    AcDbObjectId id;
    int status = addToCurrentSpace(line, id);
    if (status != 0)
        delete line;
    return status;
}

// Opens id for write as an entity, or gives nullptr with nothing left open. An object
// that passes the class test by reporting no class is no entity to work on: closed again.
static AcDbEntity *openEntityForWrite(AcDbObjectId id) {
    AcDbObject *obj = openEntityAs(id, AcDb::kForWrite, AcDbEntity::desc());
    if (obj == nullptr)
        return nullptr;
    AcDbEntity *ent = AcDbEntity::cast(obj);
    if (ent == nullptr)
        (void)obj->close(); // opened a moment ago by us; nothing else can hold it
    return ent;
}

int setEntityColor(AcDbObjectId id, int color) {
    AcDbEntity *ent = openEntityForWrite(id);
    if (ent == nullptr)
        return 0;
    // The host refuses indices above 256 and keeps the old colour; nothing to do about it.
    (void)ent->setColorIndex(static_cast<Adesk::UInt16>(color), /*doSubents=*/true);
    (void)ent->close();
    return 0;
}

// An entity that cannot be opened answers -1, which matches no colour index.
int getEntityColor(AcDbObjectId id) {
    AcDbEntity *ent = openEntityForWrite(id);
    if (ent == nullptr)
        return -1;
    const int color = ent->colorIndex();
    (void)ent->close();
    return color;
}

int setEntityLinetype(AcDbObjectId id, const char *linetype) {
    AcDbEntity *ent = openEntityForWrite(id);
    if (ent == nullptr)
        return 0;
    // An unknown linetype is refused by the host and the entity keeps its own.
    (void)ent->setLinetype(linetype, /*doSubents=*/true);
    (void)ent->close();
    return 0;
}

void highlightEntity(AcDbObjectId &id) {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead, /*openErased=*/false) != Acad::eOk)
        return;
    (void)ent->highlight(kNullSubEnt, /*highlightAll=*/false); // display only
    (void)ent->close();
}

void unhighlightEntity(AcDbObjectId &id) {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead, /*openErased=*/false) != Acad::eOk)
        return;
    (void)ent->unhighlight(kNullSubEnt, /*highlightAll=*/false); // display only
    (void)ent->close();
}
