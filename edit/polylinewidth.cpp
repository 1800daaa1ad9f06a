// polylinewidth.cpp - Wpe: gives the polylines of a selection one constant width and
// replaces its lines by 2D polylines of that width.
#include "edit.h"
#include "edit_internal.h"
#include "acedads.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "gearray.h"
#include "services.h"

using tev_edit::closeOrAbort;
using tev_edit::isOfClass;
using tev_edit::openAs;

namespace {

constexpr const char *kNoMemory = "Не достаточно памяти, чтобы создать полилинию!";

// Erases the entity id names; used to take back a polyline whose line could not be erased.
void eraseEntity(AcDbObjectId id) {
    AcDbEntity *ent = openAs<AcDbEntity>(id, AcDb::kForWrite);
    if (ent == nullptr)
        return;
    (void)ent->erase(true); // open for write: nothing left to go wrong
    (void)ent->close();
}

// Makes the wide polyline of createWidePolyline and hands back its id. Its colour and
// linetype (the record linetypeId names, else the one named linetype) are given before it
// is appended, so that it goes into the drawing whole and is never opened again.
bool appendWidePolyline(AcGePoint3d start, AcGePoint3d end, double width, int colorIndex,
                        const char *linetype, AcDbObjectId linetypeId, AcDbObjectId &id) {
    AcGePoint3dArray vertices;
    vertices.append(AcGePoint3d(start.x, start.y, 0.0));
    vertices.append(AcGePoint3d(end.x, end.y, 0.0));
    auto *pline = new AcDb2dPolyline(AcDb::k2dSimplePoly, vertices, /*elevation=*/0.0,
                                     /*closed=*/false, /*defStartWidth=*/width,
                                     /*defEndWidth=*/width, /*bulges=*/nullptr);
    if (pline == nullptr) {
        acedAlert(kNoMemory);
        return false;
    }
    // Not yet appended: ours to change. An index above 256 is refused and the polyline takes
    // the drawing's current colour; a linetype the drawing lacks leaves it the current one.
    (void)pline->setColorIndex(static_cast<Adesk::UInt16>(colorIndex));
    if (!linetypeId.isNull())
        (void)pline->setLinetype(linetypeId);
    else if (linetype != nullptr)
        (void)pline->setLinetype(linetype);
    id = AcDbObjectId::kNull;
    const int status = addToCurrentSpace(pline, id);
    if (status != 0) {
        delete pline; // never appended: still ours
        // A vertex the allocator could not give leaves the polyline incomplete, and the
        // database refuses it as out of memory.
        if (status == Acad::eOutOfMemory)
            acedAlert(kNoMemory);
        else
            acutPrintf("\nНе удалось добавить полилинию в чертёж");
        return false;
    }
    return true;
}

// Replaces the line by a wide 2D polyline. The polyline is made and appended before the
// line is erased, so a line whose polyline cannot be made stays in the drawing as it was;
// a line that cannot be opened for write (on a locked layer) is left alone.
void replaceLine(AcDbObjectId lineId, double width) {
    AcDbLine *line = openAs<AcDbLine>(lineId, AcDb::kForWrite);
    if (line == nullptr)
        return;
    const AcGePoint3d start = line->startPoint();
    const AcGePoint3d end = line->endPoint();
    const int colorIndex = line->colorIndex();

    AcDbObjectId plineId = AcDbObjectId::kNull;
    const bool replaced =
        appendWidePolyline(start, end, width, colorIndex, nullptr, line->linetypeId(), plineId);
    const bool erased = replaced && line->erase(true) == Acad::eOk;
    (void)line->close(); // commits the erase, if there was one
    if (replaced && !erased)
        eraseEntity(plineId); // never both: the drawing stays as it was
}

} // namespace

bool createWidePolyline(AcGePoint3d start, AcGePoint3d end, double width, int colorIndex,
                        const char *linetype) {
    AcDbObjectId id = AcDbObjectId::kNull;
    return appendWidePolyline(start, end, width, colorIndex, linetype, AcDbObjectId::kNull, id);
}

void setPolyline2dWidth(AcDb2dPolyline *pline, double width) {
    AcDbObjectIterator *it = pline->vertexIterator();
    (void)pline->close(); // read close; the vertices are opened one by one below
    if (it == nullptr)
        return;
    for (; !it->done(); it->step(/*backwards=*/false, /*skipDeleted=*/true)) {
        AcDbObject *obj = nullptr;
        if (acdbOpenAcDbObject(obj, it->objectId(), AcDb::kForWrite) != Acad::eOk)
            continue; // keeps its widths (a locked layer, say)
        auto *vertex = AcDb2dVertex::cast(obj);
        if (vertex == nullptr) {
            closeOrAbort(obj);
            continue;
        }
        // The control vertices of a spline-fit polyline are its frame, not its outline.
        if (vertex->vertexType() != AcDb::k2dSplineCtlVertex) {
            (void)vertex->setStartWidth(width);
            (void)vertex->setEndWidth(width);
        }
        (void)vertex->close(); // commits the widths
    }
    delete it;
}

void setLightweightPolylineWidth(AcDbObjectId id, double width) {
    AcDbPolyline *pline = openAs<AcDbPolyline>(id, AcDb::kForWrite);
    if (pline == nullptr)
        return; // cannot be written (a locked layer): left as it is
    for (unsigned int i = 0; i < pline->numVerts(); ++i)
        (void)pline->setWidthsAt(i, width, width); // i is in range
    (void)pline->close();                          // commits the widths
}

// Asks for the selection, then for the width; an empty or cancelled answer to either ends
// the command with its message and nothing changed. Prints nothing on success.
void polylineWidthCommand() {
    ads_name ss;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) != RTNORM) {
        acutPrintf(" \nНичего не выбрано");
        return;
    }
    ads_real width = 0.0;
    if (acedGetReal("\nВведите ширину:", &width) != RTNORM) {
        acutPrintf("\nНичего не введено");
        (void)acedSSFree(ss);
        return;
    }
    forEachSelected(ss, [width](AcDbObjectId id) {
        AcDbObject *obj = nullptr;
        if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk)
            return; // cannot be read: left as it is
        const AcRxClass *cls = obj->isA();
        if (isOfClass(cls, AcDb2dPolyline::desc())) {
            setPolyline2dWidth(AcDb2dPolyline::cast(obj), width); // closes it
            return;
        }
        (void)obj->close(); // read close
        if (isOfClass(cls, AcDb3dPolyline::desc()))
            return;
        if (isOfClass(cls, AcDbPolyline::desc()))
            setLightweightPolylineWidth(id, width);
        else if (isOfClass(cls, AcDbLine::desc()))
            replaceLine(id, width);
    });
    (void)acedSSFree(ss);
}
