// object.cpp - database objects: the allocator, the open/close protocol, erasing, and the
// misuse log that records what the protocol refuses.
#include "access.h"
#include "allocator.h"
#include "database_impl.h"
#include "misuse.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbsymtb.h"

#include <algorithm>
#include <cstdio>
#include <new>

ACRX_DEFINE_MEMBERS(AcDbObject, AcRxObject, nullptr);

const AcDbFullSubentPath kNullSubent;

// --- the allocator ------------------------------------------------------------------------

namespace {
struct AllocState {
    long count = 0;
    long failures = 0;
    long failAt = 0;
    bool persistent = false;
    long live = 0;
    int exempt = 0;
};
AllocState &allocState() {
    static AllocState s;
    return s;
}
} // namespace

namespace tev::db::alloc {
void failAt(long n, bool persistent) {
    AllocState &s = allocState();
    s.failAt = n > 0 ? s.count + n : 0;
    s.persistent = persistent;
}
long allocationCount() {
    return allocState().count;
}
long failureCount() {
    return allocState().failures;
}
long liveObjects() {
    return allocState().live;
}
void reset() {
    AllocState &s = allocState();
    s.count = s.failures = s.failAt = 0;
    s.persistent = false;
}
Exempt::Exempt() {
    ++allocState().exempt;
}
Exempt::~Exempt() {
    --allocState().exempt;
}
} // namespace tev::db::alloc

void *AcDbObject::operator new(std::size_t size) noexcept {
    AllocState &s = allocState();
    if (s.exempt == 0) {
        ++s.count;
        if (s.failAt > 0 && (s.count == s.failAt || (s.persistent && s.count > s.failAt))) {
            ++s.failures;
            return nullptr;
        }
    }
    void *p = ::operator new(size, std::nothrow);
    if (p != nullptr)
        ++s.live;
    return p;
}

void AcDbObject::operator delete(void *p) noexcept {
    if (p == nullptr)
        return;
    --allocState().live;
    ::operator delete(p);
}

// --- the misuse log -------------------------------------------------------------------------

namespace tev::db {
namespace {
std::vector<std::string> &misuseLog() {
    static std::vector<std::string> s;
    return s;
}
} // namespace

const std::vector<std::string> &misuseReports() {
    return misuseLog();
}
void clearMisuseReports() {
    misuseLog().clear();
}
void reportMisuse(std::string what) {
    std::fprintf(stderr, "arxhost: database misuse: %s\n", what.c_str());
    misuseLog().push_back(std::move(what));
}

std::string describe(const AcDbObject &obj) {
    AcRxClass *cls = obj.isA();
    std::string name = cls != nullptr ? cls->name() : "AcDbObject";
    if (!obj.isDatabaseResident())
        return "new " + name;
    char buf[17];
    obj.objectId().handle().getIntoAsciiBuffer(buf);
    return name + " " + buf;
}

std::size_t openObjectCount(const AcDbDatabase &db) {
    return tev::db::implOf(db).openCount;
}

std::vector<std::string> objectsLeftOpen(const AcDbDatabase &db) {
    std::vector<std::string> out;
    if (tev::db::implOf(db).openCount == 0)
        return out; // the usual case: no walk over every object after every command
    for (const AcDbStub &s : tev::db::implOf(db).stubs) {
        if (!s.isOpen() || s.object == nullptr)
            continue;
        std::string line = describe(*s.object);
        if (s.writer)
            line += " open for write";
        else if (s.readers == 1)
            line += " open for read";
        else
            line += " open for read (" + std::to_string(s.readers) + " readers)";
        out.push_back(std::move(line));
    }
    return out; // stubs are made in handle order, except objects given a file's handle
}

void markOpenForWrite(AcDbStub *stub) {
    if (!stub->journaled && stub->db->journal != nullptr)
        journalWrite(stub); // before anything changes
    if (!stub->isOpen())
        ++stub->db->openCount;
    stub->writer = true;
    stub->db->appendedInOpen = nullptr;
    ++drawingEpoch();
    stub->db->blocksMayChange(stub);
}

} // namespace tev::db

using tev::db::describe;
using tev::db::reportMisuse;

// --- AcDbOwnedSequence ------------------------------------------------------------------------

AcDbOwnedSequence::~AcDbOwnedSequence() {
    if (inDatabase)
        return;
    for (AcDbObject *item : items)
        delete item;
    delete seqEnd;
}

