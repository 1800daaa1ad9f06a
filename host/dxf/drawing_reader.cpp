// drawing_reader.cpp - tables, blocks and entities into the database's classes; the rest
// kept as the bytes it was read from.
#include "drawing_reader.h"
#include "text_util.h"

#include "codepage.h"
#include "colour_place.h"
#include "pipelined_read.h"
#include "progress.h"
#include "tag_writer.h"
#include "written_check.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "access.h"
#include "tag_source.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace dxf {

namespace {

using tev::db::ObjectAccess;

constexpr double kDegree = std::numbers::pi / 180.0;

std::string upper(std::string_view s) {
    return host::text::toUpper(s);
}

const char *statusWords(Acad::ErrorStatus es) {
    switch (es) {
    case Acad::eOutOfMemory:
        return "out of memory";
    case Acad::eDuplicateKey:
        return "the name is taken";
    case Acad::eInvalidInput:
        return "invalid input";
    default:
        return "the database refused it";
    }
}

// What kind of object a handle names, for the owner checks.
enum class Kind : std::uint8_t { Other, BlockRecord, Polyline, Insert };

struct HandleUse {
    std::uint64_t handle;
    std::uint32_t line;
    Kind kind;
    bool kept; // kept as bytes, which hold the handle as read
};

struct OwnerUse {
    std::uint64_t owner;
    std::uint32_t line;
    bool child; // a VERTEX, ATTRIB or SEQEND: its polyline or insert is a fine owner too
    bool kept;  // kept as bytes (an ATTRIB, a mesh vertex): written as read
};

// The owner an object's bytes name (see OwnerScan; 0 for none).
std::uint64_t ownerInSource(std::string_view src) {
    static const Locator kSource("<kept source>");
    TagReader reader(src, kSource, 1, 0);
    Tag t;
    OwnerScan owner;
    bool first = true;
    while (reader.next(t)) {
        if (t.code == 0 && !first)
            break;
        first = false;
        std::uint64_t h = 0;
        if (owner.isOwner(t))
            return toHandle(trimBlanks(t.value), h) ? h : 0;
    }
    return 0;
}

// Sorts uses by handle, uses of one handle in file order: mostly sorted uses by a merge,
// others by a radix sort, a byte at a time from the lowest, skipping the bytes every handle
// shares. Handles are read in file order, so a stable sort keeps the earlier use first.
void sortByHandle(std::vector<HandleUse> &uses) {
    const auto before = [](const HandleUse &a, const HandleUse &b) {
        return a.handle != b.handle ? a.handle < b.handle : a.line < b.line;
    };
    if (std::is_sorted(uses.begin(), uses.end(), before))
        return;
    // A file is mostly one run of ascending handles (its entities), with a few other objects
    // before and after: those few are sorted aside and merged in, with room for them alone
    // (the radix sort below needs a second copy of every use, tens of megabytes at the
    // end of a big read).
    std::size_t runBegin = 0, runEnd = 0;
    for (std::size_t begin = 0, i = 1; i <= uses.size(); ++i)
        if (i == uses.size() || before(uses[i], uses[i - 1])) {
            if (i - begin > runEnd - runBegin) {
                runBegin = begin;
                runEnd = i;
            }
            begin = i;
        }
    const std::size_t run = runEnd - runBegin;
    if (run >= uses.size() - uses.size() / 8) {
        std::vector<HandleUse> rest(uses.begin(), uses.begin() + runBegin);
        rest.insert(rest.end(), uses.begin() + runEnd, uses.end());
        std::sort(rest.begin(), rest.end(), before);
        std::move(uses.begin() + runBegin, uses.begin() + runEnd, uses.begin());
        // From the back: the largest of what is left of either goes last.
        std::size_t a = run, b = rest.size(), to = uses.size();
        while (b > 0) {
            if (a > 0 && before(rest[b - 1], uses[a - 1]))
                uses[--to] = uses[--a];
            else
                uses[--to] = rest[--b];
        }
        return;
    }
    std::uint64_t differ = 0;
    for (const HandleUse &u : uses)
        differ |= u.handle ^ uses.front().handle;
    std::vector<HandleUse> other(uses.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if (((differ >> shift) & 0xFF) == 0)
            continue;
        std::size_t start[257] = {};
        for (const HandleUse &u : uses)
            ++start[((u.handle >> shift) & 0xFF) + 1];
        for (int b = 0; b < 256; ++b)
            start[b + 1] += start[b];
        for (const HandleUse &u : uses)
            other[start[(u.handle >> shift) & 0xFF]++] = u;
        uses.swap(other);
    }
    // Uses of one handle (a duplicate, which the caller reports) by line.
    for (std::size_t i = 1; i < uses.size(); ++i) {
        std::size_t j = i;
        while (j > 0 && uses[j].handle == uses[j - 1].handle && uses[j].line < uses[j - 1].line) {
            std::swap(uses[j], uses[j - 1]);
            --j;
        }
    }
}

class Builder : public StructureSink {
public:
    Builder(std::shared_ptr<const SourceBuffer> source, const Locator &where, bool checkOnly)
        : checkOnly_(checkOnly), source_(std::move(source)), text_(source_->text), where_(where),
          db_(std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/false)),
          doc_(std::make_unique<DocumentKept>()) {
        doc_->source = source_;
        AcDbBlockTable *bt = nullptr;
        if (db_->getBlockTable(bt, AcDb::kForRead) == Acad::eOk) {
            blockTable_ = bt;
            (void)bt->close(); // a read open of our own: closing cannot fail
        }
        AcDbLayerTable *lt = nullptr;
        if (db_->getLayerTable(lt, AcDb::kForRead) == Acad::eOk) {
            layerTable_ = lt;
            (void)lt->close(); // as the block table's
        }
        AcDbLinetypeTable *ltt = nullptr;
        if (db_->getLinetypeTable(ltt, AcDb::kForRead) == Acad::eOk) {
            linetypeTable_ = ltt;
            (void)ltt->close(); // as the block table's
        }
        if (blockTable_ == nullptr || layerTable_ == nullptr || linetypeTable_ == nullptr)
            throw DxfError(where_.name() + ": cannot make a database (out of memory)");
        unplacedTables_ = {blockTable_, layerTable_, linetypeTable_};
        for (AcDbObject *table : unplacedTables_)
            lend(table);
        // A file without a header is an R12 file in the format's default code page.
        doc_->acadver = "AC1009";
        doc_->codePage.clear();
        codec_ = TextCodec::forFile(doc_->acadver, "");
        // An object takes some 170 bytes of DXF or more (a vertex a little less; other
        // writers spell numbers shorter than ours): room for them all up front, so that
        // nothing is rebuilt halfway through a read (a rebuilt index holds both at once).
        if (!checkOnly_)
            tev::db::reserveObjects(*db_, text_.size() / 170);
        handles_.reserve(text_.size() / 170);
    }

    std::unique_ptr<AcDbDatabase> finish(const StructureFacts &facts);

    // --- StructureSink ---------------------------------------------------------------------
    void sectionBegin(std::string_view name, const Record &start) override;
    void sectionEnd(std::string_view name, const Record &endsec) override;
    void headerVariable(std::string_view name, std::span<const Tag> tags, std::size_t begin,
                        std::size_t end) override;
    void tableBegin(std::string_view table, const Record &record) override;
    void tableEntry(std::string_view table, const Record &record) override;
    void tableEnd(std::string_view table, const Record &endtab) override;
    void blockBegin(const Record &record) override;
    void blockEnd(const Record &endblk) override;
    void entity(const EntityGroup &group, bool inBlock) override;
    void object(std::string_view section, const Record &record) override;
    void endOfFile(const Record &eof) override;

private:
    std::string_view view(std::size_t b, std::size_t e) const { return text_.substr(b, e - b); }
    std::string_view view(const Record &r) const { return view(r.begin, r.end); }
    const std::string &toDb(std::string_view fileText) {
        scratch_.clear();
        codec_.toDatabase(fileText, scratch_);
        return scratch_;
    }
    // A name as the database holds it: its names are C strings, so a name ends at a NUL
    // byte, and names compare the same wherever the file spells them so. Blanks around a
    // name are not part of it (the file's structure checks know names so too).
    const std::string &nameToDb(std::string_view fileText) {
        toDb(nameText(fileText));
        if (const std::size_t nul = scratch_.find('\0'); nul != std::string::npos)
            scratch_.resize(nul); // an escaped NUL (\U+0000) ends it too
        return scratch_;
    }

    // Handles: the record's own (5, or 105 for DIMSTYLE), registered for the checks.
    std::uint64_t handleOf(const Record &r, Kind kind, bool kept);
    // A child kept as bytes that names its own parent (`parent`, as the parent spells its
    // handle) is its parent's by structure: the writer keeps it so should the parent move.
    void noteOwner(const Record &r, bool child, bool kept = false, std::uint64_t parent = 0);
    // Moves one of the database's own tables out of the way of a file handle.
    void freeHandle(std::uint64_t handle);
    void placeTable(AcDbObject *table, const Record &r);
    bool isUnplacedTable(const AcDbObject *obj) const;
    std::uint64_t lowestFreeHandle(const AcDbObject *self) const;

    AcDbObjectId layerId(std::string_view fileName, std::uint32_t line);
    AcDbObjectId linetypeId(std::string_view fileName, std::uint32_t line);
    AcDbBlockTableRecord *blockRecord(std::string_view dbName, bool implicit);
    // The block an INSERT at `line` names as the file spells it.
    AcDbObjectId blockNamed(std::string_view fileName, std::uint32_t line);
    AcDbBlockTableRecord *space(bool paper);
    // The id of a layer or linetype an entity's tag names, found by its spelling in the file
    // when an entity before spelled it the same.
    AcDbObjectId spelledId(std::unordered_map<std::string_view, AcDbObjectId> &seen, const Tag &t,
                           AcDbObjectId (Builder::*find)(std::string_view, std::uint32_t));

    // The name a table entry defined a second time takes (the first keeps its own), noted.
    template <class Taken>
    std::string renamedTwice(const char *what, const std::string &name, const Taken &taken,
                             std::uint32_t line) {
        std::string renamed;
        for (int n = 2; renamed.empty() || taken.count(upper(renamed)) != 0; ++n)
            renamed = name + "_" + std::to_string(n);
        mend(line, std::string(what) + " \"" + name + "\" is defined twice",
             "the later one renamed \"" + renamed + "\"");
        return renamed;
    }
    void readLayer(const Record &r);
    void readLinetype(const Record &r);
    void readBlockRecord(const Record &r);
    std::string nameForBlock(const Record &r);

