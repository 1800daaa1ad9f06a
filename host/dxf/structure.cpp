// structure.cpp - sections, tables, blocks, entities and objects in one pass over the tags.
#include "structure.h"
#include "text_util.h"
#include "progress.h"

#include <algorithm>
#include <tuple>

namespace dxf {

namespace {

using host::text::toUpper;

// The key a block is known by, as the database knows its name (see nameText).
std::string blockKey(std::string_view name) {
    return toUpper(nameText(name));
}

// A file's text for a message: shortened, control characters shown as ^X.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text.substr(0, 40)) {
        if (static_cast<unsigned char>(c) < 0x20) {
            out += '^';
            out += static_cast<char>(c + 64);
        } else {
            out += c;
        }
    }
    out.append(text.size() > 40 ? "...\"" : "\"");
    return out;
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    return host::text::equalsIgnoreCase(a, b);
}

std::string_view Record::find(int code) const {
    for (const Tag &t : tags)
        if (t.code == code)
            return t.value;
    return {};
}

StructureReader::StructureReader(std::string_view text, const Locator &where, const Limits &limits)
    : text_(text), where_(where), limits_(limits), reader_(text, where) {}

bool StructureReader::advance() {
    havePending_ = reader_.next(pending_);
    if (!havePending_)
        return false;
    if (++facts_.tags > limits_.maxTags)
        where_.fail(pending_.line, "the file has more than " + std::to_string(limits_.maxTags) +
                                       " tags, the limit");
    if (pending_.value.size() > limits_.maxStringLength)
        where_.fail(pending_.line + 1, "the value of group " + std::to_string(pending_.code) +
                                           " is longer than the limit of " +
                                           std::to_string(limits_.maxStringLength) + " bytes");
    if (pending_.code == 0) {
        pending_.value = trimBlanks(pending_.value);
        return true;
    }
    // Numbers are parsed here, ahead of the thread that builds the drawing; one that is not
    // of the quick form stays NaN and is parsed (or reported) where it is used.
    const ValueType type = valueType(pending_.code);
    if (type == ValueType::Double) {
        if (!toDouble(pending_.value, pending_.number))
            pending_.number = std::numeric_limits<double>::quiet_NaN();
    } else if (isIntegerType(type)) {
        (void)plainInteger(pending_.value, pending_.number); // NaN stays when not plain
    } else if (type == ValueType::Handle) {
        // Beyond 2^52 a value is no handle a writer gave out (nor exact as a double): it
        // cannot meet the handles this host gives.
        if (plainHandle(pending_.value, pending_.number) && pending_.number < 0x1p52)
            facts_.largestHandleNamed =
                std::max(facts_.largestHandleNamed, static_cast<std::uint64_t>(pending_.number));
    }
    return true;
}

bool StructureReader::pendingIs(std::string_view type) const {
    return havePending_ && pending_.code == 0 && pending_.value == type;
}

bool StructureReader::pendingEndsSection() const {
    return !havePending_ || pendingIs("ENDSEC") || pendingIs("SECTION") || pendingIs("EOF");
}

void StructureReader::missing(const char *what, std::string_view of, std::uint32_t line) const {
    std::string found = havePending_
                            ? "found " + quoted(pending_.value) + " at " + where_.at(pending_.line)
                            : "the file ends at " + where_.at(reader_.line());
    where_.fail(line, std::string(of) + " has no " + what + " (" + found + ")");
}

// Appends the pending group 0 and every following tag up to the next group 0.
void StructureReader::readRecordInto(std::vector<Tag> &tags) {
    tags.push_back(pending_);
    while (advance() && pending_.code != 0)
        tags.push_back(pending_);
}

Record StructureReader::makeRecord(const std::vector<Tag> &tags, std::size_t first,
                                   std::size_t count) const {
    Record r;
    r.tags = std::span<const Tag>(tags.data() + first, count);
    r.type = tags[first].value;
    r.line = tags[first].line;
    r.begin = tags[first].offset;
    // The record ends where the next tag begins (or at the end of the text).
    if (first + count < tags.size())
        r.end = tags[first + count].offset;
    else
        r.end = havePending_ ? pending_.offset : text_.size();
    return r;
}

