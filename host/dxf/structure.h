// structure.h - the second DXF layer: sections, tables, blocks, entities and objects, each
// object with its tags and the byte span it occupies in the source, handed to a sink in file
// order as the reader meets them.
//
// The reader is a single pass without per-tag allocation: tags are collected into a scratch
// buffer that is reused from object to object. What the format requires and the file lacks
// (ENDSEC, ENDTAB, ENDBLK, SEQEND, EOF) is an error naming the line where the missing part
// began; so is going past one of the configured limits.
#pragma once

#include "tags.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dxf {

// The largest file the reader takes, whatever the limits say: the database keeps the size of
// an object's original bytes in 32 bits.
constexpr std::size_t kMaxFileBytes = std::size_t(4) << 30;

// Bounds on what one file may make the reader do. Going past one is an error, never a
// crash, a hang or exhausted memory.
struct Limits {
    std::size_t maxBytes = kMaxFileBytes;  // file size (more than kMaxFileBytes counts as it)
    std::size_t maxTags = 1'000'000'000;   // tags in the whole file
    std::size_t maxEntities = 100'000'000; // entities, in blocks and both spaces
    std::size_t maxStringLength = 65'536;  // bytes in one value
    std::size_t maxNestingDepth = 64;      // blocks inside blocks inside ...
    // Not a bound: a file of at least this many bytes is split into records on a thread of
    // its own while the objects are built (0: every file; SIZE_MAX: none).
    std::size_t pipelineFromBytes = std::size_t(1) << 20;
};

// One object of the file: its (0, TYPE) tag and every tag up to the next group 0.
struct Record {
    std::string_view type;     // the value of its group 0
    std::span<const Tag> tags; // all its tags, the group 0 first
    std::size_t begin = 0;     // byte span in the source: [begin, end)
    std::size_t end = 0;
    std::uint32_t line = 0; // line of its group 0

    // The value of the first group `code`, or empty when there is none.
    std::string_view find(int code) const;
};

// An entity with the entities it owns in the file: a POLYLINE with its VERTEXes and SEQEND,
// an INSERT with its ATTRIBs and SEQEND. Other entities have no children and no seqend.
struct EntityGroup {
    Record main;
    std::span<const Record> children;
    const Record *seqend = nullptr;
    std::size_t begin = 0; // span of the whole group
    std::size_t end = 0;
};

// Receives the file's parts in order. Views and spans are valid only during the call.
class StructureSink {
public:
    virtual ~StructureSink() = default;
    // (0, SECTION) (2, name) and anything before the section's first object.
    virtual void sectionBegin(std::string_view name, const Record &start) = 0;
    virtual void sectionEnd(std::string_view name, const Record &endsec) = 0;
    // One $VARIABLE of the HEADER: its (9, name) tag and value tags, with their byte span.
    virtual void headerVariable(std::string_view name, std::span<const Tag> tags, std::size_t begin,
                                std::size_t end) = 0;
    virtual void tableBegin(std::string_view table, const Record &record) = 0;
    virtual void tableEntry(std::string_view table, const Record &record) = 0;
    virtual void tableEnd(std::string_view table, const Record &endtab) = 0;
    virtual void blockBegin(const Record &record) = 0;
    virtual void blockEnd(const Record &endblk) = 0;
    // An entity of the ENTITIES section (inBlock false) or of the current block.
    virtual void entity(const EntityGroup &group, bool inBlock) = 0;
    // An object of OBJECTS or CLASSES (a CLASS record), or of a section the reader does not
    // know (split at group 0 like the others).
    virtual void object(std::string_view section, const Record &record) = 0;
    // (0, EOF).
    virtual void endOfFile(const Record &eof) = 0;
};

// What the reader learns on the way, for callers and for the checks after the read.
struct StructureFacts {
    std::string_view acadver;     // $ACADVER, empty when the header lacks it
    std::string_view dwgCodePage; // $DWGCODEPAGE
    std::size_t tags = 0;
    std::size_t entities = 0;
    bool crlf = false;        // the file's first line end was CRLF
    bool finalNewline = true; // false when the last line had no line end
    // The largest handle any group of handle type names, an object's own or a reference
    // (possibly to an object the file lacks): new handles start above it.
    std::uint64_t largestHandleNamed = 0;
};

class StructureReader {
public:
    // Reads `text` (ASCII DXF, the whole file). `where` names places in errors.
    StructureReader(std::string_view text, const Locator &where, const Limits &limits);

    // Reads the whole file into `sink`. Throws DxfError for a file that is not DXF, breaks
    // the structure, or passes a limit; also for a block that inserts itself (directly or
    // through others), or block nesting deeper than the limit. An INSERT of a block that
    // does not exist is left to the sink.
    void read(StructureSink &sink);

    const StructureFacts &facts() const { return facts_; }
    // Called every few megabytes with the offset the reading has passed; without a hook the
    // reader reports its progress itself (a hook reports it when it wants it reported).
    void setPassedHook(std::function<void(std::size_t offset)> hook) { passed_ = std::move(hook); }

private:
    bool advance(); // reads the next tag into pending_; false at the end of the buffer
    void readRecordInto(std::vector<Tag> &tags);
    Record makeRecord(const std::vector<Tag> &tags, std::size_t first, std::size_t count) const;
    void readHeader(StructureSink &sink, std::size_t first);
    void readTables(StructureSink &sink);
    void readBlocks(StructureSink &sink);
    void readEntities(StructureSink &sink, std::string_view section);
    void readObjects(StructureSink &sink, std::string_view section);
    // Reads one entity (with its children) at pending_; false when pending_ is not an entity.
    void readEntityGroup(StructureSink &sink, bool inBlock, std::string_view context);
    void checkBlockReferences() const;
    [[noreturn]] void missing(const char *what, std::string_view of, std::uint32_t line) const;
    bool pendingIs(std::string_view type) const;
    bool pendingEndsSection() const;

    std::string_view text_;
    const Locator &where_;
    Limits limits_;
    TagReader reader_;
    Tag pending_;
    bool havePending_ = false;
    StructureFacts facts_;
    std::vector<Tag> scratch_;
    std::size_t nextProgress_ = 0; // byte offset of the next progress report
    std::function<void(std::size_t)> passed_;
    std::vector<std::size_t> recordStarts_;
    std::vector<Record> children_;
    std::string sectionName_;
    bool sawOtherSection_ = false; // a section other than HEADER was read
    // Block names and the block names their INSERTs use, for the reference checks.
    struct BlockUse {
        std::uint32_t line = 0;
        std::vector<std::pair<std::string, std::uint32_t>> inserts; // name and line
    };
    std::unordered_map<std::string, BlockUse> blocks_;
    // Block records by name (a name the table gives twice allows a BLOCK of it as often; the
    // builder renames the later record), and the BLOCKs of such a name read after the first.
    std::unordered_map<std::string, std::uint32_t> blockRecords_, laterBlocks_;
    std::vector<std::pair<std::string, std::uint32_t>> topInserts_;
    BlockUse *currentBlock_ = nullptr;
};

// Case-insensitive ASCII comparison, as the format compares names.
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace dxf