    // Common entity groups into ent; returns whether group 67 says paper space.
    bool readCommon(const Record &r, AcDbEntity &ent);
    // The entity of a group, its class's groups read (and its vertices'); nullptr, with
    // modelled false, for a kind the database keeps as bytes.
    AcDbEntity *makeEntity(const EntityGroup &g, bool &modelled);
    // obj's own groups, read by its class from record r.
    void readClassGroups(const Record &r, AcDbObject &obj);
    template <class Polyline> void readVertices(Polyline &pl, const EntityGroup &g);
    void append(AcDbBlockTableRecord &rec, AcDbEntity *ent, const EntityGroup &g);

    // Parsed as the tag was split; a value that is not a finite number is reported here.
    double real(const Tag &t) const {
        return std::isnan(t.number) ? parseDouble(t, where_) : t.number;
    }
    // The view of the *ACTIVE viewport: its centre (12, 22), height (40) and ratio (41). A
    // value that is no finite number is left to the record's own checks.
    static void readActiveView(const Tag &t, tev::db::View &v) {
        if (t.code != 12 && t.code != 22 && t.code != 40 && t.code != 41)
            return;
        if (auto x = finiteNumber(t))
            (t.code == 12 ? v.cx : t.code == 22 ? v.cy : t.code == 40 ? v.height : v.aspect) = *x;
    }
    // A tag's value as a finite number, or nullopt.
    static std::optional<double> finiteNumber(const Tag &t) {
        double x = t.number;
        if (std::isnan(x)) {
            const std::string text(trimBlanks(t.value));
            char *end = nullptr;
            x = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0')
                return std::nullopt;
        }
        return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
    }
    // The drafting aids of the *ACTIVE viewport (or, before it, of the header's variables of
    // the same groups): snap base (13, 23), snap spacing (14, 24), grid spacing (15, 25), snap
    // on (75) and grid on (76). A spacing the aids cannot use (a snap spacing of 0 or less, a
    // negative grid spacing) leaves the one they have.
    static void readActiveAids(const Tag &t, tev::db::DraftingSettings &d) {
        auto x = finiteNumber(t);
        if (!x)
            return;
        switch (t.code) {
        case 13:
        case 23:
            d.snapbase[t.code / 10 - 1] = *x;
            break;
        case 14:
        case 24:
            if (*x > 0)
                d.snapunit[t.code / 10 - 1] = *x;
            break;
        case 15:
        case 25:
            if (*x >= 0)
                d.gridunit[t.code / 10 - 1] = *x;
            break;
        case 75:
            d.snapmode = *x != 0;
            break;
        case 76:
            d.gridmode = *x != 0;
            break;
        default:
            break;
        }
    }
    // An integer, counted as mended when it was repaired (a real with a whole value).
    std::int64_t integer(const Tag &t) {
        const std::size_t repairs = where_.repairCount();
        const std::int64_t value = parseInteger(t, where_);
        if (where_.repairCount() != repairs)
            ++mends_;
        return value;
    }
    [[noreturn]] void refuse(const Record &r, Acad::ErrorStatus es) const {
        where_.fail(r.line, "cannot add " + std::string(r.type) + ": " + statusWords(es));
    }

    bool checkOnly_; // entities are read and checked, then dropped
    // A value the database refuses, mended and noted with its line.
    void mend(std::uint32_t line, std::string_view fault, std::string_view fix) {
        where_.repair(line, fault, fix);
        ++mends_;
    }
    std::size_t mends_ = 0;
    // The objects of the entity being read that were mended: written from the database,
    // not their bytes.
    std::vector<AcDbObject *> mended_;
    // Table records mended: written from the database once the file is read (what is
    // settled at the end, a layer's linetype, keeps their bytes until then).
    std::vector<AcDbObject *> mendedRecords_;
    // The groups of a record kept as bytes whose values the save would refuse (a name where
    // a handle belongs, an empty reference): noted as repairs, their byte spans in the
    // source kept in leftOut_ until the bytes are copied without them.
    bool noteUnfit(const Record &r);
    std::string_view withoutLeftOut(std::size_t begin, std::size_t end);
    // The bytes a record kept whole is written back from: as read, less what does not fit.
    std::string_view keptBytes(const Record &r) {
        return noteUnfit(r) ? withoutLeftOut(r.begin, r.end) : view(r);
    }
    std::size_t sectionBodyBegin_ = 0; // where the section under way has its first record
    struct LeftOut {
        std::size_t from, to; // a byte span of the source
        std::string with;     // what stands there instead (nothing, or a mended value)
    };
    std::vector<LeftOut> leftOut_;
    class RecordSource;
    std::shared_ptr<const SourceBuffer> source_;
    std::string_view text_;
    const Locator &where_;
    std::unique_ptr<AcDbDatabase> db_;
    std::unique_ptr<DocumentKept> doc_;
    TextCodec codec_;
    std::string scratch_;

    AcDbBlockTable *blockTable_ = nullptr;
    AcDbLayerTable *layerTable_ = nullptr;
    AcDbLinetypeTable *linetypeTable_ = nullptr;
    std::vector<AcDbObject *> unplacedTables_;
    // Objects the reader made for what the file names but does not define (a layer, a
    // linetype, the spaces of an R12 file) and the tables not yet given the file's handles,
    // by the handle each holds for now: a handle the file gives later moves them away.
    std::unordered_map<std::uint64_t, AcDbObject *> lent_;
    void lend(AcDbObject *obj) { lent_.emplace(obj->objectId().handle().value(), obj); }
    // The largest handle of an object read from the file (a handle of its own or one the
    // database gave it, when the file gave none).
    std::uint64_t maxGiven_ = 0;
    void noteGiven(AcDbObject &obj) {
        maxGiven_ = std::max(maxGiven_, obj.objectId().handle().value());
        if (ObjectAccess::presetHandleOf(obj).isNull())
            unhandled_.push_back(&obj);
    }
    // Objects read from the file without a handle of their own. In a file whose saves carry
    // a $HANDSEED they are written from the database, with the handle they have now: their
    // bytes would leave them without one again, the next read would give them another, and
    // the seed would move with every save.
    std::vector<AcDbObject *> unhandled_;
    // Entities kept with their children's bytes (attributes, mesh vertices) where a child has
    // no handle: in a file whose saves give handles, each such child is given one (from seed
    // up) and, in the R13 form, its parent as owner, in the bytes kept.
    std::vector<AcDbObject *> unhandledChildren_;
    void handleChildren(AcDbObject &ent, std::uint64_t &seed);

    std::unordered_map<std::string, AcDbObjectId> layers_, linetypes_;
    // Layers and linetypes made up for an entity read before the table that defines them
    // (a file whose ENTITIES come before its TABLES): the table's record takes them over.
    std::unordered_set<std::string> madeLayers_, madeLinetypes_, madeBlocks_;
    std::unordered_set<std::string> begunBlocks_; // the BLOCK records read, by name
    std::unordered_set<std::string> classNames_;  // the CLASS records read, by name
    // Block records defined a second time, renamed, by the name the file gave them, until
    // their BLOCK comes.
    std::unordered_map<std::string, std::vector<AcDbBlockTableRecord *>> renamedBlocks_;
    // The renamed record a BLOCK of `name` (as the database knows it) defines, taken from
    // those waiting; nullptr for none.
    AcDbBlockTableRecord *renamedBlockOf(const Record &r, const std::string &name);
    // Blocks an INSERT named before their BLOCK came (by upper-case name): the name and the
    // INSERT's line. One that never comes is made empty.
    std::unordered_map<std::string, std::pair<std::string, std::uint32_t>> insertedBefore_;
    // The records each table defined, in the file's order, once one was taken over.
    std::vector<AcDbObject *> definedLayers_, definedLinetypes_, definedBlocks_;
    // A block is placed by its BLOCK_RECORD, or by its BLOCK where the file has none (an
    // R12 file): the records of the table first, in its order, then the blocks only a BLOCK
    // defined, in theirs.
    std::vector<AcDbObject *> blocksByBlock_;
    std::unordered_set<const AcDbObject *> blockByRecord_, blockByBlock_;
    void recordDefinesBlock(AcDbObject *rec) {
        if (blockByRecord_.insert(rec).second)
            definedBlocks_.push_back(rec);
    }
    bool blockDefinesBlock(AcDbObject *rec) {
        if (blockByRecord_.count(rec) != 0 || !blockByBlock_.insert(rec).second)
            return false;
        blocksByBlock_.push_back(rec);
        return true;
    }
    bool adoptedLayer_ = false, adoptedLinetype_ = false, adoptedBlock_ = false;
    // Puts the records the file defined first, in its order, then the ones made up.
    static void putInFileOrder(AcDbSymbolTable &table, const std::vector<AcDbObject *> &defined);
    // Gives a made-up record the file's record: its handle and its bytes.
    void adoptRecord(AcDbObject &made, const Record &r, std::uint64_t handle);
    std::unordered_map<std::string, AcDbBlockTableRecord *> blocks_;
    // Names as the entities spell them in the file (views into it), so that the common case
    // costs one lookup without converting or allocating.
    std::unordered_map<std::string_view, AcDbObjectId> layerBySpelling_, linetypeBySpelling_;
    AcDbBlockTableRecord *spaces_[2] = {nullptr, nullptr};             // model, paper
    std::vector<std::pair<AcDbObjectId, std::string>> layerLinetypes_; // resolved at the end

    SectionKept *section_ = nullptr;
    TableKept *table_ = nullptr;
    AcDbBlockTableRecord *block_ = nullptr;
    BlockKept *blockKept_ = nullptr;

    std::vector<HandleUse> handles_;
    std::vector<OwnerUse> owners_;
    std::vector<std::uint64_t> lostOwners_; // owners missing or of the wrong kind, once repaired
    void rewriteOwnedBy(const std::vector<std::uint64_t> &owners);
    void rehandleDuplicates();
    template <class F> void forEachEntityObject(F &&f);

    // Header values, applied once the tables are read.
    std::string clayer_, celtype_;
    std::int64_t cecolor_ = 256;
    std::uint32_t cecolorLine_ = 0;
    bool haveCecolor_ = false;
    int tilemode_ = -1;
    double snapDegrees_ = 0;
    tev::db::View view_;                 // of the *ACTIVE viewport
    tev::db::DraftingSettings drafting_; // of the header and the *ACTIVE viewport
    bool haveSnap_ = false;
    // An entity came with a subclass marker: a file without a header that has one is of the
    // R13 form or later, whatever the header's absence says.
    bool sawSubclassMarker_ = false;
    std::uint64_t handseed_ = 0;
    bool seedWritten_ = false; // the file's saves carry a $HANDSEED
};