void StructureReader::read(StructureSink &sink) {
    try {
        advance();
        while (havePending_ && pending_.code == 999)
            advance();
    } catch (const DxfError &) {
        where_.fail(1, "not a DXF file (it does not start with group code lines)");
    }
    if (!havePending_)
        where_.fail(1, "not a DXF file (it is empty)");
    if (!pendingIs("SECTION") && !pendingIs("EOF")) {
        // Groups before the first SECTION (a note, a stray value) are no part of the
        // drawing: left out, when a SECTION follows them.
        const Tag first = pending_;
        std::size_t skipped = 0;
        try {
            while (havePending_ && !pendingIs("SECTION")) {
                advance();
                ++skipped;
            }
        } catch (const DxfError &) {
            havePending_ = false;
        }
        if (!havePending_)
            where_.fail(first.line, "not a DXF file (it starts with group " +
                                        std::to_string(first.code) + " " + quoted(first.value) +
                                        ", not a SECTION)");
        where_.repair(first.line,
                      std::to_string(skipped) + (skipped == 1 ? " group" : " groups") +
                          " before the first SECTION",
                      "left out");
    }
    facts_.crlf = reader_.usesCrLf();
    bool sawEntities = false;
    for (;;) {
        if (!havePending_) {
            // Every section was closed: the end of the file ends the drawing (unless its last
            // line is cut short too, which a copy of it as read would carry into the save).
            if (reader_.lastLineUnterminated())
                where_.fail(reader_.line(), "the file ends without EOF");
            where_.repair(reader_.line(), "the file ends without EOF", "EOF added");
            scratch_.clear();
            Tag eofTag;
            eofTag.code = 0;
            eofTag.value = "EOF";
            eofTag.line = reader_.line();
            eofTag.offset = text_.size();
            scratch_.push_back(eofTag);
            sink.endOfFile(makeRecord(scratch_, 0, 1));
            break;
        }
        if (pendingIs("EOF")) {
            scratch_.clear();
            scratch_.push_back(pending_);
            // Whatever follows EOF is not part of the drawing and is not read.
            havePending_ = false;
            facts_.finalNewline = !reader_.lastLineUnterminated();
            Record eof = makeRecord(scratch_, 0, 1);
            eof.end = reader_.position();
            sink.endOfFile(eof);
            break;
        }
        if (pending_.code == 999) {
            advance();
            continue;
        }
        if (!pendingIs("SECTION"))
            where_.fail(pending_.line, "expected a SECTION or EOF, found group " +
                                           std::to_string(pending_.code) + " " +
                                           quoted(pending_.value));
        const Tag start = pending_;
        if (!advance() || pending_.code != 2)
            where_.fail(start.line, "SECTION has no name (group 2)");
        scratch_.clear();
        scratch_.push_back(start);
        // The header's handles ($HANDSEED) name no object: not counted among those named.
        const std::uint64_t namedBefore = facts_.largestHandleNamed;
        readRecordInto(scratch_);
        sectionName_ = std::string(trimBlanks(scratch_[1].value));
        const std::string section = toUpper(sectionName_);
        // The HEADER has no group 0 between its variables: its start is the first two tags.
        const bool header = section == "HEADER";
        if (section == "ENTITIES") {
            if (sawEntities)
                where_.note(start.line, "a second ENTITIES section",
                            "its entities joined to the first's");
            sawEntities = true;
        }
        // Its code page decides how every text after it reads: a HEADER after text was read
        // would have the same file read two ways.
        if (header && sawOtherSection_)
            where_.fail(start.line, "a HEADER section after another section");
        sawOtherSection_ = sawOtherSection_ || !header;
        const Record startRecord = makeRecord(scratch_, 0, header ? 2 : scratch_.size());
        sink.sectionBegin(sectionName_, startRecord);
        const std::uint32_t sectionLine = start.line;
        if (header) {
            facts_.largestHandleNamed = namedBefore;
            readHeader(sink, 2);
        } else if (section == "TABLES")
            readTables(sink);
        else if (section == "BLOCKS")
            readBlocks(sink);
        else if (section == "ENTITIES")
            readEntities(sink, sectionName_);
        else
            readObjects(sink, sectionName_);
        if (!pendingIs("ENDSEC"))
            missing("ENDSEC", "section " + sectionName_, sectionLine);
        scratch_.clear();
        const std::uint64_t namedBeforeEnd = facts_.largestHandleNamed;
        readRecordInto(scratch_);
        if (header)
            facts_.largestHandleNamed = namedBeforeEnd;
        // Old writers put an ENDSEC among the header's variables: the variables after it
        // are the header's still.
        while (header && scratch_.size() > 1 && scratch_[1].code == 9) {
            where_.repair(scratch_[0].line, "an ENDSEC among the HEADER's variables", "left out");
            readHeader(sink, 1);
            if (!pendingIs("ENDSEC"))
                missing("ENDSEC", "section " + sectionName_, sectionLine);
            scratch_.clear();
            readRecordInto(scratch_);
        }
        sink.sectionEnd(sectionName_, makeRecord(scratch_, 0, scratch_.size()));
        // A second ENDSEC (of a section already ended) ends nothing.
        while (havePending_ && pendingIs("ENDSEC")) {
            where_.repair(pending_.line, "an ENDSEC outside a section", "left out");
            scratch_.clear();
            readRecordInto(scratch_);
        }
    }
    checkBlockReferences();
}

