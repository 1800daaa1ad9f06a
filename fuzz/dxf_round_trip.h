// dxf_round_trip.h - the DXF-reader fuzz target's check: whatever the bytes, reading ends
// in a drawing or a message; a drawing that was read writes, its text reads again, and
// that drawing writes the very same text.
#pragma once

#include <string>
#include <string_view>

#include "dxf_io.h"

namespace tevfuzz {

// The limits the fuzz target reads with: small enough that no input can make one run
// slow or large, big enough for every seed file.
dxf::ReadOptions fuzzReadOptions();

// The first line at which a and b differ, with both lines: "line 12: \"8\" / \"62\"".
// Empty when they are equal.
std::string describeDifference(std::string_view a, std::string_view b);

// Empty when bytes behave; otherwise what went wrong, for the crash report.
std::string checkDxfRoundTrip(std::string_view bytes);

} // namespace tevfuzz
