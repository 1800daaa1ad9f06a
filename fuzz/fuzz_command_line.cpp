// fuzz_command_line.cpp - libFuzzer entry: the input is a command script (see
// command_script.h) run on the sample drawing. A broken check is reported by
// fuzz_report.h.
#include <cstdint>

#include "command_script.h"
#include "fuzz_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    tevfuzz::reportProblem("fuzz_command_line", tevfuzz::checkCommandScript(
                                                    {reinterpret_cast<const char *>(data), size}));
    return 0;
}
