// entity.cpp - what every entity has (colour, layer, linetype, highlight), curves, extents,
// the vertex iterator, and object coordinate systems.
#include "access.h"
#include "database_impl.h"
#include "misuse.h"
#include "ocs.h"
#include "acedads.h"
#include "dbapserv.h"
#include "dbents.h"

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <new>

ACRX_DEFINE_MEMBERS(AcDbEntity, AcDbObject, nullptr);
ACRX_DEFINE_MEMBERS(AcDbCurve, AcDbEntity, nullptr);

namespace tev::db {

AcGeMatrix3d ocsToWcs(const AcGeVector3d &normal) {
    if (normal.x == 0 && normal.y == 0 && normal.z == 1)
        return AcGeMatrix3d(); // the world's system, as the construction below gives it
    AcGeVector3d n = normal.normal();
    if (n.isZeroLength())
        n = AcGeVector3d::kZAxis;
    AcGeVector3d ax = (std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64)
                          ? AcGeVector3d::kYAxis.crossProduct(n)
                          : AcGeVector3d::kZAxis.crossProduct(n);
    ax.normalize();
    AcGeVector3d ay = n.crossProduct(ax).normal();
    AcGeMatrix3d m;
    const AcGeVector3d cols[3] = {ax, ay, n};
    for (int c = 0; c < 3; ++c) {
        m.entry[0][c] = cols[c].x;
        m.entry[1][c] = cols[c].y;
        m.entry[2][c] = cols[c].z;
    }
    return m;
}

AcGeMatrix3d wcsToOcs(const AcGeVector3d &normal) {
    AcGeMatrix3d m = ocsToWcs(normal), t;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            t.entry[i][j] = m.entry[j][i]; // a rotation: the inverse is the transpose
    return t;
}

bool isWorldNormal(const AcGeVector3d &normal) {
    return std::fabs(normal.x) < 1e-12 && std::fabs(normal.y) < 1e-12 && normal.z > 0;
}

} // namespace tev::db

using tev::db::ObjectAccess;

// --- AcDbExtents
// ----------------------------------------------------------------------------------

AcDbExtents::AcDbExtents() : mMin(1e300, 1e300, 1e300), mMax(-1e300, -1e300, -1e300) {}

AcDbExtents::AcDbExtents(const AcGePoint3d &min, const AcGePoint3d &max) : AcDbExtents() {
    (void)set(min, max); // an inverted box stays empty
}

Acad::ErrorStatus AcDbExtents::set(const AcGePoint3d &min, const AcGePoint3d &max) {
    if (min.x > max.x || min.y > max.y || min.z > max.z)
        return Acad::eInvalidInput;
    mMin = min;
    mMax = max;
    return Acad::eOk;
}

void AcDbExtents::addPoint(const AcGePoint3d &p) {
    mMin.set(std::fmin(mMin.x, p.x), std::fmin(mMin.y, p.y), std::fmin(mMin.z, p.z));
    mMax.set(std::fmax(mMax.x, p.x), std::fmax(mMax.y, p.y), std::fmax(mMax.z, p.z));
}

void AcDbExtents::addExt(const AcDbExtents &e) {
    if (e.isEmpty())
        return;
    addPoint(e.mMin);
    addPoint(e.mMax);
}

void AcDbExtents::expandBy(const AcGeVector3d &v) {
    if (isEmpty())
        return;
    addPoint(mMin + v);
    addPoint(mMax + v);
}

void AcDbExtents::transformBy(const AcGeMatrix3d &m) {
    if (isEmpty())
        return;
    AcDbExtents out;
    for (int i = 0; i < 8; ++i) {
        AcGePoint3d c((i & 1) ? mMax.x : mMin.x, (i & 2) ? mMax.y : mMin.y,
                      (i & 4) ? mMax.z : mMin.z);
        out.addPoint(m * c);
    }
    *this = out;
}

// --- AcDbEntity
// -----------------------------------------------------------------------------------

namespace {
// The subentity paths highlighted entities were given; the null path is not kept.
std::unordered_map<const AcDbEntity *, AcDbFullSubentPath> &highlightPaths() {
    static std::unordered_map<const AcDbEntity *, AcDbFullSubentPath> paths;
    return paths;
}
// The true colours of the entities that have one (0xRRGGBB). Most entities have none, so the
// entity keeps a flag and the colour waits here.
std::unordered_map<const AcDbEntity *, std::uint32_t> &trueColours() {
    // Never destroyed: an entity of a database that outlives main's statics still looks here.
    static auto *colours = new std::unordered_map<const AcDbEntity *, std::uint32_t>;
    return *colours;
}
} // namespace

