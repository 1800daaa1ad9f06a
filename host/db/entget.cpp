// entget.cpp - acdbEntGet: the application list of an entity, made by writing the class's groups
// into a sink that builds a resbuf chain.
#include "access.h"
#include "database_impl.h"
#include "tag_sink.h"
#include "text_util.h"
#include "acedads.h"
#include "dbents.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tev::db {

namespace {
bool isPaperSpace(const AcDbBlockTableRecord &rec) {
    return host::text::startsWithIgnoreCase(rec.nameRef(), "*PAPER_SPACE");
}

bool isByLayerName(const std::string &n) {
    return host::text::equalsIgnoreCase(n, "BYLAYER");
}
} // namespace

void writeEntityCommon(const AcDbEntity &ent, TagSink &sink) {
    auto *rec = peekAs<AcDbBlockTableRecord>(ent.blockId());
    bool paper = rec != nullptr && isPaperSpace(*rec);
    if (!sink.forFile() || paper)
        sink.int16(67, paper ? 1 : 0);
    else
        sink.defaulted(67);
    if (!sink.forFile() && rec != nullptr && rec->isLayout())
        sink.string(410, layoutName(*rec));
    auto *layer = peekAs<AcDbSymbolTableRecord>(ent.layerId());
    sink.string(8, layer != nullptr ? layer->nameRef() : std::string("0"));
    auto *ltype = peekAs<AcDbSymbolTableRecord>(ent.linetypeId());
    if (ltype != nullptr && !isByLayerName(ltype->nameRef()))
        sink.string(6, ltype->nameRef());
    else
        sink.defaulted(6);
    if (ent.colorIndex() < 256)
        sink.int16(62, ent.colorIndex());
    else
        sink.defaulted(62);
    // A true colour beside the index; without one, its name (430) goes with it.
    if (const AcCmColor c = ent.color(); c.isByColor()) {
        sink.int32(420, long(c.red()) << 16 | long(c.green()) << 8 | long(c.blue()));
    } else {
        sink.defaulted(420);
        sink.defaulted(430);
    }
    if (ent.lineWeight() != AcDb::kLnWtByLayer)
        sink.int16(370, ent.lineWeight());
    else
        sink.defaulted(370);
    if (ent.linetypeScale() != 1.0)
        sink.real(48, ent.linetypeScale());
    else
        sink.defaulted(48);
    if (!ent.isVisible())
        sink.int16(60, 1);
    else
        sink.defaulted(60);
}

void writeEntityList(const AcDbEntity &ent, TagSink &sink) {
    sink.objectRef(-1, ent.objectId());
    sink.string(0, dxfTypeName(ent));
    sink.objectRef(330, ent.ownerId());
    sink.handle(5, ent.objectId().handle());
    sink.string(100, "AcDbEntity");
    writeEntityCommon(ent, sink);
    ent.dxfOutClassGroups(sink);
}

namespace {

// Builds the resbuf chain of an application list. Out of memory: the chain built so far
// is released and failed() is true.
class ResbufSink : public TagSink {
public:
    // Frees what was built and not released (after a failure).
    ~ResbufSink() override {
        for (resbuf *rb : mStringNodes)
            std::free(rb->resval.rstring);
        while (mHead != nullptr) {
            resbuf *next = mHead->rbnext;
            std::free(mHead);
            mHead = next;
        }
    }
    bool forFile() const override { return false; }
    void string(int code, std::string_view value) override {
        resbuf *rb = add(code);
        if (rb == nullptr)
            return;
        rb->resval.rstring = static_cast<char *>(std::malloc(value.size() + 1));
        mStringNodes.push_back(rb);
        if (rb->resval.rstring == nullptr) {
            mFailed = true;
            return;
        }
        std::memcpy(rb->resval.rstring, value.data(), value.size());
        rb->resval.rstring[value.size()] = '\0';
    }
    void real(int code, double value) override {
        if (resbuf *rb = add(code))
            rb->resval.rreal = value;
    }
    void angle(int code, double radians) override { real(code, radians); }
    void point(int code, const AcGePoint3d &p, int dims) override {
        if (resbuf *rb = add(code)) {
            rb->resval.rpoint[X] = p.x;
            rb->resval.rpoint[Y] = p.y;
            rb->resval.rpoint[Z] = dims == 2 ? 0.0 : p.z;
        }
    }
    void int16(int code, int value) override {
        if (resbuf *rb = add(code))
            rb->resval.rint = static_cast<short>(value);
    }
    void int32(int code, long value) override {
        if (resbuf *rb = add(code))
            rb->resval.rlong = static_cast<int>(value);
    }
    void handle(int code, AcDbHandle h) override {
        char buf[17];
        h.getIntoAsciiBuffer(buf);
        string(code, buf);
    }
    void objectRef(int code, AcDbObjectId id) override {
        resbuf *rb = add(code);
        if (rb == nullptr)
            return;
        ads_name name = {0, 0};
        if (!id.isNull())
            (void)acdbGetAdsName(name, id); // a non-null id always has a name
        rb->resval.rlname[0] = name[0];
        rb->resval.rlname[1] = name[1];
    }

    bool failed() const { return mFailed; }
    resbuf *release() {
        resbuf *head = mHead;
        mHead = mTail = nullptr;
        mStringNodes.clear();
        return head;
    }

private:
    resbuf *add(int code) {
        if (mFailed)
            return nullptr;
        auto *rb = static_cast<resbuf *>(std::calloc(1, sizeof(resbuf)));
        if (rb == nullptr) {
            mFailed = true;
            return nullptr;
        }
        rb->restype = static_cast<short>(code);
        (mTail != nullptr ? mTail->rbnext : mHead) = rb;
        mTail = rb;
        return rb;
    }
    resbuf *mHead = nullptr;
    resbuf *mTail = nullptr;
    std::vector<resbuf *> mStringNodes;
    bool mFailed = false;
};

} // namespace
} // namespace tev::db

resbuf *acdbEntGet(const ads_name ent) {
    AcDbObjectId id;
    if (acdbGetObjectId(id, ent) != Acad::eOk || id.isErased())
        return nullptr;
    auto *entity = AcDbEntity::cast(id.stub()->object);
    if (entity == nullptr)
        return nullptr;
    tev::db::ResbufSink sink;
    tev::db::writeEntityList(*entity, sink);
    return sink.failed() ? nullptr : sink.release();
}
