// dbmain.h - the drawing database: objects and their open/close protocol, entities,
// colours, extents, sub-entity paths, the object iterator and AcDbDatabase itself.
//
// The life of a database object:
//   new        the caller's. `new` may give nullptr (the database allocator can run out).
//              A new object counts as open for write; the caller may delete it.
//   appended   the database's: appendAcDbEntity gives it an id, a handle and an owner,
//              and fills what the caller left unset (colour, layer, linetype) from the
//              database's current settings. It stays open for write until close().
//              From here on never delete it; erase it instead.
//   opened     acdbOpenAcDbObject / acdbOpenObject: many readers or one writer.
//   closed     close() commits the changes (and ends the open).
//   erased     erase() under a write open marks it; it stays in the database, opens
//              only with openErased, and erase(false) brings it back.
// Misuse (a second write open, closing an object that is not open, closing a new object
// never appended, changing an object that is not open for write) is refused with a
// status and recorded by the host, never allowed to corrupt the drawing.
#pragma once
#include "adesk.h"
#include "adsdef.h"
#include "acdb.h"
#include "rxobject.h"
#include "gegeom.h"
#include "dbid.h"
#include "dbidar.h"
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class AcDbDatabase;
class AcDbObject;
class AcDbBlockTable;
class AcDbLayerTable;
class AcDbLinetypeTable;
// The host's own machinery behind the API, opaque to a module.
class AcDbDxfFiler;
class AcDbImpTagSource;
class AcDbSystemInternals;
class AcDbImpDatabase;
struct AcDbImpKeptData;

// A colour: an ACI index, 0 BYBLOCK, 256 BYLAYER (257 "none" is the host's own).
class AcCmColor {
public:
    AcCmColor() = default; // BYLAYER
    Adesk::UInt16 colorIndex() const { return mIndex; }
    // Refuses an index above 256 with eBadColorIndex and keeps the colour.
    Acad::ErrorStatus setColorIndex(Adesk::UInt16 index) {
        if (index > 256)
            return Acad::eBadColorIndex;
        mIndex = index;
        mRGB = 0;
        return Acad::eOk;
    }
    bool isByLayer() const { return mRGB == 0 && mIndex == 256; }
    bool isByBlock() const { return mRGB == 0 && mIndex == 0; }
    bool isByACI() const { return mRGB == 0 && mIndex >= 1 && mIndex <= 255; }
    // A true colour: red, green and blue of 0..255 each. The index stays as it was (the
    // colour older readers are shown); setColorIndex, setByLayer and setByBlock drop it.
    bool isByColor() const { return mRGB != 0; }
    Acad::ErrorStatus setRGB(Adesk::UInt8 red, Adesk::UInt8 green, Adesk::UInt8 blue) {
        mRGB = kHasRGB | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue;
        return Acad::eOk;
    }
    Adesk::UInt8 red() const { return static_cast<Adesk::UInt8>(mRGB >> 16); }
    Adesk::UInt8 green() const { return static_cast<Adesk::UInt8>(mRGB >> 8); }
    Adesk::UInt8 blue() const { return static_cast<Adesk::UInt8>(mRGB); }
    void setByLayer() {
        mIndex = 256;
        mRGB = 0;
    }
    void setByBlock() {
        mIndex = 0;
        mRGB = 0;
    }
    bool operator==(const AcCmColor &c) const { return mIndex == c.mIndex && mRGB == c.mRGB; }
    bool operator!=(const AcCmColor &c) const { return !(*this == c); }

private:
    static constexpr std::uint32_t kHasRGB = 1u << 24;
    Adesk::UInt16 mIndex = 256;
    std::uint32_t mRGB = 0; // kHasRGB | 0xRRGGBB, or 0 for none
};

// An axis-aligned box. A fresh one is empty (min above max) until a point is added.
class AcDbExtents {
public:
    AcDbExtents();
    AcDbExtents(const AcGePoint3d &min, const AcGePoint3d &max);
    AcGePoint3d minPoint() const { return mMin; }
    AcGePoint3d maxPoint() const { return mMax; }
    // eInvalidInput when min is above max on any axis (nothing changes).
    Acad::ErrorStatus set(const AcGePoint3d &min, const AcGePoint3d &max);
    void addPoint(const AcGePoint3d &p);
    void addExt(const AcDbExtents &e);
    void expandBy(const AcGeVector3d &v);
    void transformBy(const AcGeMatrix3d &m); // the box of the eight transformed corners
    bool isEmpty() const { return mMin.x > mMax.x; }

private:
    AcGePoint3d mMin, mMax;
};