AcDbEntity::AcDbEntity() = default;

AcDbEntity::AcDbEntity(const AcDbEntity &other)
    : AcDbObject(other), mColorIndex(other.mColorIndex), mLineWeight(other.mLineWeight),
      mVisible(other.mVisible), mLayerId(other.mLayerId), mLinetypeId(other.mLinetypeId),
      mLinetypeScale(other.mLinetypeScale) {
    copyTrueColourFrom(other);
}

AcDbEntity &AcDbEntity::operator=(const AcDbEntity &other) {
    AcDbObject::operator=(other);
    mColorIndex = other.mColorIndex;
    mLineWeight = other.mLineWeight;
    mVisible = other.mVisible;
    mLayerId = other.mLayerId;
    mLinetypeId = other.mLinetypeId;
    mLinetypeScale = other.mLinetypeScale;
    copyTrueColourFrom(other);
    return *this;
}

// A copy (the undo journal's state of an entity) carries the true colour with it, so that an
// undone colour change brings the true colour back too.
void AcDbEntity::copyTrueColourFrom(const AcDbEntity &other) {
    if (&other == this)
        return;
    if (other.mHasTrueColor) {
        trueColours()[this] = trueColours().at(&other);
        mHasTrueColor = true;
    } else if (mHasTrueColor) {
        trueColours().erase(this);
        mHasTrueColor = false;
    }
}
AcDbEntity::~AcDbEntity() {
    if (mHasHighlightPath)
        highlightPaths().erase(this);
    if (mHasTrueColor)
        trueColours().erase(this);
}

AcDbObjectId AcDbEntity::blockId() const {
    AcDbObjectId owner = ownerId();
    auto *ownerObj = tev::db::peek(owner);
    if (ownerObj != nullptr && AcDbEntity::cast(ownerObj) != nullptr)
        return ownerObj->ownerId(); // a vertex: its polyline's record
    return owner;
}

namespace {

// Applies f to every owned vertex and sequence end of ent (for doSubents), each then
// marked changed in the way f changes it. A recolour to a colour index (kColour without
// trueColour) lets undo keep each one's colour alone.
template <class F>
void forSubents(AcDbEntity &ent, bool doSubents, F f, AcDbStub::Change change = AcDbStub::kOther,
                bool trueColour = false) {
    if (!doSubents)
        return;
    AcDbOwnedSequence *seq = ObjectAccess::sequence(ent);
    if (seq == nullptr)
        return;
    auto keepForUndo = [change, trueColour](AcDbObject *item) {
        AcDbStub *s = item->objectId().stub();
        if (s == nullptr || s->stateKept || s->db->journal == nullptr)
            return;
        // Changed without an open of its own; a recolour keeps the colour alone.
        auto &e = static_cast<AcDbEntity &>(*item);
        if (change != AcDbStub::kColour || trueColour ||
            !tev::db::journalColour(s, e.colorIndex(), e.color().isByColor()))
            tev::db::journalState(s);
    };
    for (AcDbObject *item : seq->items) {
        keepForUndo(item);
        f(static_cast<AcDbEntity &>(*item));
        ObjectAccess::markModified(*item, change);
    }
    if (seq->seqEnd != nullptr) {
        keepForUndo(seq->seqEnd);
        f(static_cast<AcDbEntity &>(*seq->seqEnd));
        ObjectAccess::markModified(*seq->seqEnd, change);
    }
}

// A copy of s made with new[] (released with acutDelString); nullptr when out of memory.
char *copyString(const std::string &s) {
    char *out = new (std::nothrow) char[s.size() + 1];
    if (out != nullptr)
        std::memcpy(out, s.c_str(), s.size() + 1);
    return out;
}

char *recordName(AcDbObjectId id) {
    auto *rec = tev::db::peekAs<AcDbSymbolTableRecord>(id);
    return rec != nullptr ? copyString(rec->nameRef()) : nullptr;
}

// The database whose tables a name is looked up in: the entity's, or the working one
// for a new entity.
AcDbDatabase *lookupDatabase(const AcDbEntity &e) {
    AcDbDatabase *db = e.database();
    return db != nullptr ? db : acdbHostApplicationServices()->workingDatabase();
}

} // namespace

