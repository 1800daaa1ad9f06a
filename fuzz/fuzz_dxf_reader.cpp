// fuzz_dxf_reader.cpp - libFuzzer entry: any bytes through the DXF reader, and a drawing
// it reads through write, read and write again. A broken property is a crash, so that
// libFuzzer keeps the input.
#include <cstdint>

#include "dxf_round_trip.h"
#include "fuzz_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    tevfuzz::reportProblem("fuzz_dxf_reader", tevfuzz::checkDxfRoundTrip(
                                                  {reinterpret_cast<const char *>(data), size}));
    return 0;
}
