// erase_commands.cpp - ERASE and OOPS. ERASE marks the chosen entities erased; they stay in
// the database, so OOPS brings the last ERASE's entities back with their handles, as the
// host does. Entities on locked layers are left alone and counted.
#include "command_line.h"
#include "i18n.h"
#include "user_commands.h"

#include "acedads.h"
#include "dbapserv.h"
#include "dbmain.h"

namespace host {

namespace {

using i18n::format;
using i18n::tr;

// What the last ERASE erased, and in which drawing.
struct Erased {
    AcDbDatabase *db = nullptr;
    std::vector<AcDbObjectId> ids;
};

Erased &lastErased() {
    static Erased s_erased;
    return s_erased;
}

} // namespace

AcDbDatabase *drawingOrSay() {
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    if (db == nullptr)
        CommandLine::current().refuse(tr("No drawing is open."));
    return db;
}

bool selectEntityIds(std::vector<AcDbObjectId> &ids) {
    ids.clear();
    ads_name ss;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) != RTNORM)
        return false;
    long count = 0;
    if (acedSSLength(ss, &count) == RTNORM) {
        ids.reserve(static_cast<std::size_t>(count));
        for (long i = 0; i < count; ++i) {
            ads_name ent;
            AcDbObjectId id;
            if (acedSSName(ss, i, ent) == RTNORM && acdbGetObjectId(id, ent) == Acad::eOk)
                ids.push_back(id);
        }
    }
    (void)acedSSFree(ss); // our own set, named just above
    return !ids.empty();
}

void eraseCommand() {
    AcDbDatabase *db = drawingOrSay();
    std::vector<AcDbObjectId> ids;
    if (db == nullptr || !selectEntityIds(ids))
        return;
    std::vector<AcDbObjectId> erased;
    erased.reserve(ids.size());
    std::size_t locked = 0;
    for (const AcDbObjectId &id : ids) {
        AcDbEntity *ent = nullptr;
        Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, id, AcDb::kForWrite);
        if (es == Acad::eOnLockedLayer)
            ++locked;
        if (es != Acad::eOk)
            continue;
        if (ent->erase() == Acad::eOk)
            erased.push_back(id);
        (void)ent->close(); // our own write open: closing commits
    }
    CommandLine &cl = CommandLine::current();
    if (locked == 1)
        cl.refuse(tr("1 was on a locked layer."));
    else if (locked > 1)
        cl.refuse(format(tr("%s were on a locked layer."), {std::to_string(locked)}));
    if (!erased.empty())
        lastErased() = {db, std::move(erased)};
}

void oopsCommand() {
    AcDbDatabase *db = drawingOrSay();
    if (db == nullptr)
        return;
    Erased &last = lastErased();
    if (last.db != db || last.ids.empty()) {
        CommandLine::current().refuse(tr("Nothing has been erased to restore."));
        return;
    }
    for (const AcDbObjectId &id : last.ids) {
        AcDbObject *obj = nullptr;
        if (acdbOpenObject(obj, id, AcDb::kForWrite, /*openErased=*/true) != Acad::eOk)
            continue;            // its layer was locked since, or it is gone with an undo
        (void)obj->erase(false); // eWasNotErased: already back (an undo did it); nothing to do
        (void)obj->close();
    }
    last = {};
}

} // namespace host