// A record's groups as its class reads them: its data groups in order.
class Builder::RecordSource final : public tev::db::TagSource {
public:
    RecordSource(Builder &builder, const Record &r) : b_(builder), r_(r) {}

    bool next() override {
        tag_ = data_.next();
        if (tag_ == nullptr)
            return false;
        code_ = tag_->code;
        line_ = tag_->line;
        value_ = tag_->value;
        number_ = tag_->number;
        return true;
    }
    std::int64_t integer() const override { return b_.integer(*tag_); }
    const std::string &text() override { return b_.toDb(value_); }
    std::string_view type() const override { return r_.type; }
    std::uint32_t recordLine() const override { return r_.line; }
    std::size_t groupsLeft() const override { return data_.left(); }
    AcDbObjectId blockNamed(std::string_view fileName) override {
        return b_.blockNamed(fileName, r_.line);
    }
    void repair(std::uint32_t line, std::string_view fault, std::string_view fix) override {
        b_.mend(line, fault, fix);
    }
    [[noreturn]] void fail(std::uint32_t line, std::string_view what) override {
        b_.where_.fail(line, what);
    }

private:
    double parseReal() const override { return parseDouble(*tag_, b_.where_); }

    Builder &b_;
    const Record &r_;
    DataTags data_{r_.tags};
    const Tag *tag_ = nullptr; // the current one
};

std::uint64_t Builder::handleOf(const Record &r, Kind kind, bool kept) {
    // The first group 5 (105 in a DIMSTYLE, whose group 5 names a block); a later one is data.
    const int code = equalsNoCase(r.type, "DIMSTYLE") ? 105 : 5;
    for (const Tag &t : r.tags) {
        if (t.code != code)
            continue;
        const std::uint64_t h = parseHandle(t, where_);
        if (h == 0)
            where_.fail(t.line + 1, std::string(r.type) + " has the null handle 0");
        // No handle could follow it: the next one would be the null handle.
        if (h == UINT64_MAX)
            where_.fail(t.line + 1, std::string(r.type) + " has a handle no other may follow");
        handles_.push_back({h, r.line, kind, kept});
        if (kept)
            doc_->keptHandles.push_back(h);
        // The file's handle is its own: whatever the reader made up moves out of its way,
        // and what it makes up from now on takes a handle above it.
        freeHandle(h);
        tev::db::raiseHandseed(*db_, AcDbHandle(h + 1));
        return h;
    }
    return 0;
}

void Builder::noteOwner(const Record &r, bool child, bool kept, std::uint64_t parent) {
    OwnerScan owner;
    for (std::size_t i = 1; i < r.tags.size(); ++i) {
        const Tag &t = r.tags[i];
        if (owner.isOwner(t)) {
            const std::uint64_t h = parseHandle(t, where_);
            if (h != 0 && h != parent)
                // Entities come in runs of one owner: the first of a run is checked for all.
                if (owners_.empty() || owners_.back().owner != h || owners_.back().child != child ||
                    owners_.back().kept != kept)
                    owners_.push_back({h, t.line + 1, child, kept});
            return;
        }
    }
}

void Builder::freeHandle(std::uint64_t handle) {
    // Every handle the database gave is below its seed: a file's handles mostly come in
    // increasing order, each above the last, and then nothing can hold it.
    if (handle >= db_->handseed().value())
        return;
    const auto it = lent_.find(handle);
    if (it == lent_.end()) {
        // An object the file left without a handle took one the database gave; a later
        // record may spell that handle for itself. It is the file's, so the earlier object
        // moves. (Were both the file's, the duplicate is reported once the file is read.)
        const AcDbObjectId id = tev::db::lookupHandle(*db_, AcDbHandle(handle));
        AcDbObject *obj = nullptr;
        if (id.isNull() || acdbOpenObject(obj, id, AcDb::kForRead) != Acad::eOk)
            return;
        // An earlier record of the file gave it that handle: the later one is the one that
        // moves (the database gives it a fresh handle when it takes it in).
        if (ObjectAccess::presetHandleOf(*obj).value() == handle) {
            (void)obj->close(); // a read open of our own: closing cannot fail
            return;
        }
        (void)ObjectAccess::rehandle(*obj, db_->handseed()); // a fresh handle is free
        (void)obj->close(); // a read open of our own: closing cannot fail
        noteGiven(*obj);
        return;
    }
    AcDbObject *obj = it->second;
    lent_.erase(it);
    (void)ObjectAccess::rehandle(*obj, db_->handseed()); // a fresh handle is free
    lend(obj);
}

bool Builder::isUnplacedTable(const AcDbObject *obj) const {
    return std::find(unplacedTables_.begin(), unplacedTables_.end(), obj) != unplacedTables_.end();
}

// The lowest handle no object holds but `self`, once handles_ is sorted.
std::uint64_t Builder::lowestFreeHandle(const AcDbObject *self) const {
    std::uint64_t h = 1;
    auto it = handles_.begin();
    for (;; ++h) {
        while (it != handles_.end() && it->handle < h)
            ++it;
        if (it != handles_.end() && it->handle == h)
            continue;
        const AcDbObjectId id = tev::db::lookupHandle(*db_, AcDbHandle(h));
        if (id.isNull() || (self != nullptr && id == self->objectId()))
            return h;
    }
}

void Builder::placeTable(AcDbObject *table, const Record &r) {
    // A second table of the same name (in a second TABLES section) adds its entries to the
    // first; its own handle is reserved, as it is written nowhere.
    if (std::find(unplacedTables_.begin(), unplacedTables_.end(), table) == unplacedTables_.end()) {
        handleOf(r, Kind::Other, /*kept=*/true);
        return;
    }
    const std::uint64_t h = handleOf(r, Kind::Other, /*kept=*/false);
    if (h == 0)
        return;
    std::erase_if(lent_, [&](const auto &held) { return held.second == table; });
    if (!ObjectAccess::rehandle(*table, AcDbHandle(h)))
        where_.fail(r.line, "the handle of TABLE " + std::string(r.find(2)) + " is taken");
    std::erase(unplacedTables_, table);
}

// --- sections and the header ---------------------------------------------------------------

void Builder::sectionBegin(std::string_view name, const Record &start) {
    SectionKept s;
    s.name = std::string(name);
    const std::string u = upper(name);
    s.kind = u == "HEADER"     ? SectionKind::Header
             : u == "CLASSES"  ? SectionKind::Classes
             : u == "TABLES"   ? SectionKind::Tables
             : u == "BLOCKS"   ? SectionKind::Blocks
             : u == "ENTITIES" ? SectionKind::Entities
             : u == "OBJECTS"  ? SectionKind::Objects
                               : SectionKind::Other;
    // A section of a name not known is copied as read, with whatever its head holds: a
    // handle there is one as any record's (the save's check counts it).
    handleOf(start, Kind::Other, /*kept=*/true);
    s.start = keptBytes(start);
    s.line = start.line;
    sectionBodyBegin_ = start.end;
    doc_->sections.push_back(std::move(s));
    section_ = &doc_->sections.back();
}

void Builder::sectionEnd(std::string_view, const Record &endsec) {
    const std::size_t bodyBegin = sectionBodyBegin_;
    section_->body =
        leftOut_.empty() ? view(bodyBegin, endsec.begin) : withoutLeftOut(bodyBegin, endsec.begin);
    handleOf(endsec, Kind::Other, /*kept=*/true);
    section_->end = keptBytes(endsec);
    // A second CLASSES section: its classes go with the first's, which a save writes once.
    const auto first =
        std::find_if(doc_->sections.begin(), doc_->sections.end(),
                     [](const SectionKept &s) { return s.kind == SectionKind::Classes; });
    if (section_->kind == SectionKind::Classes && &*first != section_) {
        where_.note(section_->line, "a second CLASSES section",
                    "its classes joined to the first's");
        std::string &joined = doc_->mendedBytes.emplace_back(first->body);
        joined.append(section_->body);
        first->body = joined;
        doc_->sections.pop_back();
        section_ = nullptr;
        return;
    }
    if (section_->kind == SectionKind::Header)
        codec_ = TextCodec::forFile(doc_->acadver, doc_->codePage);
    section_ = nullptr;
}

void Builder::headerVariable(std::string_view name, std::span<const Tag> tags, std::size_t begin,
                             std::size_t end) {
    // The header's variables are copied as read: one whose value does not fit its group is
    // left out, as a record's group is; an integer written as a real with a whole value
    // ("1.0") is that integer.
    const std::size_t before = leftOut_.size();
    std::string_view first = tags.size() > 1 ? trimBlanks(tags[1].value) : std::string_view();
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const Tag &t = tags[i];
        const char *fault = valueFault(t.code, t.value, false);
        if (fault == nullptr)
            continue;
        const std::string what = "header variable " + std::string(name) + " group " +
                                 std::to_string(t.code) + " holds '" +
                                 std::string(trimBlanks(t.value)) + "', " + fault;
        std::int64_t whole = 0;
        if (isIntegerType(valueType(t.code)) && integralReal(t.value, t.code, whole)) {
            where_.repair(t.line + 1, what, "taken as " + std::to_string(whole));
            const std::size_t at = static_cast<std::size_t>(t.value.data() - text_.data());
            leftOut_.push_back({at, at + t.value.size(), std::to_string(whole)});
            if (i == 1)
                first = doc_->mendedBytes.emplace_back(std::to_string(whole));
            continue;
        }
        leftOut_.resize(before);
        where_.repair(t.line + 1, what, "left out");
        return;
    }
    HeaderVar var;
    var.name = std::string(name);
    var.raw = leftOut_.size() != before ? withoutLeftOut(begin, end) : view(begin, end);
    var.value = first;
    doc_->header.push_back(var);
    const std::string u = upper(name);
    if (u == "$HANDSEED")
        seedWritten_ = true; // a save writes it, with or without a value here
    if (tags.size() < 2)
        return;
    Tag v = tags[1];
    if (first.data() != trimBlanks(v.value).data()) {
        v.value = first; // as mended above
        v.number = std::numeric_limits<double>::quiet_NaN();
    }
    if (u == "$ACADVER")
        doc_->acadver = std::string(trimBlanks(v.value));
    else if (u == "$DWGCODEPAGE")
        doc_->codePage = std::string(trimBlanks(v.value));
    else if (u == "$HANDSEED")
        handseed_ = parseHandle(v, where_);
    else if (u == "$CLAYER")
        clayer_ = std::string(v.value);
    else if (u == "$CELTYPE")
        celtype_ = std::string(v.value);
    else if (u == "$CECOLOR") {
        cecolor_ = integer(v);
        cecolorLine_ = v.line + 1;
        haveCecolor_ = true;
    } else if (u == "$TILEMODE")
        tilemode_ = integer(v) != 0 ? 1 : 0;
    else if (u == "$SNAPANG" && !haveSnap_)
        snapDegrees_ = real(v);
    else if (u == "$ORTHOMODE")
        drafting_.orthomode = integer(v) != 0;
    else if (u == "$OSMODE") {
        const std::int64_t m = integer(v);
        if (m >= 0 && m <= 32767)
            drafting_.osmode = static_cast<short>(m);
    } else if (u == "$SNAPMODE" || u == "$GRIDMODE" || u == "$SNAPBASE" || u == "$SNAPUNIT" ||
               u == "$GRIDUNIT") {
        // Kept in the viewport since it has them; a file without one has them here.
        const int base = u == "$SNAPMODE"   ? 75
                         : u == "$GRIDMODE" ? 76
                         : u == "$SNAPBASE" ? 13
                         : u == "$SNAPUNIT" ? 14
                                            : 15;
        for (std::size_t i = 1; i < tags.size(); ++i) {
            Tag t = tags[i];
            if (base > 70 ? t.code != 70 : t.code != 10 && t.code != 20)
                continue;
            t.code = base > 70 ? base : base + t.code - 10;
            readActiveAids(t, drafting_);
        }
    }
}

