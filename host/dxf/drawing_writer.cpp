// drawing_writer.cpp - sections, tables, blocks and entities out of the database, copied from
// their source bytes where nothing changed.
#include "drawing_writer.h"
#include "text_util.h"

#include "codepage.h"
#include "colour_place.h"
#include "document.h"
#include "progress.h"
#include "tag_writer.h"
#include "tags.h"
#include "tag_sink.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "access.h"

#include <algorithm>
#include <bitset>
#include <climits>
#include <optional>
#include <cmath>
#include <numbers>
#include <utility>

namespace dxf {

namespace {

using host::text::toUpper;

using tev::db::ObjectAccess;

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr std::size_t kFlushBytes = 1 << 20;

std::uint64_t handleOf(const AcDbObject &obj) {
    return obj.objectId().handle().value();
}

// "LINE 2A": an object as a save error names it.
std::string describe(const AcDbObject &obj) {
    std::string type(tev::db::dxfTypeName(obj));
    if (type.empty())
        type = obj.isA() != nullptr ? obj.isA()->name() : "object";
    return type + " " + formatHandle(handleOf(obj));
}

// Groups R12 files do not have: subclass markers, owners, application groups, and the
// R13+ common groups.
bool r12Lacks(int code) {
    return code == 100 || code == 102 || code == 330 || code == 360 || code == 370 || code == 390 ||
           code == 410 || code == 347 || code == 420 || code == 430 || code == 440 || code == 284;
}

// Tags of source bytes, each with the raw text it stands on.
struct RawTags {
    std::vector<Tag> tags;
    std::string_view text;
    std::size_t base = 0;

    std::string_view raw(std::size_t i) const {
        const std::size_t b = tags[i].offset - base;
        const std::size_t e = i + 1 < tags.size() ? tags[i + 1].offset - base : text.size();
        return text.substr(b, e - b);
    }
};

// Reads text's tags into out, reusing its storage.
void tokenizeInto(std::string_view text, RawTags &out) {
    out.tags.clear();
    out.text = text;
    out.base = 0;
    static const Locator kSource("<kept source>");
    TagReader reader(text, kSource, 1, 0);
    Tag t;
    while (reader.next(t))
        out.tags.push_back(t);
}

RawTags tokenize(std::string_view text) {
    RawTags out;
    tokenizeInto(text, out);
    return out;
}

// Sorts handles: a radix sort, a byte at a time from the lowest, skipping the bytes every
// handle shares (a drawing's handles rarely need more than three bytes).
void sortHandles(std::vector<std::uint64_t> &handles) {
    if (std::is_sorted(handles.begin(), handles.end()))
        return;
    std::uint64_t differ = 0;
    for (std::uint64_t h : handles)
        differ |= h ^ handles.front();
    std::vector<std::uint64_t> other(handles.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if (((differ >> shift) & 0xFF) == 0)
            continue;
        std::size_t start[257] = {};
        for (std::uint64_t h : handles)
            ++start[((h >> shift) & 0xFF) + 1];
        for (int b = 0; b < 256; ++b)
            start[b + 1] += start[b];
        for (std::uint64_t h : handles)
            other[start[(h >> shift) & 0xFF]++] = h;
        handles.swap(other);
    }
}

// The name of a symbol table record ("" for a null id or another object).
std::string layerNameOf(AcDbObjectId id) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (id.isNull() || acdbOpenObject(rec, id, AcDb::kForRead) != Acad::eOk)
        return {};
    std::string name = rec->nameRef();
    (void)rec->close(); // a read open of our own: closing cannot fail
    return name;
}

// The output buffer, drained into the sink as it grows.
class Out {
public:
    Out(ByteSink &sink, bool crlf) : sink_(sink), writer_(buffer_, crlf) {}
    TagWriter &tags() { return writer_; }
    void raw(std::string_view bytes) {
        buffer_.append(bytes);
        maybeFlush();
    }
    // Whole lines of an entity's bytes as read from the file (the reader checked them).
    void asRead(std::string_view bytes) {
        if (!read_.empty() && read_.back().offset + read_.back().size == buffer_.size())
            read_.back().size += bytes.size();
        else
            read_.push_back({buffer_.size(), bytes.size()});
        raw(bytes);
    }
    void maybeFlush() {
        if (buffer_.size() >= kFlushBytes)
            flush();
    }
    void flush() {
        sink_.give(buffer_, read_);
        buffer_.clear();
        read_.clear();
    }

private:
    ByteSink &sink_;
    std::string buffer_;
    std::vector<ByteSpan> read_; // the stretches of buffer_ copied as read
    TagWriter writer_;
};

// The database's group lists into a file: points as x/y/z groups, angles in degrees, names
// as hexadecimal handles, text in the file's code page. Records which codes it wrote.
class FileSink : public tev::db::TagSink {
public:
    FileSink(TagWriter &w, const TextCodec &codec, bool r12) : w_(w), codec_(codec), r12_(r12) {}

    void setSubject(std::string what) {
        subject_ = std::move(what);
        subjectObject_ = nullptr;
        written.reset();
        spelling_ = nullptr;
    }
    // The object being written, named in a message only when one is needed.
    void setSubject(const AcDbObject &obj) {
        subjectObject_ = &obj;
        written.reset();
        spelling_ = nullptr;
    }
    // The object's tags as read: a number the database still holds as read is written as
    // the file spelled it (no formatting, and an untouched number keeps its form).
    void setSpelling(const RawTags *kept) {
        spelling_ = kept;
        next_ = 1;
        if (kept == nullptr)
            return;
        // The class's own groups follow its subclass marker, after the common ones.
        for (std::size_t i = 1; i < kept->tags.size(); ++i) {
            if (kept->tags[i].code == 100 && trimBlanks(kept->tags[i].value) != "AcDbEntity") {
                next_ = i + 1;
                break;
            }
        }
    }
    std::bitset<kMaxGroupCode + 1> written;

    void string(int code, std::string_view value) override {
        if (skip(code))
            return;
        buf_.clear();
        codec_.toFile(value, buf_);
        w_.string(code, buf_);
    }
    void real(int code, double value) override {
        if (skip(code))
            return;
        if (!std::isfinite(value))
            throw DxfError("cannot save: " + subject() + ": group " + std::to_string(code) +
                           " is not a finite number");
        if (const std::string_view *as = spelled(code, value)) {
            w_.string(code, *as);
            return;
        }
        w_.real(code, value);
    }
    void angle(int code, double radians) override { real(code, radians / kDegree); }
    void point(int code, const AcGePoint3d &p, int dims) override {
        real(code, p.x);
        real(code + 10, p.y);
        if (dims == 3)
            real(code + 20, p.z);
    }
    void int16(int code, int value) override {
        if (!skip(code))
            w_.integer(code, value);
    }
    void int32(int code, long value) override {
        if (!skip(code))
            w_.integer(code, value);
    }
    void handle(int code, AcDbHandle h) override {
        if (!skip(code))
            w_.handle(code, h.value());
    }
    void objectRef(int code, AcDbObjectId id) override {
        if (code < 0 || skip(code))
            return;
        w_.handle(code, id.isNull() ? 0 : id.handle().value());
    }
    bool forFile() const override { return true; }
    void defaulted(int code) override { (void)skip(code); }

private:
    std::string subject() const {
        return subjectObject_ != nullptr ? describe(*subjectObject_) : subject_;
    }
    // The source's spelling of `value` for group `code`: the next tag of that code a few
    // tags on from the last one used, when it reads as exactly this value.
    const std::string_view *spelled(int code, double value) {
        if (spelling_ == nullptr)
            return nullptr;
        const std::vector<Tag> &tags = spelling_->tags;
        const std::size_t end = std::min(tags.size(), next_ + kLookAhead);
        for (std::size_t i = next_; i < end; ++i) {
            if (tags[i].code != code)
                continue;
            double as = 0;
            if (!toDouble(tags[i].value, as) || as != value ||
                std::signbit(as) != std::signbit(value))
                return nullptr;
            next_ = i + 1;
            return &tags[i].value;
        }
        return nullptr;
    }
    static constexpr std::size_t kLookAhead = 8;

    bool skip(int code) {
        if (code < 0 || code > kMaxGroupCode)
            return true;
        if (r12_ && r12Lacks(code))
            return true;
        written.set(static_cast<std::size_t>(code));
        return false;
    }

