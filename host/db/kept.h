// kept.h - what the host does not model, carried by an object for the file layer: an
// opaque, polymorphic holder (the file layer derives from it) that the object owns.
#pragma once

struct AcDbImpKeptData {
    virtual ~AcDbImpKeptData() = default;
};

namespace tev::db {
using KeptData = ::AcDbImpKeptData;
} // namespace tev::db
