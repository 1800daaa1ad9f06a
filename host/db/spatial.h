// spatial.h - where entities are: picks by point within an aperture, window, crossing,
// polygon and fence selection, ALL and Last, over one space (a block table record).
// An R-tree per space is built on the first query and kept up to date as entities are
// appended, changed (closed after a write open), erased and un-erased. Entities on layers
// that are off or frozen are neither picked nor selected (ALL takes off layers, not frozen).
// Distances are in the XY plane: lines and polyline segments as drawn (arcs by their
// curves), circles and arcs by their curves, text by its box, block references by their
// block's entities through the reference's transform, to a bounded nesting depth.
#pragma once
#include "dbmain.h"
#include <vector>

namespace tev::db {

// How deep block references are followed; a block that inserts itself stops here.
constexpr int kMaxBlockNesting = 16;

// The entity of space nearest pt within aperture (distance ≤ aperture); ties go to the
// later in drawing order. Null when nothing is near enough.
AcDbObjectId pickEntity(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt,
                        double aperture);

// A pick that reaches into block references: the innermost entity, the references that
// contain it (innermost first, the one in space last) and the matrix from the entity's
// block coordinates to the world (identity when not nested).
struct NestedPick {
    AcDbObjectId entity;
    std::vector<AcDbObjectId> containers;
    AcGeMatrix3d xform;
};
// False when nothing is near enough.
bool pickNested(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt, double aperture,
                NestedPick &out);

// Entities fully inside the window (crossing = false) or inside or touching it (crossing =
// true), in drawing order. The corners may come in any order.
std::vector<AcDbObjectId> selectWindow(const AcDbDatabase &db, AcDbObjectId space,
                                       const AcGePoint2d &corner1, const AcGePoint2d &corner2,
                                       bool crossing);
// The same for a closed polygon (WP / CP).
std::vector<AcDbObjectId> selectPolygon(const AcDbDatabase &db, AcDbObjectId space,
                                        const std::vector<AcGePoint2d> &polygon, bool crossing);
// Entities an open polyline (the fence) touches, in drawing order.
std::vector<AcDbObjectId> selectFence(const AcDbDatabase &db, AcDbObjectId space,
                                      const std::vector<AcGePoint2d> &fence);
// Every entity of space not erased and not on a frozen layer, in drawing order.
std::vector<AcDbObjectId> selectAll(const AcDbDatabase &db, AcDbObjectId space);
// The last entity of space in drawing order that is not erased and is visible.
AcDbObjectId lastEntity(const AcDbDatabase &db, AcDbObjectId space);
// An entity with its box in the XY plane.
struct BoxedEntity {
    AcDbObjectId id;
    double x0, y0, x1, y1;
};
// For a pass that looks at each entity of list in turn: asks the cache for the stub and the
// object a few places ahead of i. Entities in a crowded view lie all over memory, and
// waiting for each in turn is most of such a pass.
void prefetchAhead(const std::vector<BoxedEntity> &list, std::size_t i);
// The entities of space that show (as for picks) whose boxes meet the box from lo to hi and
// are at least minSize wide or high, in drawing order: what a view of that box draws as
// vectors when minSize is its pixel. When more than maxCount are found, the maxCount
// largest. rest (when given) gets the others that show there, with their boxes, so that
// they can be drawn another way; rays and construction lines count as meeting any box.
std::vector<AcDbObjectId> entitiesInBox(const AcDbDatabase &db, AcDbObjectId space,
                                        const AcGePoint2d &lo, const AcGePoint2d &hi,
                                        double minSize, std::size_t maxCount,
                                        std::vector<BoxedEntity> *rest = nullptr);
// The box of everything in space's index; false when it holds nothing.
bool spaceExtents(const AcDbDatabase &db, AcDbObjectId space, AcGePoint2d &lo, AcGePoint2d &hi);
// Whether the entity's layer is on and thawed.
bool isOnVisibleLayer(const AcDbEntity &ent);

} // namespace tev::db