    TagWriter &w_;
    const TextCodec &codec_;
    bool r12_;
    std::string subject_;
    const AcDbObject *subjectObject_ = nullptr;
    const RawTags *spelling_ = nullptr;
    std::size_t next_ = 1;
    std::string buf_;
};

class Writer {
public:
    Writer(AcDbDatabase &db, ByteSink &sink);
    void run();

private:
    // --- planning ---
    void checkAndPlan();
    std::uint64_t take() { return next_++; }

    // --- pieces ---
    void writeHeader(const SectionKept *kept);
    void writeNewHeader();
    void writeVersionHeader();
    void writeTables(const SectionKept *kept);
    void writeDbTable(std::string_view name, AcDbSymbolTable &table, std::string_view head,
                      std::string_view end);
    void writeRecord(const AcDbObject &rec, std::string_view tableName, std::uint64_t table);
    void writeLayer(const AcDbLayerTableRecord &layer, std::uint64_t table, const RawTags *src);
    void writeLinetype(const AcDbLinetypeTableRecord &lt, std::uint64_t table, const RawTags *src);
    void writeBlockRecordEntry(const AcDbBlockTableRecord &rec, std::uint64_t table,
                               const RawTags *src);
    void writeVport(const TableKept &t);
    // Writes a header variable of the drafting aids anew when it changed; false: copy it.
    bool writeDraftingVariable(const std::string &upperName, const HeaderVar &var);
    void writeNewAuxTables(bool before);
    void writeBlocks(bool withSection);
    void writeBlock(const AcDbBlockTableRecord &rec);
    void writeEntities(bool withSection);
    void writeEntity(const AcDbObject &obj);
    void generateEntity(const AcDbEntity &ent, std::string_view src);
    bool patchColour(const AcDbEntity &ent, std::string_view src);
    bool mendReferences(const AcDbObject &obj, std::string_view src);
    std::string mended_; // an entity's bytes without references to erased entities
    void writeChildren(const AcDbEntity &ent, std::string_view children);
    void noteErasedOwnings(std::string_view src);
    void writeObjects(std::string_view body);
    void writeNewObjects();
    void simpleTag(int code, std::string_view v) { out_.tags().string(code, v); }
    void textTag(int code, std::string_view dbText);
    void section(std::string_view name);
    void endSection() { simpleTag(0, "ENDSEC"); }
    void tableHead(std::string_view name, std::uint64_t handle, std::size_t count);

    bool isSpace(const AcDbBlockTableRecord &rec) const {
        return rec.objectId() == db_.modelSpaceId() || rec.objectId() == db_.paperSpaceId();
    }
    // Whether a block's BLOCK and ENDBLK are generated (not kept from a file).
    bool generatesBlock(const AcDbBlockTableRecord &rec) const;
    bool leavesOutBlock(const AcDbBlockTableRecord &rec) const;
    std::size_t generatedBlocks_ = 0; // BLOCK/ENDBLK pairs this save makes
    std::uint64_t fileSeed() const;
    // Entities come in the order of the file they were read from: every few megabytes,
    // the file's pages behind the one being written can go.
    void passedSource(std::string_view src) {
        if (doc_ == nullptr || doc_->source == nullptr)
            return;
        const std::string_view text = doc_->source->text;
        const auto base = reinterpret_cast<std::uintptr_t>(text.data());
        const auto where = reinterpret_cast<std::uintptr_t>(src.data());
        if (where < base || where - base > text.size())
            return; // not the file's bytes
        const std::size_t at = where - base;
        if (at >= nextRelease_) {
            doc_->source->doneBefore(at);
            nextRelease_ = at + kProgressStep;
        }
    }
    std::size_t nextRelease_ = 0;