// --- tables -------------------------------------------------------------------------------

void Builder::tableBegin(std::string_view name, const Record &r) {
    TableKept t;
    t.name = std::string(name);
    t.head = keptBytes(r);
    section_->tables.push_back(std::move(t));
    table_ = &section_->tables.back();
    const std::string u = upper(name);
    if (u == "LAYER")
        placeTable(layerTable_, r);
    else if (u == "LTYPE")
        placeTable(linetypeTable_, r);
    else if (u == "BLOCK_RECORD")
        placeTable(blockTable_, r);
    else
        handleOf(r, Kind::Other, /*kept=*/true);
}

void Builder::tableEnd(std::string_view, const Record &endtab) {
    handleOf(endtab, Kind::Other, /*kept=*/true);
    table_->end = keptBytes(endtab);
    table_ = nullptr;
}

void Builder::tableEntry(std::string_view name, const Record &r) {
    const std::string u = upper(name);
    if (u == "LAYER")
        return readLayer(r);
    if (u == "LTYPE")
        return readLinetype(r);
    if (u == "BLOCK_RECORD")
        return readBlockRecord(r);
    handleOf(r, Kind::Other, /*kept=*/true);
    if (u == "VPORT" && table_->activeVport == SIZE_MAX &&
        equalsNoCase(trimBlanks(r.find(2)), "*ACTIVE")) {
        table_->activeVport = table_->entries.size();
        for (const Tag &t : r.tags) {
            if (t.code == 50) {
                table_->activeSnapDegrees = real(t);
                snapDegrees_ = table_->activeSnapDegrees;
                haveSnap_ = true;
            }
            readActiveView(t, table_->activeView);
            readActiveAids(t, drafting_);
        }
        view_ = table_->activeView;
    }
    table_->entries.push_back(keptBytes(r));
}

bool Builder::noteUnfit(const Record &r) {
    const bool dimstyle = equalsNoCase(r.type, "DIMSTYLE");
    const std::size_t before = leftOut_.size();
    bool handleSeen = false; // a later group 5 is data
    for (std::size_t i = 1; i < r.tags.size(); ++i) {
        const Tag &t = r.tags[i];
        const bool dataFive = dimstyle || handleSeen;
        handleSeen = handleSeen || t.code == 5 || (dimstyle && t.code == 105);
        // A number the reader's thread split already fits its group.
        if (!std::isnan(t.number) && t.code != 5)
            continue;
        const char *fault = valueFault(t.code, t.value, dataFive);
        if (fault == nullptr)
            continue;
        const std::string what = std::string(r.type) + " group " + std::to_string(t.code) +
                                 " holds '" + std::string(trimBlanks(t.value)) + "', " + fault;
        // An integer written as a real with nothing after the point ("1.0") is that integer.
        std::int64_t whole = 0;
        if (isIntegerType(valueType(t.code)) && integralReal(t.value, t.code, whole)) {
            where_.repair(t.line + 1, what, "taken as " + std::to_string(whole));
            const std::size_t at = static_cast<std::size_t>(t.value.data() - text_.data());
            leftOut_.push_back({at, at + t.value.size(), std::to_string(whole)});
            continue;
        }
        where_.repair(t.line + 1, what, "left out");
        leftOut_.push_back({t.offset, i + 1 < r.tags.size() ? r.tags[i + 1].offset : r.end, {}});
    }
    return leftOut_.size() != before;
}

std::string_view Builder::withoutLeftOut(std::size_t begin, std::size_t end) {
    std::string &bytes = doc_->mendedBytes.emplace_back();
    std::size_t at = begin;
    for (const auto &[from, to, with] : leftOut_) {
        bytes.append(text_.substr(at, from - at));
        bytes.append(with);
        at = to;
    }
    bytes.append(text_.substr(at, end - at));
    leftOut_.clear();
    return bytes;
}

void Builder::readLayer(const Record &r) {
    auto *layer = new AcDbLayerTableRecord;
    if (layer == nullptr)
        refuse(r, Acad::eOutOfMemory);
    std::unique_ptr<AcDbLayerTableRecord> guard(layer);
    std::string name;
    std::string_view linetype;
    const std::size_t mendsBefore = mends_;
    // The setters below take any value a new record is given (but the colour's, checked).
    forEachDataTag(r.tags, [&](const Tag &t) {
        switch (t.code) {
        case 2:
            name = nameToDb(t.value);
            break;
        case 70: {
            const std::int64_t flags = integer(t);
            (void)layer->setIsFrozen((flags & 1) != 0);
            (void)layer->setIsLocked((flags & 4) != 0);
            break;
        }
        case 62: {
            const std::int64_t c = integer(t); // a 16-bit integer: its amount is one too
            (void)layer->setIsOff(c < 0);
            AcCmColor color;
            if (const std::int64_t index = c < 0 ? -c : c; index >= 1 && index <= 255) {
                (void)color.setColorIndex(static_cast<Adesk::UInt16>(index));
                (void)layer->setColor(color); // 1..255, as a layer's must be
            } else {
                mend(t.line + 1,
                     "LAYER has colour " + std::to_string(c) +
                         " (group 62), which a layer cannot have",
                     "taken as 7");
            }
            break;
        }
        case 6:
            linetype = t.value;
            break;
        case 290:
            (void)layer->setIsPlottable(integer(t) != 0);
            break;
        case 370:
            (void)layer->setLineWeight(static_cast<Adesk::Int16>(integer(t)));
            break;
        default:
            break;
        }
    });
    if (name.empty())
        where_.fail(r.line, "LAYER has no name (group 2)");
    const bool made = madeLayers_.erase(upper(name)) != 0;
    if (!made && layers_.count(upper(name)) != 0)
        name = renamedTwice("layer", name, layers_, r.line);
    (void)layer->setName(name.c_str()); // not empty (checked), and not yet in a table
    const std::uint64_t h = handleOf(r, Kind::Other, /*kept=*/false);
    if (made) {
        const AcDbObjectId id = layers_.at(upper(name));
        AcDbLayerTableRecord *target = nullptr;
        if (acdbOpenObject(target, id, AcDb::kForWrite) != Acad::eOk)
            refuse(r, Acad::eInvalidInput);
        // What the new record took, given to the one made for it: nothing is refused.
        (void)target->setIsFrozen(layer->isFrozen());
        (void)target->setIsLocked(layer->isLocked());
        (void)target->setIsOff(layer->isOff());
        (void)target->setColor(layer->color());
        (void)target->setIsPlottable(layer->isPlottable());
        (void)target->setLineWeight(layer->lineWeight());
        (void)target->close(); // our own write open of a record no one else has open
        adoptRecord(*target, r, h);
        if (mends_ != mendsBefore)
            mendedRecords_.push_back(target);
        definedLayers_.push_back(target);
        adoptedLayer_ = true;
        if (!linetype.empty())
            layerLinetypes_.emplace_back(id, nameToDb(linetype));
        return;
    }
    if (h != 0) {
        ObjectAccess::presetHandle(*layer, AcDbHandle(h));
    }
    std::string ltName = linetype.empty() ? std::string() : nameToDb(linetype);
    const Acad::ErrorStatus es = tev::db::addFromFile(*layerTable_, guard.get());
    if (es != Acad::eOk)
        refuse(r, es);
    noteGiven(*guard.release());
    // A value not of its group's type is left out of the bytes kept, as for other records.
    ObjectAccess::setSource(*layer, keptBytes(r));
    if (mends_ != mendsBefore)
        mendedRecords_.push_back(layer);
    definedLayers_.push_back(layer);
    layers_.emplace(upper(name), layer->objectId());
    if (!ltName.empty())
        layerLinetypes_.emplace_back(layer->objectId(), ltName);
}

void Builder::readLinetype(const Record &r) {
    auto *lt = new AcDbLinetypeTableRecord;
    if (lt == nullptr)
        refuse(r, Acad::eOutOfMemory);
    std::unique_ptr<AcDbLinetypeTableRecord> guard(lt);
    std::string name;
    forEachDataTag(r.tags, [&](const Tag &t) {
        if (t.code == 2)
            name = nameToDb(t.value);
        else if (t.code == 3)
            (void)lt->setComments(toDb(t.value).c_str()); // a new record takes any text
        else if (t.code == 40)
            (void)lt->setPatternLength(real(t)); // and any length
    });
    if (name.empty())
        where_.fail(r.line, "LTYPE has no name (group 2)");
    const bool made = madeLinetypes_.erase(upper(name)) != 0;
    const std::size_t mendsBefore = mends_;
    if (!made && linetypes_.count(upper(name)) != 0)
        name = renamedTwice("linetype", name, linetypes_, r.line);
    (void)lt->setName(name.c_str()); // not empty (checked), and not yet in a table
    const std::uint64_t h = handleOf(r, Kind::Other, false);
    if (made) {
        AcDbLinetypeTableRecord *target = nullptr;
        if (acdbOpenObject(target, linetypes_.at(upper(name)), AcDb::kForWrite) != Acad::eOk)
            refuse(r, Acad::eInvalidInput);
        // What the new record took, given to the one made for it: nothing is refused.
        (void)target->setComments(lt->comments());
        (void)target->setPatternLength(lt->patternLength());
        (void)target->close(); // our own write open of a record no one else has open
        adoptRecord(*target, r, h);
        definedLinetypes_.push_back(target);
        adoptedLinetype_ = true;
        return;
    }
    if (h != 0) {
        ObjectAccess::presetHandle(*lt, AcDbHandle(h));
    }
    const Acad::ErrorStatus es = tev::db::addFromFile(*linetypeTable_, guard.get());
    if (es != Acad::eOk)
        refuse(r, es);
    noteGiven(*guard.release());
    // A value not of its group's type is left out of the bytes kept, as for other records.
    ObjectAccess::setSource(*lt, keptBytes(r));
    if (mends_ != mendsBefore)
        mendedRecords_.push_back(lt);
    definedLinetypes_.push_back(lt);
    linetypes_.emplace(upper(name), lt->objectId());
}

