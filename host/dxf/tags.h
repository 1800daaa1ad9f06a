// tags.h - the lowest DXF layer: group codes and their value types, a reader that walks an
// ASCII DXF buffer tag by tag, and strict, locale-free number parsing.
//
// The reader never allocates: a tag's value is a view into the caller's buffer, which must
// outlive every tag read from it. Input is untrusted; every defect is a DxfError that names
// the line and what is wrong.
#pragma once

#include "dxf_error.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace dxf {

// What a group code's value is, by the code ranges of the DXF reference.
enum class ValueType : std::uint8_t {
    String, // text (also names and markers)
    Handle, // hexadecimal object handle (5, 105, 320-369, 390-399, 480-481, 1005)
    Double, // floating point, including coordinates
    Int16,  // 16-bit integer (280-289 too: some writers exceed 8 bits)
    Int32,  // 32-bit integer
    Int64,  // 64-bit integer (160-169)
    Bool,   // 0 or 1 (290-299)
    Binary, // hexadecimal bytes (310-319, 1004)
};

// The value type of a group code; codes the reference leaves open are strings.
ValueType valueType(int code);

// The smallest and largest group codes a file may use.
constexpr int kMinGroupCode = -5;
constexpr int kMaxGroupCode = 1071;

// One group code and its value, as it stands in the source.
// (Laid out in 40 bytes: the reader keeps millions of these in passing.)
struct Tag {
    int code = 0;
    std::uint32_t line = 0; // 1-based line of the group code
    std::string_view value; // the value line without its line end (a view into the source)
    std::size_t offset = 0; // byte offset of the group code line
    // The value of a floating-point group, parsed when the tag was split from the file
    // (the structure reader does, on its own thread for a big file); NaN when it was not
    // parsed or is not a finite number, which parseDouble then reports. An integer or
    // handle group of the plain form (plainInteger, plainHandle) holds its value here too.
    double number = std::numeric_limits<double>::quiet_NaN();
};

// Reads tags from an ASCII DXF buffer. Tolerates CRLF or LF line ends, blanks before and
// after the group code, blanks around numeric values and a last line without a line end.
class TagReader {
public:
    // Reads `text` (a whole file or a span of one starting at `firstLine`, at byte `base`
    // of the file). Errors are located by `where`, which must outlive the reader.
    TagReader(std::string_view text, const Locator &where, std::uint32_t firstLine = 1,
              std::size_t base = 0);

    // Reads the next tag into `tag`; false at the end of the buffer. Throws DxfError for a
    // group code that is not a number or out of range, or a code without its value line.
    bool next(Tag &tag);

    // Whether the last value line ended without a line end (the file's last byte).
    bool lastLineUnterminated() const { return unterminated_; }
    // Whether the first line end seen was CRLF.
    bool usesCrLf() const { return crlf_; }
    std::size_t position() const { return pos_; }
    std::uint32_t line() const { return line_; }
    const Locator &locator() const { return where_; }

private:
    std::string_view nextLine(bool &terminated);
    bool nextPlain(Tag &tag);

    std::string_view text_;
    const Locator &where_;
    std::size_t pos_ = 0;
    std::size_t base_ = 0;
    std::uint32_t line_;
    bool unterminated_ = false;
    bool crlf_ = false;
    bool sawLineEnd_ = false;
};

// Strict number parsing, independent of the locale: the whole value (less surrounding blanks)
// must be the number. Each throws DxfError naming the tag's line and group on failure.
double parseDouble(const Tag &tag, const Locator &where); // finite only
// The quick forms a splitting thread parses ahead into Tag::number (false, nothing set, for
// any other text): "-123" (up to 15 digits) and a handle of up to 13 hexadecimal digits, so
// that both are exact doubles.
bool plainInteger(std::string_view text, double &out);
bool plainHandle(std::string_view text, double &out);
bool isIntegerType(ValueType type);
// Checked against the code's type. An integral real ("1.0", as some writers spell an
// integer) is taken as that integer and noted as a repair.
std::int64_t parseInteger(const Tag &tag, const Locator &where);
// Whether `text` is a real with a whole value that fits group `code`'s integer type.
bool integralReal(std::string_view text, int code, std::int64_t &out);
std::uint64_t parseHandle(const Tag &tag, const Locator &where); // 1 to 16 hex digits

