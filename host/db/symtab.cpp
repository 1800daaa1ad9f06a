// symtab.cpp - symbol tables and their records: case-insensitive names (Windows-1251
// letters too), adding records, iterating them, and the block table records' entity lists.
#include "access.h"
#include "allocator.h"
#include "database_impl.h"
#include "misuse.h"
#include "text_util.h"
#include "acedads.h"

#include <cstring>
#include <string>
#include <unordered_map>

ACRX_DEFINE_MEMBERS(AcDbSymbolTable, AcDbObject, nullptr);
ACRX_DEFINE_MEMBERS(AcDbSymbolTableRecord, AcDbObject, nullptr);
ACRX_DEFINE_MEMBERS(AcDbBlockTable, AcDbSymbolTable, "TABLE");
ACRX_DEFINE_MEMBERS(AcDbLayerTable, AcDbSymbolTable, "TABLE");
ACRX_DEFINE_MEMBERS(AcDbLinetypeTable, AcDbSymbolTable, "TABLE");
ACRX_DEFINE_MEMBERS(AcDbBlockTableRecord, AcDbSymbolTableRecord, "BLOCK_RECORD");
ACRX_DEFINE_MEMBERS(AcDbLayerTableRecord, AcDbSymbolTableRecord, "LAYER");
ACRX_DEFINE_MEMBERS(AcDbLinetypeTableRecord, AcDbSymbolTableRecord, "LTYPE");

struct AcDbImpSymbolTableIndex {
    std::unordered_map<std::string, AcDbObject *> byName; // folded name → latest record
};

namespace tev::db {

AcDbSymbolTableRecord *findRecord(const AcDbSymbolTable &table, std::string_view name) {
    auto &map = ObjectAccess::index(table).byName;
    auto it = map.find(host::text::foldCase(name));
    if (it == map.end() || it->second->isErased())
        return nullptr;
    return static_cast<AcDbSymbolTableRecord *>(it->second);
}

AcDbObjectId findRecordId(AcDbStub *table, std::string_view name) {
    if (table == nullptr || table->object == nullptr)
        return AcDbObjectId();
    AcDbSymbolTableRecord *rec = findRecord(*static_cast<AcDbSymbolTable *>(table->object), name);
    return rec != nullptr ? rec->objectId() : AcDbObjectId();
}

// Adds record to table, which must be in a database; the record stays closed.
static Acad::ErrorStatus addRecord(AcDbSymbolTable &table, AcDbSymbolTableRecord *record,
                                   AcRxClass *recordClass) {
    if (record == nullptr)
        return Acad::eNullObjectPointer;
    if (record->isDatabaseResident())
        return Acad::eAlreadyInDb;
    AcDbStub *ts = table.objectId().stub();
    if (ts == nullptr)
        return Acad::eNotInDatabase;
    if (!record->isKindOf(recordClass))
        return Acad::eWrongObjectType;
    const std::string &name = record->nameRef();
    if (name.empty())
        return Acad::eInvalidInput;
    if (findRecord(table, name) != nullptr)
        return Acad::eDuplicateKey;
    AcDbStub *s = ts->db->adopt(record, ts, ObjectAccess::presetHandleOf(*record));
    auto &list = ObjectAccess::recordList(table);
    s->order = static_cast<std::uint32_t>(list.size());
    list.push_back(record);
    ObjectAccess::index(table).byName[host::text::foldCase(name)] = record;
    return Acad::eOk;
}

void rebuildNameIndex(AcDbSymbolTable &table) {
    auto &map = ObjectAccess::index(table).byName;
    map.clear();
    for (AcDbObject *rec : ObjectAccess::recordList(table))
        map[host::text::foldCase(static_cast<AcDbSymbolTableRecord *>(rec)->nameRef())] = rec;
}

void reorderRecords(AcDbSymbolTable &table, std::vector<AcDbObject *> order) {
    auto &list = ObjectAccess::recordList(table);
    if (order.size() != list.size())
        return; // not a permutation: nothing changes
    list = std::move(order);
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i]->objectId().stub()->order = static_cast<std::uint32_t>(i);
}

Acad::ErrorStatus addFromFile(AcDbSymbolTable &table, AcDbSymbolTableRecord *record) {
    alloc::Exempt exempt;
    Acad::ErrorStatus es = addRecord(table, record, ObjectAccess::recordClassOf(table));
    if (es == Acad::eOk)
        ObjectAccess::markLoaded(*record);
    return es;
}

} // namespace tev::db

using tev::db::ObjectAccess;

// --- tables -------------------------------------------------------------------------------------

AcDbSymbolTable::AcDbSymbolTable() : mIndex(new AcDbImpSymbolTableIndex) {}
AcDbSymbolTable::~AcDbSymbolTable() {
    delete mIndex;
}

