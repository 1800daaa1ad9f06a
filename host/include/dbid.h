// dbid.h - the names of database objects: AcDbHandle (the persistent 64-bit name written
// to DXF) and AcDbObjectId (the in-memory name; points at the host's stub for the object).
// Both are small value types with comparison and hashing.
#pragma once
#include "adesk.h"
#include <cstddef>
#include <functional>

class AcDbDatabase;
class AcDbStub; // host-internal: one per database object, alive as long as its database

class AcDbHandle {
public:
    AcDbHandle() = default;
    AcDbHandle(Adesk::UInt32 low, Adesk::UInt32 high) : mLow(low), mHigh(high) {}
    explicit AcDbHandle(Adesk::UInt64 value)
        : mLow(static_cast<Adesk::UInt32>(value)), mHigh(static_cast<Adesk::UInt32>(value >> 32)) {}
    // Parses an upper- or lower-case hex string of at most 16 digits; anything else
    // (empty, a non-hex character, too long) gives the null handle.
    explicit AcDbHandle(const char *hex);

    Adesk::UInt32 low() const { return mLow; }
    Adesk::UInt32 high() const { return mHigh; }
    Adesk::UInt64 value() const { return (static_cast<Adesk::UInt64>(mHigh) << 32) | mLow; }
    bool isNull() const { return mLow == 0 && mHigh == 0; }
    void setNull() { mLow = mHigh = 0; }
    AcDbHandle &operator++() { return *this = AcDbHandle(value() + 1); }
    AcDbHandle operator+(Adesk::UInt64 n) const { return AcDbHandle(value() + n); }

    // Writes the handle as upper-case hex without leading zeros ("6A"; "0" for null).
    // buffer must hold 17 characters. Returns true.
    bool getIntoAsciiBuffer(char *buffer) const;

    bool operator==(const AcDbHandle &h) const { return value() == h.value(); }
    bool operator!=(const AcDbHandle &h) const { return value() != h.value(); }
    bool operator<(const AcDbHandle &h) const { return value() < h.value(); }
    bool operator>(const AcDbHandle &h) const { return value() > h.value(); }
    bool operator<=(const AcDbHandle &h) const { return value() <= h.value(); }
    bool operator>=(const AcDbHandle &h) const { return value() >= h.value(); }

private:
    Adesk::UInt32 mLow = 0;
    Adesk::UInt32 mHigh = 0;
};

class AcDbObjectId {
public:
    AcDbObjectId() = default;
    // Host-internal: the id of a stub. The module gets ids from the database only.
    explicit AcDbObjectId(AcDbStub *stub) : mStub(stub) {}

    bool isNull() const { return mStub == nullptr; }
    void setNull() { mStub = nullptr; }
    // The object's handle; null for a null id.
    AcDbHandle handle() const;
    // The database the object belongs to; nullptr for a null id.
    AcDbDatabase *database() const;
    // Whether the object is erased (false for a null id).
    bool isErased() const;
    // Whether the id names an object (not null).
    bool isValid() const { return mStub != nullptr; }

    bool operator==(const AcDbObjectId &id) const { return mStub == id.mStub; }
    bool operator!=(const AcDbObjectId &id) const { return mStub != id.mStub; }
    // Ordered by handle within a database, so that sorted ids follow creation order.
    bool operator<(const AcDbObjectId &id) const;
    bool operator>(const AcDbObjectId &id) const { return id < *this; }

    AcDbStub *stub() const { return mStub; } // host-internal
    static const AcDbObjectId kNull;

private:
    AcDbStub *mStub = nullptr;
};

template <> struct std::hash<AcDbHandle> {
    std::size_t operator()(const AcDbHandle &h) const noexcept {
        return std::hash<Adesk::UInt64>()(h.value());
    }
};
template <> struct std::hash<AcDbObjectId> {
    std::size_t operator()(const AcDbObjectId &id) const noexcept {
        return std::hash<const void *>()(id.stub());
    }
};
