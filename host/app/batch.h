// batch.h - arxhost's batch mode: one script over many drawings, each in a process of its own.
#pragma once

namespace host {

// When the command line asks for batch mode (--batch), runs it and returns the exit code: 0
// every drawing done, 1 one or more failed, 2 bad arguments, 4 the report could not be
// written, 130 interrupted. Returns -1 when the command line is not a batch one.
int runBatchIfAsked(int argc, char **argv);

} // namespace host
