// layer_table.h - every layer of a drawing, one at a time, for those that list or show them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class AcDbDatabase;
class AcDbLayerTableRecord;

namespace host {

// Calls visit with each layer record of db, open for read, in the table's order; false when
// the layer table cannot be opened. A record that cannot be opened is passed over.
bool forEachLayer(AcDbDatabase &db, const std::function<void(const AcDbLayerTableRecord &)> &visit);

// A new layer record for db, not yet added, with the linetype the host gives a new layer:
// the drawing's Continuous (none when it has no such linetype). nullptr when out of memory.
AcDbLayerTableRecord *newLayerRecord(AcDbDatabase &db);

// Whether a layer name matches any of the comma-separated wildcard patterns ("*", "?", "#",
// "@", ".", "`"), in any case.
bool layerNameMatches(std::string_view name, const std::string &patterns);

} // namespace host