class AcDbSubentId {
public:
    AcDbSubentId() = default;
    AcDbSubentId(AcDb::SubentType type, Adesk::Int32 index) : mType(type), mIndex(index) {}
    AcDb::SubentType type() const { return mType; }
    Adesk::Int32 index() const { return mIndex; }
    bool operator==(const AcDbSubentId &o) const { return mType == o.mType && mIndex == o.mIndex; }

private:
    AcDb::SubentType mType = AcDb::kNullSubentType;
    Adesk::Int32 mIndex = 0;
};

// A sub-entity named by the path of containers leading to it (outermost first).
class AcDbFullSubentPath {
public:
    AcDbFullSubentPath() = default;
    AcDbFullSubentPath(AcDb::SubentType type, Adesk::Int32 index) : mSubent(type, index) {}
    AcDbFullSubentPath(const AcDbObjectIdArray &ids, AcDbSubentId subent)
        : mIds(ids), mSubent(subent) {}
    AcDbObjectIdArray &objectIds() { return mIds; }
    const AcDbObjectIdArray &objectIds() const { return mIds; }
    AcDbSubentId &subentId() { return mSubent; }
    const AcDbSubentId &subentId() const { return mSubent; }
    bool isNull() const { return mIds.isEmpty() && mSubent.type() == AcDb::kNullSubentType; }
    bool operator==(const AcDbFullSubentPath &o) const {
        return mIds == o.mIds && mSubent == o.mSubent;
    }

private:
    AcDbObjectIdArray mIds;
    AcDbSubentId mSubent;
};

// The null path: highlight the whole entity.
extern const AcDbFullSubentPath kNullSubent;

// What a polyline (or a reference with attributes) owns: its vertices in order and its
// sequence end. Host-internal; before the owner is appended the owner deletes them.
struct AcDbOwnedSequence {
    AcDbOwnedSequence() = default;
    // Copying an owner's state copies none of its items: a copy starts empty, and an
    // assignment leaves the target's own items where they are.
    AcDbOwnedSequence(const AcDbOwnedSequence &) {}
    AcDbOwnedSequence &operator=(const AcDbOwnedSequence &) { return *this; }
    ~AcDbOwnedSequence();
    std::vector<AcDbObject *> items;
    AcDbObject *seqEnd = nullptr;
    bool inDatabase = false; // then the database owns the items
    bool incomplete = false; // an item could not be allocated: refuse to append
};

// Host-internal, after ACRX_DECLARE_MEMBERS in each concrete class whose state a command
// may change: the undo journal's copy and exchange of that state. The class's copy
// operations stay protected: the users of an object never copy it.
#define TEV_DB_STATE_COPY(CLASS_NAME)                                                              \
    AcDbObject *copyState() const override {                                                       \
        return new CLASS_NAME(*this);                                                              \
    }                                                                                              \
    void swapState(AcDbObject &other) override {                                                   \
        auto &o = static_cast<CLASS_NAME &>(other);                                                \
        CLASS_NAME held(o);                                                                        \
        o = *this;                                                                                 \
        *this = held;                                                                              \
    }                                                                                              \
    std::size_t stateBytes() const override {                                                      \
        return sizeof(CLASS_NAME) + heapBytes();                                                   \
    }                                                                                              \
                                                                                                   \
protected:                                                                                         \
    CLASS_NAME(const CLASS_NAME &) = default;                                                      \
    CLASS_NAME &operator=(const CLASS_NAME &) = default;                                           \
                                                                                                   \
public:

