// access.h - the host's side doors into database objects, for the file layer and the
// command line: kept data and source bytes, handles asked for by a file, the owned vertex
// sequences, the lists of tables and block records, and appending what a file holds.
#pragma once
#include "dbmain.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "kept.h"
#include "stub.h"
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The host's side doors into the objects' private state (a friend of the API classes).
class AcDbSystemInternals {
public:
    using KeptData = ::AcDbImpKeptData;
    using TableIndex = ::AcDbImpSymbolTableIndex;

    static AcDbImpDatabase &impl(const AcDbDatabase &db) { return *db.mImpl; }
    // --- what the host does not model ---------------------------------------------------
    static KeptData *kept(const AcDbObject &obj) { return obj.mKept; }
    // The object takes ownership; the previous kept data is deleted.
    static void setKept(AcDbObject &obj, std::unique_ptr<KeptData> data);
    // The object's original bytes in the file it was read from (empty when none). The
    // buffer must outlive the database.
    static std::string_view source(const AcDbObject &obj) {
        return {obj.mSourceData, obj.mSourceSize};
    }
    // Sets the source bytes and clears the modified flag. False, with no source kept, for
    // bytes of 4 GiB or more (no file the reader takes holds such a record).
    static bool setSource(AcDbObject &obj, std::string_view bytes);
    // Where in its source an entity's colour group stands (ColourPlace), as the reader found
    // it; 0 when it is not known. Kept with the source; setSource does not change it.
    static std::uint32_t colourPlace(const AcDbObject &obj) { return obj.mColourPlace; }
    static void setColourPlace(AcDbObject &obj, std::uint32_t place) { obj.mColourPlace = place; }
    // True once a write open of the object was closed after setSource.
    static bool modifiedSinceRead(const AcDbObject &obj) { return obj.mModifiedSinceRead; }
    // True when the only change since setSource was the entity's colour (setColorIndex or
    // setColor): its original bytes stand but for the 62 group.
    static bool onlyColourChanged(const AcDbObject &obj) {
        return obj.mModifiedSinceRead && obj.mStub != nullptr &&
               (obj.mStub->changes & ~AcDbStub::kSubentColour) == AcDbStub::kColour;
    }
    // True when the entity's colour was last given with its sub-entities: those the database
    // keeps only as bytes (attributes, the vertices of meshes) are written in its colour.
    static bool subentsRecoloured(const AcDbObject &obj) {
        return obj.mStub != nullptr && (obj.mStub->changes & AcDbStub::kSubentColour) != 0;
    }

    // --- handles -------------------------------------------------------------------------
    // The handle a new object gets on append (from a file). Ignored, with a fresh handle
    // given instead, when another object already has it.
    static void presetHandle(AcDbObject &obj, AcDbHandle handle) { obj.mPresetHandle = handle; }
    // Gives a database object another handle (a file's handles for the tables a new
    // database made). False when the handle is null or taken (nothing changes).
    static bool rehandle(AcDbObject &obj, AcDbHandle handle);

    // --- owned objects ---------------------------------------------------------------------
    // The vertices and sequence end of a 2D/3D polyline; nullptr for other objects.
    static AcDbOwnedSequence *sequence(AcDbObject &obj) { return obj.ownedSequence(); }
    static const AcDbOwnedSequence *sequence(const AcDbObject &obj) {
        return const_cast<AcDbObject &>(obj).ownedSequence();
    }
    // Gives a polyline not yet appended the sequence end read from a file (with its preset
    // handle). False when obj owns no sequence or already has an end (seqEnd is then
    // the caller's).
    static bool setSequenceEnd(AcDbObject &obj, AcDbSequenceEnd *seqEnd);

