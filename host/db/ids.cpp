// ids.cpp - handles, object ids, entity names (ads_name) and the names of status codes.
#include "access.h"
#include "database_impl.h"
#include "text_util.h"

#include <cstdint>
#include <cstring>
#include <vector>

const AcDbObjectId AcDbObjectId::kNull;

AcDbHandle::AcDbHandle(const char *hex) {
    if (hex == nullptr || *hex == '\0' || std::strlen(hex) > 16)
        return;
    Adesk::UInt64 v = 0;
    for (const char *c = hex; *c != '\0'; ++c) {
        const int d = host::text::hexDigit(*c);
        if (d < 0)
            return;
        v = (v << 4) | static_cast<Adesk::UInt64>(d);
    }
    *this = AcDbHandle(v);
}

bool AcDbHandle::getIntoAsciiBuffer(char *buffer) const {
    static const char kDigits[] = "0123456789ABCDEF";
    Adesk::UInt64 v = value();
    char tmp[17];
    int n = 0;
    do {
        tmp[n++] = kDigits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    for (int i = 0; i < n; ++i)
        buffer[i] = tmp[n - 1 - i];
    buffer[n] = '\0';
    return true;
}

AcDbHandle AcDbObjectId::handle() const {
    return mStub != nullptr ? AcDbHandle(mStub->handle) : AcDbHandle();
}

AcDbDatabase *AcDbObjectId::database() const {
    return mStub != nullptr ? mStub->db->self : nullptr;
}

bool AcDbObjectId::isErased() const {
    return mStub != nullptr && mStub->erased;
}

bool AcDbObjectId::operator<(const AcDbObjectId &id) const {
    if (mStub == nullptr || id.mStub == nullptr)
        return mStub == nullptr && id.mStub != nullptr;
    if (mStub->db != id.mStub->db)
        return mStub->db < id.mStub->db;
    return mStub->handle < id.mStub->handle;
}

// --- entity names -------------------------------------------------------------------------
// ads_name[0] is a session number (1, 2, ...) into one table for the whole host process;
// a database that goes away clears its entries, so a stale name is refused, not followed.

namespace {
std::vector<AcDbStub *> &sessionTable() {
    static std::vector<AcDbStub *> s;
    return s;
}
} // namespace

namespace tev::db {
void forgetSessionNames(DatabaseImpl &db) {
    auto &table = sessionTable();
    for (AcDbStub &s : db.stubs)
        if (s.session > 0 && static_cast<std::size_t>(s.session) <= table.size())
            table[static_cast<std::size_t>(s.session) - 1] = nullptr;
}
} // namespace tev::db

Acad::ErrorStatus acdbGetAdsName(ads_name &objName, AcDbObjectId objId) {
    if (objId.isNull())
        return Acad::eNullObjectId;
    AcDbStub *s = objId.stub();
    if (s->session == 0) {
        if (sessionTable().size() >= static_cast<std::size_t>(INT32_MAX))
            return Acad::eOutOfMemory; // no number left for another name
        sessionTable().push_back(s);
        s->session = static_cast<std::int32_t>(sessionTable().size());
    }
    objName[0] = s->session;
    objName[1] = tev::db::kEntityNameTag;
    return Acad::eOk;
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId &objId, const ads_name objName) {
    objId.setNull();
    if (objName == nullptr || objName[1] != tev::db::kEntityNameTag || objName[0] <= 0)
        return Acad::eInvalidAdsName;
    auto &table = sessionTable();
    auto index = static_cast<std::size_t>(objName[0]);
    if (index > table.size() || table[index - 1] == nullptr)
        return Acad::eInvalidAdsName;
    objId = AcDbObjectId(table[index - 1]);
    return Acad::eOk;
}

// --- status names ----------------------------------------------------------------------------

const char *Acad::errorStatusName(ErrorStatus es) {
    switch (es) {
#define TEV_NAME(e)                                                                                \
    case e:                                                                                        \
        return #e;
        TEV_NAME(eOk)
        TEV_NAME(eNotImplementedYet)
        TEV_NAME(eNotApplicable)
        TEV_NAME(eInvalidInput)
        TEV_NAME(eAmbiguousInput)
        TEV_NAME(eOutOfMemory)
        TEV_NAME(eInvalidOpenState)
        TEV_NAME(eNullHandle)
        TEV_NAME(eNullObjectPointer)
        TEV_NAME(eNullObjectId)
        TEV_NAME(eNullEntityPointer)
        TEV_NAME(eIllegalEntityType)
        TEV_NAME(eKeyNotFound)
        TEV_NAME(eDuplicateKey)
        TEV_NAME(eInvalidIndex)
        TEV_NAME(eAlreadyInDb)
        TEV_NAME(eInvalidAdsName)
        TEV_NAME(eWrongObjectType)
        TEV_NAME(eNotOpenForRead)
        TEV_NAME(eNotOpenForWrite)
        TEV_NAME(eNotThatKindOfClass)
        TEV_NAME(eWasErased)
        TEV_NAME(ePermanentlyErased)
        TEV_NAME(eWasOpenForRead)
        TEV_NAME(eWasOpenForWrite)
        TEV_NAME(eWasOpenForUndo)
        TEV_NAME(eWasNotifying)
        TEV_NAME(eWasOpenForNotify)
        TEV_NAME(eOnLockedLayer)
        TEV_NAME(eMustOpenThruOwner)
        TEV_NAME(eAtMaxReaders)
        TEV_NAME(eNotAnEntity)
        TEV_NAME(eHadMultipleReaders)
        TEV_NAME(eWasNotOpenForWrite)
        TEV_NAME(eCloseWasNotifying)
        TEV_NAME(eWasNotErased)
        TEV_NAME(eNoDatabase)
        TEV_NAME(eNotInDatabase)
        TEV_NAME(eOutOfRange)
        TEV_NAME(eInvalidLayer)
        TEV_NAME(eBadLayerName)
        TEV_NAME(eBadColorIndex)
        TEV_NAME(eBadLinetypeName)
        TEV_NAME(eBadColor)
        TEV_NAME(eLockViolation)
        TEV_NAME(eNullPtr)
#undef TEV_NAME
    }
    return "eUnknownErrorStatus";
}