class AcDbObject : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbObject);
    AcDbObject();
    ~AcDbObject() override;

    // The database allocator: counts every allocation and returns nullptr when it runs
    // out (a test can make the Nth allocation fail), so `new AcDbLine(a, b)` may be null.
    static void *operator new(std::size_t size) noexcept;
    static void operator delete(void *p) noexcept;

    AcDbObjectId objectId() const;
    AcDbObjectId ownerId() const;
    // The database the object was appended to; nullptr for a new object.
    AcDbDatabase *database() const;
    void getAcDbHandle(AcDbHandle &handle) const;

    // Ends the current open and commits the changes. A new object never appended cannot
    // be closed: eNotInDatabase (and a misuse report); an object that is not open:
    // eNotOpenForRead (and a misuse report).
    Acad::ErrorStatus close();
    // Marks the object erased (true) or brings it back (false). Needs a write open:
    // eNotOpenForWrite otherwise. eWasErased when already erased, eWasNotErased when
    // un-erasing an object that is not erased. Owned vertices follow their owner.
    Acad::ErrorStatus erase(Adesk::Boolean erasing = true);
    // Read open with one reader → write open. eHadMultipleReaders with several readers,
    // eWasOpenForWrite when already so, eOnLockedLayer for an entity on a locked layer.
    Acad::ErrorStatus upgradeOpen();
    // Write open → read open.
    Acad::ErrorStatus downgradeOpen();

    bool isErased() const;
    bool isReadEnabled() const;
    bool isWriteEnabled() const;
    bool isNotifyEnabled() const { return false; }
    // True from creation until the first close after it was appended.
    bool isNewObject() const { return mNewObject; }
    bool isDatabaseResident() const { return mStub != nullptr; }

    // Host-internal: writes the class's own groups (after the common entity head) to sink.
    // The same list feeds acdbEntGet and the DXF writer.
    virtual void dxfOutClassGroups(AcDbDxfFiler &sink) const;
    // Host-internal: reads the class's own groups, those dxfOutClassGroups writes, from a
    // file's record (the object is new, not yet in a database).
    virtual void dxfInClassGroups(AcDbImpTagSource &source);

    // Host-internal, for the undo journal (TEV_DB_STATE_COPY): a new object of the same
    // class with this one's state, not its identity (no stub, owner, owned items or kept
    // data); nullptr when out of memory or when the class keeps no state a command changes
    // besides its contents (tables, block records).
    virtual AcDbObject *copyState() const { return nullptr; }
    // Exchanges state with other, a copyState of an object of the same class.
    virtual void swapState(AcDbObject &other) { (void)other; }
    // About how much memory a copyState takes.
    virtual std::size_t stateBytes() const { return 0; }

protected:
    // The state a command changes: the source bytes and where the colour stands in them.
    // Not the identity (stub, preset handle, pending owner), the kept data (the file
    // layer's) or the modified and new flags (the journal keeps those apart).
    AcDbObject(const AcDbObject &other);
    AcDbObject &operator=(const AcDbObject &other);
    // The memory the object holds beyond its own size (vectors of vertices, strings).
    virtual std::size_t heapBytes() const { return 0; }
    // True when the object may be changed now; otherwise records the misuse. Every setter
    // calls it and changes nothing when it fails.
    bool writeAllowed() const;
    // Host-internal: the sequence of objects this one owns (polyline vertices), if any.
    virtual AcDbOwnedSequence *ownedSequence() { return nullptr; }

private:
    friend class AcDbSystemInternals;
    AcDbStub *mStub = nullptr;
    AcDbImpKeptData *mKept = nullptr; // what the host does not model, for the writer
    // The original bytes of an object read from a file (none when the size is 0), and where
    // in them the entity's colour group stands or would go (0 when not known).
    const char *mSourceData = nullptr;
    std::uint32_t mSourceSize = 0;
    std::uint32_t mColourPlace = 0;
    AcDbHandle mPresetHandle;            // the handle a reader asks for (kept on append)
    AcDbObject *mPendingOwner = nullptr; // the polyline of a vertex not yet in a database
    bool mModifiedSinceRead = false;
    bool mNewObject = true;
};

