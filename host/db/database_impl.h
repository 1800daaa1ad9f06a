// database_impl.h - the inside of AcDbDatabase: the stubs of its objects, handle lookup by
// hash, the current settings, the open count and the spatial indexes of its spaces.
// Private to host/db.
#pragma once
#include "access.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "drafting_settings.h"
#include "handle_index.h"
#include "stub.h"
#include "view_state.h"
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

namespace tev::db {

struct SpaceIndex; // spatial.cpp
struct SpaceIndexDeleter {
    void operator()(SpaceIndex *index) const;
};

struct BlockShapes; // block_shape.cpp
struct BlockShapesDeleter {
    void operator()(BlockShapes *shapes) const;
};

struct Journal; // journal.cpp
struct JournalDeleter {
    void operator()(Journal *journal) const;
};

} // namespace tev::db

// The inside of AcDbDatabase (opaque in the API headers).
class AcDbImpDatabase {
public:
    using HandleIndex = tev::db::HandleIndex;
    using SpaceIndex = tev::db::SpaceIndex;
    using SpaceIndexDeleter = tev::db::SpaceIndexDeleter;
    using BlockShapes = tev::db::BlockShapes;
    using BlockShapesDeleter = tev::db::BlockShapesDeleter;
    using Journal = tev::db::Journal;
    using JournalDeleter = tev::db::JournalDeleter;

    explicit AcDbImpDatabase(AcDbDatabase *owner);
    ~AcDbImpDatabase();

    // Gives obj a stub in this database, owned by owner, with handle preset when that
    // is free (else the next one). The stub owns obj from now on.
    AcDbStub *adopt(AcDbObject *obj, AcDbStub *owner, AcDbHandle preset);
    AcDbStub *findHandle(std::uint64_t handle) const;

    // Called when an entity of a block record was appended, changed or (un)erased.
    void entityChanged(AcDbStub *stub);
    // Drops every spatial index (a block's contents changed: references move with it).
    void dropSpatialIndexes();
    // Called before and after stub may change (opened for write, closed, erased, appended,
    // undone): unless it is an entity straight in a layout, the blocks' kept shapes go.
    void blocksMayChange(AcDbStub *stub);

    AcDbDatabase *self;
    std::deque<AcDbStub> stubs; // stable addresses
    HandleIndex byHandle;
    std::uint64_t nextHandle = 1;
    bool destroying = false;

    AcDbStub *blockTable = nullptr;
    AcDbStub *layerTable = nullptr;
    AcDbStub *linetypeTable = nullptr;
    AcDbObjectId clayer;
    AcDbObjectId celtype;
    AcCmColor cecolor; // BYLAYER
    bool tilemode = true;
    double snapAngle = 0;

    std::size_t openCount = 0;
    // The entity appended since the last open for write, and the entities erased in the open
    // during which another was appended: what replaced them (replacementOf), by the erased
    // one's handle (never given again). A flat table: Wpe replaces every line of a drawing.
    AcDbStub *appendedInOpen = nullptr;
    HandleIndex replacedBy;
    std::uint64_t changes = 0; // commits since opened or saved (DBMOD)
    std::unordered_map<const AcDbStub *, std::string> layoutNames;
    std::unordered_map<const AcDbStub *, std::unique_ptr<SpaceIndex, SpaceIndexDeleter>> spatial;
    // The blocks' shapes (block_shape.h), kept while blockEpoch stays.
    std::uint64_t blockEpoch = 0;
    std::unique_ptr<BlockShapes, BlockShapesDeleter> blockShapes;
    // Undo and redo (made by the first step); destroyed before the objects.
    std::unique_ptr<Journal, JournalDeleter> journal;
    tev::db::ViewState view;         // the model space's view (ZOOM, PAN, the page)
    tev::db::DraftingState drafting; // ortho, running snaps, grid snap and grid
};

namespace tev::db {

using DatabaseImpl = ::AcDbImpDatabase;

// The inside of a database.
inline DatabaseImpl &implOf(const AcDbDatabase &db) {
    return ObjectAccess::impl(db);
}

// Record lookups without opening (the host's own reads).
AcDbSymbolTableRecord *findRecord(const AcDbSymbolTable &table, std::string_view name);
AcDbObjectId findRecordId(AcDbStub *table, std::string_view name);
// The object behind an id, without opening it; nullptr for a null id.
inline AcDbObject *peek(AcDbObjectId id) {
    return id.isNull() ? nullptr : id.stub()->object;
}
template <class T> T *peekAs(AcDbObjectId id) {
    return T::cast(peek(id));
}

// A number that moves whenever any drawing may look different (a write open or its close, an
// undo or redo, an entity's move in or out of an index, a highlight): what a view keeps of a
// picture is made anew when it moves.
inline std::uint64_t &drawingEpoch() {
    static std::uint64_t s_epoch = 0;
    return s_epoch;
}

// Opens/closes bookkeeping shared by acdbOpenAcDbObject and the append paths. The step under
// way (if any) keeps the object's state from before its first write open.
void markOpenForWrite(AcDbStub *stub);
// The undo step under way (if any) notes that stub was appended or added by it.
void journalAppended(AcDbStub *stub);
// The undo step under way (if any) keeps stub's flags before a write open (journal.cpp).
void journalWrite(AcDbStub *stub);
// The undo step under way (if any) keeps stub's data before its first change: every setter
// asks (through writeAllowed), and so does a change made to owned vertices through their
// polyline.
void journalState(AcDbStub *stub);
// Before a colour change of an entity: the step under way (if any) keeps its colour index
// alone, not a copy of its state. False when that does not do (no step, a true colour, the
// state already kept): the caller then keeps the state as for any change.
bool journalColour(AcDbStub *stub, Adesk::UInt16 index, bool hasTrueColour);
// Before a width change of a lightweight polyline or a 2D vertex: the step under way (if any)
// keeps the widths alone. False when that does not do (no step, the state already kept, or
// out of memory): the caller then keeps the state as for any change.
bool journalWidths(AcDbStub *stub);
// Puts a table's name index in line with its records (after records came or went).
void rebuildNameIndex(AcDbSymbolTable &table);

} // namespace tev::db