bool AcDbSymbolTable::has(const char *name) const {
    return name != nullptr && tev::db::findRecord(*this, name) != nullptr;
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
    return !id.isNull() && !id.isErased() && id.stub()->owner == objectId().stub() &&
           objectId().stub() != nullptr;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char *name, AcDbObjectId &recordId,
                                         bool getErasedRecord) const {
    recordId.setNull();
    if (name == nullptr)
        return Acad::eInvalidInput;
    auto &map = mIndex->byName;
    auto it = map.find(host::text::foldCase(name));
    if (it == map.end() || (it->second->isErased() && !getErasedRecord))
        return Acad::eKeyNotFound;
    recordId = it->second->objectId();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char *name, AcDbSymbolTableRecord *&record,
                                         AcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getAt(name, id, openErased);
    if (es != Acad::eOk)
        return es;
    return acdbOpenObject(record, id, mode, openErased);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord *record) {
    AcDbObjectId id;
    return add(id, record);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId &recordId, AcDbSymbolTableRecord *record) {
    recordId.setNull();
    if (isDatabaseResident() && !isWriteEnabled())
        return Acad::eNotOpenForWrite;
    Acad::ErrorStatus es = tev::db::addRecord(*this, record, recordClass());
    if (es != Acad::eOk)
        return es;
    tev::db::journalAppended(record->objectId().stub());
    tev::db::markOpenForWrite(record->objectId().stub());
    recordId = record->objectId();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator *&iterator, bool atBeginning,
                                               bool skipDeleted) const {
    iterator = new (std::nothrow) AcDbSymbolTableIterator(&mRecords, skipDeleted);
    if (iterator == nullptr)
        return Acad::eOutOfMemory;
    iterator->start(atBeginning, skipDeleted);
    return Acad::eOk;
}

AcRxClass *AcDbBlockTable::recordClass() const {
    return AcDbBlockTableRecord::desc();
}
AcRxClass *AcDbLayerTable::recordClass() const {
    return AcDbLayerTableRecord::desc();
}
AcRxClass *AcDbLinetypeTable::recordClass() const {
    return AcDbLinetypeTableRecord::desc();
}

template <class R>
static Acad::ErrorStatus typedGetAt(const AcDbSymbolTable &t, const char *name, R *&record,
                                    AcDb::OpenMode mode, bool openErased) {
    record = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = t.getAt(name, id, openErased);
    if (es != Acad::eOk)
        return es;
    return acdbOpenObject(record, id, mode, openErased);
}

Acad::ErrorStatus AcDbBlockTable::getAt(const char *name, AcDbBlockTableRecord *&record,
                                        AcDb::OpenMode mode, bool openErased) const {
    return typedGetAt(*this, name, record, mode, openErased);
}
Acad::ErrorStatus AcDbLayerTable::getAt(const char *name, AcDbLayerTableRecord *&record,
                                        AcDb::OpenMode mode, bool openErased) const {
    return typedGetAt(*this, name, record, mode, openErased);
}
Acad::ErrorStatus AcDbLinetypeTable::getAt(const char *name, AcDbLinetypeTableRecord *&record,
                                           AcDb::OpenMode mode, bool openErased) const {
    return typedGetAt(*this, name, record, mode, openErased);
}

// --- iterators ----------------------------------------------------------------------------------

namespace {
// Moves pos over empty places (and erased objects when asked) in the given direction.
void skipOver(const std::vector<AcDbObject *> &list, std::ptrdiff_t &pos, bool forward,
              bool skipDeleted) {
    auto n = static_cast<std::ptrdiff_t>(list.size());
    while (pos >= 0 && pos < n) {
        AcDbObject *o = list[static_cast<std::size_t>(pos)];
        if (o != nullptr && !(skipDeleted && o->isErased()))
            return;
        pos += forward ? 1 : -1;
    }
}
} // namespace