class AcDbEntity : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbEntity);
    ~AcDbEntity() override;

    // The block table record the entity lives in (for a vertex: its polyline's record).
    AcDbObjectId blockId() const;

    // 0 BYBLOCK, 1..255, 256 BYLAYER; 257 until set or appended. For a true colour, the
    // index older readers show instead.
    Adesk::UInt16 colorIndex() const { return mColorIndex; }
    // An index above 256 is refused with eBadColorIndex and the colour kept. Drops a true
    // colour (and its name). With doSubents every sub-entity takes the colour too: the
    // vertices of polylines and meshes, the attributes of a block reference.
    Acad::ErrorStatus setColorIndex(Adesk::UInt16 color, Adesk::Boolean doSubents = true);
    // The index and, when the entity has one, the true colour.
    AcCmColor color() const;
    // A true colour keeps the index the entity has (or the colour's own index when set).
    Acad::ErrorStatus setColor(const AcCmColor &color, Adesk::Boolean doSubents = true);

    // The layer's name as a copy allocated with new[]; free it with acutDelString.
    // nullptr while a new entity has no layer yet.
    char *layer() const;
    AcDbObjectId layerId() const { return mLayerId; }
    // Looks the name up in the entity's database (the working database for a new entity):
    // eNoDatabase without one, eKeyNotFound for an unknown layer.
    Acad::ErrorStatus setLayer(const char *newVal, Adesk::Boolean doSubents = true);
    Acad::ErrorStatus setLayer(AcDbObjectId newVal, Adesk::Boolean doSubents = true);

    // The linetype's name as a copy allocated with new[]; free it with acutDelString.
    // nullptr while a new entity has no linetype yet.
    char *linetype() const;
    AcDbObjectId linetypeId() const { return mLinetypeId; }
    // As setLayer, in the linetype table (names such as "ByLayer" are table records).
    Acad::ErrorStatus setLinetype(const char *newVal, Adesk::Boolean doSubents = true);
    Acad::ErrorStatus setLinetype(AcDbObjectId newVal, Adesk::Boolean doSubents = true);

    double linetypeScale() const { return mLinetypeScale; }
    Acad::ErrorStatus setLinetypeScale(double scale, Adesk::Boolean doSubents = true);
    Adesk::Int16 lineWeight() const { return mLineWeight; } // AcDb::LineWeight or 0..211
    Acad::ErrorStatus setLineWeight(Adesk::Int16 weight, Adesk::Boolean doSubents = true);
    bool isVisible() const { return mVisible; }
    Acad::ErrorStatus setVisibility(bool visible, Adesk::Boolean doSubents = true);

    // Display only. The stand-in records the state so that a test can read it.
    Acad::ErrorStatus highlight(const AcDbFullSubentPath &subId = kNullSubent,
                                Adesk::Boolean highlightAll = false) const;
    Acad::ErrorStatus unhighlight(const AcDbFullSubentPath &subId = kNullSubent,
                                  Adesk::Boolean highlightAll = false) const;
    bool isHighlighted() const { return mHighlighted; }
    const AcDbFullSubentPath &highlightedPath() const;

    // The box of the geometry in world coordinates; eInvalidExtents-like eNotApplicable
    // for entities without geometry.
    virtual Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const;

protected:
    AcDbEntity();
    // The properties, not the highlight (a display state of the object itself).
    AcDbEntity(const AcDbEntity &other);
    AcDbEntity &operator=(const AcDbEntity &other);

private:
    void keepHighlightPath(const AcDbFullSubentPath &subId) const;
    void copyTrueColourFrom(const AcDbEntity &other);

private:
    friend class AcDbSystemInternals;
    // The small members first: they fill the room the object's flags leave. A drawing holds
    // millions of entities, so every word counts.
    Adesk::UInt16 mColorIndex = 257;
    Adesk::Int16 mLineWeight = AcDb::kLnWtByLayer;
    bool mVisible = true;
    mutable bool mHighlighted : 1 = false;
    mutable bool mHasHighlightPath : 1 = false; // the path is kept aside (entity.cpp)
    bool mHasTrueColor : 1 = false;             // the true colour is kept aside (entity.cpp)
    AcDbObjectId mLayerId;
    AcDbObjectId mLinetypeId;
    double mLinetypeScale = 1.0;
};

class AcDbCurve : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbCurve);
    virtual bool isClosed() const { return false; }
    virtual Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const;
    virtual Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const;

protected:
    AcDbCurve() = default;
};

// Walks the objects a polyline owns (its vertices), in order. A heap object: the caller
// deletes it. Starts at the first item (skipping erased ones when asked).
class AcDbObjectIterator {
public:
    // Host-internal: iterate list, which must outlive the iterator.
    explicit AcDbObjectIterator(const std::vector<AcDbObject *> *list);
    virtual ~AcDbObjectIterator() = default;
    bool done() const;
    AcDbObjectId objectId() const; // null for the vertex of a polyline not yet appended
    // The current object itself, without opening it (the owner must be open).
    AcDbEntity *entity();
    void start(bool atEnd = false);
    void step(bool backwards = false, bool skipDeleted = true);
    // Moves to the item with this id; false (position unchanged) when it is not there.
    bool seek(AcDbObjectId id);

private:
    void skipErased(bool backwards);
    const std::vector<AcDbObject *> *mList;
    std::ptrdiff_t mPos = 0;
};