// --- AcDbObject -------------------------------------------------------------------------------

AcDbObject::AcDbObject() = default;

AcDbObject::AcDbObject(const AcDbObject &other)
    : AcRxObject(other), mSourceData(other.mSourceData), mSourceSize(other.mSourceSize),
      mColourPlace(other.mColourPlace) {}

AcDbObject &AcDbObject::operator=(const AcDbObject &other) {
    mSourceData = other.mSourceData;
    mSourceSize = other.mSourceSize;
    mColourPlace = other.mColourPlace;
    return *this;
}

AcDbObject::~AcDbObject() {
    delete mKept;
    if (mStub != nullptr && mStub->object == this && !mStub->db->destroying) {
        // A database object deleted by its user: keep the database sound by forgetting it.
        reportMisuse("delete of " + describe(*this) + " that belongs to the database");
        if (mStub->isOpen())
            --mStub->db->openCount;
        mStub->readers = 0;
        mStub->writer = false;
        mStub->erased = true;
        mStub->object = nullptr;
        if (AcDbStub *owner = mStub->owner; owner != nullptr && owner->object != nullptr) {
            auto *rec = AcDbBlockTableRecord::cast(owner->object);
            if (rec != nullptr)
                tev::db::ObjectAccess::forgetEntity(*rec, mStub->order);
        }
        mStub->db->dropSpatialIndexes();
    }
}

AcDbObjectId AcDbObject::objectId() const {
    return AcDbObjectId(mStub);
}

AcDbObjectId AcDbObject::ownerId() const {
    if (mStub != nullptr)
        return AcDbObjectId(mStub->owner);
    return mPendingOwner != nullptr ? mPendingOwner->objectId() : AcDbObjectId();
}

AcDbDatabase *AcDbObject::database() const {
    return mStub != nullptr ? mStub->db->self : nullptr;
}

void AcDbObject::getAcDbHandle(AcDbHandle &handle) const {
    handle = objectId().handle();
}

bool AcDbObject::isErased() const {
    return mStub != nullptr && mStub->erased;
}

bool AcDbObject::isReadEnabled() const {
    return mStub == nullptr || mStub->isOpen();
}

bool AcDbObject::isWriteEnabled() const {
    return mStub == nullptr || mStub->writer;
}

bool AcDbObject::writeAllowed() const {
    if (isWriteEnabled()) {
        if (mStub != nullptr) {
            if (!mStub->stateKept && mStub->db->journal != nullptr)
                tev::db::journalState(mStub); // before the setter changes anything
            mStub->changes |= AcDbStub::kOther;
        }
        return true;
    }
    reportMisuse("change of " + describe(*this) + " that is not open for write");
    return false;
}

void AcDbObject::dxfOutClassGroups(AcDbDxfFiler &) const {}
void AcDbObject::dxfInClassGroups(AcDbImpTagSource &) {}