    AcDbDatabase &db_;
    const DocumentKept *doc_;
    bool r12_ = false;
    TextCodec codec_;
    Out out_;
    FileSink sink_;
    AcDbBlockTable *blockTable_ = nullptr;
    AcDbLayerTable *layerTable_ = nullptr;
    AcDbLinetypeTable *linetypeTable_ = nullptr;
    std::uint64_t seed_ = 0;     // first handle this save may give
    std::uint64_t next_ = 0;     // next handle this save gives
    std::uint64_t planned_ = 0;  // handles this save gives
    std::uint64_t handseed_ = 0; // $HANDSEED written: above every handle in the file
    std::uint64_t vportTable_ = 0, styleTable_ = 0; // handles of generated tables
    std::uint64_t rootDictionary_ = 0;
    RawTags keptScratch_; // a generated entity's source tags, storage kept between entities
    // The extension dictionaries of erased entities: they, and what they own, are not saved.
    std::vector<std::uint64_t> orphanRoots_;
    // Erased entities (sorted), and the entities that replaced some of them (by the erased
    // one's handle, sorted): references to them are mended when objects are written.
    std::vector<std::uint64_t> erased_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> replacements_;
    // The database's tables are written once, even when the file had two TABLES sections.
    std::vector<const AcDbSymbolTable *> tablesWritten_;
};

Writer::Writer(AcDbDatabase &db, ByteSink &sink)
    : db_(db), doc_(documentOf(db)), r12_(doc_ != nullptr && doc_->r12()),
      codec_(doc_ != nullptr ? TextCodec::forFile(doc_->acadver, doc_->codePage) : TextCodec()),
      out_(sink, doc_ != nullptr && doc_->crlf), sink_(out_.tags(), codec_, r12_) {
    auto peekTable = [&](auto *&table, auto getter) {
        if ((db_.*getter)(table, AcDb::kForRead) != Acad::eOk)
            throw DxfError("cannot save: the database's tables cannot be read");
        (void)table->close(); // a read open of our own: closing cannot fail
    };
    peekTable(blockTable_,
              static_cast<Acad::ErrorStatus (AcDbDatabase::*)(AcDbBlockTable *&, AcDb::OpenMode)>(
                  &AcDbDatabase::getBlockTable));
    peekTable(layerTable_,
              static_cast<Acad::ErrorStatus (AcDbDatabase::*)(AcDbLayerTable *&, AcDb::OpenMode)>(
                  &AcDbDatabase::getLayerTable));
    peekTable(
        linetypeTable_,
        static_cast<Acad::ErrorStatus (AcDbDatabase::*)(AcDbLinetypeTable *&, AcDb::OpenMode)>(
            &AcDbDatabase::getLinetypeTable));
}

bool Writer::generatesBlock(const AcDbBlockTableRecord &rec) const {
    if (rec.isErased() || leavesOutBlock(rec))
        return false;
    const auto *kept = dynamic_cast<const BlockKept *>(ObjectAccess::kept(rec));
    return kept == nullptr || kept->blockBegin.empty();
}

// An R12 file's spaces have no BLOCK of their own unless the file gave them one: their
// entities are the ENTITIES section.
bool Writer::leavesOutBlock(const AcDbBlockTableRecord &rec) const {
    if (!r12_)
        return false;
    const auto *kept = dynamic_cast<const BlockKept *>(ObjectAccess::kept(rec));
    if (kept != nullptr && kept->implicit)
        return true;
    return isSpace(rec) && (kept == nullptr || kept->blockBegin.empty());
}

// Every handle the file will hold, once: duplicates and polylines without their sequence end
// refuse the save; the handles this save gives start above the largest.
void Writer::checkAndPlan() {
    std::vector<std::uint64_t> handles;
    if (doc_ != nullptr)
        handles = doc_->keptHandles;
    // The largest handle the file itself holds. An R12 file has no block table and no block
    // records: their handles are the database's alone and do not raise the file's seed, or
    // a file read and written twice would get a new seed each time (the reader gives those
    // objects fresh handles above the file's).
    std::uint64_t top = 0;
    for (const std::uint64_t h : handles)
        top = std::max(top, h);
    auto add = [&](const AcDbObject &obj) {
        handles.push_back(handleOf(obj));
        top = std::max(top, handles.back());
    };
    // Neither are an R12 file's layers and linetypes when it has no TABLES section: an R12
    // save adds none.
    bool tablesWritten = !r12_, blockRecordsWritten = !r12_;
    if (r12_)
        for (const SectionKept &s : doc_->sections)
            if (s.kind == SectionKind::Tables) {
                tablesWritten = true;
                // A BLOCK_RECORD table an R12 file has anyway is written back.
                for (const TableKept &t : s.tables)
                    blockRecordsWritten = blockRecordsWritten || toUpper(t.name) == "BLOCK_RECORD";
            }
    auto addIf = [&](bool written, const AcDbObject &obj) {
        if (written)
            add(obj);
        else
            handles.push_back(handleOf(obj)); // still checked for duplicates
    };
    addIf(!r12_, *blockTable_);
    addIf(tablesWritten, *layerTable_);
    addIf(tablesWritten, *linetypeTable_);
    for (AcDbSymbolTable *table : {static_cast<AcDbSymbolTable *>(layerTable_),
                                   static_cast<AcDbSymbolTable *>(linetypeTable_)})
        for (const AcDbObject *rec : ObjectAccess::records(*table))
            if (!rec->isErased())
                addIf(tablesWritten, *rec);
    for (const AcDbObject *rec : ObjectAccess::records(*blockTable_))
        if (!rec->isErased())
            addIf(blockRecordsWritten, *rec);
    std::size_t generated = 0;
    for (const AcDbObject *obj : ObjectAccess::records(*blockTable_)) {
        const auto &rec = static_cast<const AcDbBlockTableRecord &>(*obj);
        if (rec.isErased())
            continue;
        if (generatesBlock(rec)) {
            generated += 2;
            ++generatedBlocks_;
        }
        ObjectAccess::forEachFetchedAhead(ObjectAccess::entities(rec), [&](const AcDbObject &e) {
            if (e.isErased()) {
                // An erased object's handle is never given again.
                top = std::max(top, handleOf(e));
                erased_.push_back(handleOf(e));
                if (const AcDbObjectId r = tev::db::replacementOf(e); !r.isNull())
                    replacements_.emplace_back(handleOf(e), r.handle().value());
                return;
            }
            add(e);
            const AcDbOwnedSequence *seq = ObjectAccess::sequence(e);
            if (seq == nullptr)
                return;
            if (seq->seqEnd == nullptr)
                throw DxfError("cannot save: " + describe(e) + " has no sequence end");
            for (const AcDbObject *item : seq->items)
                if (!item->isErased())
                    add(*item);
            add(*seq->seqEnd);
        });
    }
    std::sort(erased_.begin(), erased_.end());
    std::sort(replacements_.begin(), replacements_.end());
    if (doc_ == nullptr)
        generated += 6 + 4 + 2; // tables, their standard entries, two dictionaries
    sortHandles(handles);
    for (std::size_t i = 1; i < handles.size(); ++i)
        if (handles[i] == handles[i - 1])
            throw DxfError("cannot save: duplicate handle " + formatHandle(handles[i]));
    if (!handles.empty() && handles.front() == 0)
        throw DxfError("cannot save: an object has the null handle 0");
    seed_ = db_.handseed().value();
    if (!handles.empty())
        seed_ = std::max(seed_, handles.back() + 1);
    next_ = seed_;
    planned_ = generated;
    handseed_ = seed_ + generated;
    if (r12_ && generated == 0)
        handseed_ = std::max(fileSeed(), top + 1);
}

// The $HANDSEED the file was read with, 0 when it had none.
std::uint64_t Writer::fileSeed() const {
    std::uint64_t seed = 0;
    if (doc_ != nullptr)
        for (const HeaderVar &var : doc_->header)
            if (toUpper(var.name) == "$HANDSEED" && toHandle(var.value, seed))
                return seed;
    return 0;
}

void Writer::textTag(int code, std::string_view dbText) {
    sink_.string(code, dbText);
}

void Writer::section(std::string_view name) {
    simpleTag(0, "SECTION");
    simpleTag(2, name);
}

void Writer::run() {
    checkAndPlan();
    if (doc_ == nullptr) {
        writeNewHeader();
        section("CLASSES");
        endSection();
        writeTables(nullptr);
        writeBlocks(/*withSection=*/true);
        writeEntities(/*withSection=*/true);
        writeNewObjects();
        simpleTag(0, "EOF");
    } else {
        // Parts the database holds that the file had no section for go where they belong;
        // a part the file has a section for goes there, wherever that section stands.
        auto has = [&](SectionKind kind) {
            return std::any_of(doc_->sections.begin(), doc_->sections.end(),
                               [&](const SectionKept &s) { return s.kind == kind; });
        };
        bool tables = has(SectionKind::Tables), blocks = has(SectionKind::Blocks),
             entities = has(SectionKind::Entities);
        // A file without a header is an R12 file to every reader: one of a later form gets
        // the header that says so.
        if (!r12_ && !has(SectionKind::Header))
            writeVersionHeader();
        bool headerDone = false, blocksDone = false, entitiesDone = false;
        for (const SectionKept &s : doc_->sections) {
            const bool late = s.kind == SectionKind::Objects || s.kind == SectionKind::Other;
            if (!tables &&
                (s.kind == SectionKind::Blocks || s.kind == SectionKind::Entities || late) &&
                !r12_) {
                writeTables(nullptr);
                tables = true;
            }
            if (!blocks && (s.kind == SectionKind::Entities || late) &&
                (!r12_ || generatedBlocks_ > 0)) {
                writeBlocks(/*withSection=*/true);
                blocks = true;
            }
            if (!entities && late) {
                writeEntities(/*withSection=*/true);
                entities = true;
            }
            switch (s.kind) {
            case SectionKind::Header:
                // Every variable went into the first HEADER section; a second one is
                // dropped, as a second BLOCKS or ENTITIES section is.
                if (std::exchange(headerDone, true))
                    break;
                writeHeader(&s);
                break;
            case SectionKind::Tables:
                writeTables(&s);
                tables = true;
                break;
            case SectionKind::Blocks:
                // Every block went into the first BLOCKS section; a second one is dropped.
                if (std::exchange(blocksDone, true))
                    break;
                out_.raw(s.start);
                writeBlocks(/*withSection=*/false);
                out_.raw(s.end);
                blocks = true;
                break;
            case SectionKind::Entities:
                if (std::exchange(entitiesDone, true))
                    break; // the same for a second ENTITIES section
                out_.raw(s.start);
                writeEntities(/*withSection=*/false);
                out_.raw(s.end);
                entities = true;
                break;
            case SectionKind::Objects:
                out_.raw(s.start);
                writeObjects(s.body);
                out_.raw(s.end);
                break;
            case SectionKind::Classes:
            case SectionKind::Other:
                out_.raw(s.start);
                out_.raw(s.body);
                out_.raw(s.end);
                break;
            }
        }
        // A file with none of these sections (a header alone) still gets them all.
        if (!tables && !r12_)
            writeTables(nullptr);
        if (!blocks && (!r12_ || generatedBlocks_ > 0))
            writeBlocks(/*withSection=*/true);
        if (!entities)
            writeEntities(/*withSection=*/true);
        // The file's own EOF, unless its last line had no line end: every line written ends.
        if (!doc_->eof.empty() && doc_->finalNewline) {
            out_.raw(doc_->eof);
        } else {
            simpleTag(0, "EOF");
        }
    }
    if (next_ != seed_ + planned_)
        throw DxfError("cannot save: internal error: " + std::to_string(next_ - seed_) +
                       " handles given, " + std::to_string(planned_) + " planned");
    out_.flush();
}

// --- header --------------------------------------------------------------------------------

void Writer::writeNewHeader() {
    section("HEADER");
    simpleTag(9, "$ACADVER");
    simpleTag(1, "AC1015");
    simpleTag(9, "$DWGCODEPAGE");
    simpleTag(3, "ANSI_1251");
    simpleTag(9, "$INSBASE");
    out_.tags().point(10, 0, 0, 0);
    simpleTag(9, "$CLAYER");
    textTag(8, layerNameOf(db_.clayer()));
    simpleTag(9, "$CELTYPE");
    textTag(6, layerNameOf(db_.celtype()));
    simpleTag(9, "$CECOLOR");
    out_.tags().integer(62, db_.cecolor().colorIndex());
    simpleTag(9, "$TILEMODE");
    out_.tags().integer(70, db_.tilemode() ? 1 : 0);
    const tev::db::DraftingSettings &aids = tev::db::draftingState(db_).current;
    simpleTag(9, "$ORTHOMODE");
    out_.tags().integer(70, aids.orthomode != 0 ? 1 : 0);
    simpleTag(9, "$OSMODE");
    out_.tags().integer(70, aids.osmode);
    simpleTag(9, "$HANDSEED");
    out_.tags().handle(5, handseed_);
    endSection();
}

void Writer::writeVersionHeader() {
    section("HEADER");
    simpleTag(9, "$ACADVER");
    simpleTag(1, doc_->acadver);
    simpleTag(9, "$HANDSEED");
    out_.tags().handle(5, handseed_);
    endSection();
}

void Writer::writeHeader(const SectionKept *kept) {
    out_.raw(kept->start);
    bool sawHandseed = false, sawOrtho = false;
    for (const HeaderVar &var : doc_->header) {
        const std::string u = toUpper(var.name);
        sawOrtho = sawOrtho || u == "$ORTHOMODE";
        std::int64_t old = 0;
        const bool oldInt = toInteger(var.value, INT64_MIN, INT64_MAX, old);
        if (u == "$HANDSEED") {
            sawHandseed = true;
            std::uint64_t h = 0;
            if (toHandle(var.value, h) && h == handseed_) {
                out_.raw(var.raw);
            } else {
                simpleTag(9, var.name);
                out_.tags().handle(5, handseed_);
            }
        } else if (u == "$CLAYER" || u == "$CELTYPE") {
            const std::string name = layerNameOf(u == "$CLAYER" ? db_.clayer() : db_.celtype());
            if (name.empty() || codec_.toFile(name) == var.value) {
                out_.raw(var.raw);
            } else {
                simpleTag(9, var.name);
                textTag(u == "$CLAYER" ? 8 : 6, name);
            }
        } else if (u == "$CECOLOR") {
            const int c = db_.cecolor().colorIndex();
            if (oldInt && old == c) {
                out_.raw(var.raw);
            } else {
                simpleTag(9, var.name);
                out_.tags().integer(62, c);
            }
        } else if (u == "$TILEMODE") {
            const int t = db_.tilemode() ? 1 : 0;
            if (oldInt && (old != 0) == (t != 0)) {
                out_.raw(var.raw);
            } else {
                simpleTag(9, var.name);
                out_.tags().integer(70, t);
            }
        } else if (!writeDraftingVariable(u, var)) {
            out_.raw(var.raw);
        }
    }
    // Ortho turned on in a drawing whose header did not say: the header says so now.
    const tev::db::DraftingState &aids = tev::db::draftingState(db_);
    if (aids.current.orthomode != aids.asRead.orthomode && !sawOrtho) {
        simpleTag(9, "$ORTHOMODE");
        out_.tags().integer(70, aids.current.orthomode != 0 ? 1 : 0);
    }
    if (!sawHandseed && !r12_) {
        simpleTag(9, "$HANDSEED");
        out_.tags().handle(5, handseed_);
    }
    out_.raw(kept->end);
}

bool Writer::writeDraftingVariable(const std::string &u, const HeaderVar &var) {
    const tev::db::DraftingState &aids = tev::db::draftingState(db_);
    const tev::db::DraftingSettings &now = aids.current, &was = aids.asRead;
    auto flag = [&](short a, short b) {
        if ((a != 0) == (b != 0))
            return false;
        simpleTag(9, var.name);
        out_.tags().integer(70, a != 0 ? 1 : 0);
        return true;
    };
    auto point = [&](const double(&p)[2], const double(&old)[2]) {
        if (p[0] == old[0] && p[1] == old[1])
            return false;
        simpleTag(9, var.name);
        out_.tags().point2(10, p[0], p[1]);
        return true;
    };
    if (u == "$ORTHOMODE")
        return flag(now.orthomode, was.orthomode);
    if (u == "$OSMODE") {
        if (now.osmode == was.osmode)
            return false;
        simpleTag(9, var.name);
        out_.tags().integer(70, now.osmode);
        return true;
    }
    // The viewport keeps these since R11; a header that still has them says the same.
    if (u == "$SNAPMODE")
        return flag(now.snapmode, was.snapmode);
    if (u == "$GRIDMODE")
        return flag(now.gridmode, was.gridmode);
    if (u == "$SNAPBASE")
        return point(now.snapbase, was.snapbase);
    if (u == "$SNAPUNIT")
        return point(now.snapunit, was.snapunit);
    if (u == "$GRIDUNIT")
        return point(now.gridunit, was.gridunit);
    return false;
}

// --- tables --------------------------------------------------------------------------------

void Writer::tableHead(std::string_view name, std::uint64_t handle, std::size_t count) {
    sink_.setSubject("TABLE " + std::string(name));
    simpleTag(0, "TABLE");
    simpleTag(2, name);
    sink_.handle(5, AcDbHandle(handle));
    sink_.handle(330, AcDbHandle(std::uint64_t(0)));
    sink_.string(100, "AcDbSymbolTable");
    sink_.int16(70, static_cast<int>(count));
    if (name == "DIMSTYLE") {
        sink_.string(100, "AcDbDimStyleTable");
        sink_.int16(71, 0);
    }
}

void Writer::writeTables(const SectionKept *kept) {
    if (kept == nullptr) {
        section("TABLES");
        if (doc_ == nullptr) {
            writeNewAuxTables(/*before=*/true);
        }
        writeDbTable("LTYPE", *linetypeTable_, {}, {});
        writeDbTable("LAYER", *layerTable_, {}, {});
        if (doc_ == nullptr)
            writeNewAuxTables(/*before=*/false);
        if (!r12_)
            writeDbTable("BLOCK_RECORD", *blockTable_, {}, {});
        endSection();
        return;
    }
    out_.raw(kept->start);
    bool layer = false, ltype = false, blockRecord = false;
    for (const TableKept &t : kept->tables) {
        const std::string u = toUpper(t.name);
        if (u == "LAYER") {
            writeDbTable(t.name, *layerTable_, t.head, t.end);
            layer = true;
        } else if (u == "LTYPE") {
            writeDbTable(t.name, *linetypeTable_, t.head, t.end);
            ltype = true;
        } else if (u == "BLOCK_RECORD") {
            writeDbTable(t.name, *blockTable_, t.head, t.end);
            blockRecord = true;
        } else if (u == "VPORT") {
            writeVport(t);
        } else {
            out_.raw(t.head);
            for (std::string_view e : t.entries)
                out_.raw(e);
            out_.raw(t.end);
        }
    }
    if (!ltype)
        writeDbTable("LTYPE", *linetypeTable_, {}, {});
    if (!layer)
        writeDbTable("LAYER", *layerTable_, {}, {});
    if (!blockRecord && !r12_)
        writeDbTable("BLOCK_RECORD", *blockTable_, {}, {});
    out_.raw(kept->end);
}

void Writer::writeDbTable(std::string_view name, AcDbSymbolTable &table, std::string_view head,
                          std::string_view end) {
    if (std::find(tablesWritten_.begin(), tablesWritten_.end(), &table) != tablesWritten_.end())
        return; // its records all went with the first table of this name
    tablesWritten_.push_back(&table);
    const auto &records = ObjectAccess::records(table);
    std::size_t count = 0;
    bool changed = head.empty();
    for (const AcDbObject *rec : records) {
        if (rec->isErased()) {
            changed = true;
            continue;
        }
        ++count;
        if (ObjectAccess::source(*rec).empty())
            changed = true;
    }
    // R12 block records have no table of their own: the implicit spaces are skipped.
    const std::uint64_t tableHandle = handleOf(table);
    if (!changed) {
        out_.raw(head);
    } else if (!head.empty()) {
        // The file's table head with the new count.
        const RawTags tags = tokenize(head);
        for (std::size_t i = 0; i < tags.tags.size(); ++i) {
            if (tags.tags[i].code == 70 && i > 0)
                out_.tags().integer(70, static_cast<std::int64_t>(count));
            else
                out_.raw(tags.raw(i));
        }
    } else {
        tableHead(name, tableHandle, count);
    }
    for (const AcDbObject *rec : records)
        if (!rec->isErased())
            writeRecord(*rec, name, tableHandle);
    if (end.empty())
        simpleTag(0, "ENDTAB");
    else
        out_.raw(end);
    out_.maybeFlush();
}

void Writer::writeRecord(const AcDbObject &rec, std::string_view, std::uint64_t table) {
    const std::string_view src = ObjectAccess::source(rec);
    if (!src.empty() && !ObjectAccess::modifiedSinceRead(rec)) {
        out_.raw(src);
        return;
    }
    RawTags kept;
    if (!src.empty())
        kept = tokenize(src);
    const RawTags *k = src.empty() ? nullptr : &kept;
    sink_.setSubject(rec);
    if (const auto *layer = AcDbLayerTableRecord::cast(&rec))
        writeLayer(*layer, table, k);
    else if (const auto *lt = AcDbLinetypeTableRecord::cast(&rec))
        writeLinetype(*lt, table, k);
    else if (const auto *block = AcDbBlockTableRecord::cast(&rec))
        writeBlockRecordEntry(*block, table, k);
}

// The subclass markers the modelled entity classes write after AcDbEntity.
constexpr std::string_view kClassMarkers[] = {
    "AcDbLine",       "AcDbCircle",          "AcDbArc",
    "AcDbText",       "AcDbBlockReference",  "AcDbPolyline",
    "AcDb2dPolyline", "AcDb3dPolyline",      "AcDbVertex",
    "AcDb2dVertex",   "AcDb3dPolylineVertex"};

// Writes the tags of a kept record the generated part did not write: application groups
// before the owner, other groups after, extended data last.
//
// For an entity (entityPart given), the other groups come in two passes: those of its
// AcDbEntity part after the common groups (entityPart true), the rest after the class's
// own (false), so that each stands in the part it was read from. A record without subclass
// markers has them all in the second pass.
void writeKeptExtras(Out &out, const RawTags *src, const std::bitset<kMaxGroupCode + 1> &written,
                     bool head, std::optional<bool> entityPart = std::nullopt) {
    if (src == nullptr)
        return;
    // A record whose class data follows its AcDbEntity part without a marker of its own has
    // it all in the second pass, after the class's groups: the first would write the class's
    // groups before the class wrote them again.
    bool classMarker = false;
    if (entityPart.has_value()) {
        int depth = 0;
        bool afterEntity = false;
        for (std::size_t i = 1; i < src->tags.size() && !classMarker; ++i) {
            const Tag &t = src->tags[i];
            if (t.code == 102)
                depth = appGroupDepth(t, depth);
            else if (t.code == 100 && depth == 0) {
                // Only a marker a modelled class writes begins its groups: one misspelt marks
                // nothing the class's groups could be told apart by.
                const std::string_view name = trimBlanks(t.value);
                const bool entity = name == "AcDbEntity";
                classMarker = afterEntity &&
                              std::find(std::begin(kClassMarkers), std::end(kClassMarkers), name) !=
                                  std::end(kClassMarkers);
                afterEntity = afterEntity || entity;
            }
        }
    }
    OwnerScan owner;
    bool inEntityPart = false;
    bool handleSeen = false;
    for (std::size_t i = 1; i < src->tags.size(); ++i) {
        const Tag &t = src->tags[i];
        const bool inApp = owner.inAppGroup() || t.code == 102;
        const bool isOwner = owner.isOwner(t);
        // The record's handle, written anew: its first group 5 (or 105); a later 5 is data.
        const bool isHandle = !handleSeen && (t.code == 5 || t.code == 105);
        handleSeen = handleSeen || isHandle;
        if (t.code == 100 && !inApp)
            inEntityPart = trimBlanks(t.value) == "AcDbEntity" && classMarker;
        if (entityPart.has_value() && !head &&
            (t.code >= 1000 ? *entityPart : inEntityPart != *entityPart))
            continue;
        if (head) {
            if (inApp)
                out.raw(src->raw(i));
            if (t.code == 100)
                return;
            continue;
        }
        if (inApp || isHandle || isOwner || t.code == 100)
            continue;
        if (t.code < 0 || t.code >= 1000 || !written.test(static_cast<std::size_t>(t.code)))
            out.raw(src->raw(i));
    }
}

void Writer::writeLayer(const AcDbLayerTableRecord &layer, std::uint64_t table,
                        const RawTags *src) {
    simpleTag(0, "LAYER");
    sink_.handle(5, AcDbHandle(handleOf(layer)));
    writeKeptExtras(out_, src, sink_.written, /*head=*/true);
    sink_.handle(330, AcDbHandle(table));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbLayerTableRecord");
    sink_.written.reset();
    sink_.string(2, layer.nameRef());
    std::int64_t flags = 0;
    if (src != nullptr)
        for (const Tag &t : src->tags)
            if (t.code == 70)
                (void)toInteger(t.value, -32768, 32767, flags);
    flags &= ~std::int64_t(1 | 4);
    flags |= (layer.isFrozen() ? 1 : 0) | (layer.isLocked() ? 4 : 0);
    sink_.int16(70, static_cast<int>(flags));
    const int colour = layer.color().colorIndex();
    sink_.int16(62, layer.isOff() ? -colour : colour);
    std::string lt = layerNameOf(layer.linetypeObjectId());
    sink_.string(6, lt.empty() ? "Continuous" : lt);
    if (!r12_) {
        if (!layer.isPlottable())
            sink_.int16(290, 0);
        sink_.int16(370, layer.lineWeight());
    }
    writeKeptExtras(out_, src, sink_.written, /*head=*/false);
}

void Writer::writeLinetype(const AcDbLinetypeTableRecord &lt, std::uint64_t table,
                           const RawTags *src) {
    simpleTag(0, "LTYPE");
    sink_.handle(5, AcDbHandle(handleOf(lt)));
    writeKeptExtras(out_, src, sink_.written, true);
    sink_.handle(330, AcDbHandle(table));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbLinetypeTableRecord");
    sink_.written.reset();
    sink_.string(2, lt.nameRef());
    sink_.int16(70, 0);
    sink_.string(3, lt.comments());
    sink_.int16(72, 65);
    if (src == nullptr)
        sink_.int16(73, 0);
    sink_.real(40, lt.patternLength());
    // The dash pattern (73 and the groups after it) stays as read.
    writeKeptExtras(out_, src, sink_.written, false);
}

void Writer::writeBlockRecordEntry(const AcDbBlockTableRecord &rec, std::uint64_t table,
                                   const RawTags *src) {
    simpleTag(0, "BLOCK_RECORD");
    sink_.handle(5, AcDbHandle(handleOf(rec)));
    writeKeptExtras(out_, src, sink_.written, true);
    sink_.handle(330, AcDbHandle(table));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbBlockTableRecord");
    sink_.written.reset();
    sink_.string(2, rec.nameRef());
    writeKeptExtras(out_, src, sink_.written, false);
}

// Where a group of the *ACTIVE viewport stands among its data groups: the coordinates of a
// point (10, 20, 30) together, then the reals and integers by code. Groups that are no
// viewport data (R2007's additions, extended data) come after all of them.
int vportOrder(int code) {
    if (code >= 10 && code <= 18)
        return code * 10;
    if (code >= 20 && code <= 28)
        return (code - 10) * 10 + 1;
    if (code >= 30 && code <= 38)
        return (code - 20) * 10 + 2;
    if (code >= 40 && code <= 78)
        return code * 10;
    return INT_MAX;
}

struct VportGroup {
    int code;
    double value;
    bool integer = false;
    bool written = false;
};

void Writer::writeVport(const TableKept &t) {
    out_.raw(t.head);
    // The groups of the *ACTIVE viewport that changed since the file was read: the view (12,
    // 22, 40, 41), the snap angle (50, in degrees) and the drafting aids.
    std::vector<VportGroup> changed;
    const tev::db::View &view = tev::db::viewState(db_).current;
    if (view.height > 0 && (view.cx != t.activeView.cx || view.cy != t.activeView.cy ||
                            view.height != t.activeView.height ||
                            (view.aspect > 0 && view.aspect != t.activeView.aspect)))
        changed.insert(changed.end(), {{12, view.cx},
                                       {22, view.cy},
                                       {40, view.height},
                                       {41, view.aspect > 0 ? view.aspect : t.activeView.aspect}});
    const double degrees = db_.snapAngle() / kDegree;
    if (std::abs(degrees - t.activeSnapDegrees) > 1e-12 * std::max(1.0, std::abs(degrees)))
        changed.push_back({50, degrees});
    const tev::db::DraftingState &aids = tev::db::draftingState(db_);
    const tev::db::DraftingSettings &now = aids.current, &was = aids.asRead;
    auto point = [&](int code, const double(&p)[2], const double(&old)[2]) {
        if (p[0] != old[0] || p[1] != old[1])
            changed.insert(changed.end(), {{code, p[0]}, {code + 10, p[1]}});
    };
    point(13, now.snapbase, was.snapbase);
    point(14, now.snapunit, was.snapunit);
    point(15, now.gridunit, was.gridunit);
    if ((now.snapmode != 0) != (was.snapmode != 0))
        changed.push_back({75, double(now.snapmode != 0), true});
    if ((now.gridmode != 0) != (was.gridmode != 0))
        changed.push_back({76, double(now.gridmode != 0), true});

    auto put = [&](VportGroup &g) {
        if (g.integer)
            out_.tags().integer(g.code, static_cast<std::int64_t>(g.value));
        else
            out_.tags().real(g.code, g.value);
        g.written = true;
    };
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        if (i != t.activeVport || changed.empty()) {
            out_.raw(t.entries[i]);
            continue;
        }
        const RawTags tags = tokenize(t.entries[i]);
        bool data = false; // past the record's name and flags
        for (std::size_t k = 0; k < tags.tags.size(); ++k) {
            const int code = tags.tags[k].code;
            data = data || (code >= 10 && code <= 78 && code != 70);
            auto same = std::find_if(changed.begin(), changed.end(),
                                     [&](const VportGroup &g) { return g.code == code; });
            if (same != changed.end() && !same->written) {
                put(*same);
                continue;
            }
            // A changed group the record lacks goes where it belongs among the data groups.
            if (data && code != 100 && code != 102 && code != 330 && code != 5)
                for (VportGroup &g : changed)
                    if (!g.written && vportOrder(g.code) < vportOrder(code))
                        put(g);
            out_.raw(tags.raw(k));
        }
        for (VportGroup &g : changed)
            if (!g.written)
                put(g);
    }
    out_.raw(t.end);
}