class AcDbDatabase : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbDatabase);
    // With buildDefaultDrawing: layer "0", linetypes ByBlock, ByLayer, Continuous, the
    // block records *Model_Space and *Paper_Space, CLAYER "0", CELTYPE ByLayer, CECOLOR
    // BYLAYER, TILEMODE 1. Without: the empty tables only (a reader fills them).
    explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
    ~AcDbDatabase() override;
    AcDbDatabase(const AcDbDatabase &) = delete;
    AcDbDatabase &operator=(const AcDbDatabase &) = delete;

    Acad::ErrorStatus getSymbolTable(AcDbBlockTable *&table, AcDb::OpenMode mode);
    Acad::ErrorStatus getSymbolTable(AcDbLayerTable *&table, AcDb::OpenMode mode);
    Acad::ErrorStatus getSymbolTable(AcDbLinetypeTable *&table, AcDb::OpenMode mode);
    Acad::ErrorStatus getBlockTable(AcDbBlockTable *&table, AcDb::OpenMode mode);
    Acad::ErrorStatus getLayerTable(AcDbLayerTable *&table, AcDb::OpenMode mode);
    Acad::ErrorStatus getLinetypeTable(AcDbLinetypeTable *&table, AcDb::OpenMode mode);
    AcDbObjectId blockTableId() const;
    AcDbObjectId layerTableId() const;
    AcDbObjectId linetypeTableId() const;

    // The block record of model space (TILEMODE 1) or paper space (TILEMODE 0).
    AcDbObjectId currentSpaceId() const;
    AcDbObjectId modelSpaceId() const;
    AcDbObjectId paperSpaceId() const;

    AcDbObjectId clayer() const;
    Acad::ErrorStatus setClayer(AcDbObjectId layerId); // eWrongObjectType if not a layer
    AcDbObjectId celtype() const;
    Acad::ErrorStatus setCeltype(AcDbObjectId linetypeId);
    AcCmColor cecolor() const;
    Acad::ErrorStatus setCecolor(const AcCmColor &color);
    bool tilemode() const;
    Acad::ErrorStatus setTilemode(bool mode);
    // Stand-in: SNAPANG in radians (kept in the *ACTIVE viewport of a DXF file).
    double snapAngle() const;
    Acad::ErrorStatus setSnapAngle(double angle);

    // The object with this handle. createIfNotFound is not supported (eNotImplementedYet
    // when asked and the handle is unknown); an unknown handle gives eKeyNotFound.
    Acad::ErrorStatus getAcDbObjectId(AcDbObjectId &retId, Adesk::Boolean createIfNotFound,
                                      const AcDbHandle &objHandle, Adesk::UInt32 xRefId = 0);
    // The next handle the database will give (DXF $HANDSEED).
    AcDbHandle handseed() const;
    // Stand-in: how many changes were committed (a close after a write open, a setting
    // changed) since the drawing was opened or saved; DBMOD is non-zero while it is.
    std::uint64_t changeCount() const;
    // Stand-in: the drawing counts as unchanged from now on (after it was read or saved).
    void clearChanges();

private:
    friend class AcDbSystemInternals;
    AcDbImpDatabase *mImpl;
};

// --- opening objects ------------------------------------------------------------------------
// eOk and obj set; otherwise obj is nullptr and the status says why: eNullObjectId,
// eWasErased (unless openErased), eWasOpenForWrite, eWasOpenForRead (write open of a read-
// open object), eAtMaxReaders, eOnLockedLayer (write open of an entity on a locked layer),
// eInvalidOpenState for kForNotify (not supported).
[[nodiscard]] Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject *&obj, AcDbObjectId id,
                                                   AcDb::OpenMode mode, bool openErased = false);
// As acdbOpenAcDbObject; eNotAnEntity (nothing left open) when the object is no entity.
[[nodiscard]] Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity *&ent, AcDbObjectId id,
                                                   AcDb::OpenMode mode, bool openErased = false);

// Opens the object as T: eNotThatKindOfClass (and nothing left open) when it is not one.
template <class T>
[[nodiscard]] inline Acad::ErrorStatus acdbOpenObject(T *&obj, AcDbObjectId id, AcDb::OpenMode mode,
                                                      bool openErased = false) {
    obj = nullptr;
    AcDbObject *p = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(p, id, mode, openErased);
    if (es != Acad::eOk)
        return es;
    obj = T::cast(p);
    if (obj != nullptr)
        return Acad::eOk;
    (void)p->close(); // a read or write open of our own making: closing cannot fail
    return Acad::eNotThatKindOfClass;
}

// ads_name ↔ object id. A bad or stale name gives eInvalidAdsName; a null id eNullObjectId.
[[nodiscard]] Acad::ErrorStatus acdbGetObjectId(AcDbObjectId &objId, const ads_name objName);
[[nodiscard]] Acad::ErrorStatus acdbGetAdsName(ads_name &objName, AcDbObjectId objId);
