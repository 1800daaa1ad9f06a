// fuzz_dxf_save.cpp - libFuzzer entry: any bytes the DXF reader accepts save, unchanged and
// after Sel, Wpe and ERASE of everything, and what is saved reads back the same.
#include <cstdint>

#include "dxf_round_trip.h"
#include "fuzz_report.h"
#include "save_property.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    tevfuzz::reportProblem("fuzz_dxf_save",
                           tevfuzz::checkSaveProperty({reinterpret_cast<const char *>(data), size},
                                                      tevfuzz::fuzzReadOptions()));
    return 0;
}
