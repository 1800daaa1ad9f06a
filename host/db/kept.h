// kept.h - what the host does not model, carried by an object for the file layer: an
// opaque, polymorphic holder (the file layer derives from it) that the object owns.
#pragma once

namespace tev::db {

struct KeptData {
    virtual ~KeptData() = default;
};

} // namespace tev::db
