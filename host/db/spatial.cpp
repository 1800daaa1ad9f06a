// spatial.cpp - picks and selections: an R-tree of entity boxes per space, and exact 2D
// tests on each candidate's shape (shape.h).
#include "spatial.h"
#include "access.h"
#include "block_shape.h"
#include "database_impl.h"
#include "shape.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <unordered_set>

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace tev::db {

namespace {

using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using Value = std::pair<BBox, AcDbStub *>;
} // namespace

// --- the index
// --------------------------------------------------------------------------------------

struct SpaceIndex {
    bgi::rtree<Value, bgi::rstar<16>> tree;
    std::unordered_map<AcDbStub *, BBox> boxes;
    // Entities with rays or construction lines: near anything, whatever their boxes say.
    std::unordered_set<AcDbStub *> unbounded;
};

void SpaceIndexDeleter::operator()(SpaceIndex *index) const {
    delete index;
}

namespace {

// The box of an entity's shape; unbounded says whether it holds lines without end.
bool boxOf(const AcDbObject *o, BBox &box, bool &unbounded) {
    const auto *e = AcDbEntity::cast(o);
    unbounded = false;
    if (e == nullptr || e->isErased())
        return false;
    // The modelled kinds know their boxes; references and kept kinds are measured by shape.
    if (AcDbBlockReference::cast(e) == nullptr && AcDbUnknownEntity::cast(e) == nullptr) {
        AcDbExtents ext;
        if (e->getGeomExtents(ext) != Acad::eOk || ext.isEmpty())
            return false;
        box = BBox(BPoint(ext.minPoint().x, ext.minPoint().y),
                   BPoint(ext.maxPoint().x, ext.maxPoint().y));
        return true;
    }
    P2 lo, hi;
    if (!shapeBox(*e, lo, hi, unbounded))
        return false;
    box = BBox(BPoint(lo.x, lo.y), BPoint(hi.x, hi.y));
    return true;
}

SpaceIndex *indexOf(const AcDbDatabase &db, AcDbObjectId space) {
    if (space.isNull() || space.database() != &db || peekAs<AcDbBlockTableRecord>(space) == nullptr)
        return nullptr;
    DatabaseImpl &impl = tev::db::implOf(db);
    auto it = impl.spatial.find(space.stub());
    if (it != impl.spatial.end())
        return it->second.get();
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    std::vector<Value> values;
    auto index = std::unique_ptr<SpaceIndex, SpaceIndexDeleter>(new SpaceIndex);
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        BBox box;
        bool unbounded = false;
        if (o != nullptr && boxOf(o, box, unbounded)) {
            values.emplace_back(box, o->objectId().stub());
            index->boxes.emplace(o->objectId().stub(), box);
            if (unbounded)
                index->unbounded.insert(o->objectId().stub());
        }
    }
    index->tree = bgi::rtree<Value, bgi::rstar<16>>(values.begin(), values.end()); // packed
    SpaceIndex *raw = index.get();
    impl.spatial.emplace(space.stub(), std::move(index));
    return raw;
}

// The candidates of a query, as entities that show, in drawing order. near: the query
// looks for what meets a place, which lines without end may do wherever their boxes are.
template <class Pred>
std::vector<AcDbStub *> candidates(SpaceIndex &index, Pred pred, bool near = true) {
    std::vector<Value> hits;
    index.tree.query(pred, std::back_inserter(hits));
    std::vector<AcDbStub *> out;
    auto shows = [](AcDbStub *stub) {
        auto *e = AcDbEntity::cast(stub->object);
        return e != nullptr && !stub->erased && e->isVisible() && layerShown(e->layerId());
    };
    for (const Value &v : hits)
        if (shows(v.second) && !(near && index.unbounded.count(v.second)))
            out.push_back(v.second);
    if (near)
        for (AcDbStub *stub : index.unbounded)
            if (shows(stub))
                out.push_back(stub);
    std::sort(out.begin(), out.end(),
              [](const AcDbStub *a, const AcDbStub *b) { return a->order < b->order; });
    return out;
}

std::vector<AcDbObjectId> ids(const std::vector<AcDbStub *> &stubs) {
    std::vector<AcDbObjectId> out;
    out.reserve(stubs.size());
    for (AcDbStub *s : stubs)
        out.emplace_back(s);
    return out;
}

Shape shapeOf(const AcDbEntity &e, const AcGeMatrix3d &m = AcGeMatrix3d()) {
    Shape s;
    collectShape(e, m, kMaxBlockNesting, s);
    return s;
}

BBox boundsOf(const std::vector<P2> &pts) {
    BBox b(BPoint(pts[0].x, pts[0].y), BPoint(pts[0].x, pts[0].y));
    for (P2 p : pts)
        bg::expand(b, BPoint(p.x, p.y));
    return b;
}

} // namespace

