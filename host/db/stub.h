// stub.h - the host's record of one database object: its handle, owner, open state and
// erased flag, alive as long as its database. An AcDbObjectId points at one.
#pragma once
#include "dbmain.h"
#include <cstddef>
#include <cstdint>

namespace tev::db {
struct DatabaseImpl;
}

class AcDbStub {
public:
    AcDbObject *object = nullptr; // owned by the stub
    tev::db::DatabaseImpl *db = nullptr;
    AcDbStub *owner = nullptr;
    std::uint64_t handle = 0;
    std::size_t order = 0; // position in the owner's list (drawing order for entities)
    long session = 0;      // ads_name number, 0 until asked for
    std::uint16_t readers = 0;
    bool writer = false;
    bool erased = false;

    bool isOpen() const { return writer || readers > 0; }
};
