// database.cpp - AcDbDatabase: its tables and current settings, the stubs of its objects,
// handle lookup, and appending entities (by a command or from a file).
#include "access.h"
#include "allocator.h"
#include "database_impl.h"
#include "misuse.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbpoly.h"
#include "dbsymtb.h"

#include <limits>

ACRX_DEFINE_MEMBERS(AcDbDatabase, AcRxObject, nullptr);

namespace tev::db {

void forgetSessionNames(DatabaseImpl &db);                // ids.cpp
void updateSpaceIndex(SpaceIndex &index, AcDbStub *stub); // spatial.cpp

} // namespace tev::db

AcDbImpDatabase::AcDbImpDatabase(AcDbDatabase *owner) : self(owner) {
    ++tev::db::drawingEpoch();
}

AcDbImpDatabase::~AcDbImpDatabase() {
    destroying = true;
    ++tev::db::drawingEpoch();
    journal.reset(); // what it holds points at the stubs
    tev::db::forgetSessionNames(*this);
    spatial.clear();
    for (AcDbStub &s : stubs) {
        delete s.object;
        s.object = nullptr;
    }
}

AcDbStub *AcDbImpDatabase::adopt(AcDbObject *obj, AcDbStub *owner, AcDbHandle preset) {
    AcDbStub &s = stubs.emplace_back();
    // The preset handle when it is free (one probe of the index finds out and takes it),
    // else the next one: every handle given so far is below nextHandle.
    std::uint64_t h = preset.value();
    if (h == 0 || !byHandle.insert(h, &s)) {
        h = nextHandle;
        (void)byHandle.insert(h, &s); // free: above every handle given
    }
    if (h >= nextHandle)
        nextHandle = h + 1;
    s.object = obj;
    s.db = this;
    s.owner = owner;
    s.handle = h;
    AcDbSystemInternals::attach(*obj, &s);
    return &s;
}

AcDbStub *AcDbImpDatabase::findHandle(std::uint64_t handle) const {
    return byHandle.find(handle);
}

void AcDbImpDatabase::entityChanged(AcDbStub *stub) {
    ++tev::db::drawingEpoch();
    blocksMayChange(stub);
    AcDbStub *owner = stub->owner;
    if (owner == nullptr || spatial.empty())
        return;
    auto *rec = AcDbBlockTableRecord::cast(owner->object);
    if (rec == nullptr) {
        // A vertex: its polyline moved.
        if (owner->owner != nullptr)
            entityChanged(owner);
        return;
    }
    if (!rec->isLayout()) {
        // Every reference to this block may have moved.
        dropSpatialIndexes();
        return;
    }
    auto it = spatial.find(owner);
    if (it != spatial.end())
        tev::db::updateSpaceIndex(*it->second, stub);
}

void AcDbImpDatabase::dropSpatialIndexes() {
    ++tev::db::drawingEpoch();
    ++blockEpoch;
    spatial.clear();
}

void AcDbImpDatabase::blocksMayChange(AcDbStub *stub) {
    // An entity (or a vertex of one) straight in a layout changes no block.
    AcDbStub *owner = stub != nullptr ? stub->owner : nullptr;
    while (owner != nullptr && AcDbEntity::cast(owner->object) != nullptr)
        owner = owner->owner;
    if (stub != nullptr && AcDbEntity::cast(stub->object) != nullptr && owner != nullptr) {
        auto *rec = AcDbBlockTableRecord::cast(owner->object);
        if (rec != nullptr && rec->isLayout())
            return;
    }
    ++blockEpoch;
}

using tev::db::DatabaseImpl;
using tev::db::ObjectAccess;

