// joinlines.cpp - Jl: replaces two picked lines by one line from the far endpoint of the
// first to the far endpoint of the second; the new line takes the first line's colour and
// linetype, and the two picked lines are erased.
#include "draw.h"

#include "services.h"
#include "adscodes.h"
#include "acedads.h"
#include "dbents.h"

namespace {

// One picked line: its name and pick point, its id, and the entity while it is open.
struct Pick {
    ads_name name = {0, 0};
    AcGePoint3d point;
    AcDbObjectId id;
    AcDbEntity *entity = nullptr;
};

// Asks for one entity. False (with the message) when nothing was picked.
bool pickEntity(const char *prompt, Pick &pick) {
    ads_point point = {0, 0, 0};
    if (acedEntSel(prompt, pick.name, point) != RTNORM) {
        acutPrintf("\nНичто не выбрано.\n");
        return false;
    }
    pick.point.set(point[X], point[Y], point[Z]);
    // A bad name leaves the id null; the open then fails and is reported.
    (void)acdbGetObjectId(pick.id, pick.name);
    return true;
}

// Highlights the picked entity and opens it for write. False (with a message) when it
// cannot be opened, for instance on a locked layer; its highlight then stays for the
// caller to remove with the others.
bool openPicked(Pick &pick) {
    highlightEntity(pick.id);
    AcDbObject *obj = openEntityAs(pick.id, AcDb::kForWrite, AcDbEntity::desc());
    if (obj != nullptr) {
        pick.entity = AcDbEntity::cast(obj);
        if (pick.entity != nullptr)
            return true;
        (void)obj->close(); // opened by us a moment ago
    }
    acutPrintf("\nОбъект не удаётся открыть для изменения");
    return false;
}

// The class test for a line. An entity that reports no class would pass the bare test, but
// it has no endpoints to read, so it must also be one we can treat as a line.
bool isLine(const Pick &pick) {
    return passesClassTest(pick.entity, AcDbLine::desc()) && AcDbLine::cast(pick.entity) != nullptr;
}

// Closes what is open and removes the highlights: first pick, then second.
void release(Pick &first, Pick *second) {
    if (first.entity != nullptr)
        (void)first.entity->close(); // unchanged, opened by us
    if (second != nullptr && second->entity != nullptr)
        (void)second->entity->close(); // unchanged, opened by us
    unhighlightEntity(first.id);
    if (second != nullptr)
        unhighlightEntity(second->id);
}

// The endpoint of line farther from m; the start point on a tie.
AcGePoint3d farEndpoint(const AcDbLine *line, const AcGePoint3d &m) {
    const AcGePoint3d start = line->startPoint();
    const AcGePoint3d end = line->endPoint();
    return m.distanceTo(start) < m.distanceTo(end) ? end : start;
}

// Makes the joining line and appends it. Gives the new line's id, or false (after telling
// the user) when the line cannot be made or the drawing would not take it; the drawing is
// then unchanged.
bool appendJoiningLine(const Pick &first, const Pick &second, AcDbObjectId &newId) {
    const AcGePoint3d m((first.point.x + second.point.x) / 2, (first.point.y + second.point.y) / 2,
                        (first.point.z + second.point.z) / 2);
    const AcGePoint3d a = farEndpoint(AcDbLine::cast(first.entity), m);
    const AcGePoint3d b = farEndpoint(AcDbLine::cast(second.entity), m);
    AcDbLine *line = new AcDbLine(a, b);
    if (line == nullptr) {
        acedAlert("Не достаточно памяти, чтобы создать линию!");
        return false;
    }
    if (addToCurrentSpace(line, newId) != 0) {
        delete line; // never appended: still ours
        acutPrintf("\nНе удалось добавить линию в чертёж");
        return false;
    }
    return true;
}

} // namespace

// Both picked entities stay open for write from their opening until the command ends.
// Every exit but a finished join closes them and removes their highlights. The old lines
// are erased only after the new line is in the drawing, so a failed append loses nothing.
void joinLinesCommand() {
    Pick first;
    if (!pickEntity("\nУкажите первую линию:", first))
        return;
    if (!openPicked(first)) {
        release(first, nullptr);
        return;
    }
    if (!isLine(first)) {
        acutPrintf("\nЭто не линия");
        release(first, nullptr);
        return;
    }

    Pick second;
    if (!pickEntity("\nУкажите вторую линию:", second)) {
        release(first, nullptr);
        return;
    }
    if (second.id.handle() == first.id.handle()) {
        release(first, nullptr);
        acutPrintf("\nВыход");
        return;
    }
    if (!openPicked(second)) {
        release(first, &second);
        return;
    }
    if (!isLine(second)) {
        acutPrintf("\nЭто не линия");
        release(first, &second);
        return;
    }

    AcDbObjectId newId;
    if (!appendJoiningLine(first, second, newId)) {
        release(first, &second);
        return;
    }
    (void)setEntityColor(newId, first.entity->colorIndex()); // always 0
    char *linetype = first.entity->linetype(); // null only for an entity never appended
    if (linetype != nullptr)
        (void)setEntityLinetype(newId, linetype); // always 0
    acutDelString(linetype);
    // Erasing an entity we hold open for write does not fail; closing commits it.
    (void)first.entity->erase(true);
    (void)first.entity->close();
    (void)second.entity->erase(true);
    (void)second.entity->close();
}
