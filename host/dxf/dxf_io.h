// dxf_io.h - the DXF entry points the host application calls: read a drawing file into a
// database, and save a database to a file so that a failed save never loses a drawing.
// Neither throws; failures come back as a message that says where and what.
#pragma once

#include "structure.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;
namespace host::platform {
struct FileIdentity;
}

namespace dxf {

struct ReadOptions {
    Limits limits;
    // Read and check every entity but keep none (the database holds the tables and blocks
    // alone): how a save reads back what it wrote without a second drawing in memory.
    bool checkOnly = false;
    // Harmless damage (a stray ENDSEC, a zero Z scale, an owner or block that is missing,
    // old Mac line ends, ...) is mended, each repair noted here in a line ("plan.dxf:12:
    // INSERT has a zero Z scale: taken as 1"). Without it such a file is refused.
    std::vector<std::string> *repairs = nullptr;
    // Set to the file read, as it was when read (readDrawing only).
    host::platform::FileIdentity *identity = nullptr;
};

// Reads the ASCII or binary DXF file at `path`. On failure returns nullptr and sets `error`
// to a message naming the place ("plan.dxf:1207: group code \"1O\" is not a number"). A
// FIFO or device is refused before it is opened, and a file that is not DXF by its first
// kilobytes before more is read. What the database keeps of the file is a private copy:
// another program rewriting or shortening the file afterwards changes nothing in it.
std::unique_ptr<AcDbDatabase> readDrawing(const std::string &path, std::string &error,
                                          const ReadOptions &options = {});

// The same for DXF held in memory; `name` stands for the file in messages. The text is
// copied: the database keeps what it needs.
std::unique_ptr<AcDbDatabase> readDrawingText(std::string text, const std::string &name,
                                              std::string &error, const ReadOptions &options = {});

// Writes db as DXF text into `out`. False, with `error` naming the object, when a pre-save
// check refuses the drawing.
bool writeDrawingText(AcDbDatabase &db, std::string &out, std::string &error);

// Saves db to `path` (through a symbolic link, to its target): writes a temporary file in
// the same folder, flushes it to disk, checks what was written, keeps the previous file as
// a backup (plan.dxf -> plan.bak), renames the temporary file over the target and flushes
// the folder. On failure returns false with `error` saying why; the old file and the old
// backup are untouched and no temporary file is left behind. A saved drawing whose backup
// could not be kept sets `warning`. The database is never changed.
bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error,
                 std::string *warning = nullptr);

// Refuses, by its first bytes (up to a few kilobytes; `whole` when they are the whole
// file), a file that is not DXF: throws DxfError with the message the reader gives.
void checkDxfHead(std::string_view head, bool whole, const std::string &name);

// The backup name of a drawing file: the extension .dxf becomes .bak, else .bak is added.
std::string backupPath(const std::string &path);

} // namespace dxf
