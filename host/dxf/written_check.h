// written_check.h - checks the bytes of a DXF file as they are written: every tag a group
// code and a value of that code's type, sections opened and closed in order, EOF last, each
// handle given once. A save passes its output through it instead of reading the file back.
#pragma once

#include "drawing_writer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// What the save's check finds wrong with a value of group `code` ("not a handle", "not a
// finite number", ...), or nullptr when it fits the code's type. A record's handle is its first
// group 5 (105 in a DIMSTYLE record, whose group 5 is a block's name): `dataFive` says that a
// group 5 here is data (a string) instead. The reader asks the same of the records it keeps
// as bytes.
const char *valueFault(int code, std::string_view value, bool dataFive);

class WrittenCheck : public ByteSink {
public:
    // Passes every byte on to next and looks at it; a fault is reported as
    // "<context> at line N: <what>".
    WrittenCheck(ByteSink &next, std::string context) : next_(next), context_(std::move(context)) {}

    void write(std::string_view bytes) override;
    // Bytes copied as read are checked for their structure, line ends and handles; their
    // values are not parsed again (the reader took them, and they go back as the file had
    // them).
    void writeWithRead(std::string_view bytes, std::span<const ByteSpan> asRead) override;
    // Throws DxfError unless what was written is a whole drawing.
    void finish();

private:
    enum class Place { BeforeSection, SectionName, InSection, AfterEof };

    void lines(std::string_view bytes);
    // The same for bytes copied as read (asRead_ set).
    void linesAsRead(std::string_view bytes);
    // One line without its LF; cr: it holds a carriage return somewhere.
    void line(std::string_view text, bool cr);
    void tag(std::string_view value);
    static bool isPlainValue(int code);
    [[noreturn]] void fail(const std::string &what) const;

    ByteSink &next_;
    std::string context_;
    std::string partial_;      // a line not yet ended
    std::uint32_t lineNo_ = 0; // the last whole line
    // No group code waiting for its value (a file's codes may be negative).
    static constexpr int kNoCode = -1'000'000;
    int code_ = kNoCode; // the group code waiting for its value
    int lineEnd_ = 0;    // 1: "\n", 2: "\r\n", 0: not seen yet
    bool zeroStartsSection_ = false;
    Place place_ = Place::BeforeSection;
    std::vector<std::uint64_t> handles_;
    // In a DIMSTYLE record group 5 is a block's name (its handle is 105).
    bool inDimstyle_ = false;
    bool handleSeen_ = false; // the record's handle was given: a later group 5 is data
    bool inHeader_ = false;   // among the HEADER's variables, whose values name no object
    bool asRead_ = false;     // the lines being looked at are copied as read
};

} // namespace dxf