void updateSpaceIndex(SpaceIndex &index, AcDbStub *stub) {
    auto it = index.boxes.find(stub);
    if (it != index.boxes.end()) {
        index.tree.remove(Value(it->second, stub));
        index.boxes.erase(it);
    }
    index.unbounded.erase(stub);
    BBox box;
    bool unbounded = false;
    if (stub->object != nullptr && boxOf(stub->object, box, unbounded)) {
        index.tree.insert(Value(box, stub));
        index.boxes.emplace(stub, box);
        if (unbounded)
            index.unbounded.insert(stub);
    }
}

// --- queries
// -----------------------------------------------------------------------------------------

bool isOnVisibleLayer(const AcDbEntity &ent) {
    return layerShown(ent.layerId());
}

AcDbObjectId pickEntity(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt,
                        double aperture) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || !(aperture >= 0))
        return AcDbObjectId();
    BBox around(BPoint(pt.x - aperture, pt.y - aperture), BPoint(pt.x + aperture, pt.y + aperture));
    AcDbStub *best = nullptr;
    double bestDist = std::numeric_limits<double>::infinity();
    for (AcDbStub *s : candidates(*index, bgi::intersects(around))) {
        double d = distance(shapeOf(*static_cast<AcDbEntity *>(s->object)), {pt.x, pt.y});
        if (d <= aperture && d <= bestDist + 1e-12) { // later in drawing order wins a tie
            best = s;
            bestDist = std::min(d, bestDist);
        }
    }
    return AcDbObjectId(best);
}

namespace {
struct NestedSearch {
    P2 pt;
    double best = std::numeric_limits<double>::infinity();
    std::vector<AcDbObjectId> chain; // references, outermost first
    NestedPick result;
    bool found = false;
    std::size_t left = kMaxExpandedEntities; // entities still to look at
    bool cut = false;

    void visit(const AcDbEntity &e, const AcGeMatrix3d &m, int depth) {
        if (left == 0) {
            cut = true;
            return;
        }
        --left;
        if (auto *ref = AcDbBlockReference::cast(&e)) {
            auto *rec = peekAs<AcDbBlockTableRecord>(ref->blockTableRecord());
            if (rec == nullptr || depth <= 0)
                return;
            chain.push_back(e.objectId());
            AcGeMatrix3d inner = m * ref->blockTransform();
            for (AcDbObject *o : ObjectAccess::entities(*rec)) {
                auto *child = static_cast<AcDbEntity *>(o);
                if (cut)
                    break;
                if (child != nullptr && !child->isErased() && nestedShown(*child))
                    visit(*child, inner, depth - 1);
            }
            chain.pop_back();
            return;
        }
        Shape s;
        collectShape(e, m, kMaxBlockNesting, s); // a dimension: through its block
        double d = distance(s, pt);
        if (d <= best + 1e-12) {
            best = std::min(best, d);
            found = true;
            result.entity = e.objectId();
            result.containers.assign(chain.rbegin(), chain.rend());
            result.xform = m;
        }
    }
};
} // namespace

bool pickNested(const AcDbDatabase &db, AcDbObjectId space, const AcGePoint2d &pt, double aperture,
                NestedPick &out) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || !(aperture >= 0))
        return false;
    BBox around(BPoint(pt.x - aperture, pt.y - aperture), BPoint(pt.x + aperture, pt.y + aperture));
    NestedSearch search;
    search.pt = {pt.x, pt.y};
    for (AcDbStub *s : candidates(*index, bgi::intersects(around)))
        search.visit(*static_cast<AcDbEntity *>(s->object), AcGeMatrix3d(), kMaxBlockNesting);
    if (search.cut)
        noteCutShape();
    if (!search.found || search.best > aperture)
        return false;
    out = search.result;
    return true;
}