AcDbSymbolTableIterator::AcDbSymbolTableIterator(const std::vector<AcDbObject *> *list,
                                                 bool skipDeleted)
    : mList(list) {
    start(true, skipDeleted);
}
void AcDbSymbolTableIterator::start(bool atBeginning, bool skipDeleted) {
    mPos = atBeginning ? 0 : static_cast<std::ptrdiff_t>(mList->size()) - 1;
    skipOver(*mList, mPos, atBeginning, skipDeleted);
}
bool AcDbSymbolTableIterator::done() const {
    return mPos < 0 || mPos >= static_cast<std::ptrdiff_t>(mList->size());
}
void AcDbSymbolTableIterator::step(bool forward, bool skipDeleted) {
    if (done())
        return;
    mPos += forward ? 1 : -1;
    skipOver(*mList, mPos, forward, skipDeleted);
}
Acad::ErrorStatus AcDbSymbolTableIterator::getRecordId(AcDbObjectId &id) const {
    id.setNull();
    if (done())
        return Acad::eInvalidIndex;
    id = (*mList)[static_cast<std::size_t>(mPos)]->objectId();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbSymbolTableIterator::getRecord(AcDbSymbolTableRecord *&record,
                                                     AcDb::OpenMode mode,
                                                     bool openErasedRecord) const {
    record = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getRecordId(id);
    return es != Acad::eOk ? es : acdbOpenObject(record, id, mode, openErasedRecord);
}

AcDbBlockTableRecordIterator::AcDbBlockTableRecordIterator(const std::vector<AcDbObject *> *list,
                                                           bool atBeginning, bool skipDeleted)
    : mList(list) {
    start(atBeginning, skipDeleted);
}
void AcDbBlockTableRecordIterator::start(bool atBeginning, bool skipDeleted) {
    mPos = atBeginning ? 0 : static_cast<std::ptrdiff_t>(mList->size()) - 1;
    skipOver(*mList, mPos, atBeginning, skipDeleted);
}
bool AcDbBlockTableRecordIterator::done() const {
    return mPos < 0 || mPos >= static_cast<std::ptrdiff_t>(mList->size());
}
void AcDbBlockTableRecordIterator::step(bool forward, bool skipDeleted) {
    if (done())
        return;
    mPos += forward ? 1 : -1;
    skipOver(*mList, mPos, forward, skipDeleted);
}
Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntityId(AcDbObjectId &id) const {
    id.setNull();
    if (done())
        return Acad::eInvalidIndex;
    id = (*mList)[static_cast<std::size_t>(mPos)]->objectId();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity *&entity, AcDb::OpenMode mode,
                                                          bool openErasedEntity) const {
    entity = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getEntityId(id);
    return es != Acad::eOk ? es : acdbOpenAcDbEntity(entity, id, mode, openErasedEntity);
}

// --- records
// --------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbSymbolTableRecord::getName(char *&name) const {
    name = new (std::nothrow) char[mName.size() + 1];
    if (name == nullptr)
        return Acad::eOutOfMemory;
    std::memcpy(name, mName.c_str(), mName.size() + 1);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::getName(const char *&name) const {
    name = mName.c_str();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const char *name) {
    if (name == nullptr || *name == '\0')
        return Acad::eInvalidInput;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    auto *table = tev::db::peekAs<AcDbSymbolTable>(ownerId());
    if (table == nullptr || !isDatabaseResident()) {
        mName = name;
        return Acad::eOk;
    }
    AcDbSymbolTableRecord *other = tev::db::findRecord(*table, name);
    if (other != nullptr && other != this)
        return Acad::eDuplicateKey;
    auto &map = ObjectAccess::index(*table).byName;
    auto it = map.find(host::text::foldCase(mName));
    if (it != map.end() && it->second == this)
        map.erase(it);
    mName = name;
    map[host::text::foldCase(mName)] = this;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator *&iterator,
                                                    bool atBeginning, bool skipDeleted) const {
    iterator =
        new (std::nothrow) AcDbBlockTableRecordIterator(&mEntities, atBeginning, skipDeleted);
    return iterator != nullptr ? Acad::eOk : Acad::eOutOfMemory;
}

Acad::ErrorStatus AcDbBlockTableRecord::setOrigin(const AcGePoint3d &p) {
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mOrigin = p;
    if (AcDbStub *s = objectId().stub())
        s->db->dropSpatialIndexes();
    return Acad::eOk;
}

bool AcDbBlockTableRecord::isLayout() const {
    return host::text::startsWithIgnoreCase(nameRef(), "*MODEL_SPACE") ||
           host::text::startsWithIgnoreCase(nameRef(), "*PAPER_SPACE");
}

AcCmColor AcDbLayerTableRecord::color() const {
    AcCmColor c;
    (void)c.setColorIndex(mColor); // 1..255 by construction
    return c;
}

Acad::ErrorStatus AcDbLayerTableRecord::setColor(const AcCmColor &color) {
    if (color.colorIndex() < 1 || color.colorIndex() > 255)
        return Acad::eBadColorIndex;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mColor = color.colorIndex();
    return Acad::eOk;
}

#define TEV_LAYER_SETTER(fn, member, type)                                                         \
    Acad::ErrorStatus AcDbLayerTableRecord::fn(type v) {                                           \
        if (!writeAllowed())                                                                       \
            return Acad::eNotOpenForWrite;                                                         \
        member = v;                                                                                \
        return Acad::eOk;                                                                          \
    }
TEV_LAYER_SETTER(setIsLocked, mLocked, bool)
TEV_LAYER_SETTER(setIsOff, mOff, bool)
TEV_LAYER_SETTER(setIsFrozen, mFrozen, bool)
TEV_LAYER_SETTER(setIsPlottable, mPlottable, bool)
TEV_LAYER_SETTER(setLinetypeObjectId, mLinetype, AcDbObjectId)
TEV_LAYER_SETTER(setLineWeight, mLineWeight, Adesk::Int16)
#undef TEV_LAYER_SETTER

Acad::ErrorStatus AcDbLinetypeTableRecord::setComments(const char *text) {
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mComments = text != nullptr ? text : "";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLinetypeTableRecord::setPatternLength(double length) {
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mPatternLength = length;
    return Acad::eOk;
}