namespace {

// Adds a new ownerless object (a table) to the database, closed.
template <class T> AcDbStub *addOwned(DatabaseImpl &db, T *obj) {
    AcDbStub *s = db.adopt(obj, nullptr, AcDbHandle());
    ObjectAccess::markLoaded(*obj);
    return s;
}

AcDbStub *addRecord(AcDbStub *table, AcDbSymbolTableRecord *rec, const char *name) {
    (void)rec->setName(name); // a new record: always allowed
    auto *t = static_cast<AcDbSymbolTable *>(table->object);
    (void)tev::db::addFromFile(*t, rec); // a fresh table: the name is free
    return rec->objectId().stub();
}

} // namespace

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool /*noDocument*/)
    : mImpl(new DatabaseImpl(this)) {
    tev::db::alloc::Exempt exempt;
    DatabaseImpl &db = *mImpl;
    db.blockTable = addOwned(db, new AcDbBlockTable);
    db.layerTable = addOwned(db, new AcDbLayerTable);
    db.linetypeTable = addOwned(db, new AcDbLinetypeTable);
    if (!buildDefaultDrawing)
        return;
    addRecord(db.linetypeTable, new AcDbLinetypeTableRecord, "ByBlock");
    AcDbStub *byLayer = addRecord(db.linetypeTable, new AcDbLinetypeTableRecord, "ByLayer");
    auto *continuous = new AcDbLinetypeTableRecord;
    (void)continuous->setComments("Solid line");
    AcDbStub *cont = addRecord(db.linetypeTable, continuous, "Continuous");
    auto *layer0 = new AcDbLayerTableRecord;
    (void)layer0->setLinetypeObjectId(AcDbObjectId(cont));
    AcDbStub *zero = addRecord(db.layerTable, layer0, "0");
    AcDbStub *ms = addRecord(db.blockTable, new AcDbBlockTableRecord, "*Model_Space");
    AcDbStub *ps = addRecord(db.blockTable, new AcDbBlockTableRecord, "*Paper_Space");
    db.layoutNames[ms] = "Model";
    db.layoutNames[ps] = "Layout1";
    db.clayer = AcDbObjectId(zero);
    db.celtype = AcDbObjectId(byLayer);
}

AcDbDatabase::~AcDbDatabase() {
    if (acdbHostApplicationServices()->workingDatabase() == this)
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    delete mImpl;
}

Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbBlockTable *&table, AcDb::OpenMode mode) {
    return acdbOpenObject(table, blockTableId(), mode);
}
Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbLayerTable *&table, AcDb::OpenMode mode) {
    return acdbOpenObject(table, layerTableId(), mode);
}
Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbLinetypeTable *&table, AcDb::OpenMode mode) {
    return acdbOpenObject(table, linetypeTableId(), mode);
}
Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable *&table, AcDb::OpenMode mode) {
    return getSymbolTable(table, mode);
}
Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable *&table, AcDb::OpenMode mode) {
    return getSymbolTable(table, mode);
}
Acad::ErrorStatus AcDbDatabase::getLinetypeTable(AcDbLinetypeTable *&table, AcDb::OpenMode mode) {
    return getSymbolTable(table, mode);
}
AcDbObjectId AcDbDatabase::blockTableId() const {
    return AcDbObjectId(mImpl->blockTable);
}
AcDbObjectId AcDbDatabase::layerTableId() const {
    return AcDbObjectId(mImpl->layerTable);
}
AcDbObjectId AcDbDatabase::linetypeTableId() const {
    return AcDbObjectId(mImpl->linetypeTable);
}

AcDbObjectId AcDbDatabase::modelSpaceId() const {
    return tev::db::findRecordId(mImpl->blockTable, "*Model_Space");
}
AcDbObjectId AcDbDatabase::paperSpaceId() const {
    return tev::db::findRecordId(mImpl->blockTable, "*Paper_Space");
}
AcDbObjectId AcDbDatabase::currentSpaceId() const {
    return mImpl->tilemode ? modelSpaceId() : paperSpaceId();
}