// The tables a new drawing needs that the database does not model.
void Writer::writeNewAuxTables(bool before) {
    if (before) {
        vportTable_ = take();
        tableHead("VPORT", vportTable_, 1);
        sink_.setSubject("VPORT *ACTIVE");
        simpleTag(0, "VPORT");
        sink_.handle(5, AcDbHandle(take()));
        sink_.handle(330, AcDbHandle(vportTable_));
        sink_.string(100, "AcDbSymbolTableRecord");
        sink_.string(100, "AcDbViewportTableRecord");
        sink_.string(2, "*ACTIVE");
        sink_.int16(70, 0);
        out_.tags().point2(10, 0, 0);
        out_.tags().point2(11, 1, 1);
        const tev::db::View &view = tev::db::viewState(db_).current;
        const bool haveView = view.height > 0;
        out_.tags().point2(12, haveView ? view.cx : 0, haveView ? view.cy : 0);
        const tev::db::DraftingSettings &aids = tev::db::draftingState(db_).current;
        out_.tags().point2(13, aids.snapbase[0], aids.snapbase[1]);
        out_.tags().point2(14, aids.snapunit[0], aids.snapunit[1]);
        out_.tags().point2(15, aids.gridunit[0], aids.gridunit[1]);
        out_.tags().point(16, 0, 0, 1);
        out_.tags().point(17, 0, 0, 0);
        sink_.real(40, haveView ? view.height : 1000);
        sink_.real(41, haveView && view.aspect > 0 ? view.aspect : 1.5);
        sink_.real(42, 50);
        sink_.real(43, 0);
        sink_.real(44, 0);
        sink_.angle(50, db_.snapAngle());
        sink_.real(51, 0);
        for (auto [code, value] : {std::pair{71, 0},
                                   {72, 100},
                                   {73, 1},
                                   {74, 3},
                                   {75, aids.snapmode != 0 ? 1 : 0},
                                   {76, aids.gridmode != 0 ? 1 : 0},
                                   {77, 0},
                                   {78, 0}})
            sink_.int16(code, value);
        simpleTag(0, "ENDTAB");
        return;
    }
    styleTable_ = take();
    tableHead("STYLE", styleTable_, 1);
    simpleTag(0, "STYLE");
    sink_.handle(5, AcDbHandle(take()));
    sink_.handle(330, AcDbHandle(styleTable_));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbTextStyleTableRecord");
    sink_.string(2, "Standard");
    sink_.int16(70, 0);
    sink_.real(40, 0);
    sink_.real(41, 1);
    sink_.real(50, 0);
    sink_.int16(71, 0);
    sink_.real(42, 2.5);
    sink_.string(3, "txt");
    sink_.string(4, "");
    simpleTag(0, "ENDTAB");
    tableHead("VIEW", take(), 0);
    simpleTag(0, "ENDTAB");
    tableHead("UCS", take(), 0);
    simpleTag(0, "ENDTAB");
    const std::uint64_t appid = take();
    tableHead("APPID", appid, 1);
    simpleTag(0, "APPID");
    sink_.handle(5, AcDbHandle(take()));
    sink_.handle(330, AcDbHandle(appid));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbRegAppTableRecord");
    sink_.string(2, "ACAD");
    sink_.int16(70, 0);
    simpleTag(0, "ENDTAB");
    const std::uint64_t dimstyle = take();
    tableHead("DIMSTYLE", dimstyle, 1);
    simpleTag(0, "DIMSTYLE");
    sink_.handle(105, AcDbHandle(take()));
    sink_.handle(330, AcDbHandle(dimstyle));
    sink_.string(100, "AcDbSymbolTableRecord");
    sink_.string(100, "AcDbDimStyleTableRecord");
    sink_.string(2, "Standard");
    sink_.int16(70, 0);
    simpleTag(0, "ENDTAB");
}

