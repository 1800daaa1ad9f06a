// edit_internal.h - small helpers the editing commands share; not part of the module's
// interface.
#pragma once
#include "dbmain.h"
#include "rxregsvc.h"
#include "services.h"

namespace tev_edit {

// True when cls is wanted or derives from it. An object that reports no class is of no
// class we handle.
inline bool isOfClass(const AcRxClass *cls, AcRxClass *wanted) {
    return cls != nullptr && cls->isDerivedFrom(wanted);
}

// Closes an object that turned out to be of no use; a failing close means the host's
// bookkeeping is broken, and the host is stopped.
inline void closeOrAbort(AcDbObject *obj) {
    if (obj->close() != Acad::eOk)
        acrx_abort("Failed AcDbObject::close()");
}

// Opens id in mode as a T (through the class check every command uses), or gives nullptr
// with nothing left open.
template <class T> T *openAs(AcDbObjectId id, AcDb::OpenMode mode) {
    AcDbObject *obj = openEntityAs(id, mode, T::desc());
    if (obj == nullptr)
        return nullptr;
    if (T *typed = T::cast(obj))
        return typed;
    // The class test lets through an object that reports no class; it is not a T.
    closeOrAbort(obj);
    return nullptr;
}

} // namespace tev_edit
