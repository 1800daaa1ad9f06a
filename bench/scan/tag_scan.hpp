// The tag-scan floor: single passes over an ASCII DXF file held in memory (normally a read-only
// mapping), with no model and no allocation per tag. The host's commands are measured against
// these passes, so they do only what the commands must do and nothing more.
//
// What "ALL" selects here, as the host selects it with TILEMODE 1: every entity of the ENTITIES
// section in model space (no 67 1), except those on frozen layers. Block definitions are not
// part of the selection.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tevbench {

// One group: code and value (a view into the file, without the line end).
struct Tag {
    int code = 0;
    std::string_view value;
    const char *start = nullptr; // first byte of the group code line
    uint64_t line = 0;           // line number of the group code, from 1
};

// Reads group code / value pairs. Input is untrusted: a group code that is not a number, a
// value line missing at the end of the file and over-long numbers are errors with a line number.
class TagCursor {
public:
    explicit TagCursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    enum Result { kTag, kEnd, kError };
    Result next(Tag &tag);

    const std::string &error() const { return error_; }
    // Line ending of the first line ("\r\n" or "\n"), for tags a writer inserts.
    static std::string_view lineEnding(std::string_view text);

private:
    const char *p_;
    const char *end_;
    uint64_t line_ = 1;
    std::string error_;
};

// Length-by-colour over ALL, as the length command counts it: lines, lightweight polylines
// (consecutive vertices plus the closing segment when closed) and 2D polylines (consecutive
// vertices, never a closing segment), each measured in XY with straight segments. 3D
// polylines, meshes, arcs, circles and everything else add nothing. ByLayer is resolved through
// the layer table (a layer that is off keeps its colour); ByBlock stays 0.
struct LengthTotals {
    std::array<double, 257> byColour{}; // index: colour 0..255, ByLayer already resolved
    double all = 0.0;                   // the total over every colour
    uint64_t lines = 0, lwpolylines = 0, polylines2d = 0; // entities measured
    uint64_t entities = 0;                                // top-level entities selected
};

struct ScanResult {
    bool ok = false;
    std::string error; // "line N: what" when !ok
    LengthTotals totals;
};

ScanResult scanLengths(std::string_view dxf);

// Copies the file with every selected entity given colour (0 ByBlock, 1..255, 256 ByLayer),
// sub-entities (vertices, the end of sequence) included, as setting a colour with sub-entities
// does. Untouched bytes are copied as they are. The sink gets the output in order; returning
// false from it stops the copy with an error.
struct RecolourResult {
    bool ok = false;
    std::string error;
    uint64_t entities = 0; // entities given the colour, sub-entities included
};

RecolourResult recolourAll(std::string_view dxf, int colour,
                           const std::function<bool(std::string_view)> &sink);

} // namespace tevbench
