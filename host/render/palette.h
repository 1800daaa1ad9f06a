// palette.h - the host's 255-colour index (ACI) palette as RGB, for pictures on white paper.
#pragma once
#include <cstdint>
#include <string>

namespace host::render {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb &) const = default;
};

// The colour of index 1..255. Index 7 (white on a dark screen) is drawn black, as it is
// plotted on paper. 0 (BYBLOCK), 256 (BYLAYER) and anything out of range give black too:
// the caller resolves the pseudo colours before asking.
Rgb aciToRgb(int index);

// "#rrggbb", lower-case hex.
std::string rgbToHex(Rgb c);

} // namespace host::render