void StructureReader::readHeader(StructureSink &sink, std::size_t first) {
    // The section's start record took every tag up to the first group 0, so the variables
    // are in the scratch buffer from `first` on: (9, $NAME) followed by its values.
    const std::vector<Tag> &tags = scratch_;
    std::size_t i = first;
    while (i < tags.size() && tags[i].code == 999)
        ++i;
    if (i < tags.size() && tags[i].code != 9)
        where_.fail(tags[i].line,
                    "group " + std::to_string(tags[i].code) + " before the first header variable");
    while (i < tags.size()) {
        std::size_t j = i + 1;
        while (j < tags.size() && tags[j].code != 9)
            ++j;
        const std::string_view name = trimBlanks(tags[i].value);
        const std::size_t end =
            j < tags.size() ? tags[j].offset : (havePending_ ? pending_.offset : text_.size());
        if (name == "$ACADVER" && j > i + 1)
            facts_.acadver = trimBlanks(tags[i + 1].value);
        if (name == "$DWGCODEPAGE" && j > i + 1)
            facts_.dwgCodePage = trimBlanks(tags[i + 1].value);
        sink.headerVariable(name, std::span<const Tag>(tags.data() + i, j - i), tags[i].offset,
                            end);
        i = j;
    }
}

void StructureReader::readTables(StructureSink &sink) {
    while (!pendingEndsSection()) {
        if (!pendingIs("TABLE"))
            where_.fail(pending_.line,
                        "expected a TABLE in section TABLES, found " + quoted(pending_.value));
        scratch_.clear();
        readRecordInto(scratch_);
        const Record table = makeRecord(scratch_, 0, scratch_.size());
        const std::string name(trimBlanks(table.find(2)));
        const std::uint32_t tableLine = table.line;
        sink.tableBegin(name, table);
        while (havePending_ && !pendingIs("ENDTAB") && !pendingIs("TABLE") &&
               !pendingEndsSection()) {
            scratch_.clear();
            readRecordInto(scratch_);
            const Record entry = makeRecord(scratch_, 0, scratch_.size());
            if (equalsNoCase(name, "BLOCK_RECORD"))
                ++blockRecords_[blockKey(trimBlanks(entry.find(2)))];
            sink.tableEntry(name, entry);
        }
        if (!pendingIs("ENDTAB"))
            missing("ENDTAB", "TABLE " + name, tableLine);
        scratch_.clear();
        readRecordInto(scratch_);
        sink.tableEnd(name, makeRecord(scratch_, 0, scratch_.size()));
    }
}