// --- blocks and entities ---------------------------------------------------------------------

void Writer::writeBlocks(bool withSection) {
    if (withSection)
        section("BLOCKS");
    for (const AcDbObject *obj : ObjectAccess::records(*blockTable_)) {
        const auto &rec = static_cast<const AcDbBlockTableRecord &>(*obj);
        if (!rec.isErased())
            writeBlock(rec);
    }
    if (withSection)
        endSection();
}

void Writer::writeBlock(const AcDbBlockTableRecord &rec) {
    const auto *kept = dynamic_cast<const BlockKept *>(ObjectAccess::kept(rec));
    if (leavesOutBlock(rec))
        return;
    const bool generated = generatesBlock(rec);
    const bool paper = rec.objectId() == db_.paperSpaceId();
    std::uint64_t endHandle = 0;
    if (generated) {
        sink_.setSubject("BLOCK " + rec.nameRef());
        simpleTag(0, "BLOCK");
        sink_.handle(5, AcDbHandle(take()));
        endHandle = take();
        sink_.handle(330, rec.objectId().handle());
        sink_.string(100, "AcDbEntity");
        if (paper)
            sink_.int16(67, 1);
        sink_.string(8, "0");
        sink_.string(100, "AcDbBlockBegin");
        sink_.string(2, rec.nameRef());
        sink_.int16(70, 0);
        sink_.point(10, rec.origin(), 3);
        sink_.string(3, rec.nameRef());
        sink_.string(1, "");
    } else {
        out_.raw(kept->blockBegin);
    }
    if (!isSpace(rec))
        ObjectAccess::forEachFetchedAhead(ObjectAccess::entities(rec),
                                          [&](const AcDbObject &e) { writeEntity(e); });
    if (generated) {
        simpleTag(0, "ENDBLK");
        sink_.handle(5, AcDbHandle(endHandle));
        sink_.handle(330, rec.objectId().handle());
        sink_.string(100, "AcDbEntity");
        if (paper)
            sink_.int16(67, 1);
        sink_.string(8, "0");
        sink_.string(100, "AcDbBlockEnd");
    } else {
        out_.raw(kept->blockEnd);
    }
}

