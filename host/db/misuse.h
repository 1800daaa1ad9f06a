// misuse.h - what the database refuses and records instead of corrupting itself: a second
// write open, a write open of a read-open object, closing an object that is not open,
// closing a new object never appended, changing an object not open for write; and the
// check after a command that nothing is left open.
#pragma once
#include "dbmain.h"
#include <cstddef>
#include <string>
#include <vector>

namespace tev::db {

// Every misuse since the last clear, oldest first, e.g.
// "close of AcDbLine 2A that is not open".
const std::vector<std::string> &misuseReports();
void clearMisuseReports();
void reportMisuse(std::string what);

// How many objects of db are open (read or write) now.
std::size_t openObjectCount(const AcDbDatabase &db);
// One line per object left open: "AcDbLine 2A open for write", "AcDbCircle 30 open for
// read (2 readers)", in handle order.
std::vector<std::string> objectsLeftOpen(const AcDbDatabase &db);
// "AcDbLine 2A" (class and handle) or "new AcDbLine" for an object not in a database.
std::string describe(const AcDbObject &obj);

} // namespace tev::db