AcDbObjectId AcDbDatabase::clayer() const {
    return mImpl->clayer;
}
Acad::ErrorStatus AcDbDatabase::setClayer(AcDbObjectId layerId) {
    if (layerId.isNull())
        return Acad::eNullObjectId;
    if (layerId.database() != this || tev::db::peekAs<AcDbLayerTableRecord>(layerId) == nullptr)
        return Acad::eWrongObjectType;
    if (layerId.isErased())
        return Acad::eWasErased;
    mImpl->clayer = layerId;
    ++mImpl->changes;
    return Acad::eOk;
}
AcDbObjectId AcDbDatabase::celtype() const {
    return mImpl->celtype;
}
Acad::ErrorStatus AcDbDatabase::setCeltype(AcDbObjectId linetypeId) {
    if (linetypeId.isNull())
        return Acad::eNullObjectId;
    if (linetypeId.database() != this ||
        tev::db::peekAs<AcDbLinetypeTableRecord>(linetypeId) == nullptr)
        return Acad::eWrongObjectType;
    if (linetypeId.isErased())
        return Acad::eWasErased;
    mImpl->celtype = linetypeId;
    ++mImpl->changes;
    return Acad::eOk;
}
AcCmColor AcDbDatabase::cecolor() const {
    return mImpl->cecolor;
}
Acad::ErrorStatus AcDbDatabase::setCecolor(const AcCmColor &color) {
    if (color.colorIndex() > 256)
        return Acad::eBadColorIndex;
    mImpl->cecolor = color;
    ++mImpl->changes;
    return Acad::eOk;
}
bool AcDbDatabase::tilemode() const {
    return mImpl->tilemode;
}
Acad::ErrorStatus AcDbDatabase::setTilemode(bool mode) {
    mImpl->tilemode = mode;
    ++mImpl->changes;
    return Acad::eOk;
}
double AcDbDatabase::snapAngle() const {
    return mImpl->snapAngle;
}
Acad::ErrorStatus AcDbDatabase::setSnapAngle(double angle) {
    if (!std::isfinite(angle))
        return Acad::eInvalidInput;
    mImpl->snapAngle = angle;
    ++mImpl->changes;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId &retId,
                                                Adesk::Boolean createIfNotFound,
                                                const AcDbHandle &objHandle, Adesk::UInt32) {
    retId.setNull();
    if (objHandle.isNull())
        return Acad::eNullHandle;
    if (AcDbStub *s = mImpl->findHandle(objHandle.value())) {
        retId = AcDbObjectId(s);
        return Acad::eOk;
    }
    return createIfNotFound ? Acad::eNotImplementedYet : Acad::eKeyNotFound;
}

std::uint64_t AcDbDatabase::changeCount() const {
    return mImpl->changes;
}

void AcDbDatabase::clearChanges() {
    mImpl->changes = 0;
}

AcDbHandle AcDbDatabase::handseed() const {
    return AcDbHandle(mImpl->nextHandle);
}

// --- appending -----------------------------------------------------------------------------

