// drawing_writer.h - the fourth DXF layer: a drawing database back into DXF. The version and
// code page that were read (a new drawing: AC1015, ANSI_1251); untouched objects copied from
// their original bytes; changed and new objects written from the per-class group list the
// database gives acdbEntGet, with what the class does not model put back from the source.
#pragma once

#include "dxf_error.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;

namespace dxf {

// A stretch of a write: from offset, size bytes.
struct ByteSpan {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Where the writer's bytes go; write() may throw DxfError (a full disk).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    // bytes, of which the spans asRead (in order, whole lines) are copied unchanged from the
    // file the drawing was read from; a sink that checks what it is given may trust those as
    // the reader took them.
    virtual void writeWithRead(std::string_view bytes, std::span<const ByteSpan> asRead) {
        (void)asRead; // a plain sink passes every byte on alike
        write(bytes);
    }
    // As writeWithRead, for a caller that clears both afterwards: a sink may take their
    // memory instead of copying them.
    virtual void give(std::string &bytes, std::vector<ByteSpan> &asRead) {
        if (asRead.empty())
            write(bytes);
        else
            writeWithRead(bytes, asRead);
    }
};

// A ByteSink into a string, for tests and in-memory round trips.
class StringSink : public ByteSink {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// Writes db to out. Before writing, checks what would make the file unreadable elsewhere:
// duplicate handles and polylines without their sequence end; while writing, numbers that
// are not finite. Each is a DxfError that names the object ("cannot save: LINE 2A: ...").
void writeDatabase(AcDbDatabase &db, ByteSink &out);

} // namespace dxf
