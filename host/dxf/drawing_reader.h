// drawing_reader.h - the third DXF layer: a file's structure mapped into a drawing database.
// Every entity kind the database models is read by its class (dxfInClassGroups, beside the
// dxfOutClassGroups that writes it); the reader picks the class, reads the common groups,
// handles and owners. Everything else stays as bytes (in document.h's kept data and in each
// object's source) for the writer.
#pragma once

#include "document.h"
#include "structure.h"

#include <memory>

class AcDbDatabase;

namespace dxf {

// Reads the ASCII DXF in `source` into a new database. A value the database cannot hold
// is mended and noted (Locator::repair; a strict reader refuses it). Throws DxfError for
// anything the structure layer refuses, a value that does not fit its group, a count that
// disagrees with what follows, duplicate handles, owners that point nowhere or at the wrong
// kind of object.
// With checkOnly, every entity is read and checked as above but not kept: the database
// holds the tables and blocks alone (a save reading back what it wrote, without a second
// drawing in memory).
std::unique_ptr<AcDbDatabase> readDatabase(std::shared_ptr<const SourceBuffer> source,
                                           const Locator &where, const Limits &limits,
                                           bool checkOnly = false);

} // namespace dxf