std::vector<AcDbObjectId> selectPolygon(const AcDbDatabase &db, AcDbObjectId space,
                                        const std::vector<AcGePoint2d> &polygon, bool crossing) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || polygon.size() < 3)
        return {};
    std::vector<P2> poly;
    for (const AcGePoint2d &p : polygon)
        poly.push_back({p.x, p.y});
    BBox bounds = boundsOf(poly);
    std::vector<AcDbStub *> hits;
    auto test = [&](AcDbStub *s) {
        return matchesPolygon(shapeOf(*static_cast<AcDbEntity *>(s->object)), poly, crossing);
    };
    if (crossing) {
        for (AcDbStub *s : candidates(*index, bgi::intersects(bounds)))
            if (test(s))
                hits.push_back(s);
    } else {
        for (AcDbStub *s : candidates(*index, bgi::covered_by(bounds), /*near=*/false))
            if (test(s))
                hits.push_back(s);
    }
    return ids(hits);
}

std::vector<AcDbObjectId> selectWindow(const AcDbDatabase &db, AcDbObjectId space,
                                       const AcGePoint2d &corner1, const AcGePoint2d &corner2,
                                       bool crossing) {
    double x0 = std::min(corner1.x, corner2.x), x1 = std::max(corner1.x, corner2.x);
    double y0 = std::min(corner1.y, corner2.y), y1 = std::max(corner1.y, corner2.y);
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr)
        return {};
    BBox window(BPoint(x0, y0), BPoint(x1, y1));
    if (!crossing) { // the boxes are exact: an entity whose box is inside is inside
        std::vector<AcDbStub *> inside = candidates(*index, bgi::covered_by(window), false);
        std::erase_if(inside, [&](AcDbStub *s) { return index->unbounded.count(s) != 0; });
        return ids(inside);
    }
    std::vector<P2> poly = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    std::vector<AcDbStub *> hits;
    for (AcDbStub *s : candidates(*index, bgi::intersects(window))) {
        BBox box = index->boxes.at(s);
        if ((bg::covered_by(box, window) && !index->unbounded.count(s)) ||
            matchesPolygon(shapeOf(*static_cast<AcDbEntity *>(s->object)), poly, true))
            hits.push_back(s);
    }
    return ids(hits);
}

std::vector<AcDbObjectId> selectFence(const AcDbDatabase &db, AcDbObjectId space,
                                      const std::vector<AcGePoint2d> &fence) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || fence.size() < 2)
        return {};
    std::vector<P2> pts;
    for (const AcGePoint2d &p : fence)
        pts.push_back({p.x, p.y});
    std::vector<AcDbStub *> hits;
    for (AcDbStub *s : candidates(*index, bgi::intersects(boundsOf(pts))))
        if (matchesFence(shapeOf(*static_cast<AcDbEntity *>(s->object)), pts))
            hits.push_back(s);
    return ids(hits);
}

void prefetchAhead(const std::vector<BoxedEntity> &list, std::size_t i) {
    constexpr std::size_t kAhead = 8; // the object here, its stub twice as far
    if (i + 2 * kAhead < list.size())
        __builtin_prefetch(list[i + 2 * kAhead].id.stub());
    if (i + kAhead < list.size())
        if (const AcDbStub *stub = list[i + kAhead].id.stub())
            __builtin_prefetch(stub->object);
}