void Builder::readBlockRecord(const Record &r) {
    std::string name;
    forEachDataTag(r.tags, [&](const Tag &t) {
        if (t.code == 2)
            name = nameToDb(t.value);
    });
    if (name.empty())
        where_.fail(r.line, "BLOCK_RECORD has no name (group 2)");
    if (madeBlocks_.erase(upper(name)) != 0) {
        // A block or space an entity or a BLOCK needed before this table came.
        AcDbBlockTableRecord *made = blocks_.at(upper(name));
        const std::uint64_t h = handleOf(r, Kind::BlockRecord, false);
        adoptRecord(*made, r, h);
        if (auto *kept = dynamic_cast<BlockKept *>(ObjectAccess::kept(*made)))
            kept->implicit = false; // the file has its record now
        recordDefinesBlock(made);
        adoptedBlock_ = true;
        return;
    }
    // Defined twice: the later one is renamed, and the BLOCK that names it as its owner (or
    // the later BLOCK of the name) is its block.
    const std::string asRead = name;
    const bool twice = blocks_.count(upper(name)) != 0;
    if (twice)
        name = renamedTwice("block record", name, blocks_, r.line);
    auto *rec = new AcDbBlockTableRecord;
    if (rec == nullptr)
        refuse(r, Acad::eOutOfMemory);
    std::unique_ptr<AcDbBlockTableRecord> guard(rec);
    (void)rec->setName(name.c_str()); // not empty (checked), and not yet in a table
    const std::uint64_t h = handleOf(r, Kind::BlockRecord, false);
    if (h != 0) {
        ObjectAccess::presetHandle(*rec, AcDbHandle(h));
    }
    const Acad::ErrorStatus es = tev::db::addFromFile(*blockTable_, guard.get());
    if (es != Acad::eOk)
        refuse(r, es);
    noteGiven(*guard.release());
    // A value not of its group's type is left out of the bytes kept, as for other records.
    ObjectAccess::setSource(*rec, keptBytes(r));
    recordDefinesBlock(rec);
    blocks_.emplace(upper(name), rec);
    if (twice) {
        renamedBlocks_[upper(asRead)].push_back(rec);
        mendedRecords_.push_back(rec); // written with its new name
    }
    if (equalsNoCase(name, "*Model_Space"))
        tev::db::setLayoutName(*rec, "Model");
}

// --- names ---------------------------------------------------------------------------------

void Builder::putInFileOrder(AcDbSymbolTable &table, const std::vector<AcDbObject *> &defined) {
    std::vector<AcDbObject *> order = defined;
    const std::unordered_set<const AcDbObject *> seen(defined.begin(), defined.end());
    for (AcDbObject *rec : ObjectAccess::records(table))
        if (seen.count(rec) == 0)
            order.push_back(rec);
    tev::db::reorderRecords(table, std::move(order));
}

void Builder::adoptRecord(AcDbObject &made, const Record &r, std::uint64_t handle) {
    const std::uint64_t held = made.objectId().handle().value();
    if (const auto it = lent_.find(held); it != lent_.end() && it->second == &made)
        lent_.erase(it);
    if (handle != 0) {
        // handleOf moved whatever held the file's handle, this record included.
        if (!ObjectAccess::rehandle(made, AcDbHandle(handle)))
            where_.fail(r.line,
                        std::string(r.type) + " cannot take handle " + formatHandle(handle));
        ObjectAccess::presetHandle(made, AcDbHandle(handle));
    }
    noteGiven(made);
    ObjectAccess::setSource(made, keptBytes(r));
}

AcDbObjectId Builder::layerId(std::string_view fileName, std::uint32_t line) {
    const std::string name = nameToDb(fileName);
    auto it = layers_.find(upper(name));
    AcDbObjectId id;
    if (it != layers_.end()) {
        id = it->second;
    } else {
        // Writers may leave a used layer out of the table; it is made with the defaults.
        auto *layer = new AcDbLayerTableRecord;
        if (layer == nullptr || layer->setName(name.c_str()) != Acad::eOk) {
            delete layer;
            where_.fail(line, "cannot make layer \"" + name + "\"");
        }
        if (tev::db::addFromFile(*layerTable_, layer) != Acad::eOk) {
            delete layer;
            where_.fail(line, "cannot make layer \"" + name + "\"");
        }
        id = layer->objectId();
        lend(layer);
        layers_.emplace(upper(name), id);
        madeLayers_.insert(upper(name));
    }
    return id;
}

AcDbObjectId Builder::linetypeId(std::string_view fileName, std::uint32_t line) {
    const std::string name = nameToDb(fileName);
    auto it = linetypes_.find(upper(name));
    if (it != linetypes_.end())
        return it->second;
    auto *lt = new AcDbLinetypeTableRecord;
    if (lt == nullptr || lt->setName(name.c_str()) != Acad::eOk ||
        tev::db::addFromFile(*linetypeTable_, lt) != Acad::eOk) {
        delete lt;
        where_.fail(line, "cannot make linetype \"" + name + "\"");
    }
    lend(lt);
    linetypes_.emplace(upper(name), lt->objectId());
    madeLinetypes_.insert(upper(name));
    return lt->objectId();
}

AcDbBlockTableRecord *Builder::blockRecord(std::string_view dbName, bool implicit) {
    auto it = blocks_.find(upper(dbName));
    if (it != blocks_.end())
        return it->second;
    auto *rec = new AcDbBlockTableRecord;
    if (rec == nullptr || rec->setName(std::string(dbName).c_str()) != Acad::eOk ||
        tev::db::addFromFile(*blockTable_, rec) != Acad::eOk) {
        delete rec;
        throw DxfError(where_.name() + ": cannot make block \"" + std::string(dbName) + "\"");
    }
    lend(rec);
    madeBlocks_.insert(upper(dbName));
    if (implicit) {
        auto kept = std::make_unique<BlockKept>();
        kept->implicit = true;
        ObjectAccess::setKept(*rec, std::move(kept));
    }
    blocks_.emplace(upper(dbName), rec);
    return rec;
}

AcDbObjectId Builder::blockNamed(std::string_view fileName, std::uint32_t line) {
    // The block may come later in the file (R12 has no block records): made by name now.
    const std::string blockName = nameToDb(fileName);
    if (begunBlocks_.count(upper(blockName)) == 0)
        insertedBefore_.try_emplace(upper(blockName), blockName, line);
    return blockRecord(blockName, /*implicit=*/false)->objectId();
}

AcDbBlockTableRecord *Builder::space(bool paper) {
    AcDbBlockTableRecord *&rec = spaces_[paper ? 1 : 0];
    if (rec == nullptr)
        rec = blockRecord(paper ? "*Paper_Space" : "*Model_Space", /*implicit=*/true);
    return rec;
}

AcDbObjectId Builder::spelledId(std::unordered_map<std::string_view, AcDbObjectId> &seen,
                                const Tag &t,
                                AcDbObjectId (Builder::*find)(std::string_view, std::uint32_t)) {
    if (auto it = seen.find(t.value); it != seen.end())
        return it->second;
    const AcDbObjectId id = (this->*find)(t.value, t.line);
    seen.emplace(t.value, id); // the tag's value is a view into the source: it stays
    return id;
}

// --- blocks --------------------------------------------------------------------------------

void Builder::blockBegin(const Record &r) {
    std::string name;
    AcGePoint3d base;
    forEachDataTag(r.tags, [&](const Tag &t) {
        switch (t.code) {
        case 2:
            name = nameToDb(t.value);
            break;
        case 10:
            base.x = real(t);
            break;
        case 20:
            base.y = real(t);
            break;
        case 30:
            base.z = real(t);
            break;
        default:
            break;
        }
    });
    const bool nameless = name.empty();
    if (nameless)
        name = nameForBlock(r);
    // A BLOCK of a block record defined twice and renamed is written anew, with the new name.
    const AcDbBlockTableRecord *renamed = nameless ? nullptr : renamedBlockOf(r, name);
    if (renamed != nullptr)
        name = renamed->nameRef();
    // The block is known by its first name while the file is read and by its last here: a
    // second name would make the two disagree, and the block be written twice.
    bool named = false;
    for (std::size_t i = 1; i < r.tags.size(); ++i) {
        if (r.tags[i].code != 2)
            continue;
        if (named)
            where_.fail(r.tags[i].line + 1, "BLOCK has a second name (group 2)");
        named = true;
    }
    // Two spellings of one name (an escape and its byte, say) are one block to the
    // database: a second BLOCK of it would be written as one.
    if (!begunBlocks_.insert(upper(name)).second)
        where_.fail(r.line, "block \"" + name + "\" is defined twice");
    handleOf(r, Kind::Other, /*kept=*/true);
    const bool madeEarlier = blocks_.count(upper(name)) != 0; // by an INSERT, say
    block_ = blockRecord(name, /*implicit=*/false);
    // An R12 file's blocks come in the order of their BLOCKs, also those an INSERT named
    // before them (a save may put that INSERT first).
    if (blockDefinesBlock(block_) && madeEarlier)
        adoptedBlock_ = true;
    if (base.x != 0 || base.y != 0 || base.z != 0) {
        const std::string_view source = ObjectAccess::source(*block_);
        AcDbBlockTableRecord *rec = nullptr;
        if (acdbOpenObject(rec, block_->objectId(), AcDb::kForWrite) == Acad::eOk) {
            (void)rec->setOrigin(base); // any point, under our own write open
            (void)rec->close();
        }
        ObjectAccess::setSource(*block_, source);
    }
    auto kept = std::make_unique<BlockKept>();
    // A block that had no name is written anew, with the one it was given.
    if (!nameless && renamed == nullptr)
        kept->blockBegin = keptBytes(r);
    blockKept_ = kept.get();
    ObjectAccess::setKept(*block_, std::move(kept));
}