void Writer::writeEntities(bool withSection) {
    if (withSection)
        section("ENTITIES");
    for (AcDbObjectId spaceId : {db_.modelSpaceId(), db_.paperSpaceId()}) {
        AcDbBlockTableRecord *rec = nullptr;
        if (spaceId.isNull() || acdbOpenObject(rec, spaceId, AcDb::kForRead) != Acad::eOk)
            continue;
        (void)rec->close(); // only its list of entities is read, which the writer never changes
        ObjectAccess::forEachFetchedAhead(ObjectAccess::entities(*rec),
                                          [&](const AcDbObject &e) { writeEntity(e); });
    }
    if (withSection)
        endSection();
}

void Writer::writeEntity(const AcDbObject &obj) {
    const std::string_view src = ObjectAccess::source(obj);
    if (obj.isErased()) {
        noteErasedOwnings(src);
        return;
    }
    const auto &ent = static_cast<const AcDbEntity &>(obj);
    if (!src.empty())
        passedSource(src);
    if (!src.empty() && !erased_.empty() && mendReferences(obj, src)) {
        // Its bytes named an erased entity: written from the mended bytes.
        if (!ObjectAccess::modifiedSinceRead(obj))
            out_.raw(mended_);
        else
            generateEntity(ent, mended_);
    } else if (!src.empty() && !ObjectAccess::modifiedSinceRead(obj)) {
        out_.asRead(src);
    } else if (src.empty() || !ObjectAccess::onlyColourChanged(obj) || ent.color().isByColor() ||
               !patchColour(ent, src)) {
        generateEntity(ent, src);
    }
    if (const AcDbOwnedSequence *seq = ObjectAccess::sequence(obj)) {
        for (const AcDbObject *item : seq->items)
            writeEntity(*item);
        writeEntity(*seq->seqEnd);
    }
    out_.maybeFlush();
}