namespace {
void setTrueColour(AcDbEntity &e, bool &flag, const AcCmColor &c) {
    if (c.isByColor()) {
        trueColours()[&e] = std::uint32_t(c.red()) << 16 | std::uint32_t(c.green()) << 8 | c.blue();
        flag = true;
    } else if (flag) {
        trueColours().erase(&e);
        flag = false;
    }
}
} // namespace

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 color, Adesk::Boolean doSubents) {
    AcCmColor c;
    if (c.setColorIndex(color) != Acad::eOk)
        return Acad::eBadColorIndex;
    return setColor(c, doSubents);
}

AcCmColor AcDbEntity::color() const {
    AcCmColor c;
    if (mColorIndex <= 256)
        (void)c.setColorIndex(mColorIndex); // in range
    if (mHasTrueColor) {
        const std::uint32_t rgb = trueColours().at(this);
        (void)c.setRGB(static_cast<Adesk::UInt8>(rgb >> 16), static_cast<Adesk::UInt8>(rgb >> 8),
                       static_cast<Adesk::UInt8>(rgb)); // any value is a colour
    }
    return c;
}

Acad::ErrorStatus AcDbEntity::setColor(const AcCmColor &color, Adesk::Boolean doSubents) {
    const Adesk::UInt16 index = color.colorIndex();
    if (index > 256)
        return Acad::eBadColorIndex;
    // writeAllowed records a change of any kind; this one is the colour alone. Sub-entities
    // the database keeps only as bytes (attributes, mesh vertices) are recoloured on save.
    AcDbStub *stub = objectId().stub();
    const std::uint8_t before = stub != nullptr ? stub->changes : 0;
    // Undo needs the colour from before, not a copy of the whole entity (unless a true
    // colour comes or goes, which the index alone does not bring back).
    const bool colourKept =
        stub != nullptr && isWriteEnabled() && stub->db->journal != nullptr &&
        tev::db::journalColour(stub, mColorIndex, mHasTrueColor || color.isByColor());
    if (!colourKept && !writeAllowed())
        return Acad::eNotOpenForWrite;
    if (isDatabaseResident())
        objectId().stub()->changes =
            before | AcDbStub::kColour | (doSubents ? AcDbStub::kSubentColour : 0);
    mColorIndex = index;
    bool flag = mHasTrueColor;
    setTrueColour(*this, flag, color);
    mHasTrueColor = flag;
    forSubents(
        *this, doSubents,
        [&](AcDbEntity &e) {
            e.mColorIndex = index;
            bool subFlag = e.mHasTrueColor;
            setTrueColour(e, subFlag, color);
            e.mHasTrueColor = subFlag;
        },
        AcDbStub::kColour, color.isByColor());
    return Acad::eOk;
}

char *AcDbEntity::layer() const {
    return recordName(mLayerId);
}
char *AcDbEntity::linetype() const {
    return recordName(mLinetypeId);
}

