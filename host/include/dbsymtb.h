// dbsymtb.h - the symbol tables (blocks, layers, linetypes) and their records. Names are
// compared without regard to case ("*MODEL_SPACE" finds "*Model_Space").
#pragma once
#include "dbmain.h"
#include <string>
#include <vector>

struct AcDbImpSymbolTableIndex; // the host's name index, opaque to a module

class AcDbSymbolTableRecord;
class AcDbBlockTableRecord;
class AcDbLayerTableRecord;
class AcDbLinetypeTableRecord;
class AcDbSymbolTableIterator;
class AcDbBlockTableRecordIterator;

class AcDbSymbolTable : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTable);
    ~AcDbSymbolTable() override;
    AcDbSymbolTable(const AcDbSymbolTable &) = delete;
    AcDbSymbolTable &operator=(const AcDbSymbolTable &) = delete;

    // Whether a record of that name exists (erased records do not count).
    bool has(const char *name) const;
    bool has(AcDbObjectId id) const;
    // Opens the record: eKeyNotFound when there is none, else as acdbOpenAcDbObject.
    Acad::ErrorStatus getAt(const char *name, AcDbSymbolTableRecord *&record, AcDb::OpenMode mode,
                            bool openErased = false) const;
    Acad::ErrorStatus getAt(const char *name, AcDbObjectId &recordId,
                            bool getErasedRecord = false) const;
    // Appends a new record (the table must be open for write). The record stays open for
    // write: the caller closes it. eDuplicateKey for a name in use, eInvalidInput for an
    // empty name, eWrongObjectType for a record of another table's kind, eAlreadyInDb.
    Acad::ErrorStatus add(AcDbSymbolTableRecord *record);
    Acad::ErrorStatus add(AcDbObjectId &recordId, AcDbSymbolTableRecord *record);
    // A new iterator over the records in the order they were added (caller deletes it).
    Acad::ErrorStatus newIterator(AcDbSymbolTableIterator *&iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

protected:
    AcDbSymbolTable();
    // The record class this table holds.
    virtual AcRxClass *recordClass() const = 0;

private:
    friend class AcDbSystemInternals;
    std::vector<AcDbObject *> mRecords;
    AcDbImpSymbolTableIndex *mIndex; // name → record, case-insensitive
};

class AcDbSymbolTableRecord : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord);
    // A copy of the name allocated with new[] in name; free it with acutDelString.
    Acad::ErrorStatus getName(char *&name) const;
    Acad::ErrorStatus getName(const char *&name) const; // points into the record
    // eInvalidInput for an empty name or nullptr; eDuplicateKey when the table has it.
    Acad::ErrorStatus setName(const char *name);
    const std::string &nameRef() const { return mName; } // host-internal

protected:
    AcDbSymbolTableRecord() = default;

private:
    friend class AcDbSystemInternals;
    std::string mName;
};

class AcDbSymbolTableIterator {
public:
    explicit AcDbSymbolTableIterator(const std::vector<AcDbObject *> *list, bool skipDeleted);
    virtual ~AcDbSymbolTableIterator() = default;
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    Acad::ErrorStatus getRecordId(AcDbObjectId &id) const;
    Acad::ErrorStatus getRecord(AcDbSymbolTableRecord *&record, AcDb::OpenMode mode,
                                bool openErasedRecord = false) const;

private:
    void skip(bool forward, bool skipDeleted);
    const std::vector<AcDbObject *> *mList;
    std::ptrdiff_t mPos = 0;
};

// --- blocks ------------------------------------------------------------------------------

class AcDbBlockTable : public AcDbSymbolTable {
public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTable);
    AcDbBlockTable() = default;
    using AcDbSymbolTable::getAt;
    Acad::ErrorStatus getAt(const char *name, AcDbBlockTableRecord *&record, AcDb::OpenMode mode,
                            bool openErased = false) const;

protected:
    AcRxClass *recordClass() const override;
};

class AcDbBlockTableRecord : public AcDbSymbolTableRecord {
public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord);
    AcDbBlockTableRecord() = default;
    AcDbBlockTableRecord(const AcDbBlockTableRecord &) = delete;
    AcDbBlockTableRecord &operator=(const AcDbBlockTableRecord &) = delete;

    // Takes a new entity: it gets an id, a handle, this record as owner and the database's
    // defaults for colour, layer and linetype the caller did not set; it stays open for
    // write (the caller closes it). Statuses: eNotOpenForWrite (this record), eNullEntityPointer,
    // eAlreadyInDb, eNotInDatabase (this record is new), eOutOfMemory (nothing changed).
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId &outId, AcDbEntity *entity);
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity *entity);
    // A new iterator over the entities in drawing order (the caller deletes it).
    Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator *&iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

    AcGePoint3d origin() const { return mOrigin; }
    Acad::ErrorStatus setOrigin(const AcGePoint3d &p);
    // *Model_Space or *Paper_Space (and *Paper_Space0, ...).
    bool isLayout() const;