// An entity's bytes without the references to erased entities they hold (a reactor, the
// source object of a hatch's boundary path, whose count goes down with it; the hatch is then
// no longer associative), into mended_. False when there is none.
bool Writer::mendReferences(const AcDbObject &obj, std::string_view src) {
    const bool hatch = tev::db::dxfTypeName(obj) == "HATCH";
    if (!hatch && src.find("{ACAD_REACTORS") == std::string_view::npos)
        return false;
    RawTags &tags = keptScratch_;
    tokenizeInto(src, tags);
    const auto erased = [&](const Tag &t) {
        std::uint64_t h = 0;
        return toHandle(trimBlanks(t.value), h) &&
               std::binary_search(erased_.begin(), erased_.end(), h);
    };
    std::vector<std::size_t> skip;
    std::vector<std::pair<std::size_t, long>> counts; // a path's 97: index, sources left
    std::size_t associative = SIZE_MAX;               // the hatch's 71
    int depth = 0;
    bool reactors = false, sawOwner = false, sourceGone = false;
    for (std::size_t i = 1; i < tags.tags.size() && tags.tags[i].code != 0; ++i) {
        const Tag &t = tags.tags[i];
        if (t.code == 102) {
            depth = appGroupDepth(t, depth);
            reactors = depth > 0 && trimBlanks(t.value) == "{ACAD_REACTORS";
            continue;
        }
        if (t.code >= 1000)
            break; // extended data: as it is
        if (depth > 0) {
            if (reactors && t.code == 330 && erased(t))
                skip.push_back(i);
            continue;
        }
        if (!hatch)
            continue;
        if (t.code == 330 && !sawOwner) {
            sawOwner = true;
        } else if (t.code == 71 && associative == SIZE_MAX) {
            associative = i;
        } else if (t.code == 97) {
            std::int64_t n = 0;
            counts.emplace_back(i, toInteger(trimBlanks(t.value), 0, 1 << 30, n) ? n : 0);
        } else if (t.code == 330 && erased(t) && !counts.empty()) {
            skip.push_back(i);
            --counts.back().second;
            sourceGone = true;
        }
    }
    if (skip.empty())
        return false;
    mended_.clear();
    TagWriter w(mended_, doc_ != nullptr && doc_->crlf);
    std::size_t s = 0, c = 0;
    for (std::size_t i = 0; i < tags.tags.size(); ++i) {
        if (s < skip.size() && skip[s] == i) {
            ++s;
            continue;
        }
        if (c < counts.size() && counts[c].first == i) {
            w.integer(97, std::max(0L, counts[c].second));
            ++c;
            continue;
        }
        if (i == associative && sourceGone)
            w.integer(71, 0);
        else
            mended_.append(tags.raw(i));
    }
    return true;
}

// An entity whose colour alone changed: its original bytes with the 62 group replaced,
// inserted after the layer (and linetype) or, for BYLAYER, dropped, as a generated entity
// would have it. False, with nothing written, when the record has no layer group to place
// the colour by.
bool Writer::patchColour(const AcDbEntity &ent, std::string_view src) {
    // The reader noted where the group stands; an entity it could not note it for is read
    // again, up to the end of its record.
    ColourPlace place;
    if (!unpackColourPlace(ObjectAccess::colourPlace(ent), src.size(), place) &&
        !colourPlaceIn(src, place))
        return false;
    const Adesk::UInt16 index = ent.colorIndex();
    out_.asRead(src.substr(0, place.cut));
    if (index < 256)
        out_.tags().integer(62, index);
    // Only a block reference or a mesh keeps sub-entities as bytes after its record.
    const bool keptChildren =
        AcDbBlockReference::cast(&ent) != nullptr ||
        (AcDbUnknownEntity::cast(&ent) != nullptr && tev::db::dxfTypeName(ent) == "POLYLINE");
    if (!keptChildren || !ObjectAccess::subentsRecoloured(ent)) {
        out_.asRead(src.substr(place.resume));
        return true;
    }
    // Attributes or mesh vertices kept as bytes after the record take the colour too.
    const std::string_view rest = src.substr(place.resume);
    const std::size_t children = recordEnd(rest);
    out_.raw(rest.substr(0, children));
    writeChildren(ent, rest.substr(children));
    return true;
}

// The children of an entity kept as bytes (attributes, mesh vertices, their SEQEND): as
// read, in the entity's colour when it was given to its sub-entities, and owned by the handle
// the entity has now when it took another than its bytes spell (its handle was given twice).
void Writer::writeChildren(const AcDbEntity &ent, std::string_view children) {
    if (children.empty())
        return;
    const std::uint64_t own = handleOf(ent);
    std::uint64_t spelled = 0;
    const std::string_view src = ObjectAccess::source(ent);
    for (const Tag &t : tokenize(src.substr(0, recordEnd(src))).tags)
        if (t.code == 5 && toHandle(trimBlanks(t.value), spelled))
            break; // its handle: the first group 5
    const bool reowned = spelled != 0 && spelled != own;
    const bool recoloured = ObjectAccess::subentsRecoloured(ent);
    if (!reowned && !recoloured) {
        out_.raw(children);
        return;
    }
    std::string owned;
    while (!children.empty()) {
        const std::size_t end = recordEnd(children);
        std::string_view record = children.substr(0, end);
        if (reowned) {
            owned.clear();
            TagWriter w(owned, out_.tags().crlf());
            const RawTags tags = tokenize(record);
            OwnerScan owner;
            std::uint64_t h = 0;
            for (std::size_t i = 0; i < tags.tags.size(); ++i) {
                const Tag &t = tags.tags[i];
                if (i > 0 && owner.isOwner(t) && toHandle(trimBlanks(t.value), h) && h == spelled)
                    w.handle(330, own);
                else
                    owned.append(tags.raw(i));
            }
            record = owned;
        }
        if (recoloured)
            recolourRecord(out_.tags(), record, ent.colorIndex());
        else
            out_.raw(record);
        children.remove_prefix(end);
    }
}

void Writer::generateEntity(const AcDbEntity &ent, std::string_view src) {
    RawTags &kept = keptScratch_;
    kept.tags.clear();
    std::string_view trailing; // attributes and their SEQEND after an INSERT's own record
    if (!src.empty()) {
        tokenizeInto(src, kept);
        for (std::size_t i = 1; i < kept.tags.size(); ++i) {
            if (kept.tags[i].code == 0) {
                trailing = src.substr(kept.tags[i].offset);
                kept.tags.resize(i);
                kept.text = src.substr(0, src.size() - trailing.size());
                break;
            }
        }
    }
    const RawTags *k = src.empty() ? nullptr : &kept;
    sink_.setSubject(ent);
    const bool unknown = AcDbUnknownEntity::cast(&ent) != nullptr;
    // A kind the host does not model keeps its type as the file spelled it: the database's
    // name is a C string and ends at a NUL the file's may hold.
    const std::string_view type =
        unknown && k != nullptr && !k->tags.empty() ? k->tags[0].value : tev::db::dxfTypeName(ent);
    simpleTag(0, type);
    sink_.handle(5, AcDbHandle(handleOf(ent)));
    writeKeptExtras(out_, k, sink_.written, /*head=*/true);
    sink_.objectRef(330, ent.ownerId());
    sink_.string(100, "AcDbEntity");
    sink_.written.reset();
    tev::db::writeEntityCommon(ent, sink_);
    // The common groups are the database's wherever a file had them: a copy a writer left
    // after its subclass marker is not written again.
    for (int code : kEntityPartCodes)
        sink_.written.set(static_cast<std::size_t>(code));
    if (!unknown && !r12_)
        writeKeptExtras(out_, k, sink_.written, /*head=*/false, /*entityPart=*/true);
    if (!unknown) {
        sink_.setSpelling(k);
        ent.dxfOutClassGroups(sink_);
        sink_.setSpelling(nullptr);
        if (type == "LWPOLYLINE")
            sink_.written.set(91); // vertex ids would no longer match the vertices
        // A true colour a writer left after the subclass marker is the entity's, written
        // above; its name stays only while the entity has a true colour.
        sink_.written.set(420);
        if (!ent.color().isByColor())
            sink_.written.set(430);
        writeKeptExtras(out_, k, sink_.written, /*head=*/false, /*entityPart=*/false);
    } else if (k != nullptr) {
        // The groups of a kind the host does not model go back as they were; only the common
        // groups (layer, colour, ...) come from the database.
        const auto common = sink_.written;
        bool entityPart = true, embedded = false, handleSeen = false;
        std::string_view marker;
        OwnerScan owner;
        for (std::size_t i = 1; i < k->tags.size(); ++i) {
            const Tag &t = k->tags[i];
            const bool inApp = owner.inAppGroup() || t.code == 102;
            // The owner and the handle (the first group 5; a later one is data) are new.
            if (owner.isOwner(t) || inApp)
                continue;
            if (t.code == 5 && !handleSeen) {
                handleSeen = true;
                continue;
            }
            if (t.code == 100 || t.code == 101) {
                entityPart = t.code == 100 && trimBlanks(t.value) == "AcDbEntity";
                marker = t.value;
                embedded = t.code == 101;
                if (entityPart)
                    continue;
            }
            const bool isCommon = isEntityPartCode(t.code) ||
                                  common.test(static_cast<std::size_t>(std::max(t.code, 0)));
            if (entityPart && isCommon && t.code < 1000)
                continue;
            const bool taken = isEntityPartCode(t.code) || t.code == 420 ||
                               (t.code == 430 && !ent.color().isByColor());
            if (!entityPart && taken && !subclassOwnsCode(marker, embedded, t.code))
                continue; // the reader took it as the entity's: written above
            out_.raw(k->raw(i));
        }
    }
    writeChildren(ent, trailing);
}