// Non-throwing forms for callers that report on their own. False when `text` is not a
// finite number / an integer in [lo, hi] / a handle.
bool toDouble(std::string_view text, double &out);
bool toInteger(std::string_view text, std::int64_t lo, std::int64_t hi, std::int64_t &out);
bool toHandle(std::string_view text, std::uint64_t &out);

// Whether a file whose $ACADVER is `acadver` is of version `least` ("AC1012") or later. From
// R10 on a version is "AC" and four digits; the oldest files say "AC2.10" and the like,
// older than any of those. Other spellings compare as text.
inline bool versionAtLeast(std::string_view acadver, std::string_view least) {
    if (acadver.size() < 2 || acadver.substr(0, 2) != "AC")
        return acadver >= least;
    if (acadver.size() != 6)
        return false;
    for (std::size_t i = 2; i < 6; ++i)
        if (acadver[i] < '0' || acadver[i] > '9')
            return false;
    return acadver >= least;
}

// Blanks (space, tab) removed from both ends.
std::string_view trimBlanks(std::string_view text);
// A name as a file spells it, as the database knows it: up to a NUL byte (the database's
// names are C strings), without the blanks around it or a CR at its end.
std::string_view nameText(std::string_view text);

// The nesting of application groups after a 102 tag at `depth`: one deeper at "102 {NAME",
// one shallower at "102 }" (never below 0).
inline int appGroupDepth(const Tag &t, int depth) {
    const std::string_view v = trimBlanks(t.value);
    if (!v.empty() && v[0] == '{')
        return depth + 1;
    return v == "}" && depth > 0 ? depth - 1 : depth;
}

// Finds a record's owner among its tags, given one at a time in order (the group 0 too, or
// not): the first 330 outside application groups that comes before the class's own data,
// which starts at a subclass marker other than the common ones (AcDbEntity,
// AcDbSymbolTableRecord). A 330 in the class's data is something else: a hatch boundary's
// source object, an entry of a list.
class OwnerScan {
public:
    // Whether `t` is the owner's 330.
    bool isOwner(const Tag &t) {
        if (done_)
            return false;
        if (t.code == 102) {
            depth_ = appGroupDepth(t, depth_);
            return false;
        }
        if (depth_ > 0)
            return false;
        if (t.code == 100) {
            const std::string_view v = trimBlanks(t.value);
            done_ = v != "AcDbEntity" && v != "AcDbSymbolTableRecord";
            return false;
        }
        if (t.code != 330)
            return false;
        done_ = true;
        return true;
    }
    bool inAppGroup() const { return depth_ > 0; }

private:
    int depth_ = 0;
    bool done_ = false;
};

// The data tags of one object (its tags, the group 0 first, which is not one), one at a
// time: application groups (102 {...}) are skipped, and so is extended data (1000 and up).
class DataTags {
public:
    explicit DataTags(std::span<const Tag> tags) : tags_(tags) {}
    // The next data tag; nullptr after the last.
    const Tag *next() {
        while (++i_ < tags_.size()) {
            const Tag &t = tags_[i_];
            if (t.code == 102) {
                depth_ = appGroupDepth(t, depth_);
                continue;
            }
            if (depth_ > 0)
                continue;
            if (t.code >= 1000)
                break;
            return &t;
        }
        i_ = tags_.size();
        return nullptr;
    }
    // How many tags follow the last one given.
    std::size_t left() const { return tags_.size() - std::min(i_ + 1, tags_.size()); }

private:
    std::span<const Tag> tags_;
    std::size_t i_ = 0;
    int depth_ = 0;
};

// Calls f for each data tag of one object (as DataTags gives them).
template <class F> void forEachDataTag(std::span<const Tag> tags, F &&f) {
    DataTags data(tags);
    while (const Tag *t = data.next())
        f(*t);
}

} // namespace dxf