private:
    friend class AcDbSystemInternals;
    std::vector<AcDbObject *> mEntities; // in drawing order, erased ones included
    AcGePoint3d mOrigin;
};

class AcDbBlockTableRecordIterator {
public:
    AcDbBlockTableRecordIterator(const std::vector<AcDbObject *> *list, bool atBeginning,
                                 bool skipDeleted);
    virtual ~AcDbBlockTableRecordIterator() = default;
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    Acad::ErrorStatus getEntityId(AcDbObjectId &id) const;
    Acad::ErrorStatus getEntity(AcDbEntity *&entity, AcDb::OpenMode mode,
                                bool openErasedEntity = false) const;

private:
    void skip(bool forward, bool skipDeleted);
    const std::vector<AcDbObject *> *mList;
    std::ptrdiff_t mPos = 0;
};

// --- layers --------------------------------------------------------------------------------

class AcDbLayerTable : public AcDbSymbolTable {
public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTable);
    AcDbLayerTable() = default;
    using AcDbSymbolTable::getAt;
    Acad::ErrorStatus getAt(const char *name, AcDbLayerTableRecord *&record, AcDb::OpenMode mode,
                            bool openErased = false) const;

protected:
    AcRxClass *recordClass() const override;
};

class AcDbLayerTableRecord : public AcDbSymbolTableRecord {
public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord);
    TEV_DB_STATE_COPY(AcDbLayerTableRecord)
    AcDbLayerTableRecord() = default;

    // 1..255 (a layer has no BYLAYER/BYBLOCK colour); default 7.
    AcCmColor color() const;
    // eBadColorIndex for 0, 256 or above (the colour is kept).
    Acad::ErrorStatus setColor(const AcCmColor &color);
    bool isLocked() const { return mLocked; }
    Acad::ErrorStatus setIsLocked(bool locked);
    bool isOff() const { return mOff; }
    Acad::ErrorStatus setIsOff(bool off);
    bool isFrozen() const { return mFrozen; }
    Acad::ErrorStatus setIsFrozen(bool frozen);
    bool isPlottable() const { return mPlottable; }
    Acad::ErrorStatus setIsPlottable(bool plottable);
    AcDbObjectId linetypeObjectId() const { return mLinetype; }
    Acad::ErrorStatus setLinetypeObjectId(AcDbObjectId id);
    Adesk::Int16 lineWeight() const { return mLineWeight; }
    Acad::ErrorStatus setLineWeight(Adesk::Int16 weight);

private:
    AcDbObjectId mLinetype;
    Adesk::UInt16 mColor = 7;
    Adesk::Int16 mLineWeight = AcDb::kLnWtByLwDefault;
    bool mLocked = false;
    bool mOff = false;
    bool mFrozen = false;
    bool mPlottable = true;
};

// --- linetypes ------------------------------------------------------------------------------

class AcDbLinetypeTable : public AcDbSymbolTable {
public:
    ACRX_DECLARE_MEMBERS(AcDbLinetypeTable);
    AcDbLinetypeTable() = default;
    using AcDbSymbolTable::getAt;
    Acad::ErrorStatus getAt(const char *name, AcDbLinetypeTableRecord *&record, AcDb::OpenMode mode,
                            bool openErased = false) const;

protected:
    AcRxClass *recordClass() const override;
};

// A linetype; its dash pattern is kept by the file layer.
class AcDbLinetypeTableRecord : public AcDbSymbolTableRecord {
public:
    ACRX_DECLARE_MEMBERS(AcDbLinetypeTableRecord);
    TEV_DB_STATE_COPY(AcDbLinetypeTableRecord)
    AcDbLinetypeTableRecord() = default;
    const char *comments() const { return mComments.c_str(); }
    Acad::ErrorStatus setComments(const char *text);
    double patternLength() const { return mPatternLength; }
    Acad::ErrorStatus setPatternLength(double length);

private:
    std::string mComments;
    double mPatternLength = 0;
};
