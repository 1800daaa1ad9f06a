// drafting_settings.cpp - the drafting aids kept with the drawing.
#include "drafting_settings.h"

#include "database_impl.h"

namespace tev::db {

DraftingState &draftingState(const AcDbDatabase &db) {
    return ObjectAccess::impl(db).drafting;
}

} // namespace tev::db