namespace {

// The id of the record named like id's record, in db's table (an id from another drawing).
AcDbObjectId sameNameIn(AcDbStub *table, AcDbObjectId id) {
    auto *rec = tev::db::peekAs<AcDbSymbolTableRecord>(id);
    return rec != nullptr ? tev::db::findRecordId(table, rec->nameRef()) : AcDbObjectId();
}

// Fills what the caller left unset: the drawing's current settings for a command's entity,
// the file defaults (layer "0", BYLAYER, ByLayer) for a file's.
void applyDefaults(AcDbEntity &ent, DatabaseImpl &db, bool fromFile) {
    Adesk::UInt16 &color = ObjectAccess::colorOf(ent);
    if (color > 256)
        color = fromFile ? 256 : db.cecolor.colorIndex();
    AcDbObjectId &layer = ObjectAccess::layerOf(ent);
    if (!layer.isNull() && layer.database() != db.self)
        layer = sameNameIn(db.layerTable, layer);
    if (layer.isNull())
        layer =
            fromFile || db.clayer.isNull() ? tev::db::findRecordId(db.layerTable, "0") : db.clayer;
    AcDbObjectId &ltype = ObjectAccess::linetypeOf(ent);
    if (!ltype.isNull() && ltype.database() != db.self)
        ltype = sameNameIn(db.linetypeTable, ltype);
    if (ltype.isNull())
        ltype = fromFile || db.celtype.isNull() ? tev::db::findRecordId(db.linetypeTable, "ByLayer")
                                                : db.celtype;
}

// Owned vertices take what they lack from their polyline.
void inheritDefaults(AcDbEntity &item, AcDbEntity &owner) {
    if (ObjectAccess::colorOf(item) > 256)
        ObjectAccess::colorOf(item) = owner.colorIndex();
    if (ObjectAccess::layerOf(item).isNull() ||
        ObjectAccess::layerOf(item).database() != owner.database())
        ObjectAccess::layerOf(item) = owner.layerId();
    if (ObjectAccess::linetypeOf(item).isNull() ||
        ObjectAccess::linetypeOf(item).database() != owner.database())
        ObjectAccess::linetypeOf(item) = owner.linetypeId();
}

Acad::ErrorStatus appendEntity(AcDbBlockTableRecord &rec, AcDbEntity *ent, bool fromFile,
                               AcDbObjectId *outId) {
    if (ent == nullptr)
        return Acad::eNullEntityPointer;
    if (ent->isDatabaseResident() || ObjectAccess::pendingOwner(*ent) != nullptr)
        return Acad::eAlreadyInDb;
    AcDbStub *recStub = rec.objectId().stub();
    if (recStub == nullptr)
        return Acad::eNotInDatabase;
    if (!fromFile && !recStub->writer)
        return Acad::eNotOpenForWrite;
    if (AcDbVertex::cast(ent) != nullptr || AcDbSequenceEnd::cast(ent) != nullptr)
        return Acad::eIllegalEntityType; // these live inside their polyline only
    AcDbOwnedSequence *seq = ObjectAccess::sequence(*ent);
    if (seq != nullptr && seq->incomplete)
        return Acad::eOutOfMemory;
    if (seq != nullptr && seq->seqEnd == nullptr) {
        seq->seqEnd = new AcDbSequenceEnd;
        if (seq->seqEnd == nullptr)
            return Acad::eOutOfMemory; // nothing changed: the entity is still the caller's
        ObjectAccess::setPendingOwner(*seq->seqEnd, ent);
    }
    DatabaseImpl &db = *recStub->db;
    applyDefaults(*ent, db, fromFile);
    AcDbStub *s = db.adopt(ent, recStub, ObjectAccess::presetHandleOf(*ent));
    auto &list = ObjectAccess::entityList(rec);
    s->order = static_cast<std::uint32_t>(list.size());
    list.push_back(ent);
    if (seq != nullptr) {
        std::uint32_t i = 0;
        auto addItem = [&](AcDbObject *item) {
            auto &e = static_cast<AcDbEntity &>(*item);
            // A file's vertex that says no colour is BYLAYER, as the file has it (taking the
            // polyline's would hide a recolour to that colour from the save).
            if (fromFile && ObjectAccess::colorOf(e) > 256)
                ObjectAccess::colorOf(e) = 256;
            inheritDefaults(e, *ent);
            AcDbStub *is = db.adopt(item, s, ObjectAccess::presetHandleOf(*item));
            is->order = i++;
            ObjectAccess::setPendingOwner(*item, nullptr);
            ObjectAccess::markLoaded(*item);
        };
        for (AcDbObject *item : seq->items)
            addItem(item);
        addItem(seq->seqEnd);
        seq->inDatabase = true;
    }
    if (fromFile) {
        ObjectAccess::markLoaded(*ent);
    } else {
        tev::db::journalAppended(s);
        tev::db::markOpenForWrite(s);
    }
    db.entityChanged(s);
    if (!fromFile)
        db.appendedInOpen = s;
    if (outId != nullptr)
        *outId = AcDbObjectId(s);
    return Acad::eOk;
}

} // namespace

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId &outId, AcDbEntity *entity) {
    outId.setNull();
    return appendEntity(*this, entity, /*fromFile=*/false, &outId);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity *entity) {
    return appendEntity(*this, entity, /*fromFile=*/false, nullptr);
}

