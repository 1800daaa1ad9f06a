// lengthbycolor.cpp - Lpl: the total XY length of the lines, lightweight polylines and 2D
// polylines of one colour, or of every colour, in a selection.
#include "edit.h"
#include "edit_internal.h"
#include "acedads.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "services.h"
#include <cmath>

using tev_edit::isOfClass;
using tev_edit::openAs;

namespace {

double xyDistance(const AcGePoint3d &a, const AcGePoint3d &b) {
    const double dx = a.x - b.x, dy = a.y - b.y;
    const double squares = dx * dx + dy * dy;
    // The plain root is several times faster; hypot only where the squares overflow (or
    // underflow to nothing) for coordinates far from any real drawing's.
    if (std::isfinite(squares) && (squares > 1e-290 || (dx == 0 && dy == 0)))
        return std::sqrt(squares);
    return std::hypot(dx, dy);
}

// What the command needs to know of a selected entity, read under one read open.
struct EntityFacts {
    AcRxClass *cls = nullptr;
    int colorIndex = 0;
    int layerColor = 0; // the layer's colour index; looked up only for a ByLayer entity
};

// Reads the class and the colour of id; the colour of a ByLayer entity is its layer's.
// False when the entity cannot be opened. Only reads: an entity on a locked layer is
// measured like any other.
bool readEntityFacts(AcDbObjectId id, EntityFacts &facts) {
    AcDbEntity *ent = openAs<AcDbEntity>(id, AcDb::kForRead);
    if (ent == nullptr)
        return false;
    facts.cls = ent->isA();
    facts.colorIndex = ent->colorIndex();
    char *layer = facts.colorIndex == 256 ? ent->layer() : nullptr;
    (void)ent->close(); // a read close has nothing to commit
    if (layer != nullptr) {
        facts.layerColor = layerColorIndex(layer);
        acutDelString(layer);
    }
    return true;
}

// The length id adds to the total for the picked colour: kPickEnter stands for every
// colour, a ByLayer entity is compared by its layer's colour, ByBlock (0) stays 0.
double matchingLength(AcDbObjectId id, int pickedColor) {
    EntityFacts facts;
    if (!readEntityFacts(id, facts))
        return 0.0;
    if (pickedColor != kPickEnter) {
        const int color = facts.colorIndex == 256 ? facts.layerColor : facts.colorIndex;
        if (color != pickedColor)
            return 0.0;
    }
    if (isOfClass(facts.cls, AcDb2dPolyline::desc()))
        return polyline2dLength(id);
    if (isOfClass(facts.cls, AcDbPolyline::desc()))
        return lightweightPolylineLength(id);
    if (isOfClass(facts.cls, AcDbLine::desc()))
        return lineLength(id);
    return 0.0; // 3D polylines, arcs, circles, blocks and the rest are not measured
}

} // namespace

double lineLength(const AcDbObjectId &id) {
    AcDbLine *line = openAs<AcDbLine>(id, AcDb::kForRead);
    if (line == nullptr)
        return 0.0;
    const AcGePoint3d start = line->startPoint();
    const AcGePoint3d end = line->endPoint();
    (void)line->close(); // read close
    return xyDistance(start, end);
}

// Sums the segments between vertices as straight chords (bulges play no part) and adds
// the closing segment of a closed polyline.
double lightweightPolylineLength(AcDbObjectId id) {
    AcDbPolyline *pline = openAs<AcDbPolyline>(id, AcDb::kForRead);
    if (pline == nullptr)
        return 0.0;
    double length = 0.0;
    AcGePoint3d first, previous;
    for (unsigned int i = 0; i < pline->numVerts(); ++i) {
        AcGePoint3d point;
        if (pline->getPointAt(i, point) != Acad::eOk)
            continue;
        if (i == 0)
            first = point;
        else
            length += xyDistance(previous, point);
        previous = point;
    }
    if (pline->numVerts() > 0 && pline->isClosed())
        length += xyDistance(previous, first);
    (void)pline->close(); // read close
    return length;
}

// Sums the chords between consecutive vertices of every type; no closing segment, even
// for a closed polyline. A vertex that cannot be opened is passed over.
double polyline2dLength(AcDbObjectId id) {
    AcDb2dPolyline *pline = openAs<AcDb2dPolyline>(id, AcDb::kForRead);
    if (pline == nullptr)
        return 0.0;
    AcDbObjectIterator *it = pline->vertexIterator();
    (void)pline->close(); // read close
    if (it == nullptr)
        return 0.0;
    double length = 0.0;
    AcGePoint3d previous;
    bool havePrevious = false;
    for (; !it->done(); it->step(/*backwards=*/false, /*skipDeleted=*/true)) {
        AcDb2dVertex *vertex = openAs<AcDb2dVertex>(it->objectId(), AcDb::kForRead);
        if (vertex == nullptr)
            continue;
        const AcGePoint3d position = vertex->position();
        (void)vertex->close(); // read close
        if (havePrevious)
            length += xyDistance(previous, position);
        previous = position;
        havePrevious = true;
    }
    delete it;
    return length;
}

// Picks the colour (Escape ends silently; Enter opens the colour dialog, and a dismissed
// dialog means every colour), asks for one selection and prints the total, 0.000000 when
// nothing matched.
void lengthByColorCommand() {
    int pickedColor = 0;
    if (!pickColorOrDialog("\nУкажите цвет / <ENTER>-все цвета", pickedColor))
        return;

    ads_name ss;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) != RTNORM) {
        acutPrintf(" \nНичего не выбрано");
        return;
    }
    double total = 0.0;
    forEachSelected(ss, [&](AcDbObjectId id) { total += matchingLength(id, pickedColor); });
    (void)acedSSFree(ss);
    acutPrintf(" \nДлина  = %f\n", total);
}