    // --- lists -------------------------------------------------------------------------------
    static const std::vector<AcDbObject *> &entities(const AcDbBlockTableRecord &rec) {
        return rec.mEntities;
    }
    // Calls f for every object of list (as const AcDbObject &), each object and then its stub
    // asked of the memory some steps before f gets them: a walk over a big drawing's objects,
    // spread over the heap, otherwise waits on two cache misses for each.
    template <class F>
    static void forEachFetchedAhead(const std::vector<AcDbObject *> &list, F &&f) {
        constexpr std::size_t kAhead = 8;
        const std::size_t n = list.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 2 * kAhead < n)
                __builtin_prefetch(list[i + 2 * kAhead]);
            if (i + kAhead < n)
                __builtin_prefetch(list[i + kAhead]->mStub);
            f(static_cast<const AcDbObject &>(*list[i]));
        }
    }
    static const std::vector<AcDbObject *> &records(const AcDbSymbolTable &table) {
        return table.mRecords;
    }
    // Host-internal: an entity deleted by its user leaves an empty place in its record's
    // list (walkers skip it).
    static void attach(AcDbObject &obj, AcDbStub *stub) { obj.mStub = stub; }
    static AcDbHandle presetHandleOf(const AcDbObject &obj) { return obj.mPresetHandle; }
    static AcDbObject *pendingOwner(const AcDbObject &obj) { return obj.mPendingOwner; }
    static void setPendingOwner(AcDbObject &obj, AcDbObject *owner) { obj.mPendingOwner = owner; }
    // A file's object: not new, not modified.
    static void markLoaded(AcDbObject &obj) {
        obj.mNewObject = false;
        obj.mModifiedSinceRead = false;
        if (obj.mStub != nullptr)
            obj.mStub->changes = 0;
    }
    static void markNotNew(AcDbObject &obj) { obj.mNewObject = false; }
    // The flags the undo journal keeps beside an object's state.
    static bool &modifiedFlag(AcDbObject &obj) { return obj.mModifiedSinceRead; }
    static bool &newFlag(AcDbObject &obj) { return obj.mNewObject; }
    static void markModified(AcDbObject &obj, AcDbStub::Change change = AcDbStub::kOther) {
        obj.mModifiedSinceRead = true;
        if (obj.mStub != nullptr)
            obj.mStub->changes |= change;
    }
    static std::vector<AcDbObject *> &entityList(AcDbBlockTableRecord &rec) {
        return rec.mEntities;
    }
    static std::vector<AcDbObject *> &recordList(AcDbSymbolTable &table) { return table.mRecords; }
    static TableIndex &index(const AcDbSymbolTable &table) { return *table.mIndex; }
    static AcRxClass *recordClassOf(const AcDbSymbolTable &t) { return t.recordClass(); }
    // Entity settings without the write check (the host's own changes).
    static AcDbObjectId &layerOf(AcDbEntity &e) { return e.mLayerId; }
    static AcDbObjectId &linetypeOf(AcDbEntity &e) { return e.mLinetypeId; }
    static Adesk::UInt16 &colorOf(AcDbEntity &e) { return e.mColorIndex; }
    // Widths without the write check (undo's record of a width change): a lightweight
    // polyline's, one pair a vertex (none at all while every width is 0), and a 2D vertex's.
    using Widths = AcDbPolyline::Widths;
    static std::vector<Widths> &widthsOf(AcDbPolyline &p) { return p.mWidths; }
    static double &startWidthOf(AcDb2dVertex &v) { return v.mStartWidth; }
    static double &endWidthOf(AcDb2dVertex &v) { return v.mEndWidth; }
    static void forgetEntity(AcDbBlockTableRecord &rec, std::size_t order) {
        if (order < rec.mEntities.size())
            rec.mEntities[order] = nullptr;
    }
};

namespace tev::db {

using ObjectAccess = ::AcDbSystemInternals;

// The DXF type name of an object: "LINE", "LWPOLYLINE", the kept name of an unknown
// entity, "" when its class has none.
std::string_view dxfTypeName(const AcDbObject &obj);

// Appends an entity read from a file to rec, closed and not new. Unlike
// appendAcDbEntity, what the file left unset takes the file's defaults (layer "0",
// BYLAYER colour, ByLayer linetype), not the drawing's current ones. Neither rec nor
// entity need be open. Statuses as appendAcDbEntity.
Acad::ErrorStatus appendFromFile(AcDbBlockTableRecord &rec, AcDbEntity *entity);
// Adds a record read from a file to table, closed. Statuses as AcDbSymbolTable::add.
Acad::ErrorStatus addFromFile(AcDbSymbolTable &table, AcDbSymbolTableRecord *record);
// Puts the table's records in the given order (a permutation of them; a reader whose
// records were made before the file defined them puts them where the file did).
void reorderRecords(AcDbSymbolTable &table, std::vector<AcDbObject *> order);
// Makes sure the next handle given is above handle ($HANDSEED).
void raiseHandseed(AcDbDatabase &db, AcDbHandle handle);
// Sets the next handle given to exactly handle, lower too (the file layer, once a file is
// read, so that handles it lent for a while do not count). Every handle in use must be
// below it.
void setHandseed(AcDbDatabase &db, AcDbHandle handle);
// Makes room for about count more objects at once (a file about to be read), so that the
// handle index does not grow step by step.
void reserveObjects(AcDbDatabase &db, std::size_t count);
// The object with this handle, or the null id.
AcDbObjectId lookupHandle(const AcDbDatabase &db, AcDbHandle handle);
// The entity that took the place of an erased one: an entity appended while the erased one
// was open for write and erased in that same open (a line turned into a polyline), or the
// one that in turn replaced that. Null when there is none, or when it is erased too.
AcDbObjectId replacementOf(const AcDbObject &erased);

// The layout name of a space record ("Model", "Layout1"); "" for other block records.
std::string layoutName(const AcDbBlockTableRecord &rec);
void setLayoutName(AcDbBlockTableRecord &rec, std::string name);

// The ads_name of an entity (the number is made on first use) and the reverse;
// equivalent to acdbGetAdsName / acdbGetObjectId.
constexpr long kEntityNameTag = 0x454E; // ads_name[1] of an entity name ("EN")

} // namespace tev::db