namespace tev::db {

Acad::ErrorStatus appendFromFile(AcDbBlockTableRecord &rec, AcDbEntity *entity) {
    alloc::Exempt exempt;
    return appendEntity(rec, entity, /*fromFile=*/true, nullptr);
}

} // namespace tev::db

void ObjectAccess::setKept(AcDbObject &obj, std::unique_ptr<KeptData> data) {
    delete obj.mKept;
    obj.mKept = data.release();
}

bool ObjectAccess::setSource(AcDbObject &obj, std::string_view bytes) {
    const bool fits = bytes.size() <= std::numeric_limits<std::uint32_t>::max();
    obj.mSourceData = fits ? bytes.data() : nullptr;
    obj.mSourceSize = fits ? static_cast<std::uint32_t>(bytes.size()) : 0;
    obj.mModifiedSinceRead = false;
    if (obj.mStub != nullptr)
        obj.mStub->changes = 0;
    return fits;
}

bool ObjectAccess::rehandle(AcDbObject &obj, AcDbHandle handle) {
    AcDbStub *s = obj.mStub;
    if (s == nullptr || handle.isNull())
        return false;
    if (s->handle == handle.value())
        return true;
    if (s->db->byHandle.contains(handle.value()))
        return false;
    (void)s->db->byHandle.erase(s->handle);
    s->handle = handle.value();
    (void)s->db->byHandle.insert(s->handle, s);
    if (s->handle >= s->db->nextHandle)
        s->db->nextHandle = s->handle + 1;
    return true;
}

bool ObjectAccess::setSequenceEnd(AcDbObject &obj, AcDbSequenceEnd *seqEnd) {
    AcDbOwnedSequence *seq = obj.ownedSequence();
    if (seq == nullptr || seq->seqEnd != nullptr || seq->inDatabase || seqEnd == nullptr ||
        seqEnd->isDatabaseResident())
        return false;
    seq->seqEnd = seqEnd;
    seqEnd->mPendingOwner = &obj;
    return true;
}

namespace tev::db {

void raiseHandseed(AcDbDatabase &db, AcDbHandle handle) {
    DatabaseImpl &d = tev::db::implOf(db);
    if (handle.value() > d.nextHandle)
        d.nextHandle = handle.value();
}

void setHandseed(AcDbDatabase &db, AcDbHandle handle) {
    tev::db::implOf(db).nextHandle = handle.value();
}

void reserveObjects(AcDbDatabase &db, std::size_t count) {
    DatabaseImpl &d = tev::db::implOf(db);
    d.byHandle.reserve(d.byHandle.size() + count);
}

AcDbObjectId lookupHandle(const AcDbDatabase &db, AcDbHandle handle) {
    return AcDbObjectId(tev::db::implOf(db).findHandle(handle.value()));
}

AcDbObjectId replacementOf(const AcDbObject &erased) {
    const AcDbStub *s = erased.objectId().stub();
    // A chain of replacements is short; the bound only guards against a cycle.
    for (int step = 0; s != nullptr && step < 64; ++step) {
        s = s->db->replacedBy.find(s->handle);
        if (s == nullptr)
            return AcDbObjectId::kNull;
        if (!s->erased)
            return AcDbObjectId(const_cast<AcDbStub *>(s));
    }
    return AcDbObjectId::kNull;
}

std::string layoutName(const AcDbBlockTableRecord &rec) {
    AcDbStub *s = rec.objectId().stub();
    if (s == nullptr)
        return "";
    auto it = s->db->layoutNames.find(s);
    if (it != s->db->layoutNames.end())
        return it->second;
    return rec.isLayout() ? "Layout1" : "";
}

void setLayoutName(AcDbBlockTableRecord &rec, std::string name) {
    AcDbStub *s = rec.objectId().stub();
    if (s != nullptr)
        s->db->layoutNames[s] = std::move(name);
}

std::string_view dxfTypeName(const AcDbObject &obj) {
    if (auto *unknown = AcDbUnknownEntity::cast(&obj))
        return unknown->dxfTypeName();
    AcRxClass *cls = obj.isA();
    return cls != nullptr ? cls->dxfName() : "";
}

} // namespace tev::db