AcDbBlockTableRecord *Builder::renamedBlockOf(const Record &r, const std::string &name) {
    const auto it = renamedBlocks_.find(upper(name));
    if (it == renamedBlocks_.end() || it->second.empty())
        return nullptr;
    std::uint64_t owner = 0;
    OwnerScan scan;
    for (std::size_t i = 1; i < r.tags.size(); ++i)
        if (scan.isOwner(r.tags[i])) {
            (void)toHandle(trimBlanks(r.tags[i].value), owner); // none (0) for a bad one
            break;
        }
    auto &waiting = it->second;
    auto pick = std::find_if(waiting.begin(), waiting.end(), [&](const AcDbObject *rec) {
        return owner != 0 && rec->objectId().handle().value() == owner;
    });
    // The first BLOCK of the name is the first record's, unless its owner says otherwise.
    if (pick == waiting.end()) {
        if (begunBlocks_.count(upper(name)) == 0)
            return nullptr;
        pick = waiting.begin();
    }
    AcDbBlockTableRecord *rec = *pick;
    waiting.erase(pick);
    return rec;
}

// The name of a BLOCK that has none: its block record's (the one its owner group names),
// when that record has no BLOCK yet, or a name made from its line.
std::string Builder::nameForBlock(const Record &r) {
    std::string name;
    std::uint64_t owner = 0;
    forEachDataTag(r.tags, [&](const Tag &t) {
        if (t.code == 330 && owner == 0)
            (void)toHandle(trimBlanks(t.value), owner); // none (0) for a bad one
    });
    AcDbBlockTableRecord *rec = nullptr;
    const AcDbObjectId id =
        owner != 0 ? tev::db::lookupHandle(*db_, AcDbHandle(owner)) : AcDbObjectId();
    if (!id.isNull() && acdbOpenObject(rec, id, AcDb::kForRead) == Acad::eOk) {
        if (begunBlocks_.count(upper(rec->nameRef())) == 0)
            name = rec->nameRef();
        (void)rec->close(); // a read open of our own
    }
    if (name.empty()) {
        for (int n = 0; name.empty() || blocks_.count(upper(name)) != 0; ++n)
            name = "UNNAMED_" + std::to_string(r.line) + (n == 0 ? "" : "_" + std::to_string(n));
    }
    where_.repair(r.line, "BLOCK has no name (group 2)", "named \"" + name + "\"");
    return name;
}

void Builder::blockEnd(const Record &r) {
    handleOf(r, Kind::Other, /*kept=*/true);
    if (!blockKept_->blockBegin.empty())
        blockKept_->blockEnd = keptBytes(r);
    block_ = nullptr;
    blockKept_ = nullptr;
}

// --- entities ------------------------------------------------------------------------------

bool Builder::readCommon(const Record &r, AcDbEntity &ent) {
    const std::size_t mendsBefore = mends_;
    bool paper = false;
    bool sawLayer = false;
    // The AcDbEntity part holds them; some writers put them after the class's subclass
    // marker instead, where they are taken too (but for a class whose own data uses the
    // codes). In a file without subclass markers the whole entity is one part.
    bool inEntityPart = true, embedded = false, stray = false, trueColour = false;
    std::string_view marker;
    std::size_t colour = kNoTag, layer = kNoTag; // the groups taken, by index in r.tags
    forEachDataTag(r.tags, [&](const Tag &t) {
        if (t.code == 100 || t.code == 101) {
            sawSubclassMarker_ = true;
            inEntityPart = t.code == 100 && trimBlanks(t.value) == "AcDbEntity";
            marker = t.value;
            embedded = t.code == 101;
            return;
        }
        // A true colour (and its name) after a subclass marker is the entity's too, unless
        // the class's own data uses the code.
        if ((t.code == 420 || t.code == 430) &&
            (inEntityPart || !subclassOwnsCode(marker, embedded, t.code))) {
            trueColour = true;
            stray = stray || !inEntityPart;
            if (t.code == 420) {
                const std::int64_t rgb = integer(t);
                AcCmColor c;
                // An index in range and any red, green and blue: nothing here is refused.
                (void)c.setColorIndex(ent.colorIndex() <= 256 ? ent.colorIndex() : 256);
                (void)c.setRGB(static_cast<Adesk::UInt8>(rgb >> 16),
                               static_cast<Adesk::UInt8>(rgb >> 8), static_cast<Adesk::UInt8>(rgb));
                (void)ent.setColor(c, false);
            }
            return;
        }
        if (!isEntityPartCode(t.code) ||
            (!inEntityPart && subclassOwnsCode(marker, embedded, t.code)))
            return;
        if (!inEntityPart) {
            // A class's own group that happens to share the code is no common group.
            std::int64_t i = 0;
            double d = 0;
            const std::string_view v = trimBlanks(t.value);
            if (t.code != 8 && t.code != 6 &&
                (t.code == 48 ? !toDouble(v, d) : !toInteger(v, -32768, 32767, i)))
                return;
            stray = true;
        }
        switch (t.code) {
        case 8:
            if (!sawLayer) {
                // A layer of this drawing, given to a new entity: never refused.
                (void)ent.setLayer(spelledId(layerBySpelling_, t, &Builder::layerId),
                                   /*doSubents=*/false);
                layer = static_cast<std::size_t>(&t - r.tags.data());
            }
            sawLayer = true;
            break;
        case 6:
            // A linetype of this drawing, given to a new entity: never refused.
            (void)ent.setLinetype(spelledId(linetypeBySpelling_, t, &Builder::linetypeId), false);
            break;
        case 62: {
            colour = static_cast<std::size_t>(&t - r.tags.data());
            // The index beside a true colour is what older readers show: the true colour stays.
            AcCmColor c = ent.color();
            const std::int64_t value = integer(t);
            if (value < 0 || value > 256) {
                mend(t.line + 1,
                     std::string(r.type) + " has colour " + std::to_string(value) +
                         " (group 62), which is no colour",
                     "taken as BYLAYER");
                break; // the entity keeps the colour it has
            }
            const auto index = static_cast<Adesk::UInt16>(value);
            const bool rgb = c.isByColor();
            const Adesk::UInt8 red = c.red(), green = c.green(), blue = c.blue();
            (void)c.setColorIndex(index); // 0..256, checked above
            if (rgb)
                (void)c.setRGB(red, green, blue); // any red, green and blue
            (void)ent.setColor(c, false);         // a colour in range, to a new entity
            break;
        }
        case 370:
            if (ent.setLineWeight(static_cast<Adesk::Int16>(integer(t)), false) != Acad::eOk)
                mend(t.line + 1,
                     std::string(r.type) + " has lineweight " + std::string(trimBlanks(t.value)) +
                         " (group 370), which is no lineweight",
                     "taken as BYLAYER");
            break;
        case 48:
            if (ent.setLinetypeScale(real(t), false) != Acad::eOk)
                mend(t.line + 1,
                     std::string(r.type) + " has linetype scale " +
                         std::string(trimBlanks(t.value)) + " (group 48), not above 0",
                     "taken as 1");
            break;
        case 60:
            (void)ent.setVisibility(integer(t) == 0, false); // either is a visibility
            break;
        case 67:
            paper = integer(t) == 1;
            break;
        default:
            break;
        }
    });
    // Where a colour-only change will be written into the entity's original bytes: nowhere
    // for an entity whose colour groups are not all in one place (it is written anew).
    ColourPlace place;
    if (!stray && !trueColour && colourPlaceAt(r.tags, colour, layer, r.begin, r.end, place))
        ObjectAccess::setColourPlace(ent, packColourPlace(place));
    if (mends_ != mendsBefore)
        mended_.push_back(&ent);
    return paper;
}

// The class of an entity the database models, new; nullptr for a kind it keeps as bytes
// (a mesh is a POLYLINE too). Only the file's type and polyline flags are looked at here:
// each class reads its own groups.
AcDbEntity *newEntityOf(const EntityGroup &g, bool &modelled) {
    const std::string_view type = g.main.type;
    modelled = true;
    if (type == "LINE")
        return new AcDbLine;
    if (type == "LWPOLYLINE")
        return new AcDbPolyline;
    if (type == "CIRCLE")
        return new AcDbCircle;
    if (type == "ARC")
        return new AcDbArc;
    if (type == "TEXT")
        return new AcDbText;
    if (type == "INSERT")
        return new AcDbBlockReference;
    if (type == "POLYLINE") {
        std::int64_t flags = 0;
        forEachDataTag(g.main.tags, [&](const Tag &t) {
            if (t.code == 70)
                (void)toInteger(trimBlanks(t.value), -32768, 32767, flags); // checked by its class
        });
        if ((flags & (16 | 64)) == 0)
            return (flags & 8) != 0 ? static_cast<AcDbEntity *>(new AcDb3dPolyline)
                                    : new AcDb2dPolyline;
    }
    modelled = false;
    return nullptr;
}

// The vertex a polyline's VERTEX record makes: a 2D one starts with its polyline's widths.
AcDb2dVertex *newVertexOf(const AcDb2dPolyline &pl) {
    return new AcDb2dVertex(AcGePoint3d(), 0, pl.defaultStartWidth(), pl.defaultEndWidth());
}
AcDb3dPolylineVertex *newVertexOf(const AcDb3dPolyline &) {
    return new AcDb3dPolylineVertex;
}

void Builder::readClassGroups(const Record &r, AcDbObject &obj) {
    const std::size_t before = mends_;
    RecordSource src(*this, r);
    obj.dxfInClassGroups(src);
    if (mends_ != before)
        mended_.push_back(&obj);
}

template <class Polyline> void Builder::readVertices(Polyline &pl, const EntityGroup &g) {
    for (const Record &v : g.children) {
        auto *vertex = newVertexOf(pl);
        if (vertex == nullptr)
            refuse(v, Acad::eOutOfMemory);
        std::unique_ptr<std::remove_pointer_t<decltype(vertex)>> guard(vertex);
        readClassGroups(v, *vertex);
        (void)readCommon(v, *vertex); // a vertex is in its polyline's space, whatever its 67 says
        if (const std::uint64_t h = handleOf(v, Kind::Other, false))
            ObjectAccess::presetHandle(*vertex, AcDbHandle(h));
        noteOwner(v, true);
        if (pl.appendVertex(vertex) != Acad::eOk)
            refuse(v, Acad::eOutOfMemory);
        (void)guard.release(); // the polyline's now
    }
}

