// colorpick.cpp - picking a colour: from an entity (through its layer when ByLayer), or,
// after an empty answer, from the host's colour dialog.
#include "services.h"

#include <cstdlib>

#include "adscodes.h"
#include "acedads.h"
#include "aced.h"
#include "dbsymtb.h"
#include "dbapserv.h"

// What layerColorIndex answers when it cannot resolve a layer: the colour stays ByLayer.
constexpr int kByLayer = 256;

// Opens the picked entity to read its colour. Write access is asked for first, as the
// colour commands always have; an entity that refuses it (one on a locked layer) still
// shows its colour, so a read open is tried next. Null when neither works.
static AcDbEntity *openPickedEntity(AcDbObjectId id) {
    AcDbObject *obj = openEntityAs(id, AcDb::kForWrite, AcDbEntity::desc());
    if (obj == nullptr)
        obj = openEntityAs(id, AcDb::kForRead, AcDbEntity::desc());
    if (obj == nullptr)
        return nullptr;
    AcDbEntity *ent = AcDbEntity::cast(obj);
    if (ent == nullptr)
        (void)obj->close(); // opened by us a moment ago: closing it cannot fail
    return ent;
}

// The colour index of the entity, looked up through its layer when it is ByLayer.
// The entity is closed before the layer is looked up.
static int resolvedColorIndex(AcDbEntity *ent) {
    int color = ent->colorIndex();
    if (color != kByLayer) {
        (void)ent->close(); // opened only for reading its colour
        return color;
    }
    char *layer = ent->layer();
    (void)ent->close();
    color = layerColorIndex(layer);
    acutDelString(layer);
    return color;
}

// Nothing is printed for the three pick codes. A miss is RTERROR with ERRNO 7; any other
// RTERROR (an empty answer above all) is an Enter. A status the pick should never give
// delivers no entity: it is answered as a cancel, so no caller goes on with a colour it
// never got. An entity that cannot be opened at all counts as a miss.
int pickColorIndex(const char *prompt) {
    ads_name name;
    ads_point point; // where the user clicked; the colour does not depend on it
    const int status = acedEntSel(prompt, name, point);
    if (status == RTCAN)
        return kPickCancel;
    if (status == RTERROR) {
        int err = 0;
        if (getSysVarShort("ERRNO", err) == 0 && err == OL_ENTSELPICK)
            return kPickMissed;
        return kPickEnter;
    }
    if (status != RTNORM)
        return kPickCancel;

    AcDbObjectId id;
    // A bad name leaves the id null, and the open below fails on it.
    (void)acdbGetObjectId(id, name);
    AcDbEntity *ent = openPickedEntity(id);
    if (ent == nullptr)
        return kPickMissed;
    const int color = resolvedColorIndex(ent);
    acutPrintf("\nВыбран индекс цвета - %i", color);
    return color;
}

// The layer table is closed before the layer's colour is read, and the layer before its
// index is taken. A layer the table does not hold (or no drawing, or no name) answers
// ByLayer.
int layerColorIndex(const char *layerName) {
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    if (db == nullptr || layerName == nullptr) // no drawing, or no name (out of memory)
        return kByLayer;
    AcDbLayerTable *table = nullptr;
    if (db->getSymbolTable(table, AcDb::kForRead) != Acad::eOk)
        return kByLayer;
    if (!table->has(layerName)) {
        (void)table->close(); // opened for read by us
        return kByLayer;
    }
    AcDbLayerTableRecord *record = nullptr;
    const Acad::ErrorStatus es = table->getAt(layerName, record, AcDb::kForRead, false);
    (void)table->close(); // opened for read by us
    if (es != Acad::eOk)
        return kByLayer;
    const AcCmColor color = record->color();
    (void)record->close(); // opened for read by us
    return color.colorIndex();
}

// The dialog's answer is not looked at: a confirmed colour is in color, a dismissed dialog
// leaves color as it came (300). CECOLOR names the current colour, by number or by a word
// that atoi reads as 0.
void chooseColorByDialog(int &color) {
    char *current = getSysVarString("CECOLOR");
    const int currentColor = current != nullptr ? std::atoi(current) : 0;
    std::free(current);
    (void)acedSetColorDialog(color, /*bAllowMetaColor=*/true, currentColor);
}

bool pickColorOrDialog(const char *prompt, int &color) {
    color = pickColorIndex(prompt);
    if (color == kPickCancel)
        return false;
    if (color == kPickEnter)
        chooseColorByDialog(color);
    return true;
}