Acad::ErrorStatus AcDbEntity::setLayer(const char *newVal, Adesk::Boolean doSubents) {
    if (newVal == nullptr)
        return Acad::eNullPtr;
    AcDbDatabase *db = lookupDatabase(*this);
    if (db == nullptr)
        return Acad::eNoDatabase;
    AcDbObjectId id = tev::db::findRecordId(tev::db::implOf(*db).layerTable, newVal);
    if (id.isNull())
        return Acad::eKeyNotFound;
    return setLayer(id, doSubents);
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId newVal, Adesk::Boolean doSubents) {
    if (newVal.isNull())
        return Acad::eNullObjectId;
    if (tev::db::peekAs<AcDbLayerTableRecord>(newVal) == nullptr)
        return Acad::eWrongObjectType;
    if (database() != nullptr && newVal.database() != database())
        return Acad::eWrongObjectType;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mLayerId = newVal;
    forSubents(*this, doSubents, [&](AcDbEntity &e) { e.mLayerId = newVal; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetype(const char *newVal, Adesk::Boolean doSubents) {
    if (newVal == nullptr)
        return Acad::eNullPtr;
    AcDbDatabase *db = lookupDatabase(*this);
    if (db == nullptr)
        return Acad::eNoDatabase;
    AcDbObjectId id = tev::db::findRecordId(tev::db::implOf(*db).linetypeTable, newVal);
    if (id.isNull())
        return Acad::eKeyNotFound;
    return setLinetype(id, doSubents);
}

Acad::ErrorStatus AcDbEntity::setLinetype(AcDbObjectId newVal, Adesk::Boolean doSubents) {
    if (newVal.isNull())
        return Acad::eNullObjectId;
    if (tev::db::peekAs<AcDbLinetypeTableRecord>(newVal) == nullptr)
        return Acad::eWrongObjectType;
    if (database() != nullptr && newVal.database() != database())
        return Acad::eWrongObjectType;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mLinetypeId = newVal;
    forSubents(*this, doSubents, [&](AcDbEntity &e) { e.mLinetypeId = newVal; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetypeScale(double scale, Adesk::Boolean doSubents) {
    if (!(scale > 0) || !std::isfinite(scale))
        return Acad::eInvalidInput;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mLinetypeScale = scale;
    forSubents(*this, doSubents, [&](AcDbEntity &e) { e.mLinetypeScale = scale; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLineWeight(Adesk::Int16 weight, Adesk::Boolean doSubents) {
    if (weight < AcDb::kLnWtByLwDefault || weight > 211)
        return Acad::eOutOfRange;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mLineWeight = weight;
    forSubents(*this, doSubents, [&](AcDbEntity &e) { e.mLineWeight = weight; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setVisibility(bool visible, Adesk::Boolean doSubents) {
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mVisible = visible;
    forSubents(*this, doSubents, [&](AcDbEntity &e) { e.mVisible = visible; });
    return Acad::eOk;
}

void AcDbEntity::keepHighlightPath(const AcDbFullSubentPath &subId) const {
    if (subId.isNull()) {
        if (mHasHighlightPath)
            highlightPaths().erase(this);
        mHasHighlightPath = false;
        return;
    }
    highlightPaths()[this] = subId;
    mHasHighlightPath = true;
}

const AcDbFullSubentPath &AcDbEntity::highlightedPath() const {
    static const AcDbFullSubentPath none;
    if (!mHasHighlightPath)
        return none;
    return highlightPaths().at(this);
}

Acad::ErrorStatus AcDbEntity::highlight(const AcDbFullSubentPath &subId, Adesk::Boolean) const {
    keepHighlightPath(subId);
    mHighlighted = true;
    ++tev::db::drawingEpoch();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::unhighlight(const AcDbFullSubentPath &subId, Adesk::Boolean) const {
    keepHighlightPath(subId);
    mHighlighted = false;
    ++tev::db::drawingEpoch();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents &) const {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus AcDbCurve::getStartPoint(AcGePoint3d &) const {
    return Acad::eNotApplicable;
}
Acad::ErrorStatus AcDbCurve::getEndPoint(AcGePoint3d &) const {
    return Acad::eNotApplicable;
}

// --- AcDbObjectIterator ------------------------------------------------------------------------

AcDbObjectIterator::AcDbObjectIterator(const std::vector<AcDbObject *> *list) : mList(list) {
    start();
}

bool AcDbObjectIterator::done() const {
    return mPos < 0 || mPos >= static_cast<std::ptrdiff_t>(mList->size());
}

AcDbObjectId AcDbObjectIterator::objectId() const {
    return done() ? AcDbObjectId() : (*mList)[static_cast<std::size_t>(mPos)]->objectId();
}

AcDbEntity *AcDbObjectIterator::entity() {
    return done() ? nullptr : AcDbEntity::cast((*mList)[static_cast<std::size_t>(mPos)]);
}

void AcDbObjectIterator::skipErased(bool backwards) {
    while (!done() && (*mList)[static_cast<std::size_t>(mPos)]->isErased())
        mPos += backwards ? -1 : 1;
}

void AcDbObjectIterator::start(bool atEnd) {
    mPos = atEnd ? static_cast<std::ptrdiff_t>(mList->size()) - 1 : 0;
    skipErased(atEnd);
}

void AcDbObjectIterator::step(bool backwards, bool skipDeleted) {
    if (done())
        return;
    mPos += backwards ? -1 : 1;
    if (skipDeleted)
        skipErased(backwards);
}

bool AcDbObjectIterator::seek(AcDbObjectId id) {
    for (std::size_t i = 0; i < mList->size(); ++i)
        if ((*mList)[i]->objectId() == id && !id.isNull()) {
            mPos = static_cast<std::ptrdiff_t>(i);
            return true;
        }
    return false;
}

// --- strings the caller frees
// ---------------------------------------------------------------------

void acutDelString(char *&str) {
    delete[] str;
    str = nullptr;
}
