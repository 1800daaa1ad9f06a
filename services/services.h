// services.h - the small shared operations every command uses: system variables,
// opening entities with a class check, adding new entities to the current space,
// colour, linetype and highlight by object id, and picking a colour.
#pragma once
#include "adesk.h"
#include "acedads.h"
#include "dbmain.h"

// Statuses of our own, beside the database's: a system variable could not be read,
// no memory for a new line, no working database. 3 is also the database's eInvalidInput;
// the callers only tell success from failure, so addToCurrentSpace passing either on
// means the same to them, and 3 is the value the commands' callers have always seen.
constexpr int kStatusSysVarUnreadable = 3;
constexpr int kStatusNoMemory = 6;
constexpr int kStatusNoDatabase = 124;

// Pick codes: they share one integer with colour indices and lie above 256.
constexpr int kPickEnter = 300;  // the pick failed for a reason other than a miss (Enter)
constexpr int kPickMissed = 400; // the pick point hit nothing (ERRNO 7)
constexpr int kPickCancel = 500; // Escape

// The whole entity, for highlight and unhighlight; built at load, never changed.
extern const AcDbFullSubentPath kNullSubEnt;

// True when obj reports no class, or its class is wanted or derives from it.
bool passesClassTest(const AcRxObject *obj, AcRxClass *wanted);

// Opens id in mode and checks its class. Returns the object open in mode (the caller
// closes it) or nullptr; an object of the wrong class is closed again at once, and if
// that close fails the host is stopped with "Failed AcDbObject::close()".
AcDbObject *openEntityAs(AcDbObjectId id, AcDb::OpenMode mode, AcRxClass *wanted);

// Reads an integer system variable: 0 and the sign-extended value, or 3 and value untouched.
int getSysVarShort(const char *name, int &value);
// Reads a text system variable; the caller owns the result (free()). Never null.
char *getSysVarString(const char *name);
// Sets a real system variable; true when the host took it.
bool setSysVarReal(const char *name, double value);

// Appends a new entity to the space TILEMODE names and closes it. On failure the entity
// stays with the caller, unclosed. Returns 0, 124 without a working database, or the
// host's status.
int addToCurrentSpace(AcDbEntity *entity, AcDbObjectId &id);
// Makes a line and appends it; alerts and returns 6 when it cannot be allocated.
int createLine(const AcGePoint3d &start, const AcGePoint3d &end);
int setEntityColor(AcDbObjectId id, int color);
int getEntityColor(AcDbObjectId id);
int setEntityLinetype(AcDbObjectId id, const char *linetype);
void highlightEntity(AcDbObjectId &id);
void unhighlightEntity(AcDbObjectId &id);

// Asks for an entity with prompt and answers its colour index (through its layer when
// ByLayer) or one of the pick codes.
int pickColorIndex(const char *prompt);
// The colour index of the named layer of the working database.
int layerColorIndex(const char *layerName);
// Runs the colour dialog on color (which holds kPickEnter on entry).
void chooseColorByDialog(int &color);
// The opening of the commands that work in one colour: pickColorIndex with prompt, and
// after an empty answer the colour dialog. False when the user cancelled the pick; else
// color is a picked index, what the dialog left (kPickEnter when dismissed) or kPickMissed.
bool pickColorOrDialog(const char *prompt, int &color);

// Calls visit(id) for each entity of the selection set, in order; a name that gives no
// object id is skipped. The set stays the caller's to free.
template <typename Visit> void forEachSelected(const ads_name ss, Visit visit) {
    long count = 0;
    if (acedSSLength(ss, &count) != RTNORM)
        return;
    for (long i = 0; i < count; ++i) {
        ads_name ent;
        AcDbObjectId id = AcDbObjectId::kNull;
        if (acedSSName(ss, i, ent) != RTNORM || acdbGetObjectId(id, ent) != Acad::eOk)
            continue;
        visit(id);
    }
}