AcDbEntity *Builder::makeEntity(const EntityGroup &g, bool &modelled) {
    AcDbEntity *ent = newEntityOf(g, modelled);
    if (!modelled)
        return nullptr;
    if (ent == nullptr)
        refuse(g.main, Acad::eOutOfMemory);
    std::unique_ptr<AcDbEntity> guard(ent);
    readClassGroups(g.main, *ent);
    if (auto *pl2 = AcDb2dPolyline::cast(ent))
        readVertices(*pl2, g);
    else if (auto *pl3 = AcDb3dPolyline::cast(ent))
        readVertices(*pl3, g);
    return guard.release();
}

void Builder::entity(const EntityGroup &g, bool inBlock) {
    const Record &r = g.main;
    const bool isPolyline = r.type == "POLYLINE";
    const Kind kind = isPolyline ? Kind::Polyline : r.type == "INSERT" ? Kind::Insert : Kind::Other;
    // The entity's handle before its vertices': handles are noted in file order, which
    // keeps them mostly sorted (the check at the end sorts them).
    const std::uint64_t handle = handleOf(r, kind, false);
    bool modelled = false;
    AcDbEntity *ent = makeEntity(g, modelled);
    if (!modelled) {
        ent = new AcDbUnknownEntity(std::string(r.type).c_str());
        if (ent == nullptr)
            refuse(r, Acad::eOutOfMemory);
    }
    std::unique_ptr<AcDbEntity> guard(ent);
    const bool paper = readCommon(r, *ent);
    if (handle != 0)
        ObjectAccess::presetHandle(*ent, AcDbHandle(handle));
    noteOwner(r, false);
    // Children the database does not hold (attributes, the vertices of meshes) stay bytes.
    const bool childrenKept = !(modelled && isPolyline);
    for (const Record &c : g.children) {
        if (childrenKept) {
            handleOf(c, Kind::Other, true);
            noteOwner(c, true, /*kept=*/true, handle);
        }
    }
    AcDbSequenceEnd *seqEnd = nullptr;
    if (g.seqend != nullptr) {
        if (childrenKept) {
            handleOf(*g.seqend, Kind::Other, true);
            noteOwner(*g.seqend, true, /*kept=*/true, handle);
        } else {
            seqEnd = new AcDbSequenceEnd;
            if (seqEnd == nullptr)
                refuse(*g.seqend, Acad::eOutOfMemory);
            std::unique_ptr<AcDbSequenceEnd> seqEndGuard(seqEnd);
            (void)readCommon(*g.seqend, *seqEnd); // in its polyline's space, as a vertex
            if (const std::uint64_t h = handleOf(*g.seqend, Kind::Other, false))
                ObjectAccess::presetHandle(*seqEnd, AcDbHandle(h));
            noteOwner(*g.seqend, true);
            if (!ObjectAccess::setSequenceEnd(*ent, seqEnd))
                refuse(*g.seqend, Acad::eInvalidInput);
            (void)seqEndGuard.release(); // the polyline's now
        }
    }
    if (checkOnly_) {
        mended_.clear();
        return; // every check is done: the guards drop the entity and what it owns
    }
    AcDbBlockTableRecord *rec = inBlock ? block_ : space(paper);
    const Acad::ErrorStatus es = tev::db::appendFromFile(*rec, ent);
    if (es != Acad::eOk)
        refuse(r, es);
    noteGiven(*guard.release());
    if (const AcDbOwnedSequence *seq = ObjectAccess::sequence(*ent)) {
        for (AcDbObject *item : seq->items)
            noteGiven(*item);
        if (seq->seqEnd != nullptr)
            noteGiven(*seq->seqEnd);
    }
    // Untouched, the entity is written back from these bytes: its own record, or the whole
    // group when the database keeps no objects for its children.
    // An object the file gave no handle (in a version that has handles) is written from the
    // database, with the handle it has now; its bytes would leave it without one again.
    auto keep = [&](AcDbObject &obj, const Record &rec, std::string_view bytes) {
        ObjectAccess::setSource(obj, bytes);
        if (!doc_->r12() && rec.find(5).empty())
            ObjectAccess::markModified(obj);
    };
    // A value the save could not write back as it is (not of its group's type) is left out
    // of the bytes, as in tables and objects.
    auto fit = [&](std::size_t begin, std::size_t end) {
        return leftOut_.empty() ? view(begin, end) : withoutLeftOut(begin, end);
    };
    if (childrenKept) {
        (void)noteUnfit(r);
        for (const Record &c : g.children)
            (void)noteUnfit(c);
        if (g.seqend != nullptr)
            (void)noteUnfit(*g.seqend);
        keep(*ent, r, fit(g.begin, g.end));
        const auto unhandled = [](const Record &c) { return c.find(5).empty(); };
        if (std::any_of(g.children.begin(), g.children.end(), unhandled) ||
            (g.seqend != nullptr && unhandled(*g.seqend)))
            unhandledChildren_.push_back(ent);
    } else {
        (void)noteUnfit(r);
        keep(*ent, r, fit(r.begin, r.end));
        const AcDbOwnedSequence *seq = ObjectAccess::sequence(*ent);
        for (std::size_t i = 0; i < seq->items.size() && i < g.children.size(); ++i) {
            (void)noteUnfit(g.children[i]);
            keep(*seq->items[i], g.children[i], fit(g.children[i].begin, g.children[i].end));
        }
        if (seq->seqEnd != nullptr && g.seqend != nullptr) {
            (void)noteUnfit(*g.seqend);
            keep(*seq->seqEnd, *g.seqend, fit(g.seqend->begin, g.seqend->end));
        }
    }
    // What was mended is written as the database holds it, as the repair note says.
    for (AcDbObject *obj : mended_)
        ObjectAccess::markModified(*obj);
    mended_.clear();
}

void Builder::object(std::string_view, const Record &r) {
    // A CLASS record has no handle; whatever else stands among the classes may (a record
    // there with a group 5 has a handle as any record, which the save's check counts).
    handleOf(r, Kind::Other, /*kept=*/true);
    // A class is defined once, by its name: a later definition is left out.
    if (section_->kind == SectionKind::Classes && equalsNoCase(trimBlanks(r.type), "CLASS")) {
        const std::string name = upper(trimBlanks(r.find(1)));
        if (!name.empty() && !classNames_.insert(name).second) {
            where_.repair(r.line, "class " + name + " is defined twice", "the later one left out");
            leftOut_.push_back({r.begin, r.end, {}});
            return;
        }
    }
    // A damaged section end leaves what follows among the classes: their values are checked
    // as any record's. The section's bytes are copied without what does not fit.
    (void)noteUnfit(r);
}

void Builder::endOfFile(const Record &eof) {
    handleOf(eof, Kind::Other, /*kept=*/true);
    doc_->eof = keptBytes(eof);
}