// An erased entity read from a file may own an extension dictionary (102 {ACAD_XDICTIONARY
// 360 handle }): noted, so that the objects section leaves it out with what it owns.
void Writer::noteErasedOwnings(std::string_view src) {
    if (src.empty() || src.find("ACAD_XDICTIONARY") == std::string_view::npos)
        return;
    const RawTags tags = tokenize(src.substr(0, recordEnd(src)));
    bool inXdict = false;
    for (const Tag &t : tags.tags) {
        if (t.code == 102) {
            inXdict = trimBlanks(t.value) == "{ACAD_XDICTIONARY";
            continue;
        }
        std::uint64_t h = 0;
        if (inXdict && t.code == 360 && toHandle(trimBlanks(t.value), h) && h != 0)
            orphanRoots_.push_back(h);
    }
}

// The objects section as read, less the objects erased entities owned (their extension
// dictionaries and, in turn, every object whose owner, its first 330 outside application
// groups, is left out), and with no reference to an entity erased or an object left out: an
// entity that replaced an erased one takes its place in a group; a dictionary's entry, a
// draw-order pair, a reactor and any other reference go; an association or dimension
// association, which only made sense with what it pointed at, goes whole.
void Writer::writeObjects(std::string_view body) {
    if (orphanRoots_.empty() && erased_.empty()) {
        out_.raw(body);
        return;
    }
    struct Obj {
        std::size_t first = 0, last = 0; // its tags, [first, last)
        std::uint64_t handle = 0, owner = 0;
        bool drop = false;
    };
    std::vector<Obj> objs;
    const RawTags tags = tokenize(body);
    int depth = 0;
    for (std::size_t i = 0; i < tags.tags.size(); ++i) {
        const Tag &t = tags.tags[i];
        if (t.code == 0 || objs.empty()) {
            objs.push_back({i, i});
            depth = 0;
        }
        if (t.code == 102)
            depth = appGroupDepth(t, depth);
        Obj &o = objs.back();
        o.last = i + 1;
        std::uint64_t h = 0;
        if (t.code == 5 && o.handle == 0 && toHandle(trimBlanks(t.value), h))
            o.handle = h;
        else if (t.code == 330 && depth == 0 && o.owner == 0 && toHandle(trimBlanks(t.value), h))
            o.owner = h;
    }
    std::vector<std::uint64_t> dropped = orphanRoots_;
    dropped.insert(dropped.end(), erased_.begin(), erased_.end());
    std::sort(dropped.begin(), dropped.end());
    const auto in = [&](std::uint64_t h) {
        return std::binary_search(dropped.begin(), dropped.end(), h);
    };
    const auto addDropped = [&](std::uint64_t h) {
        dropped.insert(std::upper_bound(dropped.begin(), dropped.end(), h), h);
    };
    // The handle a reference tag names when it names one left out; 0 otherwise.
    const auto leftOut = [&](const Tag &t) -> std::uint64_t {
        std::uint64_t h = 0;
        if (valueType(t.code) != ValueType::Handle || t.code == 5 || t.code == 105 ||
            !toHandle(trimBlanks(t.value), h) || h == 0 || !in(h))
            return 0;
        return h;
    };
    const auto typeOf = [&](const Obj &o) { return toUpper(trimBlanks(tags.tags[o.first].value)); };
    // Objects that only make sense with what they point at.
    const auto goesWithTarget = [](const std::string &type) {
        return type == "DIMASSOC" || type.starts_with("ACDBASSOC");
    };
    // Left out objects leave out what they own and the associations pointing at them; a pass
    // or two finds them all, as owners mostly come before what they own.
    for (bool grew = true; grew;) {
        grew = false;
        for (Obj &o : objs) {
            if (o.drop || o.handle == 0)
                continue;
            bool goes = in(o.handle) || (o.owner != 0 && in(o.owner));
            if (!goes && goesWithTarget(typeOf(o)))
                for (std::size_t i = o.first + 1; i < o.last && !goes; ++i)
                    goes = tags.tags[i].code != 330 && leftOut(tags.tags[i]) != 0;
            if (goes) {
                o.drop = true;
                if (!in(o.handle))
                    addDropped(o.handle);
                grew = true;
            }
        }
    }
    enum class Act : std::uint8_t { Keep, Skip, Replace };
    std::vector<Act> acts;
    std::vector<std::uint64_t> replacedWith;
    for (const Obj &o : objs) {
        if (o.drop)
            continue;
        const std::string type = typeOf(o);
        acts.assign(o.last - o.first, Act::Keep);
        replacedWith.assign(o.last - o.first, 0);
        depth = 0;
        bool sawOwner = false, changed = false;
        for (std::size_t i = o.first + 1; i < o.last; ++i) {
            const Tag &t = tags.tags[i];
            const std::size_t k = i - o.first;
            if (t.code == 102)
                depth = appGroupDepth(t, depth);
            const bool owner = t.code == 330 && depth == 0 && !sawOwner;
            sawOwner = sawOwner || owner;
            const std::uint64_t h = owner ? 0 : leftOut(t);
            if (h == 0)
                continue;
            changed = true;
            if (type == "GROUP" && t.code == 340) {
                // The entity that took an erased one's place takes its place in the group.
                const auto r = std::lower_bound(replacements_.begin(), replacements_.end(),
                                                std::make_pair(h, std::uint64_t{0}));
                if (r != replacements_.end() && r->first == h) {
                    acts[k] = Act::Replace;
                    replacedWith[k] = r->second;
                    continue;
                }
            }
            acts[k] = Act::Skip;
            // A dictionary's entry is its name and its handle; a draw-order pair its entity
            // and its sort handle.
            if ((t.code == 350 || t.code == 360) && k > 1 && tags.tags[i - 1].code == 3)
                acts[k - 1] = Act::Skip;
            if (type == "SORTENTSTABLE" && t.code == 331 && i + 1 < o.last &&
                tags.tags[i + 1].code == 5)
                acts[k + 1] = Act::Skip;
        }
        if (!changed) {
            out_.raw(
                body.substr(tags.tags[o.first].offset,
                            (o.last < tags.tags.size() ? tags.tags[o.last].offset : body.size()) -
                                tags.tags[o.first].offset));
            continue;
        }
        for (std::size_t i = o.first; i < o.last; ++i) {
            const std::size_t k = i - o.first;
            if (acts[k] == Act::Keep)
                out_.raw(tags.raw(i));
            else if (acts[k] == Act::Replace)
                out_.tags().handle(tags.tags[i].code, replacedWith[k]);
        }
    }
}

void Writer::writeNewObjects() {
    section("OBJECTS");
    rootDictionary_ = take();
    const std::uint64_t groups = take();
    sink_.setSubject("DICTIONARY");
    simpleTag(0, "DICTIONARY");
    sink_.handle(5, AcDbHandle(rootDictionary_));
    sink_.handle(330, AcDbHandle(std::uint64_t(0)));
    sink_.string(100, "AcDbDictionary");
    sink_.int16(281, 1);
    sink_.string(3, "ACAD_GROUP");
    sink_.handle(350, AcDbHandle(groups));
    simpleTag(0, "DICTIONARY");
    sink_.handle(5, AcDbHandle(groups));
    sink_.handle(330, AcDbHandle(rootDictionary_));
    sink_.string(100, "AcDbDictionary");
    sink_.int16(281, 1);
    endSection();
}

} // namespace

void writeDatabase(AcDbDatabase &db, ByteSink &out) {
    Writer writer(db, out);
    writer.run();
}

} // namespace dxf