void StructureReader::readBlocks(StructureSink &sink) {
    while (!pendingEndsSection()) {
        if (!pendingIs("BLOCK"))
            where_.fail(pending_.line, quoted(pending_.value) + " outside a BLOCK");
        scratch_.clear();
        readRecordInto(scratch_);
        const Record block = makeRecord(scratch_, 0, scratch_.size());
        const std::uint32_t blockLine = block.line;
        const std::string name(trimBlanks(block.find(2)));
        // A BLOCK without a name (the builder names it) cannot be inserted by one: a key of
        // its own that no name spells.
        std::string key = name.empty() ? "\n" + std::to_string(blockLine) : blockKey(name);
        auto [it, fresh] = blocks_.try_emplace(key);
        // A block record given twice has a BLOCK of each: the later one's own key no INSERT
        // spells (the builder renames its block).
        if (const auto records = blockRecords_.find(key);
            !fresh && records != blockRecords_.end() && laterBlocks_[key] + 1 < records->second) {
            key += "\n" + std::to_string(++laterBlocks_[key]);
            std::tie(it, fresh) = blocks_.try_emplace(key);
        }
        if (!fresh)
            where_.fail(blockLine, "block " + quoted(name) + " is defined twice (first at " +
                                       where_.at(it->second.line) + ")");
        it->second.line = blockLine;
        currentBlock_ = &it->second;
        sink.blockBegin(block);
        while (havePending_ && !pendingIs("ENDBLK") && !pendingIs("BLOCK") && !pendingEndsSection())
            readEntityGroup(sink, /*inBlock=*/true, "BLOCK " + name);
        currentBlock_ = nullptr;
        if (!pendingIs("ENDBLK"))
            missing("ENDBLK", "BLOCK " + quoted(name), blockLine);
        scratch_.clear();
        readRecordInto(scratch_);
        sink.blockEnd(makeRecord(scratch_, 0, scratch_.size()));
    }
}

void StructureReader::readEntities(StructureSink &sink, std::string_view section) {
    while (!pendingEndsSection())
        readEntityGroup(sink, /*inBlock=*/false, section);
}

void StructureReader::readObjects(StructureSink &sink, std::string_view section) {
    while (!pendingEndsSection()) {
        scratch_.clear();
        readRecordInto(scratch_);
        sink.object(section, makeRecord(scratch_, 0, scratch_.size()));
    }
}

void StructureReader::readEntityGroup(StructureSink &sink, bool inBlock, std::string_view context) {
    if (pending_.offset >= nextProgress_) {
        if (passed_)
            passed_(pending_.offset);
        else
            reportProgress(pending_.offset, text_.size());
        nextProgress_ = pending_.offset + kProgressStep;
    }
    scratch_.clear();
    recordStarts_.clear();
    recordStarts_.push_back(0);
    const Tag head = pending_;
    readRecordInto(scratch_);
    const std::string_view type = head.value;
    if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB")
        where_.fail(head.line, std::string(type) + " does not follow a POLYLINE or INSERT");
    if (type == "ENDBLK")
        where_.fail(head.line, "ENDBLK outside a BLOCK");
    std::string_view childType;
    bool needSeqend = false;
    if (type == "POLYLINE") {
        childType = "VERTEX";
        needSeqend = true;
    } else if (type == "INSERT") {
        childType = "ATTRIB";
        // Attributes follow only when group 66 says so; the SEQEND then ends them.
        for (const Tag &t : scratch_)
            if (t.code == 66 && trimBlanks(t.value) != "0" &&
                (pendingIs("ATTRIB") || pendingIs("SEQEND")))
                needSeqend = true;
    }
    std::size_t count = 1;
    if (needSeqend) {
        while (pendingIs(childType)) {
            recordStarts_.push_back(scratch_.size());
            readRecordInto(scratch_);
            ++count;
        }
        if (!pendingIs("SEQEND"))
            missing("SEQEND", type, head.line);
        recordStarts_.push_back(scratch_.size());
        readRecordInto(scratch_);
        ++count;
    }
    facts_.entities += count;
    if (facts_.entities > limits_.maxEntities)
        where_.fail(head.line, "the file has more than " + std::to_string(limits_.maxEntities) +
                                   " entities, the limit");
    recordStarts_.push_back(scratch_.size());
    children_.clear();
    EntityGroup group;
    group.main = makeRecord(scratch_, 0, recordStarts_[1]);
    for (std::size_t k = 1; k + 1 < recordStarts_.size(); ++k)
        children_.push_back(
            makeRecord(scratch_, recordStarts_[k], recordStarts_[k + 1] - recordStarts_[k]));
    if (needSeqend) {
        group.seqend = &children_.back();
        group.children = std::span<const Record>(children_.data(), children_.size() - 1);
    }
    group.begin = group.main.begin;
    group.end = needSeqend ? group.seqend->end : group.main.end;
    if (type == "INSERT") {
        const std::string name(trimBlanks(group.main.find(2)));
        auto &uses = currentBlock_ != nullptr ? currentBlock_->inserts : topInserts_;
        uses.emplace_back(name, head.line);
    }
    (void)context;
    sink.entity(group, inBlock);
}