std::unique_ptr<AcDbDatabase> Builder::finish(const StructureFacts &facts) {
    doc_->crlf = facts.crlf;
    doc_->finalNewline = facts.finalNewline;
    if (adoptedLayer_)
        putInFileOrder(*layerTable_, definedLayers_);
    if (adoptedLinetype_)
        putInFileOrder(*linetypeTable_, definedLinetypes_);
    if (adoptedBlock_) {
        std::vector<AcDbObject *> order = definedBlocks_;
        for (AcDbObject *rec : blocksByBlock_)
            if (blockByRecord_.count(rec) == 0)
                order.push_back(rec);
        putInFileOrder(*blockTable_, order);
    }
    if (doc_->codePage.empty() && !doc_->r12())
        doc_->codePage = "ANSI_1252";
    for (const auto &[key, use] : insertedBefore_)
        if (begunBlocks_.count(key) == 0)
            where_.repair(use.second, "INSERT of block \"" + use.first + "\", which does not exist",
                          "an empty block of that name made");
    // Every drawing has both spaces and layer 0 (an R12 file may name none of them).
    (void)space(false); // made when missing; the record itself is not needed here
    (void)space(true);
    if (layers_.count("0") == 0)
        (void)layerId("0", 0); // made; its id is not needed here
    // Layers name their linetypes; the LTYPE table may come after the LAYER table.
    for (const auto &[layer, ltName] : layerLinetypes_) {
        AcDbLayerTableRecord *rec = nullptr;
        if (acdbOpenObject(rec, layer, AcDb::kForWrite) != Acad::eOk)
            continue;
        const std::string_view src = ObjectAccess::source(*rec);
        auto it = linetypes_.find(upper(ltName));
        AcDbObjectId lt =
            it != linetypes_.end() ? it->second : linetypeId(codec_.toFile(ltName), 0);
        (void)rec->setLinetypeObjectId(lt); // a layer's setters take any linetype
        (void)rec->close();
        ObjectAccess::setSource(*rec, src);
    }
    // Every layer has a linetype: the writer names Continuous for one that has none, so the
    // drawing holds it already and reads back the same.
    std::vector<AcDbObjectId> bare;
    for (const AcDbObject *obj : ObjectAccess::records(*layerTable_)) {
        const auto *layer = AcDbLayerTableRecord::cast(obj);
        if (layer != nullptr && layer->linetypeObjectId().isNull())
            bare.push_back(layer->objectId());
    }
    if (!bare.empty()) {
        const AcDbObjectId continuous = linetypeId("Continuous", 0);
        for (AcDbObjectId id : bare) {
            AcDbLayerTableRecord *rec = nullptr;
            if (acdbOpenObject(rec, id, AcDb::kForWrite) != Acad::eOk)
                continue;
            const std::string_view src = ObjectAccess::source(*rec);
            (void)rec->setLinetypeObjectId(continuous); // as above
            (void)rec->close();
            ObjectAccess::setSource(*rec, src);
        }
    }
    // The header's current settings, now that their tables are known.
    if (!clayer_.empty()) {
        auto it = layers_.find(upper(nameToDb(clayer_)));
        if (it != layers_.end())
            (void)db_->setClayer(it->second); // a layer of this drawing
    } else {
        (void)db_->setClayer(layers_.at("0")); // a layer of this drawing
    }
    if (!celtype_.empty()) {
        auto it = linetypes_.find(upper(nameToDb(celtype_)));
        if (it != linetypes_.end())
            (void)db_->setCeltype(it->second); // a linetype of this drawing
    }
    if (haveCecolor_) {
        AcCmColor c;
        if (cecolor_ >= 0 && cecolor_ <= 256) {
            (void)c.setColorIndex(static_cast<Adesk::UInt16>(cecolor_));
            (void)db_->setCecolor(c); // 0..256: a colour
        } else {
            mend(cecolorLine_,
                 "$CECOLOR is " + std::to_string(cecolor_) + " (group 62), which is no colour",
                 "taken as BYLAYER");
        }
    }
    if (tilemode_ >= 0)
        (void)db_->setTilemode(tilemode_ == 1); // either is a mode
    // A finite angle (the reader refuses any other number).
    (void)db_->setSnapAngle(snapDegrees_ * kDegree);
    if (view_.height > 0)
        tev::db::viewState(*db_).current = tev::db::viewState(*db_).asRead = view_;
    tev::db::draftingState(*db_).current = tev::db::draftingState(*db_).asRead = drafting_;

    // Handles: unique, and owners that exist and are of the right kind.
    sortByHandle(handles_);
    rehandleDuplicates();
    // Most owners are one of a few block records: the last one found is tried first.
    auto it = handles_.end();
    for (const OwnerUse &o : owners_) {
        if (it == handles_.end() || it->handle != o.owner)
            it = std::lower_bound(handles_.begin(), handles_.end(), o.owner,
                                  [](const HandleUse &h, std::uint64_t v) { return h.handle < v; });
        if (it == handles_.end() || it->handle != o.owner) {
            // An object the database holds is written with the owner it has; one kept as
            // bytes would keep the owner that is not there.
            if (o.kept)
                where_.fail(o.line, "owner " + formatHandle(o.owner) + " does not exist");
            where_.repair(o.line, "owner " + formatHandle(o.owner) + " does not exist",
                          "given the block record, polyline or insert it is in");
            lostOwners_.push_back(o.owner);
            continue;
        }
        const bool fine = it->kind == Kind::BlockRecord ||
                          (o.child && (it->kind == Kind::Polyline || it->kind == Kind::Insert));
        if (fine)
            continue;
        // The structure the entity stands in says whose it is: the database placed it there,
        // and it is written with that owner. One kept as bytes would keep the wrong one.
        const std::string fault = "owner " + formatHandle(o.owner) + " is not a block record" +
                                  std::string(o.child ? ", polyline or insert" : "");
        if (o.kept)
            where_.fail(o.line, fault);
        where_.repair(o.line, fault, "given the block record, polyline or insert it is in");
        lostOwners_.push_back(o.owner);
    }
    if (!lostOwners_.empty())
        rewriteOwnedBy(lostOwners_);
    // The next handle is above every handle of the file and of what the reader made; the
    // handles the reader's own objects held for a while before a file took them are not
    // counted, so that a file read twice gets the same seed.
    std::uint64_t seed = std::max<std::uint64_t>(handseed_, 1);
    if (!handles_.empty())
        seed = std::max(seed, handles_.back().handle + 1);
    seed = std::max(seed, maxGiven_ + 1);
    // A reference to an object the file lacks must not come to name a new object.
    seed = std::max(seed, facts.largestHandleNamed + 1);
    for (const auto &held : lent_)
        if (!isUnplacedTable(held.second))
            seed = std::max(seed, held.first + 1);
    // A table the file gives no handle is written back without one: whatever handle it held
    // while the file was read (each handle the file took from it moved it up) must not raise
    // the seed, or the seed would move with every save. It takes the lowest handle free.
    for (AcDbObject *table : unplacedTables_) {
        const std::uint64_t h = lowestFreeHandle(table);
        if (h >= seed)
            seed = h + 1;
        (void)ObjectAccess::rehandle(*table, AcDbHandle(h)); // free: checked just now
    }
    // A file of entities alone whose records are of the R13 form is saved whole in that form
    // (a header, tables and blocks, handles and owners): its entities cannot be written as
    // R12 ones, and R13 records in an R12 file are no file at all.
    const bool headerless =
        std::none_of(doc_->sections.begin(), doc_->sections.end(),
                     [](const SectionKept &s) { return s.kind == SectionKind::Header; });
    if (headerless && sawSubclassMarker_)
        doc_->acadver = "AC1015";
    if (!doc_->r12() || seedWritten_)
        for (AcDbObject *ent : unhandledChildren_)
            handleChildren(*ent, seed);
    tev::db::setHandseed(*db_, AcDbHandle(seed));
    if (!doc_->r12() || seedWritten_)
        for (AcDbObject *obj : unhandled_)
            ObjectAccess::markModified(*obj);
    for (AcDbObject *obj : mendedRecords_)
        ObjectAccess::markModified(*obj);
    ObjectAccess::setKept(*blockTable_, std::move(doc_));
    return std::move(db_);
}

void Builder::handleChildren(AcDbObject &ent, std::uint64_t &seed) {
    const std::string_view src = ObjectAccess::source(ent);
    static const Locator kSource("<kept source>");
    TagReader reader(src, kSource, 1, 0);
    std::vector<Tag> tags;
    for (Tag t; reader.next(t);)
        tags.push_back(t);
    std::string &bytes = doc_->mendedBytes.emplace_back();
    TagWriter w(bytes, doc_->crlf);
    const std::uint64_t parent = ent.objectId().handle().value();
    std::size_t records = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const std::size_t end = i + 1 < tags.size() ? tags[i + 1].offset : src.size();
        bytes.append(src.substr(tags[i].offset, end - tags[i].offset));
        if (tags[i].code != 0 || records++ == 0)
            continue;
        bool handled = false, owned = false;
        OwnerScan owner;
        for (std::size_t j = i + 1; j < tags.size() && tags[j].code != 0; ++j) {
            handled = handled || tags[j].code == 5;
            owned = owned || owner.isOwner(tags[j]);
        }
        if (handled)
            continue;
        doc_->keptHandles.push_back(seed);
        w.handle(5, seed++);
        if (!owned && !doc_->r12())
            w.handle(330, parent);
    }
    const bool modified = ObjectAccess::modifiedSinceRead(ent);
    ObjectAccess::setSource(ent, bytes);
    if (modified)
        ObjectAccess::markModified(ent);
}

// A handle given twice: the later object keeps the fresh handle the database gave it and is
// written from the database with it, its vertices (which name it as their owner) too. Only an
// entity the database holds can move; one kept as bytes would keep the handle it has.
// Calls f with every entity of every block record, and with a polyline's or reference's
// vertices, attributes and sequence end.
template <class F> void Builder::forEachEntityObject(F &&f) {
    for (AcDbObject *recObj : ObjectAccess::records(*blockTable_)) {
        auto *rec = AcDbBlockTableRecord::cast(recObj);
        if (rec == nullptr)
            continue;
        for (AcDbObject *e : ObjectAccess::entityList(*rec)) {
            if (e == nullptr)
                continue;
            f(e);
            if (AcDbOwnedSequence *seq = ObjectAccess::sequence(*e)) {
                for (AcDbObject *item : seq->items)
                    f(item);
                if (seq->seqEnd != nullptr)
                    f(seq->seqEnd);
            }
        }
    }
}

void Builder::rehandleDuplicates() {
    std::size_t first = 0;
    while (first + 1 < handles_.size() && handles_[first + 1].handle != handles_[first].handle)
        ++first;
    if (first + 1 >= handles_.size())
        return; // none: the common case costs one pass
    // The entities that took another handle than the one they spell, by the one they spell.
    std::unordered_map<std::uint64_t, std::vector<AcDbObject *>> moved;
    const auto note = [&](AcDbObject *obj) {
        const std::uint64_t preset = ObjectAccess::presetHandleOf(*obj).value();
        if (preset != 0 && preset != obj->objectId().handle().value())
            moved[preset].push_back(obj);
    };
    forEachEntityObject(note);
    for (std::size_t i = first; i < handles_.size();) {
        std::size_t end = i + 1;
        while (end < handles_.size() && handles_[end].handle == handles_[i].handle)
            ++end;
        if (end - i == 1) {
            i = end;
            continue;
        }
        std::vector<AcDbObject *> &objs = moved[handles_[i].handle];
        // In the order the database gave them their handles: the order they were read.
        std::sort(objs.begin(), objs.end(), [](const AcDbObject *a, const AcDbObject *b) {
            return a->objectId().handle().value() < b->objectId().handle().value();
        });
        for (std::size_t j = i + 1; j < end; ++j) {
            const std::string fault = "duplicate handle " + formatHandle(handles_[j].handle) +
                                      " (also at " + where_.at(handles_[i].line) + ")";
            if (handles_[i].kept || handles_[j].kept || j - i > objs.size())
                where_.fail(handles_[j].line, fault);
            AcDbObject *obj = objs[j - i - 1];
            where_.repair(handles_[j].line, fault,
                          "the later object given handle " +
                              formatHandle(obj->objectId().handle().value()));
            ObjectAccess::markModified(*obj);
            if (AcDbOwnedSequence *seq = ObjectAccess::sequence(*obj)) {
                for (AcDbObject *item : seq->items)
                    ObjectAccess::markModified(*item);
                if (seq->seqEnd != nullptr)
                    ObjectAccess::markModified(*seq->seqEnd);
            }
        }
        i = end;
    }
}

// Marks every entity (and vertex) whose bytes name one of `owners` modified: it is written
// from the database, with the owner it has there.
void Builder::rewriteOwnedBy(const std::vector<std::uint64_t> &owners) {
    const auto named = [&](const AcDbObject &obj) {
        const std::uint64_t h = ownerInSource(ObjectAccess::source(obj));
        return h != 0 && std::find(owners.begin(), owners.end(), h) != owners.end();
    };
    forEachEntityObject([&](AcDbObject *obj) {
        if (named(*obj))
            ObjectAccess::markModified(*obj);
    });
}

} // namespace

std::unique_ptr<AcDbDatabase> readDatabase(std::shared_ptr<const SourceBuffer> source,
                                           const Locator &where, const Limits &limits,
                                           bool checkOnly) {
    const std::string_view text = source->text;
    const SourceBuffer *buffer = source.get(); // the builder keeps it alive
    Builder builder(std::move(source), where, checkOnly);
    StructureReader reader(text, where, limits);
    // What is read is a view or a copy by now: the file's pages behind the reader can go.
    const std::function<void(std::size_t)> passed = [buffer,
                                                     size = text.size()](std::size_t offset) {
        reportProgress(offset, size);
        buffer->doneBefore(offset);
    };
    if (text.size() >= limits.pipelineFromBytes) {
        readPipelined(reader, builder, passed);
    } else {
        reader.setPassedHook(passed);
        reader.read(builder);
    }
    return builder.finish(reader.facts());
}

const DocumentKept *documentOf(AcDbDatabase &db) {
    AcDbBlockTable *bt = nullptr;
    if (db.getBlockTable(bt, AcDb::kForRead) != Acad::eOk)
        return nullptr;
    const DocumentKept *doc = dynamic_cast<const DocumentKept *>(ObjectAccess::kept(*bt));
    (void)bt->close(); // a read open of our own: closing cannot fail
    return doc;
}

} // namespace dxf
