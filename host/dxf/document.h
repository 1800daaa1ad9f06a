// document.h - what a DXF file holds that the drawing database does not model, kept with the
// database so that the writer can put it back: the source bytes (alive as long as the
// database), the header variables, tables and sections the host does not model, the BLOCK
// and ENDBLK records of each block. Shared by the reader (which fills it) and the writer.
#pragma once

#include "kept.h"
#include "tags.h"
#include "drafting_settings.h"
#include "view_state.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;
class AcDbObject;

namespace dxf {

// The bytes every view below points into: a mapped file or a transcoded binary file.
struct SourceBuffer {
    virtual ~SourceBuffer() = default;
    // A hint that the bytes before offset will not be looked at again soon: a mapped file
    // gives back the memory of their pages (they stay readable, read again from the file
    // should anyone look). Views into the text stay valid either way.
    virtual void doneBefore(std::size_t offset) const { (void)offset; }
    std::string_view text;
};

struct HeaderVar {
    std::string name;       // "$CLAYER", as in the file
    std::string_view raw;   // the variable's tags as they stand in the file
    std::string_view value; // the first value (trimmed), for comparing with the database
};

struct TableKept {
    std::string name;                      // "LAYER", as in the file
    std::string_view head;                 // the TABLE record
    std::string_view end;                  // the ENDTAB record
    std::vector<std::string_view> entries; // records of tables the host does not model
    std::size_t activeVport = SIZE_MAX;    // VPORT: the index of the *ACTIVE entry
    double activeSnapDegrees = 0;          // its group 50 as read
    tev::db::View activeView;              // its groups 12, 22, 40 and 41 as read
};

enum class SectionKind { Header, Classes, Tables, Blocks, Entities, Objects, Other };

struct SectionKept {
    SectionKind kind = SectionKind::Other;
    std::string name;
    std::string_view start;        // (0, SECTION) (2, name)
    std::string_view body;         // Classes, Objects, Other: every record as read
    std::string_view end;          // ENDSEC
    std::vector<TableKept> tables; // Tables only, in file order
    std::uint32_t line = 0;        // of its SECTION
};

// Hangs off the block table object of a database read from a file.
struct DocumentKept : tev::db::KeptData {
    std::shared_ptr<const SourceBuffer> source;
    std::string acadver = "AC1015";
    std::string codePage = "ANSI_1251";
    bool crlf = false;
    bool finalNewline = true;
    std::vector<HeaderVar> header;
    std::vector<SectionKept> sections;
    std::string_view eof;
    // Handles of objects kept only as bytes (tables, objects, attributes the host does not
    // model): new objects must not take them, and the save checks them for duplicates.
    std::vector<std::uint64_t> keptHandles;
    // Records kept as bytes that the reader mended (groups left out): the views above point
    // into these where they do not point into the source.
    std::deque<std::string> mendedBytes;

    bool r12() const { return !versionAtLeast(acadver, "AC1012"); }
};

// Hangs off each block table record read from a file.
struct BlockKept : tev::db::KeptData {
    std::string_view blockBegin; // the BLOCK record
    std::string_view blockEnd;   // the ENDBLK record
    bool implicit = false;       // made by the reader (an R12 file has no block records)
};

// The kept document of a database, or nullptr for a drawing that was not read from a file.
const DocumentKept *documentOf(AcDbDatabase &db);

} // namespace dxf