void StructureReader::checkBlockReferences() const {
    // Names to indices, so the walk below works on plain vectors.
    // Walked in file order, so that the same file always gives the same message.
    std::vector<std::pair<std::uint32_t, const std::string *>> order;
    for (const auto &[name, use] : blocks_)
        order.emplace_back(use.line, &name);
    std::sort(order.begin(), order.end());
    std::unordered_map<std::string, std::size_t> index;
    std::vector<const BlockUse *> nodes;
    std::vector<std::string> names;
    for (const auto &[line, name] : order) {
        index.emplace(*name, nodes.size());
        nodes.push_back(&blocks_.at(*name));
        names.push_back(*name);
    }
    // A block that is missing inserts nothing: the drawing's reader decides what it is (a
    // BLOCK without a name may turn out to be it) and mends it.
    constexpr std::size_t kMissing = SIZE_MAX;
    auto lookUp = [&](const std::string &name, std::uint32_t) {
        auto it = index.find(blockKey(name));
        return it == index.end() ? kMissing : it->second;
    };
    for (const auto &[name, line] : topInserts_)
        (void)lookUp(name, line);
    // Depth-first walk without recursion: a block on the path again is a cycle; the height
    // of every block (its deepest chain of nested blocks) is bounded by the limit.
    enum : std::uint8_t { kNew, kOnPath, kDone };
    std::vector<std::uint8_t> state(nodes.size(), kNew);
    std::vector<std::size_t> height(nodes.size(), 1);
    std::vector<std::pair<std::size_t, std::size_t>> stack; // node, next insert
    for (std::size_t root = 0; root < nodes.size(); ++root) {
        if (state[root] != kNew)
            continue;
        stack.emplace_back(root, 0);
        state[root] = kOnPath;
        while (!stack.empty()) {
            auto &[node, next] = stack.back();
            if (next < nodes[node]->inserts.size()) {
                const auto &[name, line] = nodes[node]->inserts[next++];
                const std::size_t child = lookUp(name, line);
                if (child == kMissing)
                    continue;
                if (state[child] == kOnPath)
                    where_.fail(
                        line,
                        "block " + quoted(names[child]) + " inserts itself" +
                            (child == node ? "" : " (through block " + quoted(names[node]) + ")"));
                if (state[child] == kNew) {
                    state[child] = kOnPath;
                    stack.emplace_back(child, 0);
                }
                continue;
            }
            for (const auto &[name, line] : nodes[node]->inserts) {
                const auto child = index.find(blockKey(name));
                if (child != index.end())
                    height[node] = std::max(height[node], height[child->second] + 1);
            }
            if (height[node] > limits_.maxNestingDepth)
                where_.fail(nodes[node]->line, "block " + quoted(names[node]) +
                                                   " nests blocks deeper than the limit of " +
                                                   std::to_string(limits_.maxNestingDepth));
            state[node] = kDone;
            stack.pop_back();
        }
    }
}

} // namespace dxf
