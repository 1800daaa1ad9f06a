// pipelined_read.h - the structure reader on a thread of its own: it splits the file into
// records while the calling thread builds objects from the records it split before.
//
// The reader fills batches of records (tags copied out of its scratch buffer) and hands each
// full batch over; the calling thread replays the batches into the sink in file order, so
// the sink sees exactly the calls a plain StructureReader::read would make, on the calling
// thread alone. A batch holds some 650 kilobytes of tags and at most eight wait.
//
// Errors keep their order: an error of the reader is raised on the calling thread once
// every record before it has reached the sink (a sink error in one of those comes first, as
// in a plain read); a sink error stops the reader. Either way the reader's thread has ended
// when the call returns or throws.
#pragma once

#include "structure.h"

#include <cstddef>
#include <functional>

namespace dxf {

// Reads the whole file into `sink` as reader.read(sink) does. `passed` is called on the
// calling thread, in place of the reader's passed hook, once every record before the offset
// has reached the sink.
void readPipelined(StructureReader &reader, StructureSink &sink,
                   const std::function<void(std::size_t offset)> &passed);

} // namespace dxf
