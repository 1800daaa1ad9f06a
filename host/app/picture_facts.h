// picture_facts.h - what the DXF file a drawing was read from tells its picture: the file's
// text encoding, its version, the dimension styles' arrow sizes, and its bytes.
#pragma once
#include "svg.h"

class AcDbDatabase;

namespace host::app {

// The facts of the file db was read from; the defaults for a drawing made here.
render::FileFacts pictureFacts(AcDbDatabase &db);

} // namespace host::app
