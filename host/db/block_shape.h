// block_shape.h - the shape of each block record, collected once in the block's own
// coordinates (its references expanded) and kept until a block, a layer or any other
// non-entity object may have changed. A reference places its block's kept shape through its
// transform instead of walking the block again; its box comes from the kept hull.
#pragma once
#include "shape.h"

#include <cstddef>
#include <vector>

namespace tev::db {

struct BlockShape {
    Shape shape; // in the block's coordinates (XY), its references expanded
    // The convex hull of the points of its segments, text boxes, areas and the bases of its
    // lines without end: the box of the shape through any affine map is its hull's.
    std::vector<P2> hull;
    std::size_t walked = 0; // the entities collecting it looked at (what it costs a budget)
    int needs = 1;          // the depth a walk of the block needs to reach all of it
};

// The kept shape of block, made when it is first asked for; null when the block has to be
// walked entity by entity: it is missing, nests through itself or deeper than a walk goes,
// stands for more entities than a shape takes, or the cache is full.
const BlockShape *keptBlockShape(AcDbObjectId block);

// Whether m takes a block's XY plane to the world's XY without Z having a part in it (a
// reference in the XY plane, turned, scaled or mirrored there): a kept shape can be placed.
bool placesFlat(const AcGeMatrix3d &m);

// Adds s, placed through m (placesFlat), to out.
void placeShape(const Shape &s, const AcGeMatrix3d &m, Shape &out);

// The box of b placed through m (placesFlat); false when it is empty.
bool placedBox(const BlockShape &b, const AcGeMatrix3d &m, P2 &lo, P2 &hi);

// The box of an entity's shape, a reference's through its block's kept shape where it can;
// unbounded says whether it holds lines without end. False when the shape is empty.
bool shapeBox(const AcDbEntity &e, P2 &lo, P2 &hi, bool &unbounded);

} // namespace tev::db