// Ends one open of the object; a write open commits: the object counts as modified and
// the spatial index learns its new place.
Acad::ErrorStatus AcDbObject::close() {
    if (mStub == nullptr) {
        reportMisuse("close of " + describe(*this) + " that was never appended");
        return Acad::eNotInDatabase;
    }
    AcDbStub *s = mStub;
    if (s->writer) {
        ++tev::db::drawingEpoch();
        s->writer = false;
        if (s->changes == 0)
            s->changes = AcDbStub::kOther; // a write open that named no change: assume any
        mModifiedSinceRead = true;
        mNewObject = false;
        ++s->db->changes;
        if (AcDbEntity::cast(this) != nullptr)
            s->db->entityChanged(s);
        else
            s->db->blocksMayChange(s);
    } else if (s->readers > 0) {
        --s->readers;
    } else {
        reportMisuse("close of " + describe(*this) + " that is not open");
        return Acad::eNotOpenForRead;
    }
    if (!s->isOpen())
        --s->db->openCount;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::erase(Adesk::Boolean erasing) {
    if (mStub == nullptr)
        return Acad::eNotInDatabase;
    if (!mStub->writer)
        return Acad::eNotOpenForWrite;
    if (erasing && mStub->erased)
        return Acad::eWasErased;
    if (!erasing && !mStub->erased)
        return Acad::eWasNotErased;
    mStub->erased = erasing;
    // An entity appended while this one was open, now erased in the same open, takes its
    // place (in groups and the like, when the drawing is saved).
    AcDbStub *&appended = mStub->db->appendedInOpen;
    if (erasing && appended != nullptr && appended != mStub && AcDbEntity::cast(this) != nullptr) {
        mStub->db->replacedBy.assign(mStub->handle, appended); // the latest one counts
    }
    appended = nullptr;
    if (AcDbOwnedSequence *seq = ownedSequence()) {
        for (AcDbObject *item : seq->items)
            if (item->mStub != nullptr)
                item->mStub->erased = erasing;
        if (seq->seqEnd != nullptr && seq->seqEnd->mStub != nullptr)
            seq->seqEnd->mStub->erased = erasing;
    }
    if (AcDbEntity::cast(this) != nullptr)
        mStub->db->entityChanged(mStub);
    else
        mStub->db->blocksMayChange(mStub);
    return Acad::eOk;
}

// True when ent lies on a layer that is locked now.
static bool onLockedLayer(const AcDbObject *obj) {
    const AcDbEntity *ent = AcDbEntity::cast(obj);
    if (ent == nullptr)
        return false;
    auto *layer = tev::db::peekAs<AcDbLayerTableRecord>(ent->layerId());
    return layer != nullptr && layer->isLocked();
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
    if (mStub == nullptr)
        return Acad::eOk; // a new object is the caller's: already writable
    if (mStub->writer)
        return Acad::eWasOpenForWrite;
    if (mStub->readers == 0)
        return Acad::eNotOpenForRead;
    if (mStub->readers > 1)
        return Acad::eHadMultipleReaders;
    if (onLockedLayer(this))
        return Acad::eOnLockedLayer;
    if (!mStub->journaled && mStub->db->journal != nullptr)
        tev::db::journalWrite(mStub);
    mStub->readers = 0;
    mStub->writer = true;
    mStub->db->blocksMayChange(mStub);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
    if (mStub == nullptr)
        return Acad::eNotInDatabase;
    if (!mStub->writer)
        return Acad::eWasNotOpenForWrite;
    // The changes so far are committed as a close would.
    ++tev::db::drawingEpoch();
    mStub->writer = false;
    mStub->readers = 1;
    if (mStub->changes == 0)
        mStub->changes = AcDbStub::kOther;
    mModifiedSinceRead = true;
    mNewObject = false;
    ++mStub->db->changes;
    if (AcDbEntity::cast(this) != nullptr)
        mStub->db->entityChanged(mStub);
    else
        mStub->db->blocksMayChange(mStub);
    return Acad::eOk;
}

// --- opening ------------------------------------------------------------------------------------

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject *&obj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    obj = nullptr;
    if (id.isNull())
        return Acad::eNullObjectId;
    AcDbStub *s = id.stub();
    if (s->object == nullptr)
        return Acad::ePermanentlyErased;
    if (s->erased && !openErased)
        return Acad::eWasErased;
    if (mode == AcDb::kForNotify)
        return Acad::eInvalidOpenState;
    if (s->writer) {
        if (mode == AcDb::kForWrite)
            reportMisuse("second write open of " + describe(*s->object));
        return Acad::eWasOpenForWrite;
    }
    if (mode == AcDb::kForWrite) {
        if (s->readers > 0) {
            reportMisuse("write open of " + describe(*s->object) + " that is open for read");
            return Acad::eWasOpenForRead;
        }
        if (onLockedLayer(s->object))
            return Acad::eOnLockedLayer;
        tev::db::markOpenForWrite(s);
    } else {
        if (s->readers >= 256)
            return Acad::eAtMaxReaders;
        if (!s->isOpen())
            ++s->db->openCount;
        ++s->readers;
    }
    obj = s->object;
    return Acad::eOk;
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity *&ent, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    ent = nullptr;
    if (!id.isNull() && id.stub()->object != nullptr &&
        AcDbEntity::cast(id.stub()->object) == nullptr)
        return Acad::eNotAnEntity;
    AcDbObject *obj = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
    if (es == Acad::eOk)
        ent = AcDbEntity::cast(obj);
    return es;
}

// --- the working database
// --------------------------------------------------------------------------

AcDbHostApplicationServices *acdbHostApplicationServices() {
    static AcDbHostApplicationServices s;
    return &s;
}