std::vector<AcDbObjectId> entitiesInBox(const AcDbDatabase &db, AcDbObjectId space,
                                        const AcGePoint2d &lo, const AcGePoint2d &hi,
                                        double minSize, std::size_t maxCount,
                                        std::vector<BoxedEntity> *rest) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr)
        return {};
    BBox view(BPoint(lo.x, lo.y), BPoint(hi.x, hi.y));
    std::unordered_map<const AcDbStub *, bool> layers; // each layer looked at once
    auto shows = [&layers](AcDbStub *stub) {
        // What the index holds is an entity (an object deleted under it drops the index).
        auto *e = static_cast<const AcDbEntity *>(stub->object);
        if (e == nullptr || stub->erased || !e->isVisible())
            return false;
        AcDbObjectId layer = e->layerId();
        auto [it, added] = layers.try_emplace(layer.stub(), false);
        if (added)
            it->second = layerShown(layer);
        return it->second;
    };
    auto boxed = [](AcDbStub *stub, const BBox &b) {
        return BoxedEntity{AcDbObjectId(stub), b.min_corner().get<0>(), b.min_corner().get<1>(),
                           b.max_corner().get<0>(), b.max_corner().get<1>()};
    };
    // One pass over the boxes: each hit with its size (the larger side). Whether the small
    // ones show is asked after it, their objects fetched ahead.
    const std::size_t firstRest = rest != nullptr ? rest->size() : 0;
    std::vector<std::pair<double, AcDbStub *>> hits;
    for (auto it = index->tree.qbegin(bgi::intersects(view)); it != index->tree.qend(); ++it) {
        const BBox &b = it->first;
        double size = std::max(b.max_corner().get<0>() - b.min_corner().get<0>(),
                               b.max_corner().get<1>() - b.min_corner().get<1>());
        if (size < minSize && rest == nullptr)
            continue; // the cheap test first: most of a crowded view is small
        if (index->unbounded.count(it->second))
            continue;
        if (size >= minSize)
            hits.emplace_back(size, it->second);
        else
            rest->push_back(boxed(it->second, b));
    }
    if (rest != nullptr) {
        std::size_t kept = firstRest;
        for (std::size_t i = firstRest; i < rest->size(); ++i) {
            prefetchAhead(*rest, i);
            if (shows((*rest)[i].id.stub()))
                (*rest)[kept++] = (*rest)[i];
        }
        rest->resize(kept);
    }
    for (AcDbStub *stub : index->unbounded) // they reach every view
        hits.emplace_back(std::numeric_limits<double>::infinity(), stub);
    if (hits.size() > maxCount) { // the largest maxCount
        std::nth_element(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(maxCount),
                         hits.end(),
                         [](const auto &a, const auto &b) { return a.first > b.first; });
        if (rest != nullptr)
            for (std::size_t i = maxCount; i < hits.size(); ++i)
                if (shows(hits[i].second))
                    rest->push_back(boxed(hits[i].second, index->boxes.at(hits[i].second)));
        hits.resize(maxCount);
    }
    std::vector<AcDbStub *> out;
    out.reserve(hits.size());
    for (const auto &[size, stub] : hits)
        if (shows(stub))
            out.push_back(stub);
    std::sort(out.begin(), out.end(),
              [](const AcDbStub *a, const AcDbStub *b) { return a->order < b->order; });
    return ids(out);
}

bool spaceExtents(const AcDbDatabase &db, AcDbObjectId space, AcGePoint2d &lo, AcGePoint2d &hi) {
    SpaceIndex *index = indexOf(db, space);
    if (index == nullptr || index->tree.empty())
        return false;
    BBox b = index->tree.bounds();
    lo.set(b.min_corner().get<0>(), b.min_corner().get<1>());
    hi.set(b.max_corner().get<0>(), b.max_corner().get<1>());
    return true;
}

std::vector<AcDbObjectId> selectAll(const AcDbDatabase &db, AcDbObjectId space) {
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    if (rec == nullptr || space.database() != &db)
        return {};
    std::vector<AcDbObjectId> out;
    out.reserve(ObjectAccess::entities(*rec).size());
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        auto *e = static_cast<AcDbEntity *>(o);
        if (e != nullptr && !e->isErased() && layerShown(e->layerId(), /*frozenOnly=*/true))
            out.push_back(e->objectId());
    }
    return out;
}

AcDbObjectId lastEntity(const AcDbDatabase &db, AcDbObjectId space) {
    auto *rec = peekAs<AcDbBlockTableRecord>(space);
    if (rec == nullptr || space.database() != &db)
        return AcDbObjectId();
    const auto &list = ObjectAccess::entities(*rec);
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto *e = static_cast<AcDbEntity *>(*it);
        if (e != nullptr && !e->isErased() && e->isVisible() && layerShown(e->layerId()))
            return e->objectId();
    }
    return AcDbObjectId();
}

} // namespace tev::db
