// view_state.cpp - the model space's view kept with the drawing.
#include "view_state.h"

#include "database_impl.h"

namespace tev::db {

ViewState &viewState(const AcDbDatabase &db) {
    return ObjectAccess::impl(db).view;
}

void setView(const AcDbDatabase &db, const View &v, bool byCommand) {
    ViewState &s = viewState(db);
    if (s.current.height > 0) {
        s.before.push_back(s.current);
        if (s.before.size() > kViewsKept)
            s.before.erase(s.before.begin());
    }
    double aspect = v.aspect > 0 ? v.aspect : s.current.aspect;
    s.current = v;
    s.current.aspect = aspect;
    if (byCommand)
        ++s.moved;
}

} // namespace tev::db
